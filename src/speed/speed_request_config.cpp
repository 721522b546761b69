#include "kdp/speed/speed_request_config.h"

#include <filesystem>

#include <pugixml.hpp>

#include "kdp/host/log.h"
#include "kdp/host/paths.h"
#include "kdp/host/xml.h"
#include "util/strings.h"

namespace kdp {

TKrIndicatorParamEntry TKrIndicatorParam::GetParameterByID(int index) const {
  return index >= 0 && index < GetParamCount() ? FParams[static_cast<std::size_t>(index)] : TKrIndicatorParamEntry{};
}

std::string TKrIndicatorParam::GetParamFieldByKey(const std::string& key) const {
  for (const auto& e : FParams) {
    if (e.key == key) return e.field;
  }
  return {};
}

std::string TKrIndicatorParam::GetParamKeyByField(const std::string& field) const {
  for (const auto& e : FParams) {
    if (e.field == field) return e.key;
  }
  return {};
}

TKrSpeedReqParamAnalyse::TKrSpeedReqParamAnalyse()
    : TKrSpeedReqParamAnalyse(host::GetEtcPath() + host::ToNativePath("HQ\\HisDataReqCfg.xml")) {}

TKrSpeedReqParamAnalyse::TKrSpeedReqParamAnalyse(const std::string& path) { LoadSpeedProtocolConfigure(path); }

void TKrSpeedReqParamAnalyse::LoadSpeedProtocolConfigure(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) {
    host::AddHQLog("LoadSpeedProtocolConfigure HisDataReqCfg.xml 不存在!", "uKrSpeedProtocolAnalyse",
                   host::LogSeverity::kNotice);
    return;
  }
  pugi::xml_document doc;
  std::string error;
  if (!host::LoadXmlFile(doc, path, &error)) {
    host::AddHQLog("LoadSpeedProtocolConfigure cannot read " + path + ": " + error, "uKrSpeedProtocolAnalyse",
                   host::LogSeverity::kNotice);
    return;
  }
  for (const pugi::xml_node& command : doc.document_element().children()) {
    if (command.type() != pugi::node_element) continue;
    auto param = std::make_shared<TKrIndicatorParam>();
    param->SetCmdID(host::GetNodeAttributeValue(command, "CmdID"));
    param->SetReqType(host::GetNodeAttributeValue(command, "ReqType"));
    param->SetReqID(host::GetNodeAttributeValue(command, "ReqID"));
    param->SetServerID(host::GetNodeAttributeValue(command, "ServerID"));
    param->SetDependID(host::GetNodeAttributeValue(command, "DependID"));
    param->SetDescription(host::GetNodeAttributeValue(command, "Description"));
    for (const pugi::xml_node& list : command.children("RequestParam")) {
      // A comment among the entries keeps its place as an empty entry.
      std::vector<TKrIndicatorParamEntry> entries;
      for (const pugi::xml_node& entry : list.children()) {
        TKrIndicatorParamEntry e;
        if (entry.type() == pugi::node_element) {
          e = {host::GetNodeAttributeValue(entry, "key"), host::GetNodeAttributeValue(entry, "field"),
               host::GetNodeAttributeValue(entry, "type")};
        }
        entries.push_back(std::move(e));
      }
      param->SaveParamInfo(std::move(entries));
    }
    FByCmdID[param->GetCmdID()] = param;
    FByReqID[StrToIntDef(param->GetReqID(), 0)] = param;
  }
}

const TKrIndicatorParam* TKrSpeedReqParamAnalyse::GetIndicatorParamsByCmdID(const std::string& cmdID) const {
  auto it = FByCmdID.find(cmdID);
  return it == FByCmdID.end() ? nullptr : it->second.get();
}

const TKrIndicatorParam* TKrSpeedReqParamAnalyse::GetIndicatorParamsByReqID(int reqID) const {
  auto it = FByReqID.find(reqID);
  return it == FByReqID.end() ? nullptr : it->second.get();
}

std::string TKrSpeedReqParamAnalyse::GetCmdIDByReqID(int reqID) const {
  const auto* p = GetIndicatorParamsByReqID(reqID);
  return p ? p->GetCmdID() : std::string();
}

std::string TKrSpeedReqParamAnalyse::GetReqIDByCmdID(const std::string& cmdID) const {
  const auto* p = GetIndicatorParamsByCmdID(cmdID);
  return p ? p->GetReqID() : std::string();
}

}  // namespace kdp
