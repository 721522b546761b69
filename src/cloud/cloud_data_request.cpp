#include "cloud/cloud_data_request.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "cloud/cloud_command_analysis.h"
#include "cloud/cloud_reply_decoder.h"
#include "core/package_lookup.h"
#include "kdp/host/log.h"
#include "kdp/refdata/related_data.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "TCloudDataRequest";

// The request path of a server URL key ("KUDSDATA"), from the package's URL manager.
std::string RequestPath(const std::string& urlKey) {
  const auto urls = G_QueryInterface<IURLMgr>("IURLMgr");
  return urls ? urls->GetURL(urlKey) : std::string{};
}

}  // namespace

TRequestItem::TRequestItem(const TKrCloudReportItem& report, std::weak_ptr<TCloudDataRequest> request)
    : FReport(report.Colne()), FRequest(std::move(request)) {
  FDownLoader.SetRequestType(TRequestType::rtPOST);
  FDownLoader.SetOnDownLoaderEndEvent(
      [this](bool success, host::MemoryStream* stream, const std::string& message, std::uint32_t tag) {
        FPendingTag = -1;
        // The request drops this item once it has handled the reply: nothing of it is touched after.
        if (auto request = FRequest.lock()) request->OnDownLoadEnd(static_cast<int>(tag), success, stream, message);
      });
  FDownLoader.SetOnProgressEvent([this](std::int64_t position, std::uint32_t tag) {
    if (auto request = FRequest.lock()) request->OnProgressEvent(position, static_cast<int>(tag));
  });
}

void TRequestItem::SetRequestParam(const std::string& name, const std::string& value) {
  if (!FReport->SetParamValue(name, value)) FReport->AddParam(name, value);
}

bool TRequestItem::Abort() {
  if (FPendingTag < 0) return false;
  if (auto request = FRequest.lock()) request->DropRequestItem(FPendingTag);
  FPendingTag = -1;
  return FDownLoader.Abort();
}

int TRequestItem::FireRequest() {
  auto request = FRequest.lock();
  if (!request) return -1;
  std::string hostName, message;
  int port = 0;
  if (!FReport->GetServerInfo(hostName, port, message)) {
    host::AddHQLog(fmt::format("FireRequest {}: {}", FReport->Name, message), kLogSource, host::LogSeverity::kWarning);
    return -1;
  }
  const auto context = TKrCloudCommandAnalysis::GetInstance().RequestContext();
  host::AddHQLog("RequestCmd: " + FReport->GetRequestCmd(context), kLogSource, host::LogSeverity::kNotice);
  if (FReport->ReportType != TCloudReportType::rtNone) {
    host::AddHQLog(fmt::format("FireRequest {}: the report travels as a Lux raw message, which the request transport "
                               "does not send yet",
                               FReport->Name),
                   kLogSource, host::LogSeverity::kWarning);
    return -1;
  }
  // A new transfer supersedes the one in flight, whose completion never comes.
  if (FPendingTag >= 0) request->DropRequestItem(FPendingTag);
  FDownLoader.SetParams(hostName, port, RequestPath(FReport->ServerUrlItem), "");
  host::MemoryStream body;
  FReport->GetPostStream(body, context);
  FPendingTag = request->FileRequestItem(shared_from_this());
  FDownLoader.FireRequest(body, static_cast<std::uint32_t>(FPendingTag));
  return FPendingTag;
}

TCloudDataRequest::TCloudDataRequest(const TKrCloudReportItem& report, std::shared_ptr<host::ISqliteDataBase> database)
    : FReport(report.Colne()), FDataBase(std::move(database)) {}

std::shared_ptr<IRequestItem> TCloudDataRequest::GetRequestItem() {
  return std::make_shared<TRequestItem>(*FReport, weak_from_this());
}

void TCloudDataRequest::OnCloudDataUpdate(bool success, int tag, const std::string& message) {
  if (FOnCloudDataUpdate) FOnCloudDataUpdate(success, tag, message);
}

void TCloudDataRequest::OnProgressEvent(std::int64_t position, int tag) {
  if (FOnProgressEvent) FOnProgressEvent(position, tag);
}

std::string TCloudDataRequest::GetFields() { return fmt::format("{}", fmt::join(FReport->Table.Fields, ",")); }

int TCloudDataRequest::FileRequestItem(std::shared_ptr<TRequestItem> item) {
  const int tag = FNextTag++;
  FRequestItems[tag] = std::move(item);
  return tag;
}

void TCloudDataRequest::OnDownLoadEnd(int tag, bool success, const host::MemoryStream* reply,
                                      const std::string& message) {
  const auto it = FRequestItems.find(tag);
  if (it == FRequestItems.end()) return;
  // The item lives until its reply is handled (the item's call-back holds this request meanwhile).
  const auto item = std::move(it->second);
  FRequestItems.erase(it);
  if (!success) {
    host::AddHQLog(fmt::format("{}  {}", "数据下载失败！", message), kLogSource, host::LogSeverity::kWarning);
    OnCloudDataUpdate(false, tag, message);
    return;
  }
  host::AddHQLog("数据下载成功！", kLogSource);
  DecodeData(tag, *item, reply);
}

void TCloudDataRequest::DecodeData(int tag, const TRequestItem& item, const host::MemoryStream* reply) {
  const std::span<const std::uint8_t> bytes =
      reply ? std::span(reply->Data(), reply->Size()) : std::span<const std::uint8_t>{};
  const auto result = DecodeReplyIntoTable(item.Report(), bytes, *FDataBase);
  switch (result.failure) {
    case TCloudDecodeFailure::kNone:
      host::AddHQLog(fmt::format("DecodeData RecCount:{}", result.rowCount), kLogSource);
      OnCloudDataUpdate(true, tag, "");
      return;
    case TCloudDecodeFailure::kUnwrap:
      host::AddHQLog(fmt::format("Clould报表LUX数据请求失败DecodeData: {}", result.detail), kLogSource,
                     host::LogSeverity::kWarning);
      break;
    case TCloudDecodeFailure::kStream:
      host::AddHQLog(fmt::format("处理数据流失败DecodeData: {}", result.detail), kLogSource,
                     host::LogSeverity::kWarning);
      break;
    case TCloudDecodeFailure::kRows:
    case TCloudDecodeFailure::kTable:
      host::AddHQLog(fmt::format("数据解析错误! {}: {}", item.Report().Name, result.detail), kLogSource,
                     host::LogSeverity::kWarning);
      break;
  }
  OnCloudDataUpdate(false, tag, "数据解析错误!");
}

}  // namespace kdp
