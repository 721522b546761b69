#include "kdp/speed/speed_observer.h"

namespace kdp {

void TKrHQSpeedObserver::ClearEvents() {
  std::lock_guard lock(FLock);
  FOnQuoteData = nullptr;
  FOnSetData = nullptr;
  FOnReqResponse = nullptr;
  FOnHisData = nullptr;
}

int TKrHQSpeedObserver::SaveQuoteData(const std::shared_ptr<host::IDataSet>& data) {
  std::lock_guard lock(FLock);
  if (FOnQuoteData) FOnQuoteData(data);
  return 0;
}

int TKrHQSpeedObserver::SetData(const std::shared_ptr<host::IDataSet>& data) {
  std::lock_guard lock(FLock);
  if (FOnSetData) FOnSetData(data);
  return 0;
}

int TKrHQSpeedObserver::NotifyReqResponse(int errCode, int returnID, int cmdID) {
  std::lock_guard lock(FLock);
  if (FOnReqResponse) FOnReqResponse(errCode, returnID, cmdID);
  return 0;
}

int TKrHQSpeedObserver::NotifyHisData(int a, int b) {
  std::lock_guard lock(FLock);
  if (FOnHisData) FOnHisData(a, b);
  return 0;
}

}  // namespace kdp
