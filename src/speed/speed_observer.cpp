#include "kdp/speed/speed_observer.h"

#include <exception>

#include "kdp/host/log.h"

namespace kdp {

template <class E, class... Args>
void TKrHQSpeedObserver::Run(const char* name, const E& event, const Args&... args) {
  std::lock_guard lock(FLock);
  if (!event) return;
  try {
    event(args...);
  } catch (const std::exception& e) {
    host::AddHQLog(std::string(name) + " failed: " + e.what(), "TKrHQSpeedObserver", host::LogSeverity::kError);
  } catch (...) {
    host::AddHQLog(std::string(name) + " failed", "TKrHQSpeedObserver", host::LogSeverity::kError);
  }
}

void TKrHQSpeedObserver::ClearEvents() {
  std::lock_guard lock(FLock);
  FOnQuoteData = nullptr;
  FOnSetData = nullptr;
  FOnReqResponse = nullptr;
  FOnHisData = nullptr;
}

int TKrHQSpeedObserver::SaveQuoteData(const std::shared_ptr<host::IDataSet>& data) {
  Run("SaveQuoteData", FOnQuoteData, data);
  return 0;
}

int TKrHQSpeedObserver::SetData(const std::shared_ptr<host::IDataSet>& data) {
  Run("SetData", FOnSetData, data);
  return 0;
}

int TKrHQSpeedObserver::NotifyReqResponse(int errCode, int returnID, int cmdID) {
  Run("NotifyReqResponse", FOnReqResponse, errCode, returnID, cmdID);
  return 0;
}

int TKrHQSpeedObserver::NotifyHisData(int a, int b) {
  Run("NotifyHisData", FOnHisData, a, b);
  return 0;
}

}  // namespace kdp
