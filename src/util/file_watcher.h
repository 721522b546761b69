// TKrFileObserver and TKrFileWatcherMgr: the package's file watcher (see kdp/util/file_watcher.h).
//
// The manager keeps its observer list, stop flag and "check finished" flag in a state block shared with
// the checks it hands to the host's asynchronous runner, so a check queued or running when the manager
// is destroyed never touches freed memory: destruction sets the stop flag (a running check stops at the
// next observer), then takes the lock, which waits for the running check to end.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "kdp/util/file_watcher.h"
#include "util/kr_timer.h"

namespace kdp {

// The last-write time of a file as local time, "yyyy/mm/dd,hh:mm:ss"; nullopt when it cannot be read.
std::optional<std::string> GetFileLastWriteText(const std::string& path);

class TKrFileObserver final : public host::Implements<IKrFileObserver> {
 public:
  TNotifyEvent GetOnLoadEvent() override;
  void SetOnLoadEvent(TNotifyEvent handler) override;
  std::string GetFileName() override;
  void SetFileName(const std::string& path) override;
  std::string GetOldTime() override;
  void SetOldTime(const std::string& time) override;

 private:
  std::mutex FLock;  // guards the fields below; the check reads them on the runner's thread
  std::string FFileName;
  TNotifyEvent FOnLoadEvent;
  std::string FOldTime;
};

class TKrFileWatcherMgr final : public host::Implements<IKrFileWatcherMgr> {
 public:
  // The period of the check.
  static constexpr unsigned kCheckInterval = 1800000;  // 30 minutes

  // On the installed host's main loop. REQUIRES: main thread.
  TKrFileWatcherMgr();
  // Stops the checks and waits for a running one. REQUIRES: main thread.
  ~TKrFileWatcherMgr() override;

  void RegisterFileObserver(std::shared_ptr<IKrFileObserver> observer) override;
  void UnRegisterFileObserver(const std::shared_ptr<IKrFileObserver>& observer) override;

  // True when no check is queued or running (the last check's end has been seen on the main thread).
  bool IsCheckFinished() const { return FState->FFinish.load(); }
  // True once destruction has begun.
  bool IsStopping() const { return FState->FIsStop.load(); }
  bool IsTimerEnabled() const { return FTimer.GetEnabled(); }
  std::size_t ObserverCount() const;

 private:
  struct State {
    mutable std::mutex FCS;  // guards FList and FSender, and is held for a whole check
    std::vector<std::shared_ptr<IKrFileObserver>> FList;
    host::IInterface* FSender = nullptr;  // the manager while it lives
    std::atomic<bool> FIsStop{false};
    std::atomic<bool> FFinish{true};
  };

  void OnTimer();
  static void WatchFileEvent(State& state);

  std::shared_ptr<State> FState;
  TKrTimer FTimer;
};

}  // namespace kdp
