// MiniAsyncRunner: the stand-in host's asynchronous runner, one worker thread with a task queue.
// A task's terminate call-back is posted to the main loop after the task ran (or threw).
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "kdp/host/async_runner.h"
#include "kdp/host/main_loop.h"

namespace kdp::minihost {

class MiniAsyncRunner final : public host::Implements<host::IKrAsyncRunner> {
 public:
  explicit MiniAsyncRunner(host::IMainLoop& loop);
  // Waits for the running task; tasks not yet started are dropped with their call-backs.
  ~MiniAsyncRunner() override;

  bool RunAsync(std::function<void()> run, std::function<void()> onTerminate) override;

  // Stops accepting work and joins the worker (as the destructor does); idempotent.
  void Stop();

 private:
  struct Job {
    std::function<void()> run;
    std::function<void()> on_terminate;
  };
  void WorkerLoop();

  host::IMainLoop& loop_;
  std::mutex mutex_;  // guards jobs_ and stopping_
  std::condition_variable wake_;
  std::deque<Job> jobs_;
  bool stopping_ = false;
  std::thread worker_;
};

}  // namespace kdp::minihost
