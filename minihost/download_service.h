// MiniDownloadService: the stand-in host's download service, libcurl over real HTTP.
//
// Asynchronous requests run on one worker thread that drives a curl multi handle; completions and
// progress are called on that thread. Cancel and Stop wake the worker, which takes the transfer out of
// the multi handle and completes it unsuccessfully ("cancelled"). Synchronous requests run on the calling
// thread with an easy handle of their own.
//
// Limits: a reply larger than 64 MiB ends the request unsuccessfully; connecting may take 15 s and a whole
// transfer 120 s of real time (the package keeps its own, shorter time-outs on top).
//
// Threads: the request queue, the cancel list and the set of running handles are guarded by `mutex_`;
// the transfers themselves belong to the worker thread alone. Every public operation is thread-safe.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "kdp/host/download.h"

namespace kdp::minihost {

class MiniDownloadService final : public host::Implements<host::IKrDownloadService> {
 public:
  MiniDownloadService();
  // Stop()s.
  ~MiniDownloadService() override;
  MiniDownloadService(const MiniDownloadService&) = delete;
  MiniDownloadService& operator=(const MiniDownloadService&) = delete;

  host::DownloadHandle Request(const host::THttpTarget& target, host::TDownloadEnd onEnd,
                               host::TDownloadProgress onProgress) override;
  host::DownloadHandle RequestWithBody(const host::THttpTarget& target, host::MemoryStream body,
                                       host::TDownloadEnd onEnd, host::TDownloadProgress onProgress) override;
  bool IsRunning(host::DownloadHandle handle) override;
  bool Cancel(host::DownloadHandle handle) override;
  bool RequestSync(host::TPublisherDataReq& record) override;

  // Refuses new requests, completes every running one as cancelled and joins the worker. Idempotent.
  void Stop();
  // Requests started whose completion call-back has not returned yet.
  std::size_t RunningCount();
  // Blocks until no request runs, so every completion call-back has been made; false after `timeout`.
  bool WaitUntilIdle(std::chrono::milliseconds timeout);

 private:
  struct Transfer;

  host::DownloadHandle Start(const host::THttpTarget& target, bool post, host::MemoryStream body,
                             host::TDownloadEnd onEnd, host::TDownloadProgress onProgress);
  void WorkerLoop();
  // Worker thread: adds the queued transfers to the multi handle and removes the cancelled ones.
  bool TakeWork(std::vector<std::unique_ptr<Transfer>>& active);
  void Finish(std::unique_ptr<Transfer> transfer, host::TDownloadResult result);

  void Wake();

  void* multi_ = nullptr;  // CURLM*: the worker's; Wake may poke it from any thread

  std::mutex mutex_;  // guards everything down to worker_
  std::deque<std::unique_ptr<Transfer>> queued_;
  std::condition_variable idle_;               // notified whenever a request leaves running_
  std::set<host::DownloadHandle> running_;     // started, completion call-back not yet returned
  std::set<host::DownloadHandle> cancelling_;  // asked to stop, not yet taken by the worker
  host::DownloadHandle last_handle_ = 0;
  bool stopping_ = false;
  std::thread worker_;
};

}  // namespace kdp::minihost
