// Light timers for the package's periodic and time-out work (request time-outs, send timers, the time
// reminder). Instead of one loop timer per owner, every TKrDPTimer is multiplexed by its numeric ID on
// the process-wide TKrDPTimerMgr, which calls the timer's handler on the main thread.
//
// Usage: owners assign the handler, then the interval, and enable last. Assigning the handler alone
// starts nothing: a timer enabled before its handler was set ticks only after the next change of Enabled
// or Interval. Setting a property to its current value does nothing (the period is not restarted).
//
// Ownership: the manager owns its timers. RegisterTimer hands out a shared reference so that a timer
// unregistered twice, or after FreeDPTimerMgr, is still a valid (detached, inert) object and the calls do
// nothing. An exception escaping a handler is logged; the other timers keep firing.
//
// Main thread only. No locks.
#pragma once

#include <functional>
#include <map>
#include <memory>

#include "kdp/host/main_loop.h"
#include "util/kr_timer.h"

namespace kdp {

class TKrDPTimerMgr;

class TKrDPTimer {
 public:
  using TNotifyEvent = std::function<void(TKrDPTimer* sender)>;
  using TUpdateTimer = std::function<void(unsigned id)>;

  TKrDPTimer() = default;
  // Disables the timer and clears its handler and update hook.
  ~TKrDPTimer();
  TKrDPTimer(const TKrDPTimer&) = delete;
  TKrDPTimer& operator=(const TKrDPTimer&) = delete;

  unsigned GetID() const { return FID; }
  bool GetEnabled() const { return FEnabled; }
  unsigned GetInterval() const { return FInterval; }
  const TNotifyEvent& GetOnTimer() const { return FOnTimer; }

  // Store a different value and tell the manager; the same value does nothing. May throw
  // EOutOfResources (the value stays stored).
  void SetEnabled(bool value);
  void SetInterval(unsigned milliseconds);
  // Stores the handler only; the manager is not told.
  void SetOnTimer(TNotifyEvent handler) { FOnTimer = std::move(handler); }

 private:
  friend class TKrDPTimerMgr;
  void Detach();

  unsigned FID = 0;
  bool FEnabled = false;
  unsigned FInterval = 1000;
  TNotifyEvent FOnTimer;
  TUpdateTimer FUpdateTimer;
};

class TKrDPTimerMgr {
 public:
  explicit TKrDPTimerMgr(host::IMainLoop& loop);
  // Stops every loop timer and releases every timer still registered (they become inert).
  ~TKrDPTimerMgr();
  TKrDPTimerMgr(const TKrDPTimerMgr&) = delete;
  TKrDPTimerMgr& operator=(const TKrDPTimerMgr&) = delete;

  // A new timer with the next ID (the first is 1; IDs are never reused by this manager).
  std::shared_ptr<TKrDPTimer> CreateTimer();
  // Releases the timer with that ID; an unknown ID does nothing.
  void DeleteTimer(unsigned id);
  // Stops the loop timer of `id` and starts it again when the timer is enabled, has a non-zero
  // interval and a handler. Throws EOutOfResources (SNoTimers) when the loop refuses.
  void UpdateTimer(unsigned id);

  // The registered timer with that ID, or nullptr.
  TKrDPTimer* Find(unsigned id) const;
  std::size_t Count() const { return FDicTimerReg.size(); }
  // Whether the loop timer of `id` runs.
  bool IsTicking(unsigned id) const { return FWindowTimers.count(id) != 0; }

 private:
  void KillWindowTimer(unsigned id);
  void Timer(unsigned id);

  host::IMainLoop& FLoop;
  unsigned FID = 0;  // the last ID handed out
  std::map<unsigned, std::shared_ptr<TKrDPTimer>> FDicTimerReg;
  std::map<unsigned, host::IMainLoop::TimerId> FWindowTimers;  // running loop timers by timer ID
};

// A new timer from the process-wide manager, which is created on the first call.
std::shared_ptr<TKrDPTimer> RegisterTimer();
// Clears the timer's handler, disables it and releases it from the manager. Does nothing for nullptr;
// harmless for a timer already unregistered or released by FreeDPTimerMgr.
void UnRegisterTimer(const std::shared_ptr<TKrDPTimer>& timer);
// Frees the process-wide manager if it exists (at package shut-down). A later RegisterTimer starts a new
// one, whose IDs start again at 1.
void FreeDPTimerMgr();
// The process-wide manager, or nullptr.
TKrDPTimerMgr* DPTimerMgr();

}  // namespace kdp
