// The file watcher: reference files that are replaced on disk while the terminal runs (the index-sector
// table) are reloaded when their modification time changes.
//
// The package publishes one IKrFileWatcherMgr by Guid at start-up. A registrant fills an IKrFileObserver
// (the path, the load handler and the file's current modification time as "yyyy/mm/dd,hh:mm:ss" local
// time) and registers it. Every 30 minutes the manager compares each watched file's modification time
// with the observer's and calls the load handler on a difference.
//
// Threads: registration happens on the main thread. The comparison, and so the load handler, run on the
// host's asynchronous runner while the manager's lock is held: a handler takes its own lock for the data
// it reloads, and must not register or unregister observers. Observers are safe to read and change from
// any thread.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "kdp/host/interface.h"

namespace kdp {

// A notify method: `sender` is the object that calls it.
using TNotifyEvent = std::function<void(host::IInterface* sender)>;

class IKrFileObserver : public virtual host::IInterface {
 public:
  static constexpr host::Guid IID = "D555B017-217B-43F0-ACF1-039ADB1B33E2";
  virtual TNotifyEvent GetOnLoadEvent() = 0;
  virtual void SetOnLoadEvent(TNotifyEvent handler) = 0;
  virtual std::string GetFileName() = 0;
  virtual void SetFileName(const std::string& path) = 0;
  // The modification time last seen, "yyyy/mm/dd,hh:mm:ss"; empty when never seen.
  virtual std::string GetOldTime() = 0;
  virtual void SetOldTime(const std::string& time) = 0;
};

class IKrFileWatcherMgr : public virtual host::IInterface {
 public:
  static constexpr host::Guid IID = "D4AABF47-C176-4A2B-BB42-AAF49F1AC0CB";
  // Appends the observer and enables the periodic check. REQUIRES: main thread.
  virtual void RegisterFileObserver(std::shared_ptr<IKrFileObserver> observer) = 0;
  // Removes the observer and disables the periodic check, for the remaining observers too, until the
  // next registration. Waits for a running check. REQUIRES: main thread.
  virtual void UnRegisterFileObserver(const std::shared_ptr<IKrFileObserver>& observer) = 0;
};

}  // namespace kdp
