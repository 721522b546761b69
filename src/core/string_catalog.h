// The string catalogue: language texts by number, the captions and messages the package shows.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>

#include "kdp/core/string_catalog.h"

namespace kdp {

// Language texts by number, loaded from "HQ\Base\HQStrings.xml": <String id="..." CHS="..." ENG="..."/>.
class THQStrCatch final : public host::Implements<IHQStrCatch> {
 public:
  THQStrCatch();
  std::string GetLanguageStrDef(int id, const std::string& defaultText) override;

 private:
  // (id, language code) -> text
  std::map<std::pair<int, std::string>, std::string> FTexts;
};

// The module's string catalogue, created at start-up and released at stop.
std::shared_ptr<IHQStrCatch> G_GetStrCatch();
void CreateStrCatch();
void FreeStrCatch();
// The catalogue's text, or `defaultText` when there is no catalogue or no such text.
std::string GetLanguageStrDef(int id, const std::string& defaultText);

}  // namespace kdp
