// TKrHttpDownLoader: the one object through which the cloud reports, the cloud index requests and the
// trade date manager send their requests and get their replies. Each owner creates its own downloader and
// keeps it for its lifetime.
//
// HTTP requests go to the host's download service, asynchronously (FireRequest) or blocking
// (FireRequestSync). Lux raw messages go through the Lux message helper (created on the first send); their
// replies already arrive on the main thread and reach the owner at once, with the tag the send was given. Whatever the
// road, the owner learns the outcome through one completion event on the main thread: success, the reply bytes, a
// message and the owner's own 32-bit tag. Every asynchronous request ends in exactly one completion unless a later
// request or Abort supersedes it first, or the downloader is destroyed: a new request cancels the one still pending,
// and only the newer completes. A request that runs 30 seconds is cancelled at the host; its (unsuccessful) completion
// still comes.
//
// Threads: main thread only. The download service calls back on a host thread; that call-back touches
// nothing of the downloader but posts the outcome to the downloader's private window, which the
// destructor releases, so a request still in flight then completes into nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "kdp/host/download.h"
#include "kdp/host/lux.h"
#include "kdp/host/main_loop.h"
#include "kdp/host/memory_stream.h"
#include "kdp/lux/lux_types.h"
#include "util/status.h"

namespace kdp {

class TKrDPTimer;
class TKrLuxMsgHelper;

// Without a body (a GET) or posting the post content.
enum class TRequestType { rtGET, rtPOST };

// Splits a server address ("http://10.1.2.3:8080") into the host with its scheme ("http://10.1.2.3") and
// the port (8080). Without a port, or with one that is not a number from 1 to 65535, the whole address is
// the host and the port is 0 (the scheme's default).
void SplitServerPort(const std::string& address, std::string& host, int& port);

class TKrHttpDownLoader {
 public:
  // The completion: how it went (kTransport with the host's or the Lux client's words when it failed), the
  // reply (nullptr when the server sent no bytes; valid during the call only) and the request's tag.
  using TDownLoadEndEvent = std::function<void(const Status& outcome, host::MemoryStream* stream, std::uint32_t tag)>;
  // Bytes of the reply received so far, and the request's tag.
  using TProgressEvent = std::function<void(std::int64_t position, std::uint32_t tag)>;

  static constexpr unsigned kTimeOutMs = 30000;

  TKrHttpDownLoader();
  // Cancels the pending request at the host, returns the time-out timer, releases the window and clears
  // the handlers: nothing of a request in flight reaches the owner any more.
  ~TKrHttpDownLoader();
  TKrHttpDownLoader(const TKrHttpDownLoader&) = delete;
  TKrHttpDownLoader& operator=(const TKrHttpDownLoader&) = delete;

  void SetServerUrl(const std::string& path) { m_sUrl = path; }
  const std::string& GetServerUrl() const { return m_sUrl; }
  // Resolves a new alias through the host's server list into host and port; the alias already set
  // changes nothing (not even host and port set since by SetParams).
  void SetServerAlias(const std::string& alias);
  const std::string& GetServerAlias() const { return FServerAlias; }
  void SetParams(const std::string& host, int port, const std::string& path, const std::string& postContent);
  const std::string& GetHost() const { return m_sHost; }
  int GetPort() const { return m_iPort; }
  void SetPostData(const std::string& postContent) { m_sPostData = postContent; }
  TRequestType GetRequestType() const { return FRequestType; }
  void SetRequestType(TRequestType type) { FRequestType = type; }

  void SetOnDownLoaderEndEvent(TDownLoadEndEvent handler) { FOnDownLoadEndEvent = std::move(handler); }
  void SetOnProgressEvent(TProgressEvent handler) { FOnPr0gressEvent = std::move(handler); }

  // Posts `stream` (all of it, from its start) to host, port and path.
  void FireRequest(const host::MemoryStream& stream, std::uint32_t tag);
  // rtPOST: posts the post content as ANSI text behind its 32-bit little-endian byte length; rtGET: a
  // request without body.
  void FireRequest(std::uint32_t tag);
  // A blocking request of `request` (from its start) to the alias's server (host and port without an
  // alias) and the path. Success, with the reply in `response` (rewound); kUnavailable without a download
  // service or kTransport with the host's words, `response` untouched. Throws ERequestFailed ("<the host's
  // message>: FireRequestSync failed!") when the host itself raises.
  Status FireRequestSync(const host::MemoryStream& request, host::MemoryStream& response, std::uint32_t tag);
  // Cancels the pending request; what the host's cancel answers, false when none was pending. Its
  // completion does not reach the owner.
  bool Abort();
  // Lux raw messages; each answers the request ID, -1 without a Lux data manager. A report command
  // without "internalUserID" gets " internalUserID=[<the context's internal user ID>]"; commands are
  // trimmed. The report body: an empty ansi text, the command, the local IP address, byte 0.
  std::int32_t SendLuxCloudReportRequest(const std::string& command, std::uint32_t tag, std::uint32_t appClass,
                                         std::uint32_t commandId);
  // The command, an empty ansi text, the server time as text, byte 0.
  std::int32_t SendLuxCloudReportRequestPR(const std::string& command, std::uint32_t tag, std::uint32_t appClass,
                                           std::uint32_t commandId);
  // The trimmed command in a "B1" body (MakeB1RequestBody) with the context's report text and number.
  std::int32_t SendLuxCloudReportRequestB1(const std::string& command, std::uint32_t tag, std::uint32_t appClass,
                                           std::uint32_t commandId, const std::string& extra);
  // The body as given.
  std::int32_t SendLuxRequest(const host::MemoryStream& content, std::uint32_t tag, std::uint32_t appClass,
                              std::uint32_t commandId);
  // The public opinions of a security: its code (ansi) and the 32-bit value 10, to class 1136, command 10317.
  std::int32_t SendPublicOpinions(const std::string& koraCode, std::uint32_t tag);

  // Whether an asynchronous request is pending.
  bool IsRequesting() const { return m_iRequestID != 0; }

 private:
  // Stops the pending request at the host and supersedes it, so its completion is dropped.
  void CancelPending();
  void StartRequest(bool withBody, host::MemoryStream body, std::uint32_t tag);
  // Main thread: the outcome of request `generation`, from the host or from a request that never started.
  void OnDownLoadEnd(std::uint64_t generation, std::uint32_t tag, host::TDownloadResult&& result);
  void PostFailure(std::uint64_t generation, std::uint32_t tag, const std::string& message);
  void OnTimeOut();
  void EnableTimeOut(bool enabled);
  host::MessageWindow& Window();
  std::int32_t SendLux(std::uint32_t appClass, std::uint32_t commandId, const host::MemoryStream& body,
                       std::uint32_t tag);
  void OnRawMsgDataNotify(host::TMessageProperty prop, const TRawMsgData& data);

  std::unique_ptr<host::MessageWindow> FWindowHandle;  // created on first use
  std::string FServerAlias;
  std::string m_sUrl;
  std::string m_sHost;
  int m_iPort = 0;
  std::string m_sPostData;
  std::shared_ptr<TKrDPTimer> m_tTimeOut;  // created on first use
  TRequestType FRequestType = TRequestType::rtGET;
  TDownLoadEndEvent FOnDownLoadEndEvent;
  TProgressEvent FOnPr0gressEvent;
  std::unique_ptr<TKrLuxMsgHelper> FLuxMsgHelper;  // created on the first Lux send
  host::DownloadHandle m_iRequestID = 0;           // the pending request at the host; 0 when none
  // Counts the requests started; an outcome of an older one is superseded and dropped.
  std::uint64_t FGeneration = 0;
};

}  // namespace kdp
