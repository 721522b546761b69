// Request helpers for widgets: TKrHQSpeedDataProvider sends history commands for one security and
// delivers the replies for that security; TKrHQSpeedDataRequestGroup sends several requests as one
// combined packet (unless "NoHisCombin.txt" in the program directory switches combining off).
//
// Replies and responses arrive on the engine's thread; the events run there, with the code the reply was
// matched against (a chart may switch its security on the main thread while a reply is in flight: the
// reply then reaches the event under the code it was sent for, or not at all). The code and the events are
// guarded by the provider's lock. Destroying a provider clears its events first, so a reply arriving
// during destruction reaches nothing.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "kdp/host/speed.h"
#include "kdp/speed/speed_observer.h"

namespace kdp {

class TKrHQSpeedDataProvider {
 public:
  using HisDataEvent = std::function<void(const std::shared_ptr<host::IDataSet>& data, const std::string& code)>;
  using ResponseEvent = std::function<void(int errCode, int returnID, int cmdID, const std::string& code)>;

  TKrHQSpeedDataProvider();
  ~TKrHQSpeedDataProvider();
  TKrHQSpeedDataProvider(const TKrHQSpeedDataProvider&) = delete;
  TKrHQSpeedDataProvider& operator=(const TKrHQSpeedDataProvider&) = delete;

  std::string GetKoraCode();
  void SetKoraCode(std::string code);
  void SetOnHisData(HisDataEvent e);
  void SetOnResponse(ResponseEvent e);

  // Remembers `reqID` as the current command and asks the engine for its parameter set.
  bool GetIParamSeriaSetByReqID(int reqID, std::shared_ptr<host::IParamSerialSet>& paramSet);
  // Sends the command; returns the request PID, 0 when nothing was sent.
  int Request(const std::shared_ptr<host::IParamSerialSet>& paramSet,
              const std::shared_ptr<host::ISpeedDataRequestGroup>& group = nullptr);

 private:
  void NotifyHisData(const std::shared_ptr<host::IDataSet>& data);
  void NotifyReqResponse(int errCode, int returnID, int cmdID);

  std::mutex FLock;  // guards FKoraCode and the two events
  std::string FKoraCode;
  HisDataEvent FOnHisData;
  ResponseEvent FOnResponse;
  std::shared_ptr<TKrHQSpeedObserver> FObserver;
  std::shared_ptr<host::ISpeedDataRequest> FRequest;
  int FCurrentCmdID = 0;
};

class TKrHQSpeedDataRequestGroup {
 public:
  TKrHQSpeedDataRequestGroup();
  // The engine's group, to pass to Request; nullptr without an engine.
  std::shared_ptr<host::ISpeedDataRequestGroup> GetIGroup() const { return FGroup; }
  // Sends the queued requests as one packet; -1 when combining is off or there is no group.
  int Request();

 private:
  std::shared_ptr<host::ISpeedDataRequestGroup> FGroup;
};

// The file in the program directory that switches combined request packets off.
inline constexpr const char* kNoHisCombinFile = "NoHisCombin.txt";

}  // namespace kdp
