#include "rtd/rtd_provider.h"

#include "core/package_lookup.h"
#include "core/service_catalog.h"
#include "rtd/rtd_quote_feed.h"
#include "rtd/rtd_quote_layouts.h"

namespace kdp {

// ---- subscribers ----

std::int32_t TKrRTDSubscriber::Subscrible(const TKrRealTimeParamStructure&) { return -1; }
std::int32_t TKrRTDSubscriber::UnSubscrible() { return -1; }

std::vector<std::uint32_t> TKrRTDSubscriber::FiltIndexByRegion(const std::vector<std::uint32_t>& ids) const {
  std::vector<std::uint32_t> inside;
  for (std::uint32_t id : ids) {
    if (FIndexRegion.Checkd(id)) inside.push_back(id);
  }
  return inside;
}

TKrRealTimeParamStructure TKrRTDSubscriber::Filter(const TKrRealTimeParamStructure& params) const {
  TKrRealTimeParamStructure filtered(params.GetCount());
  for (int i = 0; i < params.GetCount(); ++i) {
    filtered.SetKoraCode(i, params.GetKoraCode(i));
    filtered.SetItemArray(i, FiltIndexByRegion(params.GetItemArray(i)));
  }
  return filtered;
}

TKrSpeedRTDSubscriber::TKrSpeedRTDSubscriber(TRTDUpdate deliver) : FFeed(G_GetRTDQuoteFeed()) {
  FIndexRegion.SetRegion(0, 9999);
  FTicket = FFeed->Attach(std::move(deliver));
}

TKrSpeedRTDSubscriber::~TKrSpeedRTDSubscriber() { FFeed->Detach(FTicket); }

bool TKrSpeedRTDSubscriber::HasRequest() const { return FFeed->HasRequest(); }

void TKrSpeedRTDSubscriber::SetHot(const TKrRTDQuoteFeed::THot& hot) { FFeed->SetHot(FTicket, hot); }

std::int32_t TKrSpeedRTDSubscriber::Subscrible(const TKrRealTimeParamStructure& params) {
  host::TKrSpeedSymbolDataList symbols;
  symbols.reserve(params.Symbols().size());
  for (const TKrRealTimeSymbolData& s : params.Symbols()) {
    symbols.push_back({s.FKoraCode, FiltIndexByRegion(s.FItemArray)});
  }
  return FFeed->Subscribe(FTicket, symbols);
}

std::int32_t TKrSpeedRTDSubscriber::UnSubscrible() { return FFeed->Unsubscribe(FTicket); }

TKrCloudRTDSubscriber::TKrCloudRTDSubscriber() { FIndexRegion.SetRegion(10001, 20000); }

TKrCloudRTDSubscriber::~TKrCloudRTDSubscriber() {
  if (!FICloudDataRequest) return;
  FICloudObserver->Clear();
  if (auto manager = FCloudIndexsMgr.lock()) manager->RemoveCloudDataRequest(FICloudDataRequest->GetDataRequestID());
}

std::int32_t TKrCloudRTDSubscriber::Subscrible(const TKrRealTimeParamStructure& params) {
  host::TKrSpeedSymbolDataList symbols;
  for (const TKrRealTimeSymbolData& s : params.Symbols()) {
    auto ids = FiltIndexByRegion(s.FItemArray);
    if (!ids.empty()) symbols.push_back({s.FKoraCode, std::move(ids)});
  }
  // A model without cloud fields (most of them) stays unknown to the cloud manager.
  if (symbols.empty() && !FICloudDataRequest) return 0;
  if (!FICloudDataRequest) {
    const auto manager = G_CloudIndexsManager();
    if (!manager) return -1;
    FICloudObserver = std::make_shared<TKrCloudObserver>(
        [this](const std::vector<TSpeedQuoteData>& rows) { NotifyUpdateCloudData(rows); },
        [this](const TCloudPermissionInfo& denied) { NotifyCloudDataPermissionInfo(denied); });
    if (!manager->GetCloudDataRequestByIObserver(FICloudObserver, FICloudDataRequest)) return -1;
    FCloudIndexsMgr = manager;
  }
  return FICloudDataRequest->Subscrible(symbols);
}

std::int32_t TKrCloudRTDSubscriber::UnSubscrible() {
  return FICloudDataRequest ? FICloudDataRequest->UnSubscribe() : -1;
}

void TKrCloudRTDSubscriber::NotifyUpdateCloudData(std::vector<TSpeedQuoteData> rows) {
  const TKrRTDQuoteRows prepared(G_GetRTDQuoteFeed()->Layouts().Prepare(rows));
  if (FUpdateCallback) FUpdateCallback(prepared);
}

void TKrCloudRTDSubscriber::NotifyCloudDataPermissionInfo(
    const std::map<std::string, std::vector<std::string>>& denied) {
  if (FPressionsCallback) FPressionsCallback(denied);
}

// ---- provider ----

TKrRTDProvider::TKrRTDProvider(TRTDUpdate onUpdate, TRTDCloudPressionsCallBack onPressions)
    : FSpeedSubr(onUpdate) {
  FCloudSubr.SetUpdateCallback([onUpdate = std::move(onUpdate)](const TKrRTDQuoteRows& rows) {
    if (rows.GetRowCount() > 0) onUpdate(rows);
  });
  FCloudSubr.SetPressionsCallback(std::move(onPressions));
}

std::int32_t TKrRTDProvider::Subscrible(const TKrRealTimeParamStructure& params) {
  if (params.GetCount() == 0) return -1;
  FSpeedSubr.Subscrible(params);
  FCloudSubr.Subscrible(params);
  SaveCodes(params);
  FSubInfo = GetSubInfo(params);
  return 0;
}

std::int32_t TKrRTDProvider::UnSubscrible() {
  const std::int32_t speed = FSpeedSubr.UnSubscrible();
  FCloudSubr.UnSubscrible();
  return speed;
}

std::optional<std::vector<std::string>> TKrRTDProvider::GetSubCodes() const {
  if (FSubCodes.empty()) return std::nullopt;
  return FSubCodes;
}

void TKrRTDProvider::SaveCodes(const TKrRealTimeParamStructure& params) {
  FSubCodes.clear();
  for (const TKrRealTimeSymbolData& s : params.Symbols()) FSubCodes.push_back(s.FKoraCode);
}

std::string TKrRTDProvider::GetSubInfo(const TKrRealTimeParamStructure& params) {
  std::string info;
  for (const TKrRealTimeSymbolData& s : params.Symbols()) {
    if (!info.empty()) info += '\n';
    info += s.FKoraCode + ": ";
    for (std::size_t i = 0; i < s.FItemArray.size(); ++i) info += (i ? "," : "") + std::to_string(s.FItemArray[i]);
  }
  return info;
}

}  // namespace kdp
