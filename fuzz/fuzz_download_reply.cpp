// The request downloader's handling of replies, driven by a script: the input is a sequence of steps that
// send requests, answer them (success or not, reply bytes, a message), answer requests that a later one
// superseded, report progress, abort, and let the time-out pass. Whatever the order, the owner hears
// exactly one completion for each request that nothing superseded, none for the others, with the reply's
// bytes as the service gave them (no stream for an empty reply) and its message.
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "kdp/host/download.h"
#include "loop_fuzz_host.h"
#include "transport/http_downloader.h"

namespace {

using namespace std::chrono_literals;
namespace host = kdp::host;

// A download service that keeps each request's call-backs until the script answers it.
class ScriptedDownloads final : public host::Implements<host::IKrDownloadService> {
 public:
  struct Pending {
    host::TDownloadEnd onEnd;
    host::TDownloadProgress onProgress;
  };
  host::DownloadHandle Request(const host::THttpTarget&, host::TDownloadEnd onEnd,
                               host::TDownloadProgress onProgress) override {
    if (refuseNext) {
      refuseNext = false;
      return 0;
    }
    pending[++last] = Pending{std::move(onEnd), std::move(onProgress)};
    return last;
  }
  host::DownloadHandle RequestWithBody(const host::THttpTarget& target, host::MemoryStream, host::TDownloadEnd onEnd,
                                       host::TDownloadProgress onProgress) override {
    return Request(target, std::move(onEnd), std::move(onProgress));
  }
  bool IsRunning(host::DownloadHandle handle) override { return pending.contains(handle); }
  bool Cancel(host::DownloadHandle handle) override { return pending.contains(handle); }
  bool RequestSync(host::TPublisherDataReq&) override { return false; }

  // Ends request `handle` with `result`, as the host does (the request stops running first).
  void Finish(host::DownloadHandle handle, host::TDownloadResult result) {
    auto it = pending.find(handle);
    if (it == pending.end()) return;
    const host::TDownloadEnd onEnd = std::move(it->second.onEnd);
    pending.erase(it);
    onEnd(std::move(result));
  }

  std::map<host::DownloadHandle, Pending> pending;
  host::DownloadHandle last = 0;
  bool refuseNext = false;
};

// Reads the script's bytes; past the end, zeros.
struct Script {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t at = 0;
  bool More() const { return at < size; }
  std::uint8_t Byte() { return at < size ? data[at++] : 0; }
  std::string Bytes(std::size_t n) {
    n = std::min(n, size - std::min(at, size));
    std::string text(reinterpret_cast<const char*>(data + at), n);
    at += n;
    return text;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static kdp::fuzzing::LoopHost h;
  static const auto downloads = [] {
    auto service = std::make_shared<ScriptedDownloads>();
    h.provider->Add(host::IKrDownloadService::IID, service);
    return service;
  }();
  downloads->pending.clear();
  downloads->refuseNext = false;

  struct Heard {
    bool success;
    std::optional<std::string> reply;
    std::string message;
  };
  std::map<std::uint32_t, int> completions;  // per tag
  std::map<std::uint32_t, Heard> heard;
  std::optional<std::uint32_t> live;                      // the tag of the request nothing superseded
  std::map<std::uint32_t, host::DownloadHandle> handles;  // tag -> the service's handle (0: refused)
  std::map<std::uint32_t, Heard> sent;                    // what the service answered, per tag
  {
    kdp::TKrHttpDownLoader downloader;
    downloader.SetParams("127.0.0.1", 8080, "/kuds", "body");
    downloader.SetOnDownLoaderEndEvent([&](const kdp::Status& outcome, host::MemoryStream* stream, std::uint32_t tag) {
      // Only the request nothing superseded completes, and once.
      if (!live || tag != *live || ++completions[tag] != 1) __builtin_trap();
      heard[tag] = Heard{outcome.ok(), stream ? std::optional(std::string(stream->AsStringView())) : std::nullopt,
                         outcome.message()};
    });
    std::uint32_t nextTag = 1;
    Script script{data, size};
    while (script.More()) {
      switch (script.Byte() % 6) {
        case 0:  // a request, GET or POST, perhaps refused by the service
          downloads->refuseNext = (script.Byte() & 1) != 0;
          downloader.SetRequestType(script.Byte() & 1 ? kdp::TRequestType::rtPOST : kdp::TRequestType::rtGET);
          downloader.FireRequest(nextTag);
          handles[nextTag] = downloader.IsRequesting() ? downloads->last : 0;
          live = nextTag++;
          break;
        case 1:    // the service answers a request: the live one, or one superseded before it
        case 2: {  // (the script's byte picks which, counting back from the latest)
          const std::uint32_t back = script.Byte() % 4;
          if (nextTag <= 1 + back) break;
          const std::uint32_t tag = nextTag - 1 - back;
          host::TDownloadResult result;
          result.success = (script.Byte() & 1) != 0;
          const std::string reply = script.Bytes(script.Byte());
          result.reply = host::MemoryStream(reply);
          result.message = script.Bytes(script.Byte() % 16);
          if (downloads->IsRunning(handles[tag])) {
            sent[tag] = Heard{result.success, reply.empty() ? std::nullopt : std::optional(reply), result.message};
            downloads->Finish(handles[tag], std::move(result));
          }
          break;
        }
        case 3:  // progress on the latest request
          if (auto it = downloads->pending.find(downloads->last); it != downloads->pending.end()) {
            it->second.onProgress(script.Byte());
          }
          break;
        case 4:  // the owner gives up
          downloader.Abort();
          live.reset();
          break;
        case 5:  // time passes, up to past the time-out
          h.loop.AdvanceBy(std::chrono::milliseconds(script.Byte()) * 200);
          break;
      }
      h.loop.RunUntilIdle();
    }
    h.loop.RunUntilIdle();
    // What was heard is what the service answered (a failure with the service's words); a refused request
    // completes with a failure of its own.
    for (const auto& [tag, got] : heard) {
      if (const auto it = sent.find(tag); it != sent.end()) {
        if (got.success != it->second.success || got.reply != it->second.reply ||
            (!got.success && got.message != it->second.message)) {
          __builtin_trap();
        }
      } else if (got.success && handles[tag] != 0) {
        __builtin_trap();  // a success the service never gave (the time-out's completion is a failure)
      }
    }
  }
  h.loop.RunUntilIdle();  // posts to the destroyed downloader's window are dropped
  return 0;
}
