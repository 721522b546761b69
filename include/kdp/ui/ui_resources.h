// UI resources the package publishes for the terminal's widgets: the colour style manager, the skin
// manager and the language form manager.
//
// Colours are 0xRRGGBB values looked up by the style's colour names ("RiseColor", "FallColor", ...).
// All of these are used on the main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "kdp/host/interface.h"

namespace kdp {

using host::Guid;
using host::IInterface;

// One colour style (palette).
class IKrHQStyle : public virtual IInterface {
 public:
  static constexpr Guid IID = "1EE66520-330C-4A9F-9B26-F29DE5753CB6";
  virtual std::string GetName() = 0;
  // The colour of a named style colour (case-insensitive); `fallback` for an unknown name.
  virtual std::uint32_t GetColor(const std::string& colorName, std::uint32_t fallback) = 0;
  virtual bool HasColor(const std::string& colorName) = 0;
};

class IKrHQStyleMgr : public virtual IInterface {
 public:
  static constexpr Guid IID = "4B2D8DA0-9A5C-49C3-883A-0E09CF87FAF0";
  virtual std::shared_ptr<IKrHQStyle> GetCurrentStyle() = 0;
  virtual std::vector<std::string> GetStyleNames() = 0;
  // Switches the current style; false for an unknown name.
  virtual bool SetCurrentStyle(const std::string& name) = 0;
};

class IKrHQSkinMgr : public virtual IInterface {
 public:
  static constexpr Guid IID = "B370A50A-3013-430F-8BB7-574E64D89571";
  virtual std::string GetSkinName() = 0;
  virtual void SetSkinName(const std::string& name) = 0;
};

// Switches the language of open forms: forms register a call-back that relabels them.
class IKrHQLanguageFormMgr : public virtual IInterface {
 public:
  static constexpr Guid IID = "DB13263F-60AF-479D-A02A-002499446026";
  using Relabel = std::function<void(const std::string& language)>;
  virtual std::string GetLanguage() = 0;
  // Returns a registration ID for UnregisterForm.
  virtual int RegisterForm(Relabel relabel) = 0;
  virtual void UnregisterForm(int id) = 0;
  // Stores the language and relabels every registered form, in registration order.
  virtual void SwitchLanguage(const std::string& language) = 0;
};

}  // namespace kdp
