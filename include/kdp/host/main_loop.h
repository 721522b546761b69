// The host's main-thread event loop as the package sees it: posting work to the main thread, periodic
// timers that fire on it, and releasable message windows.
//
// Every widget call, cache and observer list lives on the main thread. Foreign threads (the quote engine,
// the Lux client, the download service, the asynchronous runner) hand work over by posting a closure.
// A MessageWindow is the package's private window: closures posted to it are dropped once it is released,
// so an object destroyed with work in flight never sees that work arrive.
//
// The loop reads time from an injectable clock, so tests advance time instead of sleeping.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace kdp::host {

using Clock = std::chrono::steady_clock;

class IClock {
 public:
  virtual ~IClock() = default;
  virtual Clock::time_point Now() const = 0;
};

// The real monotonic clock.
class SteadyClock final : public IClock {
 public:
  Clock::time_point Now() const override { return Clock::now(); }
};

// A clock that moves only when told to. Thread-safe.
class ManualClock final : public IClock {
 public:
  Clock::time_point Now() const override {
    std::lock_guard lock(mutex_);
    return now_;
  }
  void Set(Clock::time_point t) {
    std::lock_guard lock(mutex_);
    now_ = t;
  }
  void Advance(Clock::duration d) {
    std::lock_guard lock(mutex_);
    now_ += d;
  }

 private:
  mutable std::mutex mutex_;
  Clock::time_point now_{};
};

class IMainLoop {
 public:
  using Task = std::function<void()>;
  using TimerId = std::uint64_t;  // 0 is never a valid timer

  virtual ~IMainLoop() = default;

  // Queues `task` to run on the main thread. Callable from any thread.
  virtual void Post(Task task) = 0;

  // Starts a periodic timer that calls `tick` on the main thread every `interval` (at least 1 ms).
  // Returns 0 when the timer cannot be created. REQUIRES: called on the main thread.
  virtual TimerId SetTimer(std::chrono::milliseconds interval, Task tick) = 0;
  // Stops a timer; an unknown or already stopped ID is ignored. REQUIRES: main thread.
  virtual void KillTimer(TimerId id) = 0;

  // Keeps the loop turning while the main thread waits for an answer that arrives through it: posted
  // tasks and due timers run until `done()` holds or `timeout` has passed on the loop's clock.
  // Returns done(). REQUIRES: main thread.
  virtual bool ProcessMessagesUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) = 0;

  virtual bool IsMainThread() const = 0;
  virtual Clock::time_point Now() const = 0;
};

// The installed host's main loop. REQUIRES: a host environment is installed.
IMainLoop& MainLoop();
// Whether the caller runs on the installed host's main thread; true when no host is installed.
bool IsMainThread();

// A private message window: closures posted to it run on the main thread unless the window has been
// released by then. Posting is thread-safe; Release and destruction happen on the main thread.
class MessageWindow {
 public:
  // A copyable reference that other threads keep to post to the window after it may have gone.
  class Ref {
   public:
    Ref() = default;
    // Posts `task`; returns false (and drops the task) when the window is already released.
    bool Post(IMainLoop::Task task) const;
    bool IsAlive() const;

   private:
    friend class MessageWindow;
    struct Core;
    explicit Ref(std::shared_ptr<Core> core) : core_(std::move(core)) {}
    std::shared_ptr<Core> core_;
  };

  MessageWindow();  // on the installed host's main loop
  explicit MessageWindow(IMainLoop& loop);
  ~MessageWindow();
  MessageWindow(const MessageWindow&) = delete;
  MessageWindow& operator=(const MessageWindow&) = delete;

  bool Post(IMainLoop::Task task) const { return ref_.Post(std::move(task)); }
  Ref GetRef() const { return ref_; }
  bool IsAlive() const { return ref_.IsAlive(); }
  // Drops everything posted and not yet run, and every later post. Idempotent.
  void Release();

 private:
  Ref ref_;
};

}  // namespace kdp::host
