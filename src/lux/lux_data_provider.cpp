#include "kdp/lux/lux_data_provider.h"

namespace kdp {

TKrLuxDataProvider::TKrLuxDataProvider(std::string sectorName)
    : FLuxHelper(std::make_unique<TKrLuxHelper>()), FSectorName(std::move(sectorName)) {
  FLuxHelper->SetDataNotify(
      [this](const std::shared_ptr<IKrLuxDataTable>& table, const TNotifyInfo& info) { NotifyData(table, info); });
}

TKrLuxDataProvider::~TKrLuxDataProvider() {
  if (FILuxDataReqSubInfo) FLuxHelper->DeSubscribe(FILuxDataReqSubInfo);
}

std::int32_t TKrLuxDataProvider::GetLuxData(const TKrRealTimeParamStructure& params) {
  std::string codes;
  for (const TKrRealTimeSymbolData& symbol : params.Symbols()) {
    if (symbol.FKoraCode.empty()) continue;
    if (!codes.empty()) codes += ',';
    codes += symbol.FKoraCode;
  }
  if (FILuxDataReqSubInfo) FLuxHelper->DeSubscribe(FILuxDataReqSubInfo);
  FILuxDataReqSubInfo = FLuxHelper->GetLuxDataReqInfo(FSectorName, LDRTSub);
  if (FILuxDataReqSubInfo) {
    FILuxDataReqSubInfo->SetIndexValue("KoraCode", codes);
    FLuxHelper->Subscribe(FILuxDataReqSubInfo);
  }
  FILuxDataReqHisInfo = FLuxHelper->GetLuxDataReqInfo(FSectorName, LDRTSearch);
  if (!FILuxDataReqHisInfo) return -1;
  FILuxDataReqHisInfo->SetIndexValue("KoraCode", codes);
  return FLuxHelper->SearchData(FILuxDataReqHisInfo);
}

void TKrLuxDataProvider::NotifyData(const std::shared_ptr<IKrLuxDataTable>& table, const TNotifyInfo& info) {
  if (FLuxDataCallBack) FLuxDataCallBack(table, info);
}

}  // namespace kdp
