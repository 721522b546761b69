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
  const auto due = clock_->Now() + interval;
  timers_.emplace(id, Timer{interval, std::move(tick), due});
  due_.emplace(due, id);
  return id;
}

void MiniMainLoop::KillTimer(TimerId id) {
  timers_.erase(id);
  // Stale entries of killed timers leave the heap as they come due; rebuild it when they outnumber the
  // live ones, so a timer set and killed over and over does not grow it.
  if (due_.size() > 2 * timers_.size() + 64) {
    std::vector<DueEntry> live;
    live.reserve(timers_.size());
    for (const auto& [key, timer] : timers_) live.emplace_back(timer.due, key);
    due_ = decltype(due_)(std::greater<>(), std::move(live));
  }
}

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

host::Clock::time_point MiniMainLoop::NextDue() {
  while (!due_.empty()) {
    const auto [due, id] = due_.top();
    const auto it = timers_.find(id);
    if (it != timers_.end() && it->second.due == due) return due;
    due_.pop();
  }
  return host::Clock::time_point::max();
}

bool MiniMainLoop::FireOneDueTimer() {
  const auto now = clock_->Now();
  if (NextDue() > now) return false;
  const TimerId id = due_.top().second;
  due_.pop();
  Timer& timer = timers_.at(id);
  timer.due = now + timer.interval;
  due_.emplace(timer.due, id);
  // Copy the handler: the tick may kill or replace its own timer.
  const Task tick = timer.tick;
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
  return RunUntilDeadline(done, std::chrono::steady_clock::now() + timeout, false);
}

bool MiniMainLoop::QuitRequested() {
  std::lock_guard lock(mutex_);
  return quit_;
}

bool MiniMainLoop::RunUntilDeadline(const std::function<bool()>& done, std::chrono::steady_clock::time_point deadline,
                                    bool stopOnQuit) {
  // Run's bound holds between any two tasks; a plain wait runs whatever is ready to the end.
  const auto stopping = [&] { return stopOnQuit && (std::chrono::steady_clock::now() >= deadline || QuitRequested()); };
  while (true) {
    while (!stopping() && (RunOnePosted() || FireOneDueTimer())) {
    }
    if (done()) return true;
    if (stopOnQuit && QuitRequested()) return false;
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
      idle_at_deadline = std::chrono::steady_clock::now() >= deadline && (stopOnQuit || posted_.empty());
    }
    if (idle_at_deadline) return done();
  }
}

void MiniMainLoop::Run(std::chrono::milliseconds limit) {
  const auto start = std::chrono::steady_clock::now();
  const auto deadline =
      limit == std::chrono::milliseconds::max() ? std::chrono::steady_clock::time_point::max() : start + limit;
  while (!QuitRequested() && std::chrono::steady_clock::now() < deadline) {
    // Waits in slices of a minute at most: an unlimited run has no deadline a wait could take.
    const auto slice = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    RunUntilDeadline([] { return false; }, std::min(deadline, slice), true);
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
