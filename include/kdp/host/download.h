// The host's download service: HTTP requests that the host performs on worker threads of its own.
//
// Asynchronous requests (without or with a body) start at once and end with exactly one completion
// call-back, made on a host thread (never on the caller's stack), with the outcome and the reply bytes.
// Progress call-backs may come before it, on the same thread. `Cancel` stops a request; its completion
// still comes (unsuccessful, message "cancelled", unless the request had finished first), so whatever a
// call-back holds is released either way. The synchronous request fills a publisher request record and
// blocks the calling thread until the reply is in.
//
// Server addresses come from the host's server list (`GetServerAddressByNameWithHttpPrefix`,
// services.h); request paths from the package's URL configuration.
//
// Thread-safety: every operation may be called from any thread (the package calls from the main thread).
// Call-backs must not block or call back into the service: they hand the outcome over (a post to a
// MessageWindow) and return.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "kdp/host/interface.h"
#include "kdp/host/memory_stream.h"

namespace kdp::host {

// The request kind the package uses: plain HTTP, a POST of the body when there is one and a GET otherwise;
// the reply is the body the server sent. Other kinds are refused (the request ends unsuccessfully).
inline constexpr int kDownloadKindHttp = 6;

// Where a request goes.
struct THttpTarget {
  std::string host;  // "10.1.2.3", "kuds.example", or with a scheme: "https://kuds.example"
  int port = 0;      // 0: the scheme's default
  std::string path;  // "/kuds/report", may carry a query
  int kind = kDownloadKindHttp;
};

// How a request ended.
struct TDownloadResult {
  bool success = false;  // transferred, and the server answered a 2xx status
  MemoryStream reply;    // the body the server sent (also with an error status); empty when none
  std::string message;   // why it failed: "HTTP 404", "cancelled", the transfer's error; "" on success
  std::string detail;    // the transport's own words (the address, the library's error text)
};

// The synchronous request's record: the caller fills server, path and request; the service fills the
// rest.
struct TPublisherDataReq {
  std::string server;     // "10.1.2.3:8080", or a URL prefix "http://kuds.example:8080"
  std::string path;       // "/kuds/report"
  MemoryStream request;   // the body; posted from its start when not empty, else the request is a GET
  MemoryStream response;  // the reply body when the request succeeded
  std::string message;    // why it failed, when RequestSync answers false
};

using DownloadHandle = std::uint64_t;  // 0 is never a request
// Called once per started request, on a host thread.
using TDownloadEnd = std::function<void(TDownloadResult&& result)>;
// Bytes of the reply received so far, on a host thread; may be empty.
using TDownloadProgress = std::function<void(std::int64_t received)>;

class IKrDownloadService : public virtual IInterface {
 public:
  static constexpr Guid IID = "5C0E1B7A-3D4F-4A8E-9B61-2F7D8C9E0A13";

  // Starts a request without a body. Returns its handle, or 0 when the service is stopping (then no
  // call-back comes).
  virtual DownloadHandle Request(const THttpTarget& target, TDownloadEnd onEnd, TDownloadProgress onProgress) = 0;
  // Starts a request that posts `body` (all of it, from its start); the service owns the body from here.
  virtual DownloadHandle RequestWithBody(const THttpTarget& target, MemoryStream body, TDownloadEnd onEnd,
                                         TDownloadProgress onProgress) = 0;
  // True from the start of a request until its completion call-back has returned.
  virtual bool IsRunning(DownloadHandle handle) = 0;
  // Asks a running request to stop; false when it was not running. Its completion still comes.
  virtual bool Cancel(DownloadHandle handle) = 0;

  // Performs the request of `record` on the calling thread. False (with `record.message`) when the
  // transfer fails or the server answers an error status. Throws std::runtime_error when the record cannot
  // be sent at all: no server, or an address that is not a URL.
  virtual bool RequestSync(TPublisherDataReq& record) = 0;
};

}  // namespace kdp::host
