#include "util/file_watcher.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <exception>
#include <filesystem>

#include <fmt/format.h>

#include "kdp/host/async_runner.h"
#include "kdp/host/log.h"
#include "kdp/host/services.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "TKrFileWatcherMgr";

}  // namespace

std::optional<std::string> GetFileLastWriteText(const std::string& path) {
  std::error_code ec;
  const auto written = std::filesystem::last_write_time(path, ec);
  if (ec) return std::nullopt;
  const auto system = std::chrono::file_clock::to_sys(written);
  const std::time_t seconds =
      std::chrono::system_clock::to_time_t(std::chrono::time_point_cast<std::chrono::system_clock::duration>(system));
  std::tm local{};
  if (localtime_r(&seconds, &local) == nullptr) return std::nullopt;
  return fmt::format("{:04}/{:02}/{:02},{:02}:{:02}:{:02}", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                     local.tm_hour, local.tm_min, local.tm_sec);
}

// ---- TKrFileObserver ----

TNotifyEvent TKrFileObserver::GetOnLoadEvent() {
  std::lock_guard lock(FLock);
  return FOnLoadEvent;
}

void TKrFileObserver::SetOnLoadEvent(TNotifyEvent handler) {
  std::lock_guard lock(FLock);
  FOnLoadEvent = std::move(handler);
}

std::string TKrFileObserver::GetFileName() {
  std::lock_guard lock(FLock);
  return FFileName;
}

void TKrFileObserver::SetFileName(const std::string& path) {
  std::lock_guard lock(FLock);
  FFileName = path;
}

std::string TKrFileObserver::GetOldTime() {
  std::lock_guard lock(FLock);
  return FOldTime;
}

void TKrFileObserver::SetOldTime(const std::string& time) {
  std::lock_guard lock(FLock);
  FOldTime = time;
}

// ---- TKrFileWatcherMgr ----

TKrFileWatcherMgr::TKrFileWatcherMgr() : FState(std::make_shared<State>()), FTimer(host::MainLoop()) {
  FState->FSender = static_cast<IKrFileWatcherMgr*>(this);
  FTimer.SetInterval(kCheckInterval);
  FTimer.SetOnTimer([this] { OnTimer(); });
}

TKrFileWatcherMgr::~TKrFileWatcherMgr() {
  FState->FIsStop.store(true);
  FTimer.SetEnabled(false);
  // Taking the lock waits for a running check; a queued one finds the stop flag and does nothing.
  std::lock_guard lock(FState->FCS);
  FState->FList.clear();
  FState->FSender = nullptr;
}

void TKrFileWatcherMgr::RegisterFileObserver(std::shared_ptr<IKrFileObserver> observer) {
  std::lock_guard lock(FState->FCS);
  FState->FList.push_back(std::move(observer));
  FTimer.SetEnabled(true);
}

void TKrFileWatcherMgr::UnRegisterFileObserver(const std::shared_ptr<IKrFileObserver>& observer) {
  std::lock_guard lock(FState->FCS);
  FTimer.SetEnabled(false);
  auto& list = FState->FList;
  list.erase(std::remove(list.begin(), list.end(), observer), list.end());
}

std::size_t TKrFileWatcherMgr::ObserverCount() const {
  std::lock_guard lock(FState->FCS);
  return FState->FList.size();
}

void TKrFileWatcherMgr::OnTimer() {
  if (!FState->FFinish.load()) return;  // the previous check is still queued or running
  auto runner = host::KrIntfService<host::IKrAsyncRunner>();
  if (!runner) {
    host::AddHQLog("no asynchronous runner: watched files are not checked", kLogSource, host::LogSeverity::kWarning);
    return;
  }
  FState->FFinish.store(false);
  // The task and its end hold the state block, not the manager, which may be gone when they run.
  const bool accepted =
      runner->RunAsync([state = FState] { WatchFileEvent(*state); }, [state = FState] { state->FFinish.store(true); });
  if (!accepted) FState->FFinish.store(true);
}

void TKrFileWatcherMgr::WatchFileEvent(State& state) {
  std::lock_guard lock(state.FCS);
  for (const std::shared_ptr<IKrFileObserver>& observer : state.FList) {
    if (state.FIsStop.load()) break;
    if (!observer) continue;
    const std::string path = observer->GetFileName();
    const std::string oldTime = observer->GetOldTime();
    const std::optional<std::string> newTime = GetFileLastWriteText(path);
    if (!newTime) continue;  // missing for now: its old time stays, so it fires once it appears
    if (*newTime != oldTime) {
      if (const TNotifyEvent handler = observer->GetOnLoadEvent()) {
        // A failing reload must not cost the other observers their check.
        try {
          handler(state.FSender);
        } catch (const std::exception& e) {
          host::AddHQLog(fmt::format("reloading {} failed: {}", path, e.what()), kLogSource, host::LogSeverity::kError);
        } catch (...) {
          host::AddHQLog(fmt::format("reloading {} failed", path), kLogSource, host::LogSeverity::kError);
        }
      }
    }
    observer->SetOldTime(*newTime);
  }
}

}  // namespace kdp
