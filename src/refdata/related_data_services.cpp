#include "refdata/related_data_services.h"

#include <array>

#include <pugixml.hpp>

#include "core/host_lookups.h"
#include "kdp/host/log.h"
#include "kdp/host/xml.h"
#include "util/strings.h"

namespace kdp {

TURLMgr::TURLMgr() {
  const std::string path = GetEtcBaseFilePath("URLConfig.xml");
  pugi::xml_document doc;
  if (!host::LoadXmlFile(doc, path)) return;  // no URL configuration: every alias is unknown
  for (const pugi::xml_node& node : doc.document_element().children("URL")) {
    const std::string alias = host::GetNodeAttributeValue(node, "alias");
    if (!alias.empty()) FUrls[ToUpperAscii(alias)] = host::GetNodeAttributeValue(node, "url");
  }
}

std::string TURLMgr::GetURL(const std::string& alias) {
  auto it = FUrls.find(ToUpperAscii(alias));
  return it == FUrls.end() ? std::string() : it->second;
}

void TURLMgr::SetURL(const std::string& alias, const std::string& url) { FUrls[ToUpperAscii(alias)] = url; }

void TKrRelateIndustry::Load() {
  FLoaded = true;
  auto root = G_GetSectorByID(kIndustryRootSectorID);
  if (!root) return;
  for (int i = 0; i < root->GetChildCount(); ++i) {
    auto industry = root->GetChild(i);
    if (!industry) continue;
    for (const std::string& code : industry->GetMemberCodes()) {
      FIndustryByCode.emplace(ToUpperAscii(code), industry->GetID());
    }
  }
}

std::string TKrRelateIndustry::GetIndustrySectorID(const std::string& koraCode) {
  if (!FLoaded) Load();
  auto it = FIndustryByCode.find(ToUpperAscii(Trim(koraCode)));
  return it == FIndustryByCode.end() ? std::string() : it->second;
}

std::string TKrFutureRelateIndex::GetRelateIndexCode(const std::string& futureCode) {
  struct Product {
    std::string_view prefix;
    std::string_view index;
  };
  static constexpr std::array kIndexFutures{
      Product{"IF", "000300.SH"},
      Product{"IH", "000016.SH"},
      Product{"IC", "000905.SH"},
      Product{"IM", "000852.SH"},
  };
  const std::string code = ToUpperAscii(Trim(futureCode));
  // The product is the letters before the contract month: "IF2412.CFE" -> "IF".
  std::size_t letters = 0;
  while (letters < code.size() && code[letters] >= 'A' && code[letters] <= 'Z') ++letters;
  const std::string_view product = std::string_view(code).substr(0, letters);
  for (const Product& p : kIndexFutures) {
    if (product == p.prefix) return std::string(p.index);
  }
  return {};
}

}  // namespace kdp
