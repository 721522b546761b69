#include "download_service.h"

#include <curl/curl.h>

#include <algorithm>
#include <exception>
#include <optional>
#include <stdexcept>
#include <string_view>

#include "kdp/host/log.h"

namespace kdp::minihost {
namespace {

constexpr std::string_view kLogSource = "MiniDownloadService";
constexpr std::size_t kMaxReplyBytes = std::size_t{64} << 20;
constexpr long kConnectTimeoutSeconds = 15;
constexpr long kAsyncTimeoutSeconds = 120;
constexpr long kSyncTimeoutSeconds = 30;
constexpr int kIdlePollMs = 1000;
constexpr long kConnectionsPerServer = 6;

CURLM* Multi(void* multi) { return static_cast<CURLM*>(multi); }

void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// The URL of a server ("host", "host:port" or a URL prefix without a path), a port (0 keeps the server's)
// and a path with an optional query. nullopt, with `error`, when the parts do not make a URL.
std::optional<std::string> BuildUrl(const std::string& server, int port, const std::string& path, std::string& error) {
  std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> url(curl_url(), curl_url_cleanup);
  const std::string base = server.find("://") != std::string::npos ? server : "http://" + server;
  bool ok = url && curl_url_set(url.get(), CURLUPART_URL, base.c_str(), 0) == CURLUE_OK;
  if (ok && port > 0) ok = curl_url_set(url.get(), CURLUPART_PORT, std::to_string(port).c_str(), 0) == CURLUE_OK;
  if (ok && !path.empty()) {
    const std::string full = path.front() == '/' ? path : "/" + path;
    const std::size_t query = full.find('?');
    ok = curl_url_set(url.get(), CURLUPART_PATH, full.substr(0, query).c_str(), 0) == CURLUE_OK;
    if (ok && query != std::string::npos) {
      ok = curl_url_set(url.get(), CURLUPART_QUERY, full.substr(query + 1).c_str(), 0) == CURLUE_OK;
    }
  }
  char* text = nullptr;
  if (ok) ok = curl_url_get(url.get(), CURLUPART_URL, &text, 0) == CURLUE_OK;
  if (!ok) {
    error = "not a URL: server \"" + server + "\", port " + std::to_string(port) + ", path \"" + path + "\"";
    return std::nullopt;
  }
  std::string result(text);
  curl_free(text);
  return result;
}

}  // namespace

// One request: what to send, where the reply goes, and its curl handle. Owned by the worker once queued
// (or by RequestSync's frame).
struct MiniDownloadService::Transfer {
  ~Transfer() {
    if (headers != nullptr) curl_slist_free_all(headers);
    if (easy != nullptr) curl_easy_cleanup(easy);
  }

  host::DownloadHandle handle = 0;
  host::THttpTarget target;
  bool post = false;
  host::MemoryStream body;
  host::TDownloadEnd onEnd;
  host::TDownloadProgress onProgress;

  std::string url;
  host::MemoryStream reply;
  bool tooLarge = false;
  curl_off_t reported = 0;
  char error[CURL_ERROR_SIZE] = {};
  CURL* easy = nullptr;
  curl_slist* headers = nullptr;
};

namespace {

template <class Transfer>
std::size_t WriteReply(char* data, std::size_t size, std::size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const std::size_t bytes = size * count;
  if (transfer->reply.Size() + bytes > kMaxReplyBytes) {
    transfer->tooLarge = true;
    return 0;  // curl ends the transfer with a write error
  }
  transfer->reply.Write(data, bytes);
  return bytes;
}

// Sets up the transfer's easy handle for its URL, body and reply. False when curl has no handle to give.
template <class Transfer>
bool PrepareEasy(Transfer& t, long timeoutSeconds) {
  t.easy = curl_easy_init();
  if (t.easy == nullptr) return false;
  CURL* easy = t.easy;
  curl_easy_setopt(easy, CURLOPT_URL, t.url.c_str());
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
  curl_easy_setopt(easy, CURLOPT_TIMEOUT, timeoutSeconds);
  curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, t.error);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &WriteReply<Transfer>);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &t);
  if (t.post) {
    t.headers = curl_slist_append(nullptr, "Content-Type: application/octet-stream");
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, t.headers);
    curl_easy_setopt(easy, CURLOPT_POST, 1L);
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS, t.body.Data());
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(t.body.Size()));
  }
  if (t.onProgress) {
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &t);
    curl_easy_setopt(
        easy, CURLOPT_XFERINFOFUNCTION,
        +[](void* user, curl_off_t, curl_off_t received, curl_off_t, curl_off_t) -> int {
          auto* transfer = static_cast<Transfer*>(user);
          if (received > transfer->reported) {
            transfer->reported = received;
            transfer->onProgress(static_cast<std::int64_t>(received));
          }
          return 0;
        });
  }
  return true;
}

template <class Transfer>
host::TDownloadResult ResultOf(Transfer& t, CURLcode code) {
  host::TDownloadResult result;
  result.reply = std::move(t.reply);
  result.reply.SetPosition(0);
  result.detail = t.url;
  if (t.tooLarge) {
    result.message = "reply larger than 64 MiB";
    return result;
  }
  if (code != CURLE_OK) {
    result.message = curl_easy_strerror(code);
    if (t.error[0] != '\0') result.detail = t.error;
    return result;
  }
  long status = 0;
  curl_easy_getinfo(t.easy, CURLINFO_RESPONSE_CODE, &status);
  if (status < 200 || status >= 300) {
    result.message = "HTTP " + std::to_string(status);
    return result;
  }
  result.success = true;
  return result;
}

host::TDownloadResult Failed(std::string message, std::string detail) {
  host::TDownloadResult result;
  result.message = std::move(message);
  result.detail = std::move(detail);
  return result;
}

}  // namespace

MiniDownloadService::MiniDownloadService() {
  GlobalInit();
  multi_ = curl_multi_init();
  if (multi_ == nullptr) throw std::runtime_error("curl_multi_init failed");
  // Like a browser, a few connections per server at a time; the rest wait in curl's queue rather than in
  // the server's listen backlog, where a refused connection is only retried after seconds.
  curl_multi_setopt(Multi(multi_), CURLMOPT_MAX_HOST_CONNECTIONS, kConnectionsPerServer);
  worker_ = std::thread([this] { WorkerLoop(); });
}

MiniDownloadService::~MiniDownloadService() {
  Stop();
  curl_multi_cleanup(Multi(multi_));
}

void MiniDownloadService::Wake() { curl_multi_wakeup(Multi(multi_)); }

host::DownloadHandle MiniDownloadService::Request(const host::THttpTarget& target, host::TDownloadEnd onEnd,
                                                  host::TDownloadProgress onProgress) {
  return Start(target, false, {}, std::move(onEnd), std::move(onProgress));
}

host::DownloadHandle MiniDownloadService::RequestWithBody(const host::THttpTarget& target, host::MemoryStream body,
                                                          host::TDownloadEnd onEnd,
                                                          host::TDownloadProgress onProgress) {
  return Start(target, true, std::move(body), std::move(onEnd), std::move(onProgress));
}

host::DownloadHandle MiniDownloadService::Start(const host::THttpTarget& target, bool post, host::MemoryStream body,
                                                host::TDownloadEnd onEnd, host::TDownloadProgress onProgress) {
  auto transfer = std::make_unique<Transfer>();
  transfer->target = target;
  transfer->post = post;
  transfer->body = std::move(body);
  transfer->onEnd = std::move(onEnd);
  transfer->onProgress = std::move(onProgress);
  host::DownloadHandle handle = 0;
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return 0;
    handle = transfer->handle = ++last_handle_;
    running_.insert(handle);
    queued_.push_back(std::move(transfer));
  }
  Wake();
  return handle;
}

void MiniDownloadService::ServeLocally(const std::string& address, TLocalServer server) {
  std::string error;
  auto base = BuildUrl(address, 0, "/", error);
  if (!base) {
    host::AddHQLog("a server the host plays itself has no URL: " + error, kLogSource, host::LogSeverity::kError);
    return;
  }
  std::lock_guard lock(mutex_);
  auto servers = std::make_shared<TLocalServers>(*local_servers_);
  servers->emplace_back(std::move(*base), std::move(server));
  local_servers_ = std::move(servers);
}

bool MiniDownloadService::IsRunning(host::DownloadHandle handle) {
  std::lock_guard lock(mutex_);
  return running_.contains(handle);
}

bool MiniDownloadService::Cancel(host::DownloadHandle handle) {
  {
    std::lock_guard lock(mutex_);
    if (!running_.contains(handle)) return false;
    cancelling_.insert(handle);
  }
  Wake();
  return true;
}

std::size_t MiniDownloadService::RunningCount() {
  std::lock_guard lock(mutex_);
  return running_.size();
}

bool MiniDownloadService::WaitUntilIdle(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return idle_.wait_for(lock, timeout, [this] { return running_.empty(); });
}

void MiniDownloadService::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  Wake();
  if (worker_.joinable()) worker_.join();
}

bool MiniDownloadService::TakeWork(std::vector<std::unique_ptr<Transfer>>& active) {
  std::deque<std::unique_ptr<Transfer>> started;
  std::set<host::DownloadHandle> cancels;
  bool stopping = false;
  std::shared_ptr<const TLocalServers> locals;
  {
    std::lock_guard lock(mutex_);
    started.swap(queued_);
    cancels.swap(cancelling_);
    stopping = stopping_;
    locals = local_servers_;
  }
  for (auto& transfer : started) {
    const host::THttpTarget& target = transfer->target;
    std::string error;
    auto url = BuildUrl(target.host, target.port, target.path, error);
    host::TDownloadResult refused;
    if (target.kind != host::kDownloadKindHttp) {
      refused = Failed("unsupported request kind " + std::to_string(target.kind), target.host);
    } else if (!url) {
      refused = Failed("bad address", error);
    } else if (auto local = std::find_if(locals->begin(), locals->end(),
                                         [&](const auto& served) { return url->starts_with(served.first); });
               local != locals->end()) {
      // A server the host plays: its answer, or 404 for a path it does not serve.
      const std::string path = url->substr(local->first.size() - 1);
      host::TDownloadResult answered;
      try {
        std::optional<host::MemoryStream> reply = local->second(path);
        answered = reply ? host::TDownloadResult{true, std::move(*reply), "", *url} : Failed("HTTP 404", *url);
      } catch (const std::exception& e) {
        answered = Failed("HTTP 500", *url + ": " + e.what());
      }
      Finish(std::move(transfer), std::move(answered));
      continue;
    } else {
      transfer->url = std::move(*url);
      if (PrepareEasy(*transfer, kAsyncTimeoutSeconds) &&
          curl_multi_add_handle(Multi(multi_), transfer->easy) == CURLM_OK) {
        active.push_back(std::move(transfer));
        continue;
      }
      refused = Failed("cannot start the transfer", transfer->url);
    }
    Finish(std::move(transfer), std::move(refused));
  }
  for (auto it = active.begin(); it != active.end();) {
    if (stopping || cancels.contains((*it)->handle)) {
      curl_multi_remove_handle(Multi(multi_), (*it)->easy);
      auto transfer = std::move(*it);
      it = active.erase(it);
      host::TDownloadResult cancelled = Failed("cancelled", transfer->url);
      Finish(std::move(transfer), std::move(cancelled));
    } else {
      ++it;
    }
  }
  return !stopping;
}

void MiniDownloadService::WorkerLoop() {
  std::vector<std::unique_ptr<Transfer>> active;
  while (TakeWork(active)) {
    int stillRunning = 0;
    curl_multi_perform(Multi(multi_), &stillRunning);
    int queuedMessages = 0;
    while (CURLMsg* message = curl_multi_info_read(Multi(multi_), &queuedMessages)) {
      if (message->msg != CURLMSG_DONE) continue;
      CURL* easy = message->easy_handle;
      const CURLcode code = message->data.result;
      auto it = std::find_if(active.begin(), active.end(), [easy](const auto& t) { return t->easy == easy; });
      if (it == active.end()) continue;
      curl_multi_remove_handle(Multi(multi_), easy);
      auto transfer = std::move(*it);
      active.erase(it);
      host::TDownloadResult result = ResultOf(*transfer, code);
      Finish(std::move(transfer), std::move(result));
    }
    curl_multi_poll(Multi(multi_), nullptr, 0, kIdlePollMs, nullptr);
  }
}

void MiniDownloadService::Finish(std::unique_ptr<Transfer> transfer, host::TDownloadResult result) {
  try {
    if (transfer->onEnd) transfer->onEnd(std::move(result));
  } catch (const std::exception& e) {
    host::AddHQLog(std::string("download completion failed: ") + e.what(), kLogSource, host::LogSeverity::kError);
  } catch (...) {
    host::AddHQLog("download completion failed", kLogSource, host::LogSeverity::kError);
  }
  // Running until the call-back has returned: whoever sees the service idle sees every completion made.
  {
    std::lock_guard lock(mutex_);
    running_.erase(transfer->handle);
    cancelling_.erase(transfer->handle);
  }
  idle_.notify_all();
}

bool MiniDownloadService::RequestSync(host::TPublisherDataReq& record) {
  if (record.server.empty()) throw std::runtime_error("no server address for the request to " + record.path);
  std::string error;
  auto url = BuildUrl(record.server, 0, record.path, error);
  if (!url) throw std::runtime_error(error);
  Transfer transfer;
  transfer.url = std::move(*url);
  transfer.post = record.request.Size() != 0;
  transfer.body = host::MemoryStream(record.request.Bytes());
  if (!PrepareEasy(transfer, kSyncTimeoutSeconds)) throw std::runtime_error("cannot start a transfer");
  host::TDownloadResult result = ResultOf(transfer, curl_easy_perform(transfer.easy));
  record.response.Clear();
  if (!result.success) {
    record.message = result.message + " (" + result.detail + ")";
    return false;
  }
  record.message.clear();
  record.response = std::move(result.reply);
  return true;
}

}  // namespace kdp::minihost
