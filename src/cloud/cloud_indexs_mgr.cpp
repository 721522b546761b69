#include "cloud/cloud_indexs_mgr.h"

#include <algorithm>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "cloud/cloud_builtin_commands.h"
#include "cloud/cloud_command_analysis.h"
#include "core/host_lookups.h"
#include "fields/hq_dictionary.h"
#include "kdp/host/log.h"
#include "kdp/host/number_text.h"
#include "util/dp_timer.h"
#include "util/tools.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "TKrCloudIndexsMgr";
constexpr int kLastReportCommand = 30;
// The key-ratio command's "kcb" parameter is "1" for the science and technology board's own indexes.
constexpr int kIndexKeyRatiosCommand = 17;
constexpr std::string_view kKcbCodes[] = {"000688.SH", "000680.SH"};

// The value of a command's second parameter for `code`.
std::string SecondParamValue(const TKrCloudCommandItem& item, const std::string& code) {
  if (item.SecondParamName == "lan") return G_getCurrentLanguage() == kEnglishEditionLanguage ? "en" : "cn";
  if (item.SecondParamName == "kcb" || item.ID == kIndexKeyRatiosCommand)
    return std::ranges::find(kKcbCodes, code) != std::end(kKcbCodes) ? "1" : "0";
  return std::to_string(GetServerDateTime().Yyyymmdd());  // a date parameter ("endDate")
}

QuoteVariant DeliveredValue(const std::string& text) {
  if (auto number = host::ParseDouble(text)) return *number;
  return WideText{text};
}

}  // namespace

// ---- data request ----

TKrCloudDataRequest::TKrCloudDataRequest(std::weak_ptr<TKrCloudIndexsMgr> manager,
                                         std::shared_ptr<ICloudObserver> observer, int id)
    : FManager(std::move(manager)), FObserver(std::move(observer)), FRequestID(id) {}

int TKrCloudDataRequest::Subscrible(const host::TKrSpeedSymbolDataList& symbols) {
  const auto manager = FManager.lock();
  if (!manager) return -1;
  FSymbols = symbols;
  manager->Subscrible(FRequestID);
  return 0;
}

int TKrCloudDataRequest::UnSubscribe() {
  const auto manager = FManager.lock();
  if (!manager) return -1;
  FSymbols.clear();
  manager->UnSubscrible(FRequestID);
  return 0;
}

// ---- manager ----

TKrCloudIndexsMgr::TKrCloudIndexsMgr() { KrHQDictionaryImpl(); }

TKrCloudIndexsMgr::~TKrCloudIndexsMgr() { UnRegisterTimer(FRefreshTimer); }

bool TKrCloudIndexsMgr::GetCloudDataRequestByIObserver(std::shared_ptr<ICloudObserver> observer,
                                                       std::shared_ptr<IKrCloudDataRequest>& request) {
  request = nullptr;
  if (!observer) return false;
  const int id = GetDataRequestID();
  auto made = std::make_shared<TKrCloudDataRequest>(weak_from_this(), observer, id);
  FRequests[id] = TDataRequestInfo{made, std::move(observer)};
  request = std::move(made);
  return true;
}

void TKrCloudIndexsMgr::RemoveCloudDataRequest(int requestID) {
  const auto it = FRequests.find(requestID);
  if (it == FRequests.end()) return;
  FRefreshedRequests -= it->second.refreshed ? 1 : 0;
  FRequests.erase(it);
  UpdateRefreshTimer();
}

void TKrCloudIndexsMgr::Subscrible(int requestID) {
  const auto it = FRequests.find(requestID);
  if (it == FRequests.end()) return;
  const auto wanted = GetCloudIndex(it->second.request->GetSymbols(), false);
  if (!wanted.empty()) RequestCloudData(requestID, wanted);
  Recount(it->second);
  UpdateRefreshTimer();
}

void TKrCloudIndexsMgr::UnSubscrible(int requestID) {
  const auto it = FRequests.find(requestID);
  if (it == FRequests.end()) return;
  Recount(it->second);
  UpdateRefreshTimer();
}

void TKrCloudIndexsMgr::SetIsRequestingAllCloudIndex(bool flag) {
  FRequestAll = flag;
  for (auto& [id, info] : FRequests) Recount(info);
  UpdateRefreshTimer();
}

bool TKrCloudIndexsMgr::IsRefreshTimerEnabled() const { return FRefreshTimer && FRefreshTimer->GetEnabled(); }

int TKrCloudIndexsMgr::CommandOfIndex(int id) {
  const int family = KrHQDictionaryImpl().GetCloudCommandIDByID(id);
  if (family == kMatrixFunctionCommandID || family == kKssFunctionCommandID) return family;
  if (FCommandOfIndex.empty()) {
    const auto& analysis = TKrCloudCommandAnalysis::GetInstance();
    for (int command = 1; command <= kLastReportCommand; ++command) {
      if (const auto* item = analysis.GetCommandItemByID(command))
        for (const int index : item->IndexIDs) FCommandOfIndex.try_emplace(index, command);
    }
  }
  const auto it = FCommandOfIndex.find(id);
  return it == FCommandOfIndex.end() ? 0 : it->second;
}

TKrIndexRequest& TKrCloudIndexsMgr::GetIndexRequest(int commandId) {
  auto& request = FIndexRequests[commandId];
  if (!request) {
    request = std::make_unique<TKrIndexRequest>(commandId, TKrCloudCommandAnalysis::GetInstance().GetDataBase());
    request->SetOnDownLoadEnd([this](bool success, std::uint32_t tag, int, const IIndexDataItem* item) {
      OnCloudDataUpdate(success, tag, item);
    });
  }
  return *request;
}

TKrCloudIndexsMgr::TCodeIndexes TKrCloudIndexsMgr::GetCloudIndex(const host::TKrSpeedSymbolDataList& symbols,
                                                                 bool realTimeOnly) const {
  const auto& dictionary = KrHQDictionaryImpl();
  TCodeIndexes wanted;
  for (const auto& symbol : symbols) {
    for (const std::uint32_t id : symbol.ItemIDs) {
      if (!IsCloudIndex(id)) continue;
      if (realTimeOnly && dictionary.GetCloudTypeByID(static_cast<int>(id)) != TCloudIndexType::itReal) continue;
      wanted[symbol.KoraCode].insert(static_cast<int>(id));
    }
  }
  return wanted;
}

void TKrCloudIndexsMgr::RequestCloudData(int requestID, const TCodeIndexes& wanted) {
  // command -> code -> IDs
  std::map<int, std::map<std::string, std::set<int>>> byCommand;
  for (const auto& [code, ids] : wanted) {
    for (const int id : ids) {
      if (const int command = CommandOfIndex(id))
        byCommand[command][code].insert(id);
      else
        host::AddHQLog(fmt::format("RequestCloudData: no command answers field {}", id), kLogSource,
                       host::LogSeverity::kNotice);
    }
  }
  for (const auto& [command, codes] : byCommand) {
    auto& request = GetIndexRequest(command);
    auto& item = request.GetCommandItem();
    if (item.TableName.empty()) continue;
    if (item.IsNeedIndex() || item.IsMultiCode) {
      TRequestRecord record{requestID, command, {}, {}};
      std::set<int> all;
      for (const auto& [code, ids] : codes) {
        record.codes.push_back(code);
        all.insert(ids.begin(), ids.end());
      }
      record.ids.assign(all.begin(), all.end());
      if (item.IsNeedIndex()) {
        item.ClearMatrixIndex();
        for (const int id : all) item.AppendMatrixIndex(id);
      }
      if (!item.SecondParamName.empty()) item.SetParamValue(item.SecondParamName, SecondParamValue(item, ""));
      request.SetParams(fmt::format("{}", fmt::join(record.codes, ",")));
      SendRequest(request, std::move(record));
      continue;
    }
    for (const auto& [code, ids] : codes) {
      if (!item.SecondParamName.empty()) item.SetParamValue(item.SecondParamName, SecondParamValue(item, code));
      request.SetParams(code);
      SendRequest(request, TRequestRecord{requestID, command, {code}, {ids.begin(), ids.end()}});
    }
  }
}

void TKrCloudIndexsMgr::SendRequest(TKrIndexRequest& request, TRequestRecord record) {
  const std::uint32_t tag = ++FLastTag;
  FRecords[tag] = std::move(record);
  request.FireRequest(tag);  // may complete at once, from the table
}

void TKrCloudIndexsMgr::Recount(TDataRequestInfo& info) {
  const bool refreshed = !GetCloudIndex(info.request->GetSymbols(), !FRequestAll).empty();
  FRefreshedRequests += (refreshed ? 1 : 0) - (info.refreshed ? 1 : 0);
  info.refreshed = refreshed;
}

void TKrCloudIndexsMgr::UpdateRefreshTimer() {
  if (FRefreshedRequests == 0) {
    if (FRefreshTimer) FRefreshTimer->SetEnabled(false);
    return;
  }
  if (!FRefreshTimer) {
    FRefreshTimer = RegisterTimer();
    FRefreshTimer->SetInterval(kRefreshIntervalMs);
    FRefreshTimer->SetOnTimer([this](TKrDPTimer*) { OnRefresh(); });
  }
  FRefreshTimer->SetEnabled(true);
}

void TKrCloudIndexsMgr::OnRefresh() {
  TCodeIndexes refreshed;
  for (const auto& [id, info] : FRequests) {
    if (!info.refreshed) continue;
    for (auto& [code, ids] : GetCloudIndex(info.request->GetSymbols(), !FRequestAll)) refreshed[code].merge(ids);
  }
  if (!refreshed.empty()) RequestCloudData(0, refreshed);
}

void TKrCloudIndexsMgr::OnCloudDataUpdate(bool success, std::uint32_t tag, const IIndexDataItem* item) {
  const auto it = FRecords.find(tag);
  if (it == FRecords.end()) return;
  if (!success) {
    const TRequestRecord& failed = it->second;
    host::AddHQLog(fmt::format("OnCloudDataUpdate unsuccessful ARet = False; CommandID:{}; Index:{}; koracode:{}",
                               failed.commandId, fmt::join(failed.ids, ","), fmt::join(failed.codes, ",")),
                   kLogSource, host::LogSeverity::kNotice);
    // A backup request answers the same send: its outcome still finds the record.
    if (!GetIndexRequest(failed.commandId).IsBackupFollowing()) FRecords.erase(it);
    return;
  }
  const TRequestRecord record = std::move(it->second);
  FRecords.erase(it);
  if (!item) {
    host::AddHQLog(fmt::format("OnCloudDataUpdate unsuccessful ADataItem = nil; CommandID:{}", record.commandId),
                   kLogSource, host::LogSeverity::kNotice);
    return;
  }
  if (record.requestID != 0) {
    const auto info = FRequests.find(record.requestID);
    if (info != FRequests.end()) SaveQuoteData(record, *item, info->second);
    return;
  }
  // A refresh: every observer subscribed to the codes. A copy, since an observer may unsubscribe.
  auto infos = FRequests;
  for (auto& [id, info] : infos) SaveQuoteData(record, *item, info);
}

void TKrCloudIndexsMgr::SaveQuoteData(const TRequestRecord& record, const IIndexDataItem& item,
                                      TDataRequestInfo& info) {
  std::vector<TSpeedQuoteData> rows;
  TCloudPermissionInfo denied;
  for (const auto& symbol : info.request->GetSymbols()) {
    if (std::ranges::find(record.codes, symbol.KoraCode) == record.codes.end()) continue;
    TSpeedQuoteData row{symbol.KoraCode, {}, {}};
    for (const std::uint32_t id : symbol.ItemIDs) {
      if (!std::ranges::binary_search(record.ids, static_cast<int>(id))) continue;
      const std::string index = std::to_string(id);
      if (item.GetIndexUpdateDate(symbol.KoraCode, index).empty()) continue;  // not answered
      if (!item.IsIndexAuthrized(symbol.KoraCode, index)) {
        denied[symbol.KoraCode].push_back(index);
        continue;
      }
      row.FItemArray.push_back(id);
      row.FValueArray.push_back(DeliveredValue(item.ValueAsString(symbol.KoraCode, index)));
    }
    if (!row.FItemArray.empty()) rows.push_back(std::move(row));
  }
  if (!rows.empty()) info.observer->NotifyUpdateCloudData(rows);
  if (!denied.empty()) {
    if (auto permissions = host::Query<ICloudObserverWithPermissionInfo>(info.observer))
      permissions->NotifyCloudDataPermissionInfo(denied);
  }
}

}  // namespace kdp
