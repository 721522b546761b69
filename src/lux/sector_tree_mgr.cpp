#include "lux/sector_tree_mgr.h"

#include <algorithm>
#include <array>
#include <utility>

#include <fmt/format.h>

#include "core/package_lookup.h"
#include "core/service_catalog.h"
#include "kdp/host/log.h"
#include "lux/lux_sector_tree_processor.h"
#include "util/strings.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "uKrSectorTreeMgr";

std::shared_ptr<TKrSectorTreeMgr> G_ISectorTreeMgr;

// The tree types of the three requests, in the order of the helpers that send them.
constexpr std::string_view kNewsTreeType = "19";
constexpr std::string_view kScrollNewsTreeType = "27";
constexpr std::string_view kNewTreeType = "30";

// The keys every column request carries; the widget fills them in.
constexpr std::array<std::string_view, 5> kColumnRequestKeys{"startDate", "endDate", "pageno", "pagesize", "title"};

constexpr std::array<std::pair<std::string_view, TLuxDataReqType>, 3> kRequestKinds{{
    {"DITGet", LDRTGet},
    {"DITSearch", LDRTSearch},
    {"DITSub", LDRTSub},
}};

// A node item's attributes that say how its column is requested: the configured column that serves it,
// and "index:value" pairs separated by "," for the request fields.
constexpr std::string_view kRequestNameField = "reqname";
constexpr std::string_view kRequestFieldsField = "reqfields";

void Log(const std::string& message) { host::AddHQLog(message, kLogSource, host::LogSeverity::kNotice); }

std::shared_ptr<TKrLuxSectorTreeProcessor> TreeRequest(std::string_view treeType) {
  auto request = std::make_shared<TKrLuxSectorTreeProcessor>();
  request->SetIndexValue("SectorTreeType", treeType);
  return request;
}

// Stores every row item of the table under its "code".
void KeepRowItems(IKrLuxDataTable& table, std::map<std::string, std::shared_ptr<IKrLuxDataItem>>& items) {
  for (int row = 0; row < table.GetRowCount(); ++row) {
    if (auto item = table.GetRowItem(row)) items[item->GetIndexValue("code")] = std::move(item);
  }
}

}  // namespace

std::string_view SectorTypeKey(TSectorType type) {
  switch (type) {
    case TSectorType::kNews:
      return "news";
    case TSectorType::kAffiche:
      return "affiche";
    case TSectorType::kLaw:
      return "law";
  }
  return "";
}

std::shared_ptr<TKrSectorTreeMgr> TKrSectorTreeMgr::GetInstance() {
  if (!G_ISectorTreeMgr) G_ISectorTreeMgr = std::make_shared<TKrSectorTreeMgr>();
  return G_ISectorTreeMgr;
}

void TKrSectorTreeMgr::FreeInstance() { G_ISectorTreeMgr.reset(); }

TKrSectorTreeMgr::TKrSectorTreeMgr() {
  FLuxMsgHelper.SetDataNotify(
      [this](const auto& table, const TNotifyInfo& info) { LuxNewsSectorTreeCallback(table, info); });
  FLuxScrollNewsMsgHelper.SetDataNotify(
      [this](const auto& table, const TNotifyInfo& info) { LuxScrollNewsSectorTreeCallback(table, info); });
  FLuxMsgHelperNew.SetDataNotify(
      [this](const auto& table, const TNotifyInfo& info) { LuxNewsSectorTreeCallbackNew(table, info); });
}

std::shared_ptr<const TSectorTreeNodes> TKrSectorTreeMgr::GetSectorTree(TSectorType type) {
  if (const auto found = FDicSectorTree.find(SectorTypeKey(type)); found != FDicSectorTree.end()) {
    return found->second;
  }
  RequestSectorTrees();
  return nullptr;
}

void TKrSectorTreeMgr::GetAllSectorTree() {
  FDicSectorTree.clear();
  FTreesRequested = false;
  RequestSectorTrees();
}

void TKrSectorTreeMgr::RequestSectorTrees() {
  if (FTreesRequested) return;
  FTreesRequested = FLuxMsgHelper.SendMsg(TreeRequest(kNewsTreeType)) > 0;
  FLuxScrollNewsMsgHelper.SendMsg(TreeRequest(kScrollNewsTreeType));
  FLuxMsgHelperNew.SendMsg(TreeRequest(kNewTreeType));
}

void TKrSectorTreeMgr::LuxNewsSectorTreeCallback(const std::shared_ptr<IKrLuxDataTable>& table,
                                                 const TNotifyInfo& info) {
  if (info.NotifyType != NTSpecalMsg) return;
  FTreesRequested = false;  // answered, failed or timed out: the next look-up may ask again
  if (table) SaveSectorTree(*table, TSectorType::kNews);
}

void TKrSectorTreeMgr::LuxScrollNewsSectorTreeCallback(const std::shared_ptr<IKrLuxDataTable>& table,
                                                       const TNotifyInfo& info) {
  if (info.NotifyType != NTSpecalMsg || !table) return;
  KeepRowItems(*table, FScrollNewsSectorTreeOriginalData);
}

void TKrSectorTreeMgr::LuxNewsSectorTreeCallbackNew(const std::shared_ptr<IKrLuxDataTable>& table,
                                                    const TNotifyInfo& info) {
  if (info.NotifyType != NTSpecalMsg || !table) return;
  KeepRowItems(*table, FNewsSectorTreeOriginalDataNew);
}

void TKrSectorTreeMgr::SaveSectorTree(IKrLuxDataTable& table, TSectorType type) {
  if (table.GetRowCount() == 0) return;
  auto nodes = std::make_shared<TSectorTreeNodes>();
  nodes->reserve(static_cast<std::size_t>(table.GetRowCount()));
  for (int row = 0; row < table.GetRowCount(); ++row) {
    nodes->push_back({table.GetIndexValue(row, "code"), table.GetIndexValue(row, "codename"),
                      table.GetIndexValue(row, "parentcode"), StrToIntDef(table.GetIndexValue(row, "level"), 0),
                      StrToIntDef(table.GetIndexValue(row, "isleaf"), 0)});
  }
  FDicSectorTree[std::string(SectorTypeKey(type))] = std::move(nodes);
  KeepRowItems(table, FNewsSectorTreeOriginalData);
}

ReqInfoPtr TKrSectorTreeMgr::GetSectorTreeReqInfo(const std::string& columnCode, const std::string& requestKind) {
  const auto kind = std::find_if(kRequestKinds.begin(), kRequestKinds.end(),
                                 [&](const auto& entry) { return entry.first == requestKind; });
  if (requestKind.empty() || kind == kRequestKinds.end()) {
    Log("InitSectorTreeReqInfo 请求类型为空");
    return nullptr;
  }
  const auto column = FNewsSectorTreeOriginalData.find(columnCode);
  if (column == FNewsSectorTreeOriginalData.end()) {
    Log(fmt::format("GetSectorTreeReqInfo 栏目树中未找到栏目{}", columnCode));
    return nullptr;
  }
  auto manager = G_LuxDataManager();
  if (!manager) return nullptr;
  ReqInfoPtr info = manager->GetLuxDataReqInfo(column->second->GetIndexValue(kRequestNameField), kind->second);
  if (!info || !InitSectorTreeReqInfo(*info, *column->second)) return nullptr;
  return info;
}

bool TKrSectorTreeMgr::InitSectorTreeReqInfo(IKrLuxDataReqInfo& info, IKrLuxDataItem& column) {
  auto names = G_LuxIndexNameTable();
  if (!names) return false;
  for (const std::string& field : SplitString(column.GetIndexValue(kRequestFieldsField), ',')) {
    if (field.empty()) continue;
    const std::size_t colon = field.find(':');
    const std::string index = field.substr(0, colon);
    const std::string name = names->GetNameByIndex(index);
    if (name.empty()) {
      Log(fmt::format("GetSectorTreeReqInfo 未找到请求指标{}对应的请求名字", index));
      continue;
    }
    info.SetIndexValue(name,
                       colon == std::string::npos ? std::string_view() : std::string_view(field).substr(colon + 1));
  }
  for (std::string_view key : kColumnRequestKeys) {
    if (info.GetIndexValue(key).empty()) info.SetIndexValue(key, "");
  }
  return true;
}

// ---- TKrLuxIndexNameTable ----

TKrLuxIndexNameTable::TKrLuxIndexNameTable() {
  // "v" + index for the ranges of plain value fields (2020 and 2022 are not request fields).
  for (const auto& [first, last] : {std::pair{2001, 2019}, std::pair{2023, 2027}, std::pair{2100, 2100}}) {
    for (int index = first; index <= last; ++index)
      FIndexToNameTable[std::to_string(index)] = fmt::format("v{}", index);
  }
  FIndexToNameTable["2021"] = "auth";
  static constexpr std::pair<std::string_view, std::string_view> kNamedFields[] = {
      {"3023", "subjecttype"}, {"3024", "contents"},  {"3025", "keyword"},
      {"3026", "stattype"},    {"3027", "codetype"},  {"3028", "sort"},
      {"3029", "affichetype"}, {"3030", "begindate"}, {"3031", "enddate"},
  };
  for (const auto& [index, name] : kNamedFields) FIndexToNameTable[std::string(index)] = name;
}

std::string TKrLuxIndexNameTable::GetNameByIndex(const std::string& index) {
  const auto found = FIndexToNameTable.find(index);
  return found == FIndexToNameTable.end() ? std::string() : found->second;
}

}  // namespace kdp
