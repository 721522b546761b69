#include "cloud/cloud_command_analysis.h"

#include <algorithm>
#include <filesystem>
#include <sstream>

#include <fmt/format.h>

#include "cloud/cloud_builtin_commands.h"
#include "core/host_lookups.h"
#include "kdp/host/log.h"
#include "kdp/host/paths.h"
#include "kdp/host/xml.h"
#include "util/strings.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "TKrCloudCommandAnalysis";

std::unique_ptr<TKrCloudCommandAnalysis> g_CloudCommandAnalysis;

// The element children of `node`, comments and text skipped.
std::vector<pugi::xml_node> ElementChildren(const pugi::xml_node& node) {
  std::vector<pugi::xml_node> children;
  for (const auto& child : node.children())
    if (child.type() == pugi::node_element) children.push_back(child);
  return children;
}

// The body of an rtLux command: the XML text of the first non-comment child of "CommandBody".
std::string CommandBody(const pugi::xml_node& body) {
  for (const auto& child : body.children()) {
    if (child.type() == pugi::node_comment) continue;
    if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) return Trim(child.value());
    std::ostringstream text;
    child.print(text, "", pugi::format_raw);
    return text.str();
  }
  return {};
}

void ReadCommand(const pugi::xml_node& command, TKrCloudReportItem& item) {
  item.CommandID = host::GetNodeAttributeInteger(command, "commandid", 0);
  item.AppID = host::GetNodeAttributeInteger(command, "appid", 0);
  if (item.ReportType == TCloudReportType::rtLux) {
    for (const auto& child : ElementChildren(command)) {
      if (std::string_view(child.name()) == "CommandBody")
        item.Command = CommandBody(child);
      else if (std::string_view(child.name()) == "Param")
        item.AddParam(host::GetNodeAttributeValue(child, "name"), host::GetNodeAttributeValue(child, "value"));
    }
    return;
  }
  item.Command = host::GetNodeAttributeValue(command, "name");
  for (const auto& child : ElementChildren(command))
    item.AddParam(host::GetNodeAttributeValue(child, "name"), host::GetNodeAttributeValue(child, "value"));
}

// A table constraint may hold names, blanks, commas and parentheses ("PRIMARY KEY(KORACODE,TRADEDATE)").
bool IsPlainTableConstraint(std::string_view text) {
  return std::ranges::all_of(text, [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == ' ' ||
           c == ',' || c == '(' || c == ')';
  });
}

// Reads the "Table" element; "" when it is usable, else the reason.
std::string ReadTable(const pugi::xml_node& table, TKrCloudReportTable& out) {
  out.Name = host::GetNodeAttributeValue(table, "name");
  const auto indexs = host::GetNodeAttributeValue(table, "Indexs");
  if (!indexs.empty()) out.Indexs = SplitString(indexs, ',');
  out.MainKey = host::GetNodeAttributeValue(table, "MainKey");
  out.bDrop = host::GetNodeAttributeBoolean(table, "bDrop", false);
  out.bAppend = host::GetNodeAttributeBoolean(table, "bAppend", false);
  for (const auto& field : ElementChildren(table)) {
    out.Fields.push_back(host::GetNodeAttributeValue(field, "name"));
    out.FieldTypes.push_back(host::GetNodeAttributeInteger(field, "Type", 0));
  }
  if (!IsPlainSqlName(out.Name)) return fmt::format("table name \"{}\" is not a plain name", out.Name);
  if (out.Fields.empty()) return "the table has no fields";
  for (const auto& name : out.Fields)
    if (!IsPlainSqlName(name)) return fmt::format("field \"{}\" is not a plain name", name);
  for (const auto& name : out.Indexs)
    if (!IsPlainSqlName(name)) return fmt::format("index \"{}\" is not a plain name", name);
  if (!IsPlainTableConstraint(out.MainKey))
    return fmt::format("main key \"{}\" is not a plain constraint", out.MainKey);
  return {};
}

// The report of a "Report" element; nullptr with `refusal` when it cannot be used.
std::unique_ptr<TKrCloudReportItem> ReadReport(const pugi::xml_node& node, std::string& refusal) {
  auto item = std::make_unique<TKrCloudReportItem>();
  item->Name = host::GetNodeAttributeValue(node, "Name");
  item->ReportAnalysis = host::GetNodeAttributeValue(node, "ReportAnalysis");
  item->Caption = host::GetNodeAttributeValue(node, "Caption");
  item->ServerAlia = host::GetNodeAttributeValue(node, "ServerAlia");
  item->ServerUrlItem = host::GetNodeAttributeValue(node, "ServerUrlItem");
  item->IsAuthorized = host::GetNodeAttributeBoolean(node, "IsAuthorized", false);
  item->IsSector = host::GetNodeAttributeBoolean(node, "IsSector", false);
  item->SectorName = host::GetNodeAttributeValue(node, "SectorName");
  item->SectorType = host::GetNodeAttributeInteger(node, "SectorType", 0);
  item->ModuleName = host::GetNodeAttributeValue(node, "ModuleName");
  item->ReportType = CloudReportTypeFromText(host::GetNodeAttributeValue(node, "ReportType"));
  refusal = item->Name.empty() ? "the report has no name" : "the report has no table";
  for (const auto& child : ElementChildren(node)) {
    const std::string_view kind = child.name();
    if (kind == "Command" && item->ReportType != TCloudReportType::rtPR && item->ReportType != TCloudReportType::rtNone)
      ReadCommand(child, *item);
    else if (kind == "Table" && !item->Name.empty())
      refusal = ReadTable(child, item->Table);
  }
  if (!refusal.empty()) return nullptr;
  return item;
}

}  // namespace

TKrCloudCommandAnalysis& TKrCloudCommandAnalysis::GetInstance() {
  if (!g_CloudCommandAnalysis) {
    g_CloudCommandAnalysis = std::make_unique<TKrCloudCommandAnalysis>(G_GetSqliteDataBase());
    g_CloudCommandAnalysis->LoadConfig();
    g_CloudCommandAnalysis->LoadCloudIndexConfig();
  }
  return *g_CloudCommandAnalysis;
}

void TKrCloudCommandAnalysis::FreeInstance() { g_CloudCommandAnalysis.reset(); }

TKrCloudCommandAnalysis::TKrCloudCommandAnalysis(std::shared_ptr<host::ISqliteDataBase> database)
    : FDataBase(std::move(database)), FCalendar(std::make_shared<THostCloudCalendar>()) {}

void TKrCloudCommandAnalysis::LoadConfig() {
  AnalysisReportConfig(host::GetEtcPath() + "HQ/Base/" + kCloudReportConfigFileName);
}

void TKrCloudCommandAnalysis::LoadConfigByModuleName(const std::string& module) {
  AnalysisReportConfig(host::GetEtcPath() + module + "/Base/" + kCloudReportConfigFileName);
}

void TKrCloudCommandAnalysis::AnalysisReportConfig(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    host::AddHQLog(fmt::format("The file is not Exsit: {}!", kCloudReportConfigFileName), kLogSource,
                   host::LogSeverity::kWarning);
    return;
  }
  pugi::xml_document document;
  std::string error;
  if (!host::LoadXmlFile(document, path, &error)) {
    host::AddHQLog(fmt::format("AnalysisReportConfig {}: {}", path, error), kLogSource, host::LogSeverity::kWarning);
    return;
  }
  ClearReportConfig();
  for (const auto& node : ElementChildren(document.document_element())) AddReport(node);
}

bool TKrCloudCommandAnalysis::AddReport(const pugi::xml_node& node) {
  std::string refusal;
  auto item = ReadReport(node, refusal);
  if (!item) {
    host::AddHQLog(fmt::format("AnalysisReportConfig: report \"{}\" skipped: {}",
                               host::GetNodeAttributeValue(node, "Name"), refusal),
                   kLogSource, host::LogSeverity::kWarning);
    return false;
  }
  DynamicAddReportItem(std::move(item));
  return true;
}

bool TKrCloudCommandAnalysis::AddReportXml(const std::string& reportXml) {
  pugi::xml_document document;
  const auto parsed = document.load_string(reportXml.c_str());
  if (!parsed || std::string_view(document.document_element().name()) != "Report") {
    host::AddHQLog(fmt::format("DynamicAddReportItem: not a Report element: {}", parsed.description()), kLogSource,
                   host::LogSeverity::kWarning);
    return false;
  }
  return AddReport(document.document_element());
}

void TKrCloudCommandAnalysis::LoadCloudIndexConfig() {
  ClearCommands();
  // One transaction for the 32 tables and their indexes: one write to the disk instead of one each.
  const bool batched = FDataBase && FDataBase->BeginTransaction();
  for (auto& item : MakeBuiltInCloudCommands()) {
    CreateDataTable(*item);
    const int id = item->ID;
    FCommands[id] = std::move(item);
  }
  if (batched && !FDataBase->Commit()) {
    host::AddHQLog("LoadCloudIndexConfig: the command tables were not created: " + FDataBase->GetLastError(),
                   "TKrCloudCommandAnalysis", host::LogSeverity::kWarning);
    FDataBase->Rollback();
  }
}

TKrCloudReportItem* TKrCloudCommandAnalysis::GetReportItem(const std::string& name) const {
  const auto it = FReports.find(name);
  return it == FReports.end() ? nullptr : it->second.get();
}

std::string TKrCloudCommandAnalysis::GetReportNames() const {
  std::string names;
  for (const auto& [name, item] : FReports) names += (names.empty() ? "" : ",") + item->Name;
  return names;
}

std::string TKrCloudCommandAnalysis::GetReportNameBySectorName(const std::string& sectorName) const {
  for (const auto& [name, item] : FReports)
    if (item->IsSector && SameTextAscii(item->SectorName, sectorName)) return item->Name;
  return {};
}

bool TKrCloudCommandAnalysis::IsCloudSector(const std::string& sectorName) const {
  return !GetReportNameBySectorName(sectorName).empty();
}

void TKrCloudCommandAnalysis::DynamicAddReportItem(std::unique_ptr<TKrCloudReportItem> item) {
  item->Table.Lock = TableLock(item->Table.Name);
  const std::string name = item->Name;
  FReports[name] = std::move(item);
}

TKrCloudCommandItem* TKrCloudCommandAnalysis::GetCommandItemByID(int id) const {
  const auto it = FCommands.find(id);
  return it == FCommands.end() ? nullptr : it->second.get();
}

bool TKrCloudCommandAnalysis::CreateDataTable(const TKrCloudCommandItem& item) {
  return FDataBase && CreateCommandTable(item, *FDataBase);
}

TCloudRequestContext TKrCloudCommandAnalysis::RequestContext() const {
  return TCloudRequestContext{G_getCurrentLanguage(), *FCalendar};
}

std::shared_ptr<std::mutex> TKrCloudCommandAnalysis::TableLock(const std::string& table) {
  auto& lock = FTableLocks[table];
  if (!lock) lock = std::make_shared<std::mutex>();
  return lock;
}

}  // namespace kdp
