// The UI resource services: colour styles, skins and language switching of forms.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "kdp/ui/ui_resources.h"

namespace kdp {

// Serves the built-in colour styles ("Dark", the default, and "Light").
class TKrHQStyleMgrProxy final : public host::Implements<IKrHQStyleMgr> {
 public:
  TKrHQStyleMgrProxy();
  std::shared_ptr<IKrHQStyle> GetCurrentStyle() override;
  std::vector<std::string> GetStyleNames() override;
  bool SetCurrentStyle(const std::string& name) override;

 private:
  std::vector<std::shared_ptr<IKrHQStyle>> FStyles;
  std::shared_ptr<IKrHQStyle> FCurrent;
};

class TKrHQSkinMgr final : public host::Implements<IKrHQSkinMgr> {
 public:
  std::string GetSkinName() override { return FSkinName; }
  void SetSkinName(const std::string& name) override { FSkinName = name; }

 private:
  std::string FSkinName = "Default";
};

class TKrHQLanguageFormMgr final : public host::Implements<IKrHQLanguageFormMgr> {
 public:
  TKrHQLanguageFormMgr();
  std::string GetLanguage() override { return FLanguage; }
  int RegisterForm(Relabel relabel) override;
  void UnregisterForm(int id) override;
  void SwitchLanguage(const std::string& language) override;

 private:
  std::string FLanguage;
  int FLastID = 0;
  std::map<int, Relabel> FForms;
};

}  // namespace kdp
