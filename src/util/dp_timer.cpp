#include "util/dp_timer.h"

#include <chrono>
#include <exception>

#include <fmt/format.h>

#include "kdp/host/log.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "TKrDPTimerMgr";

std::unique_ptr<TKrDPTimerMgr> g_DPTimerMgr;

}  // namespace

// ---- TKrDPTimer ----

TKrDPTimer::~TKrDPTimer() { Detach(); }

void TKrDPTimer::Detach() {
  FUpdateTimer = nullptr;
  FEnabled = false;
  FOnTimer = nullptr;
}

void TKrDPTimer::SetEnabled(bool value) {
  if (value == FEnabled) return;
  FEnabled = value;
  if (FUpdateTimer) FUpdateTimer(FID);
}

void TKrDPTimer::SetInterval(unsigned milliseconds) {
  if (milliseconds == FInterval) return;
  FInterval = milliseconds;
  if (FUpdateTimer) FUpdateTimer(FID);
}

// ---- TKrDPTimerMgr ----

TKrDPTimerMgr::TKrDPTimerMgr(host::IMainLoop& loop) : FLoop(loop) {}

TKrDPTimerMgr::~TKrDPTimerMgr() {
  for (const auto& [id, loopTimer] : FWindowTimers) FLoop.KillTimer(loopTimer);
  FWindowTimers.clear();
  for (auto& [id, timer] : FDicTimerReg) timer->Detach();
  FDicTimerReg.clear();
}

std::shared_ptr<TKrDPTimer> TKrDPTimerMgr::CreateTimer() {
  auto timer = std::make_shared<TKrDPTimer>();
  timer->FID = ++FID;
  timer->FUpdateTimer = [this](unsigned id) { UpdateTimer(id); };
  FDicTimerReg.emplace(timer->FID, timer);
  return timer;
}

void TKrDPTimerMgr::DeleteTimer(unsigned id) {
  auto it = FDicTimerReg.find(id);
  if (it == FDicTimerReg.end()) return;
  KillWindowTimer(id);
  // Detaching drops the handler too, so a handler that holds its owner does not keep it alive.
  const std::shared_ptr<TKrDPTimer> timer = std::move(it->second);
  FDicTimerReg.erase(it);
  timer->Detach();
}

TKrDPTimer* TKrDPTimerMgr::Find(unsigned id) const {
  auto it = FDicTimerReg.find(id);
  return it == FDicTimerReg.end() ? nullptr : it->second.get();
}

void TKrDPTimerMgr::KillWindowTimer(unsigned id) {
  auto it = FWindowTimers.find(id);
  if (it == FWindowTimers.end()) return;
  FLoop.KillTimer(it->second);
  FWindowTimers.erase(it);
}

void TKrDPTimerMgr::UpdateTimer(unsigned id) {
  KillWindowTimer(id);
  auto it = FDicTimerReg.find(id);
  if (it == FDicTimerReg.end()) return;
  const TKrDPTimer& timer = *it->second;
  if (timer.FInterval == 0 || !timer.FEnabled || !timer.FOnTimer) return;
  const auto loopTimer = FLoop.SetTimer(std::chrono::milliseconds(timer.FInterval), [this, id] { Timer(id); });
  if (loopTimer == 0) throw EOutOfResources(SNoTimers);
  FWindowTimers.emplace(id, loopTimer);
}

void TKrDPTimerMgr::Timer(unsigned id) {
  auto it = FDicTimerReg.find(id);
  if (it == FDicTimerReg.end()) return;
  // Hold the timer and a copy of its handler: the handler may unregister its own timer, or free the
  // manager, while it runs. Nothing of the manager is touched after the call.
  const std::shared_ptr<TKrDPTimer> timer = it->second;
  const TKrDPTimer::TNotifyEvent handler = timer->FOnTimer;
  if (!handler) return;
  try {
    handler(timer.get());
  } catch (const std::exception& e) {
    host::AddHQLog(fmt::format("timer {} handler failed: {}", id, e.what()), kLogSource, host::LogSeverity::kError);
  } catch (...) {
    host::AddHQLog(fmt::format("timer {} handler failed with an unknown exception", id), kLogSource,
                   host::LogSeverity::kError);
  }
}

// ---- module functions ----

std::shared_ptr<TKrDPTimer> RegisterTimer() {
  if (!g_DPTimerMgr) g_DPTimerMgr = std::make_unique<TKrDPTimerMgr>(host::MainLoop());
  return g_DPTimerMgr->CreateTimer();
}

void UnRegisterTimer(const std::shared_ptr<TKrDPTimer>& timer) {
  if (!timer) return;
  timer->SetOnTimer(nullptr);
  timer->SetEnabled(false);
  // A timer of an earlier manager may share its ID with one of the current manager: only the registered
  // object itself is released.
  if (g_DPTimerMgr && g_DPTimerMgr->Find(timer->GetID()) == timer.get()) g_DPTimerMgr->DeleteTimer(timer->GetID());
}

void FreeDPTimerMgr() { g_DPTimerMgr.reset(); }

TKrDPTimerMgr* DPTimerMgr() { return g_DPTimerMgr.get(); }

}  // namespace kdp
