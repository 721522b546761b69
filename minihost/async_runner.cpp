#include "async_runner.h"

#include <exception>

#include "kdp/host/log.h"

namespace kdp::minihost {

MiniAsyncRunner::MiniAsyncRunner(host::IMainLoop& loop) : loop_(loop), worker_([this] { WorkerLoop(); }) {}

MiniAsyncRunner::~MiniAsyncRunner() { Stop(); }

void MiniAsyncRunner::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    jobs_.clear();
  }
  wake_.notify_one();
  if (worker_.joinable()) worker_.join();
}

bool MiniAsyncRunner::RunAsync(std::function<void()> run, std::function<void()> onTerminate) {
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return false;
    jobs_.push_back(Job{std::move(run), std::move(onTerminate)});
  }
  wake_.notify_one();
  return true;
}

void MiniAsyncRunner::WorkerLoop() {
  while (true) {
    Job job;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
      if (stopping_) return;
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    try {
      if (job.run) job.run();
    } catch (const std::exception& e) {
      host::AddHQLog(std::string("asynchronous task failed: ") + e.what(), "AsyncRunner", host::LogSeverity::kError);
    } catch (...) {
      host::AddHQLog("asynchronous task failed", "AsyncRunner", host::LogSeverity::kError);
    }
    if (job.on_terminate) loop_.Post(std::move(job.on_terminate));
  }
}

}  // namespace kdp::minihost
