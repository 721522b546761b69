// TKrHQSpeedObserver: the package's observer handed to the quote engine. It forwards each delivery to an
// event its owner sets; an unset event swallows the call.
//
// Thread-safety: the engine calls it on threads of its choosing while the owner sets or clears events on
// the main thread. Events are guarded: clearing them waits for a call in progress to finish, so an owner
// that clears its events before going away never sees a late call. An exception escaping an event is
// logged and goes no further: the engine's call-back never sees it.
#pragma once

#include <functional>
#include <memory>
#include <mutex>

#include "kdp/host/speed.h"

namespace kdp {

class TKrHQSpeedObserver final : public host::Implements<host::IObserver> {
 public:
  using DataEvent = std::function<void(const std::shared_ptr<host::IDataSet>&)>;
  using ResponseEvent = std::function<void(int errCode, int returnID, int cmdID)>;
  using HisDataEvent = std::function<void(int, int)>;

  void SetOnQuoteData(DataEvent e) { Set(FOnQuoteData, std::move(e)); }
  void SetOnSetData(DataEvent e) { Set(FOnSetData, std::move(e)); }
  void SetOnReqResponse(ResponseEvent e) { Set(FOnReqResponse, std::move(e)); }
  void SetOnHisData(HisDataEvent e) { Set(FOnHisData, std::move(e)); }
  // Clears every event; returns after any call in progress has finished.
  void ClearEvents();

  int SaveQuoteData(const std::shared_ptr<host::IDataSet>& data) override;
  int SetData(const std::shared_ptr<host::IDataSet>& data) override;
  int NotifyReqResponse(int errCode, int returnID, int cmdID) override;
  const void* GetQEStatus() override { return nullptr; }
  int NotifyHisData(int a, int b) override;

 private:
  template <class E>
  void Set(E& event, E value) {
    std::lock_guard lock(FLock);
    event = std::move(value);
  }
  // Runs `event` (when set) under the lock; logs what it throws.
  template <class E, class... Args>
  void Run(const char* name, const E& event, const Args&... args);

  std::recursive_mutex FLock;  // guards the events and is held while one runs
  DataEvent FOnQuoteData;
  DataEvent FOnSetData;
  ResponseEvent FOnReqResponse;
  HisDataEvent FOnHisData;
};

}  // namespace kdp
