#include "core/string_catalog.h"

#include <pugixml.hpp>

#include "core/host_lookups.h"
#include "kdp/host/log.h"
#include "kdp/host/paths.h"
#include "kdp/host/xml.h"
#include "util/strings.h"

namespace kdp {
namespace {

std::shared_ptr<IHQStrCatch> g_StrCatch;

}  // namespace

THQStrCatch::THQStrCatch() {
  const std::string path = host::GetEtcPath() + host::ToNativePath("HQ\\Base\\HQStrings.xml");
  pugi::xml_document doc;
  std::string error;
  if (!host::LoadXmlFile(doc, path, &error)) {
    host::AddHQLog("THQStrCatch cannot read " + path + ": " + error, "THQStrCatch", host::LogSeverity::kNotice);
    return;
  }
  for (const pugi::xml_node& node : doc.document_element().children("String")) {
    const int id = host::GetNodeAttributeInteger(node, "id", -1);
    if (id < 0) continue;
    for (const pugi::xml_attribute& attr : node.attributes()) {
      // The file lists its IDs in order, so the hint at the end mostly places each text without a search.
      if (std::string_view(attr.name()) != "id")
        FTexts.insert_or_assign(FTexts.end(), {id, ToUpperAscii(attr.name())}, attr.value());
    }
  }
}

std::string THQStrCatch::GetLanguageStrDef(int id, const std::string& defaultText) {
  std::string language = ToUpperAscii(G_getCurrentLanguage());
  if (language == "ENS") language = "ENG";  // the English edition reads the English texts
  auto it = FTexts.find({id, language});
  return it == FTexts.end() || it->second.empty() ? defaultText : it->second;
}

std::shared_ptr<IHQStrCatch> G_GetStrCatch() { return g_StrCatch; }
void CreateStrCatch() { g_StrCatch = std::make_shared<THQStrCatch>(); }
void FreeStrCatch() { g_StrCatch.reset(); }

std::string GetLanguageStrDef(int id, const std::string& defaultText) {
  return g_StrCatch ? g_StrCatch->GetLanguageStrDef(id, defaultText) : defaultText;
}

}  // namespace kdp
