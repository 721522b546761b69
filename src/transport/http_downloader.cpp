#include "transport/http_downloader.h"

#include <exception>

#include <fmt/format.h>

#include "core/host_lookups.h"
#include "kdp/error.h"
#include "kdp/host/log.h"
#include "kdp/host/serializer.h"
#include "kdp/host/services.h"
#include "kdp/lux/lux_helpers.h"
#include "transport/cloud_request_body.h"
#include "util/dp_timer.h"
#include "util/host_addresses.h"
#include "util/strings.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "TKrHttpDownLoader";

constexpr std::uint32_t kPublicOpinionsAppClass = 1136;
constexpr std::uint32_t kPublicOpinionsCommandId = 10317;
constexpr std::uint32_t kPublicOpinionsKind = 10;

// A report command as the report service expects it: trimmed, and naming the user unless it does.
std::string ReportCommand(const std::string& command) {
  std::string trimmed = Trim(command);
  if (trimmed.find("internalUserID") != std::string::npos) return trimmed;
  auto context = host::GetHQContext();
  return fmt::format("{} internalUserID=[{}]", trimmed, context ? context->GetInternalUserID() : std::string());
}

std::shared_ptr<host::IKrDownloadService> DownloadService() { return host::KrIntfService<host::IKrDownloadService>(); }

}  // namespace

void SplitServerPort(const std::string& address, std::string& host, int& port) {
  host = address;
  port = 0;
  const std::size_t schemeEnd = address.find("://");
  const std::size_t authority = schemeEnd == std::string::npos ? 0 : schemeEnd + 3;
  const std::size_t colon = address.rfind(':');
  // A colon inside an IPv6 literal ("[::1]") or the scheme's own is not a port separator.
  if (colon == std::string::npos || colon < authority || address.find(']', colon) != std::string::npos) return;
  const std::string_view digits = std::string_view(address).substr(colon + 1);
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) return;
  const auto number = ParseInt32(digits);
  if (!number || *number < 1 || *number > 65535) return;
  host = address.substr(0, colon);
  port = *number;
}

TKrHttpDownLoader::TKrHttpDownLoader() = default;

TKrHttpDownLoader::~TKrHttpDownLoader() {
  FLuxMsgHelper.reset();
  if (m_iRequestID != 0) {
    if (auto service = DownloadService()) service->Cancel(m_iRequestID);
  }
  if (m_tTimeOut) UnRegisterTimer(m_tTimeOut);
  if (FWindowHandle) FWindowHandle->Release();
  FOnDownLoadEndEvent = nullptr;
  FOnPr0gressEvent = nullptr;
}

void TKrHttpDownLoader::SetServerAlias(const std::string& alias) {
  if (alias == FServerAlias) return;
  FServerAlias = alias;
  SplitServerPort(G_GetServerAddressByAlias(alias), m_sHost, m_iPort);
}

void TKrHttpDownLoader::SetParams(const std::string& host, int port, const std::string& path,
                                  const std::string& postContent) {
  m_sHost = host;
  m_iPort = port;
  m_sUrl = path;
  m_sPostData = postContent;
}

host::MessageWindow& TKrHttpDownLoader::Window() {
  if (!FWindowHandle) FWindowHandle = std::make_unique<host::MessageWindow>();
  return *FWindowHandle;
}

void TKrHttpDownLoader::FireRequest(const host::MemoryStream& stream, std::uint32_t tag) {
  StartRequest(true, host::MemoryStream(stream.Bytes()), tag);
}

void TKrHttpDownLoader::FireRequest(std::uint32_t tag) {
  if (FRequestType == TRequestType::rtGET) {
    StartRequest(false, {}, tag);
    return;
  }
  host::MemoryStream body;
  host::TStreamSerializer(body).WriteAnsiString(m_sPostData);
  StartRequest(true, std::move(body), tag);
}

void TKrHttpDownLoader::CancelPending() {
  ++FGeneration;
  if (m_iRequestID == 0) return;
  auto service = DownloadService();
  if (service && service->IsRunning(m_iRequestID)) service->Cancel(m_iRequestID);
  m_iRequestID = 0;
}

void TKrHttpDownLoader::StartRequest(bool withBody, host::MemoryStream body, std::uint32_t tag) {
  CancelPending();
  const std::uint64_t generation = FGeneration;
  auto service = DownloadService();
  if (!service) {
    PostFailure(generation, tag, "no download service");
    return;
  }
  EnableTimeOut(true);
  if (host::IsNeedWriteHQLog()) {
    host::AddHQLog(fmt::format("SendRequest AData:{}  Host:{}  Port:{}  Data:{}", tag, m_sHost, m_iPort,
                               withBody ? body.AsStringView() : std::string_view()),
                   kLogSource);
  }
  // The host calls these on its own thread: they only post to the window, which drops the post once
  // the downloader has gone. What runs on the main thread finds `this` alive.
  const host::MessageWindow::Ref window = Window().GetRef();
  host::TDownloadEnd onEnd = [this, window, generation, tag](host::TDownloadResult&& result) {
    window.Post([this, generation, tag, result = std::move(result)]() mutable {
      OnDownLoadEnd(generation, tag, std::move(result));
    });
  };
  host::TDownloadProgress onProgress = [this, window, generation, tag](std::int64_t position) {
    window.Post([this, generation, tag, position] {
      if (generation == FGeneration && FOnPr0gressEvent) FOnPr0gressEvent(position, tag);
    });
  };
  const host::THttpTarget target{m_sHost, m_iPort, m_sUrl, host::kDownloadKindHttp};
  m_iRequestID = withBody ? service->RequestWithBody(target, std::move(body), std::move(onEnd), std::move(onProgress))
                          : service->Request(target, std::move(onEnd), std::move(onProgress));
  if (m_iRequestID == 0) {
    EnableTimeOut(false);
    PostFailure(generation, tag, "the download service refused the request");
  }
}

void TKrHttpDownLoader::PostFailure(std::uint64_t generation, std::uint32_t tag, const std::string& message) {
  host::AddHQLog(fmt::format("SendRequest AData:{} failed: {}", tag, message), kLogSource, host::LogSeverity::kNotice);
  host::TDownloadResult result;
  result.message = message;
  Window().Post([this, generation, tag, result = std::move(result)]() mutable {
    OnDownLoadEnd(generation, tag, std::move(result));
  });
}

void TKrHttpDownLoader::OnDownLoadEnd(std::uint64_t generation, std::uint32_t tag, host::TDownloadResult&& result) {
  if (generation != FGeneration) return;  // superseded by a later request or an Abort
  m_iRequestID = 0;
  EnableTimeOut(false);
  if (host::IsNeedWriteHQLog()) {
    host::AddHQLog(result.success ? fmt::format("Responsed  AData:{}  DataSize:{}", tag, result.reply.Size())
                                  : fmt::format("Responsed  AData:{}  is Failed!", tag),
                   kLogSource);
  }
  // The handler may destroy the downloader: nothing of it is touched after the call.
  const TDownLoadEndEvent handler = FOnDownLoadEndEvent;
  if (!handler) return;
  const Status outcome = result.success ? Status() : Status(ErrorKind::kTransport, result.message);
  handler(outcome, result.reply.Size() != 0 ? &result.reply : nullptr, tag);
}

void TKrHttpDownLoader::EnableTimeOut(bool enabled) {
  if (!m_tTimeOut) {
    if (!enabled) return;
    m_tTimeOut = RegisterTimer();
  }
  m_tTimeOut->SetEnabled(false);
  if (!enabled) return;
  m_tTimeOut->SetInterval(kTimeOutMs);
  m_tTimeOut->SetOnTimer([this](TKrDPTimer*) { OnTimeOut(); });
  m_tTimeOut->SetEnabled(true);
}

void TKrHttpDownLoader::OnTimeOut() {
  EnableTimeOut(false);
  if (m_iRequestID == 0) return;
  host::AddHQLog(fmt::format("request {} timed out after {} ms", m_iRequestID, kTimeOutMs), kLogSource,
                 host::LogSeverity::kNotice);
  // The host's cancelled request still calls back, and that completion reaches the owner.
  auto service = DownloadService();
  if (service && service->IsRunning(m_iRequestID)) service->Cancel(m_iRequestID);
  m_iRequestID = 0;
}

bool TKrHttpDownLoader::Abort() {
  const host::DownloadHandle pending = m_iRequestID;
  ++FGeneration;
  m_iRequestID = 0;
  EnableTimeOut(false);
  if (pending == 0) return false;
  auto service = DownloadService();
  return service && service->Cancel(pending);
}

Status TKrHttpDownLoader::FireRequestSync(const host::MemoryStream& request, host::MemoryStream& response,
                                          std::uint32_t tag) {
  auto service = DownloadService();
  if (!service) {
    Status missing(ErrorKind::kUnavailable, fmt::format("FireRequestSync AData:{}: no download service", tag));
    host::AddHQLog(missing.message(), kLogSource, host::LogSeverity::kNotice);
    return missing;
  }
  host::TPublisherDataReq record;
  record.request = host::MemoryStream(request.Bytes());
  record.server = !FServerAlias.empty() ? G_GetServerAddressByAlias(FServerAlias)
                  : m_iPort > 0         ? m_sHost + ":" + std::to_string(m_iPort)
                                        : m_sHost;
  record.path = m_sUrl;
  bool ok = false;
  try {
    ok = service->RequestSync(record);
  } catch (const std::exception& e) {
    throw ERequestFailed(std::string(e.what()) + ": FireRequestSync failed!");
  }
  if (!ok) {
    Status failed(ErrorKind::kTransport, fmt::format("FireRequestSync AData:{} failed: {}", tag, record.message));
    host::AddHQLog(failed.message(), kLogSource, host::LogSeverity::kNotice);
    return failed;
  }
  response = std::move(record.response);
  response.SetPosition(0);
  return {};
}

std::int32_t TKrHttpDownLoader::SendLux(std::uint32_t appClass, std::uint32_t commandId, const host::MemoryStream& body,
                                        std::uint32_t tag) {
  if (!FLuxMsgHelper) {
    FLuxMsgHelper = std::make_unique<TKrLuxMsgHelper>();
    FLuxMsgHelper->SetRawDataNotify([this](std::int32_t, const host::TMessageProperty& prop, const TRawMsgData& data) {
      OnRawMsgDataNotify(prop, data);
    });
  }
  return FLuxMsgHelper->RawSendMsg(appClass, commandId, body, tag);
}

void TKrHttpDownLoader::OnRawMsgDataNotify(host::TMessageProperty prop, const TRawMsgData& data) {
  if (!FOnDownLoadEndEvent) return;
  const Status outcome = prop == host::mpNormal  ? Status()
                         : prop == host::mpError ? Status(ErrorKind::kTransport, "Lux Message Return mpError")
                         : prop == host::mpTimeout
                             ? Status(ErrorKind::kTransport, "Lux Message Return mpTimeout")
                             : Status(ErrorKind::kTransport, fmt::format("Lux Message Return {}", static_cast<int>(prop)));
  FOnDownLoadEndEvent(outcome, data.DataStream, data.UserData);
}

std::int32_t TKrHttpDownLoader::SendLuxCloudReportRequest(const std::string& command, std::uint32_t tag,
                                                          std::uint32_t appClass, std::uint32_t commandId) {
  const std::string full = ReportCommand(command);
  host::MemoryStream body;
  host::TStreamSerializer writer(body);
  writer.WriteAnsiString("");
  writer.WriteAnsiString(full);
  writer.WriteAnsiString(LocalIPAddress());
  writer.WriteByte(0);
  host::AddHQLog(fmt::format("SendLuxCloudReportRequest AData:{}  LCommand:{}", tag, full), kLogSource,
                 host::LogSeverity::kInfo);
  return SendLux(appClass, commandId, body, tag);
}

std::int32_t TKrHttpDownLoader::SendLuxCloudReportRequestPR(const std::string& command, std::uint32_t tag,
                                                            std::uint32_t appClass, std::uint32_t commandId) {
  const std::string full = ReportCommand(command);
  host::MemoryStream body;
  host::TStreamSerializer writer(body);
  writer.WriteAnsiString(full);
  writer.WriteAnsiString("");
  writer.WriteAnsiString(GetServerDateTime().ToString());
  writer.WriteByte(0);
  host::AddHQLog(fmt::format("SendLuxCloudReportRequestPR AData:{}  LCommand:{}", tag, full), kLogSource,
                 host::LogSeverity::kInfo);
  return SendLux(appClass, commandId, body, tag);
}

std::int32_t TKrHttpDownLoader::SendLuxCloudReportRequestB1(const std::string& command, std::uint32_t tag,
                                                            std::uint32_t appClass, std::uint32_t commandId,
                                                            const std::string& extra) {
  const std::string trimmed = Trim(command);
  auto context = host::GetHQContext();
  const host::MemoryStream body = MakeB1RequestBody(context ? context->GetReportContextText() : std::string(),
                                                    context ? context->GetReportContextNumber() : 0, extra, trimmed);
  host::AddHQLog(fmt::format("SendLuxCloudReportRequestB1 AData:{}  LCommand:{}", tag, trimmed), kLogSource,
                 host::LogSeverity::kInfo);
  return SendLux(appClass, commandId, body, tag);
}

std::int32_t TKrHttpDownLoader::SendLuxRequest(const host::MemoryStream& content, std::uint32_t tag,
                                               std::uint32_t appClass, std::uint32_t commandId) {
  return SendLux(appClass, commandId, content, tag);
}

std::int32_t TKrHttpDownLoader::SendPublicOpinions(const std::string& koraCode, std::uint32_t tag) {
  host::MemoryStream body;
  host::TStreamSerializer writer(body);
  writer.WriteAnsiString(koraCode);
  writer.WriteLongWord(kPublicOpinionsKind);
  host::AddHQLog(fmt::format("SendPublicOpinions AData:{}  KoraCode:{}", tag, koraCode), kLogSource,
                 host::LogSeverity::kInfo);
  return SendLux(kPublicOpinionsAppClass, kPublicOpinionsCommandId, body, tag);
}

}  // namespace kdp
