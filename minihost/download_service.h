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
// Servers the stand-in host plays itself (ServeLocally) answer on the worker thread, without the network.
//
// Threads: the request queue, the cancel list, the set of running handles and the list of local servers
// (replaced whole, its answers called on the worker thread) are guarded by `mutex_`; the transfers
// themselves belong to the worker thread alone. Every public operation is thread-safe.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>
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

  // The reply of a server the stand-in host plays itself, for a path (with its query); nullopt: the path
  // is not served (HTTP 404).
  using TLocalServer = std::function<std::optional<host::MemoryStream>(const std::string& path)>;
  // Requests to `address` (as the host's server list writes it: "host:port") are answered by `server` on
  // the worker thread instead of going over the network.
  void ServeLocally(const std::string& address, TLocalServer server);

  // Refuses new requests, completes every running one as cancelled and joins the worker. Idempotent.
  void Stop();
  // Requests started whose completion call-back has not returned yet.
  std::size_t RunningCount();
  // Blocks until no request runs, so every completion call-back has been made; false after `timeout`.
  bool WaitUntilIdle(std::chrono::milliseconds timeout);

 private:
  struct Transfer;
  // The URL prefix ("http://host:port/") of each server played locally, with its answers.
  using TLocalServers = std::vector<std::pair<std::string, TLocalServer>>;

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
  std::shared_ptr<const TLocalServers> local_servers_ = std::make_shared<TLocalServers>();  // replaced whole
  bool stopping_ = false;
  std::thread worker_;
};

}  // namespace kdp::minihost
