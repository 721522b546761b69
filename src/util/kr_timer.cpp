#include "util/kr_timer.h"

#include <chrono>

namespace kdp {

TKrTimer::TKrTimer(host::IMainLoop& loop) : FLoop(loop) {}

TKrTimer::~TKrTimer() {
  if (FRunning != 0) FLoop.KillTimer(FRunning);
}

void TKrTimer::SetEnabled(bool value) {
  if (value == FEnabled) return;
  FEnabled = value;
  Update();
}

void TKrTimer::SetInterval(unsigned milliseconds) {
  if (milliseconds == FInterval) return;
  FInterval = milliseconds;
  Update();
}

void TKrTimer::SetOnTimer(TNotify handler) {
  FOnTimer = std::move(handler);
  Update();
}

void TKrTimer::Update() {
  if (FRunning != 0) {
    FLoop.KillTimer(FRunning);
    FRunning = 0;
  }
  if (!FEnabled || FInterval == 0 || !FOnTimer) return;
  // The tick reads the handler at firing time, so a handler replaced later is the one called.
  FRunning = FLoop.SetTimer(std::chrono::milliseconds(FInterval), [this] {
    const TNotify handler = FOnTimer;  // the handler may destroy or change this timer
    if (handler) handler();
  });
  if (FRunning == 0) throw EOutOfResources(SNoTimers);
}

}  // namespace kdp
