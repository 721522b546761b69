// TKrTimer: a periodic timer owned by one object, firing its handler on the host's main loop, as a
// window-message timer with its own private window does. Changing the interval or the handler of an
// enabled timer restarts its period; disabling stops it.
//
// Main thread only: the timer is created, changed, fired and destroyed on the loop's thread.
#pragma once

#include <functional>

#include "kdp/error.h"
#include "kdp/host/main_loop.h"

namespace kdp {

// The message of EOutOfResources for a timer that could not be created.
inline constexpr const char* SNoTimers = "Not enough timers available";

class TKrTimer {
 public:
  using TNotify = std::function<void()>;

  // Disabled, interval 1000 ms, no handler.
  explicit TKrTimer(host::IMainLoop& loop);
  ~TKrTimer();
  TKrTimer(const TKrTimer&) = delete;
  TKrTimer& operator=(const TKrTimer&) = delete;

  // Each setter restarts the timer when it runs afterwards. Throws EOutOfResources when the loop refuses.
  void SetEnabled(bool value);
  void SetInterval(unsigned milliseconds);
  void SetOnTimer(TNotify handler);

  bool GetEnabled() const { return FEnabled; }
  unsigned GetInterval() const { return FInterval; }
  // True while a loop timer is set (enabled, a non-zero interval and a handler).
  bool IsRunning() const { return FRunning != 0; }

 private:
  void Update();

  host::IMainLoop& FLoop;
  bool FEnabled = false;
  unsigned FInterval = 1000;
  TNotify FOnTimer;
  host::IMainLoop::TimerId FRunning = 0;
};

}  // namespace kdp
