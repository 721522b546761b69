#include "refdata/stock_type_variable.h"

#include <pugixml.hpp>

#include "core/package_lookup.h"
#include "core/service_catalog.h"
#include "kdp/host/log.h"
#include "kdp/host/paths.h"
#include "kdp/host/xml.h"
#include "util/strings.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "uStockTypeVariable";

}  // namespace

TStockTypeVariable::TStockTypeVariable()
    : FSecurityManager(G_SecurityManager()) {
  Load(host::GetEtcPath() + host::ToNativePath("HQ\\Base\\StockTypeVariables.xml"));
}

TStockTypeVariable::TStockTypeVariable(const std::string& path, std::shared_ptr<IKrHQSecurityManager> manager)
    : FSecurityManager(std::move(manager)) {
  Load(path);
}

void TStockTypeVariable::Load(const std::string& path) {
  pugi::xml_document document;
  std::string error;
  if (!host::LoadXmlFile(document, path, &error)) {
    host::AddHQLog("StockTypeVariables cannot be read: " + path + ": " + error, kLogSource, host::LogSeverity::kNotice);
    return;
  }
  for (const pugi::xml_node& types : document.document_element().children()) {
    if (types.type() != pugi::node_element) continue;
    const std::vector<std::string> typeNames = SplitString(types.attribute("name").value(), ',');
    for (const pugi::xml_node& variable : types.children()) {
      if (variable.type() != pugi::node_element) continue;
      const std::string name = Trim(variable.attribute("name").value());
      const std::string value = Trim(variable.attribute("value").value());
      for (const std::string& type : typeNames) {
        FVariables.emplace(ToUpperAscii(Trim(type) + "_" + name), value);  // the first value stays
      }
    }
  }
}

std::string TStockTypeVariable::GetVariableByHQType(const std::string& hqType, const std::string& name) {
  if (auto it = FVariables.find(ToUpperAscii(hqType + "_" + name)); it != FVariables.end()) return it->second;
  if (auto it = FVariables.find(ToUpperAscii("default_" + name)); it != FVariables.end()) return it->second;
  return {};
}

std::string TStockTypeVariable::GetVariableByStockType(const std::shared_ptr<IKrHQSecurityInfo>& info,
                                                       const std::string& name) {
  return info ? GetVariableByHQType(info->GetHQType(), name) : std::string();
}

std::string TStockTypeVariable::GetVariableByStockType(const std::string& code, const std::string& name) {
  return GetVariableByStockType(FSecurityManager ? FSecurityManager->GetSecurityInfo(code) : nullptr, name);
}

}  // namespace kdp
