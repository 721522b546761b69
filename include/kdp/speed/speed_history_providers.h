// Providers that send the quote engine's sector-ranking (3040), sector-sort (3050) and indicator-export
// (3080) commands and keep the parsed reply.
//
// The caller fills the provider's request wrapper (3040, 3050) or passes records (3080), fires the
// request, and is told through the data-notify event when a reply arrived. Replies arrive on the engine's
// thread: the event runs there, and GetParser hands out the latest parsed reply safely to any thread.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "kdp/host/speed.h"
#include "kdp/speed/speed_observer.h"
#include "kdp/speed/speed_reply_parsers.h"
#include "kdp/speed/speed_request_params.h"

namespace kdp {

class TKrSpeedHisDataProviderBase {
 public:
  using DataNotifyEvent = std::function<void(bool)>;

  virtual ~TKrSpeedHisDataProviderBase();
  TKrSpeedHisDataProviderBase(const TKrSpeedHisDataProviderBase&) = delete;
  TKrSpeedHisDataProviderBase& operator=(const TKrSpeedHisDataProviderBase&) = delete;

  void SetOnDataNotify(DataNotifyEvent e);

 protected:
  TKrSpeedHisDataProviderBase();
  // Parses a reply (engine thread); a null reply is ignored.
  virtual void NotifyHisData(const std::shared_ptr<host::IDataSet>& data) = 0;
  // Tells the owner a reply arrived (also an empty one), then logs the end of the call-back.
  void CallDataNotify(const char* logSource);
  // Stops deliveries; every final provider calls it first in its destructor.
  void Detach();

  std::shared_ptr<TKrHQSpeedObserver> FObserver;
  std::shared_ptr<host::ISpeedDataRequest> FRequest;  // nullptr without an engine
  std::mutex FLock;                                   // guards the events and the parsers of subclasses

 private:
  DataNotifyEvent FOnDataNotify;
  DataNotifyEvent FOnDataNotify2;  // a second event of the same shape that no caller sets
};

// Commands 3040 and 3050 share everything but their wrapper, parser and texts.
template <class Params, class Parser>
class TKrSpeedSortProvider : public TKrSpeedHisDataProviderBase {
 public:
  ~TKrSpeedSortProvider() override { Detach(); }
  // The request wrapper to fill; nullptr without an engine or a parameter set for the command.
  Params* GetParams() { return FParams.get(); }
  // Sends the request; the request PID, or -1 when nothing can be sent.
  int FireRequest();
  std::shared_ptr<const Parser> GetParser() {
    std::lock_guard lock(FLock);
    return FParser;
  }

 protected:
  TKrSpeedSortProvider(int commandID, const char* logSource);
  void NotifyHisData(const std::shared_ptr<host::IDataSet>& data) override;
  virtual std::string Detail() const = 0;

  std::unique_ptr<Params> FParams;
  std::shared_ptr<const Parser> FParser;
  const char* FLogSource;
};

class TKrSpeedDataProviderCmd3040 final
    : public TKrSpeedSortProvider<TKrSpeedReqParamCmdID3040, TKrSpeedDataSetParseCmdID3040> {
 public:
  TKrSpeedDataProviderCmd3040();
  // "Cmd:3040 SectorName:... SortIDs:... SortDirections:... LinesNumber:... KoraCodeList:..."
  std::string Detail() const override;
};

class TKrSpeedDataProviderCmd3050 final
    : public TKrSpeedSortProvider<TKrSpeedReqParamCmdID3050, TKrSpeedDataSetParseCmdID3050> {
 public:
  TKrSpeedDataProviderCmd3050();
  std::string Detail() const override;
};

class TKrSpeedDataProviderCmd3080 final : public TKrSpeedHisDataProviderBase {
 public:
  TKrSpeedDataProviderCmd3080();
  ~TKrSpeedDataProviderCmd3080() override { Detach(); }
  // Sends the records' codes and indicator IDs; the request PID, or -1.
  int FireExportRequest(const std::vector<TKrSpeedIndexRecord>& records);
  std::shared_ptr<const TKrSpeedDataSetParseCmdID3080> GetParser() {
    std::lock_guard lock(FLock);
    return FParser;
  }

  // The log detail of a request: "KoraCode: [codes] Index: [IDs of the first code]", or "" without codes.
  static std::string RequestDetail(host::IParamSerialSet& params);

 private:
  void NotifyHisData(const std::shared_ptr<host::IDataSet>& data) override;
  std::shared_ptr<const TKrSpeedDataSetParseCmdID3080> FParser;
};

}  // namespace kdp
