#include "main_loop.h"

#include <algorithm>
#include <exception>
#include <stdexcept>

namespace kdp::minihost {

MiniMainLoop::MiniMainLoop(std::shared_ptr<host::IClock> clock)
    : clock_(std::move(clock)),
      manual_clock_(dynamic_cast<host::ManualClock*>(clock_.get())),
      owner_(std::this_thread::get_id()) {}

void MiniMainLoop::Post(Task task) {
  {
    std::lock_guard lock(mutex_);
    posted_.push_back(std::move(task));
  }
  wake_.notify_one();
}

host::IMainLoop::TimerId MiniMainLoop::SetTimer(std::chrono::milliseconds interval, Task tick) {
  if (interval.count() < 1 || !tick) return 0;
  const TimerId id = ++last_timer_id_;
  timers_.emplace(id, Timer{interval, std::move(tick), clock_->Now() + interval});
  return id;
}

void MiniMainLoop::KillTimer(TimerId id) { timers_.erase(id); }

std::chrono::milliseconds MiniMainLoop::TimerInterval(TimerId id) const {
  auto it = timers_.find(id);
  return it == timers_.end() ? std::chrono::milliseconds::zero() : it->second.interval;
}

void MiniMainLoop::Execute(const Task& task) {
  try {
    task();
  } catch (const std::exception& e) {
    if (on_error_) on_error_(e.what());
  } catch (...) {
    if (on_error_) on_error_("unknown exception");
  }
}

bool MiniMainLoop::RunOnePosted() {
  Task task;
  {
    std::lock_guard lock(mutex_);
    if (posted_.empty()) return false;
    task = std::move(posted_.front());
    posted_.pop_front();
  }
  Execute(task);
  return true;
}

host::Clock::time_point MiniMainLoop::NextDue() const {
  auto next = host::Clock::time_point::max();
  for (const auto& [id, timer] : timers_) next = std::min(next, timer.due);
  return next;
}

bool MiniMainLoop::FireOneDueTimer() {
  const auto now = clock_->Now();
  auto due_it = timers_.end();
  for (auto it = timers_.begin(); it != timers_.end(); ++it) {
    if (it->second.due <= now && (due_it == timers_.end() || it->second.due < due_it->second.due)) due_it = it;
  }
  if (due_it == timers_.end()) return false;
  due_it->second.due = now + due_it->second.interval;
  // Copy the handler: the tick may kill or replace its own timer.
  const Task tick = due_it->second.tick;
  Execute(tick);
  return true;
}

std::size_t MiniMainLoop::RunUntilIdle() {
  std::size_t ran = 0;
  while (RunOnePosted() || FireOneDueTimer()) ++ran;
  return ran;
}

void MiniMainLoop::AdvanceBy(host::Clock::duration d) {
  if (manual_clock_ == nullptr) throw std::logic_error("AdvanceBy needs a ManualClock");
  const auto target = manual_clock_->Now() + d;
  RunUntilIdle();
  while (true) {
    const auto next = NextDue();
    if (next > target) break;
    if (next > manual_clock_->Now()) manual_clock_->Set(next);
    RunUntilIdle();
  }
  // A nested wait inside a task may already have moved the clock past the target.
  if (manual_clock_->Now() < target) manual_clock_->Set(target);
  RunUntilIdle();
}

bool MiniMainLoop::ProcessMessagesUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  if (manual_clock_ == nullptr) return RunUntil(done, timeout);
  constexpr std::chrono::milliseconds kStep{10};
  const auto deadline = manual_clock_->Now() + timeout;
  while (true) {
    RunUntilIdle();
    if (done()) return true;
    const auto now = manual_clock_->Now();
    if (now >= deadline) return false;
    AdvanceBy(std::min<host::Clock::duration>(kStep, deadline - now));
  }
}

bool MiniMainLoop::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (true) {
    RunUntilIdle();
    if (done()) return true;
    auto wait_until = deadline;
    const auto next = NextDue();
    if (next != host::Clock::time_point::max()) {
      const auto until_timer = next - clock_->Now();
      wait_until =
          std::min(deadline, std::chrono::steady_clock::now() + std::max(until_timer, host::Clock::duration::zero()));
    }
    bool idle_at_deadline = false;
    {
      std::unique_lock lock(mutex_);
      if (posted_.empty() && !quit_) wake_.wait_until(lock, wait_until, [this] { return !posted_.empty() || quit_; });
      idle_at_deadline = posted_.empty() && std::chrono::steady_clock::now() >= deadline;
    }
    if (idle_at_deadline) return done();
  }
}

void MiniMainLoop::Run(std::chrono::milliseconds limit) {
  const auto start = std::chrono::steady_clock::now();
  const auto deadline =
      limit == std::chrono::milliseconds::max() ? std::chrono::steady_clock::time_point::max() : start + limit;
  auto quitting = [this] {
    std::lock_guard lock(mutex_);
    return quit_;
  };
  while (!quitting() && std::chrono::steady_clock::now() < deadline) {
    const auto remaining =
        deadline == std::chrono::steady_clock::time_point::max()
            ? std::chrono::milliseconds(60'000)
            : std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    RunUntil(quitting, std::max(remaining, std::chrono::milliseconds(0)));
  }
  // A Quit ends this run only; the next Run starts afresh.
  std::lock_guard lock(mutex_);
  quit_ = false;
}

void MiniMainLoop::Quit() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  wake_.notify_one();
}

}  // namespace kdp::minihost
