// MiniMainLoop: the stand-in host's main-thread event loop.
//
// Posted closures run in posting order; periodic timers fire in due order (ties by ID) with the next
// period counted from the firing, as the platform's window timers behave. Due times sit in a heap, so
// firing one of many thousands of timers costs a logarithm, and Run looks at its time limit and at a quit
// request between any two tasks: timers that keep coming due never hold it past either. Time comes from an injectable
// clock: with a ManualClock, tests step time with AdvanceBy and every timer due on the way fires at its
// own due time. An exception escaping a task is reported to the error handler and the loop goes on.
//
// Post is thread-safe; everything else is called on the thread that drives the loop.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <queue>
#include <thread>
#include <vector>

#include "kdp/host/main_loop.h"

namespace kdp::minihost {

class MiniMainLoop final : public host::IMainLoop {
 public:
  using ErrorHandler = std::function<void(const std::string& what)>;

  explicit MiniMainLoop(std::shared_ptr<host::IClock> clock = std::make_shared<host::SteadyClock>());

  void Post(Task task) override;
  TimerId SetTimer(std::chrono::milliseconds interval, Task tick) override;
  void KillTimer(TimerId id) override;
  // With a ManualClock the waiting thread's time passes: the clock moves in steps of 10 ms (firing the
  // timers due on the way) until done() holds or the timeout is used up, so an unanswered wait ends at
  // once in real time. With a real clock it waits for posts from other threads as RunUntil does.
  bool ProcessMessagesUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) override;
  bool IsMainThread() const override { return std::this_thread::get_id() == owner_; }
  host::Clock::time_point Now() const override { return clock_->Now(); }

  void SetErrorHandler(ErrorHandler handler) { on_error_ = std::move(handler); }
  // Makes the calling thread the loop's main thread.
  void BindToCurrentThread() { owner_ = std::this_thread::get_id(); }

  // Runs posted tasks and due timers until nothing is ready. Returns how many ran.
  std::size_t RunUntilIdle();
  // Moves a ManualClock forward by `d`, firing every timer due on the way at its due time.
  // REQUIRES: the loop was built on a ManualClock.
  void AdvanceBy(host::Clock::duration d);
  // Runs until `done()` holds, waiting for posts from other threads and for timers, at most
  // `timeout` of real time. Returns done().
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
  // Runs until Quit is called (from a task or any thread, also just before Run starts) or `limit` of
  // real time passes.
  void Run(std::chrono::milliseconds limit = std::chrono::milliseconds::max());
  void Quit();

  std::size_t ActiveTimerCount() const { return timers_.size(); }
  // The interval of a running timer, or zero when it does not run.
  std::chrono::milliseconds TimerInterval(TimerId id) const;

 private:
  struct Timer {
    std::chrono::milliseconds interval;
    Task tick;
    host::Clock::time_point due;
  };

  bool RunOnePosted();
  bool FireOneDueTimer();
  void Execute(const Task& task);
  // The earliest due time of any timer, or time_point::max(). Drops heap entries of killed timers.
  host::Clock::time_point NextDue();
  // Runs until done() holds or `deadline` passes; with `stopOnQuit`, a Quit ends it too. Between tasks
  // it looks at the deadline (and the quit request), so a stream of due timers cannot hold it.
  bool RunUntilDeadline(const std::function<bool()>& done, std::chrono::steady_clock::time_point deadline,
                        bool stopOnQuit);
  bool QuitRequested();

  std::shared_ptr<host::IClock> clock_;
  host::ManualClock* manual_clock_;  // non-null when clock_ is a ManualClock
  std::thread::id owner_;
  ErrorHandler on_error_;

  std::mutex mutex_;  // guards posted_ and quit_
  std::condition_variable wake_;
  std::deque<Task> posted_;
  bool quit_ = false;

  std::map<TimerId, Timer> timers_;
  // (due, id) of every running timer, earliest first; an entry whose timer was killed or has another due
  // time is stale and skipped.
  using DueEntry = std::pair<host::Clock::time_point, TimerId>;
  std::priority_queue<DueEntry, std::vector<DueEntry>, std::greater<>> due_;
  TimerId last_timer_id_ = 0;
};

}  // namespace kdp::minihost
