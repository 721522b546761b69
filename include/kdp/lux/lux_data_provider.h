// TKrLuxDataProvider: feeds a real-time subscription's securities into a Lux column, so a board that
// shows quotes can show the same securities' information beside them. Each GetLuxData cancels the
// previous subscription, subscribes the column for the structure's codes (the parameter "KoraCode", the
// codes joined by ",") and searches it with the same parameter; every table delivered for it goes to the
// call-back.
//
// A plain object owned by its widget. Main thread only.
#pragma once

#include <memory>
#include <string>

#include "kdp/lux/lux_helpers.h"
#include "kdp/rtd/rtd_item.h"

namespace kdp {

class TKrLuxDataProvider {
 public:
  explicit TKrLuxDataProvider(std::string sectorName);
  ~TKrLuxDataProvider();
  TKrLuxDataProvider(const TKrLuxDataProvider&) = delete;
  TKrLuxDataProvider& operator=(const TKrLuxDataProvider&) = delete;

  void SetLuxDataCallBack(TDataNotify callBack) { FLuxDataCallBack = std::move(callBack); }
  // The serial number of the search, or -1 when the column or the manager is missing.
  std::int32_t GetLuxData(const TKrRealTimeParamStructure& params);
  void NotifyData(const std::shared_ptr<IKrLuxDataTable>& table, const TNotifyInfo& info);

 private:
  std::unique_ptr<TKrLuxHelper> FLuxHelper;
  ReqInfoPtr FILuxDataReqHisInfo;
  ReqInfoPtr FILuxDataReqSubInfo;
  TDataNotify FLuxDataCallBack;
  const std::string FSectorName;
};

}  // namespace kdp
