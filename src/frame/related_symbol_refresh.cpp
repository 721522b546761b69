#include "frame/related_symbol_refresh.h"

#include <fmt/format.h>

#include "core/package_lookup.h"
#include "core/service_catalog.h"
#include "kdp/cloud/cloud_data.h"
#include "kdp/host/log.h"
#include "refdata/related_symbol.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "TKrRelatedSymbol";
constexpr const char* kReportName = "CLOUD_HQ_RELATED_SYMBOLS";

// What keeps the refresh going until the package stops. The request's notification holds the table weakly.
struct TCloudRelations {
  std::shared_ptr<ICloudDataMgr> manager;
  std::shared_ptr<ICloudDataRequest> request;
};
std::shared_ptr<TCloudRelations> g_refresh;  // main thread

void RebuildFromReport(TKrRelatedSymbol& table, ICloudDataMgr& manager) {
  const auto item = manager.GetCloudDataItem(kReportName);
  if (!item || !item->PrepareData()) {
    host::AddHQLog("related symbols from the cloud: the report's table cannot be read; the files' relations stay",
                   kLogSource, host::LogSeverity::kWarning);
    return;
  }
  std::vector<std::vector<std::string>> rows(static_cast<std::size_t>(std::max(item->GetRowCounts(), 0)));
  for (std::size_t r = 0; r < rows.size(); ++r) {
    for (int c = 0; c < item->GetColCounts(); ++c) rows[r].push_back(item->ValueAsString(static_cast<int>(r), c));
  }
  table.NotifyHqRelatedData(static_cast<std::size_t>(std::max(item->GetColCounts(), 0)), rows);
}

}  // namespace

InterfacePtr MakeRelatedSymbolWithCloudRefresh() {
  auto table = std::make_shared<TKrRelatedSymbol>();
  auto manager = G_CloudDataManager();
  auto request = manager ? manager->GetCloudDataRequest(kReportName) : nullptr;
  if (!request) return table;  // no cloud data manager or no such report: the files are the whole table
  std::weak_ptr<TKrRelatedSymbol> weak = table;
  request->SetOnCloudDataUpdate([weak, manager](bool success, int, const std::string& message) {
    const auto alive = weak.lock();
    if (!alive) return;
    if (!success) {
      host::AddHQLog(
          fmt::format("related symbols from the cloud did not arrive ({}); the files' relations stay", message),
          kLogSource, host::LogSeverity::kNotice);
      return;
    }
    RebuildFromReport(*alive, *manager);
  });
  if (request->GetRequestItem()->FireRequest() < 0) {
    host::AddHQLog("related symbols from the cloud could not be asked for; the files' relations stay", kLogSource,
                   host::LogSeverity::kNotice);
    return table;
  }
  g_refresh = std::make_shared<TCloudRelations>(TCloudRelations{std::move(manager), std::move(request)});
  return table;
}

void FreeRelatedSymbolRefresh() { g_refresh.reset(); }

}  // namespace kdp
