#include "cloud/cloud_data_request.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "cloud/cloud_command_analysis.h"
#include "cloud/cloud_data_item.h"
#include "cloud/cloud_reply_decoder.h"
#include "core/package_lookup.h"
#include "core/service_catalog.h"
#include "kdp/host/kuds.h"
#include "kdp/host/log.h"
#include "kdp/refdata/related_data.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "TCloudDataRequest";

// The request path of a server URL key ("KUDSDATA"), from the package's URL manager.
std::string RequestPath(const std::string& urlKey) {
  const auto urls = G_URLManager();
  return urls ? urls->GetURL(urlKey) : std::string{};
}

}  // namespace

TRequestItem::TRequestItem(const TKrCloudReportItem& report, std::weak_ptr<TCloudDataRequest> request)
    : FReport(report.Colne()), FRequest(std::move(request)) {
  FDownLoader.SetRequestType(TRequestType::rtPOST);
  FDownLoader.SetOnDownLoaderEndEvent(
      [this](const Status& outcome, host::MemoryStream* stream, std::uint32_t tag) {
        FPendingTag = -1;
        // The request drops this item once it has handled the reply: nothing of it is touched after.
        if (auto request = FRequest.lock()) request->OnDownLoadEnd(static_cast<int>(tag), outcome, stream);
      });
  FDownLoader.SetOnProgressEvent([this](std::int64_t position, std::uint32_t tag) {
    if (auto request = FRequest.lock()) request->OnProgressEvent(position, static_cast<int>(tag));
  });
}

void TRequestItem::SetRequestParam(const std::string& name, const std::string& value) {
  if (!FReport->SetParamValue(name, value)) FReport->AddParam(name, value);
}

std::vector<std::pair<std::string, std::string>> TRequestItem::GetRequestParams() {
  std::vector<std::pair<std::string, std::string>> params;
  for (const TKrCommandParam& p : FReport->Params.Items()) params.emplace_back(p.Name, p.Value);
  return params;
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
  const auto context = TKrCloudCommandAnalysis::GetInstance().RequestContext();
  if (request->IsRequestColumnName()) SetRequestParam("showcolumnname", request->GetFields());
  const std::string command = FReport->GetRequestCmd(context);
  host::AddHQLog("RequestCmd: " + command, kLogSource, host::LogSeverity::kNotice);
  std::string hostName, message;
  int port = 0;
  const bool http = FReport->ReportType == TCloudReportType::rtNone;
  if (http && !FReport->GetServerInfo(hostName, port, message)) {
    host::AddHQLog(fmt::format("FireRequest {}: {}", FReport->Name, message), kLogSource, host::LogSeverity::kWarning);
    return -1;
  }
  // A new transfer supersedes the one in flight, whose completion is dropped.
  if (FPendingTag >= 0) request->DropRequestItem(FPendingTag);
  FPendingTag = request->FileRequestItem(shared_from_this());
  const auto tag = static_cast<std::uint32_t>(FPendingTag);
  const auto app = static_cast<std::uint32_t>(FReport->AppID);
  const auto id = static_cast<std::uint32_t>(FReport->CommandID);
  std::int32_t sent = 0;
  switch (FReport->ReportType) {
    case TCloudReportType::rtNone: {
      FDownLoader.SetParams(hostName, port, RequestPath(FReport->ServerUrlItem), "");
      host::MemoryStream body;
      FReport->GetPostStream(body, context);
      FDownLoader.FireRequest(body, tag);
      break;
    }
    case TCloudReportType::rtLux:
      sent = FDownLoader.SendLuxRequest(host::MemoryStream(command), tag, app, id);
      break;
    case TCloudReportType::rtB1:
      sent = FDownLoader.SendLuxCloudReportRequestB1(command, tag, app, id, "");
      break;
    case TCloudReportType::rtPR:
      // The configuration gives an rtPR report no command, hence no address: it goes to the PR service.
      sent = FDownLoader.SendLuxCloudReportRequestPR(command, tag, app ? app : host::kPRReportAppClass,
                                                     id ? id : host::kPRReportCommandID);
      break;
    default:  // rtKudsReportLux, rtksv, rtKSD
      sent = FDownLoader.SendLuxCloudReportRequest(command, tag, app, id);
      break;
  }
  if (sent < 0) {
    host::AddHQLog(fmt::format("FireRequest {}: no Lux data manager sends it", FReport->Name), kLogSource,
                   host::LogSeverity::kWarning);
    request->DropRequestItem(FPendingTag);
    FPendingTag = -1;
  }
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

void TCloudDataRequest::OnDownLoadEnd(int tag, const Status& outcome, const host::MemoryStream* reply) {
  const auto it = FRequestItems.find(tag);
  if (it == FRequestItems.end()) return;
  // The item lives until its reply is handled (the item's call-back holds this request meanwhile).
  const auto item = std::move(it->second);
  FRequestItems.erase(it);
  if (!outcome.ok()) {
    host::AddHQLog(fmt::format("{}  {}", "数据下载失败！", outcome.message()), kLogSource, host::LogSeverity::kWarning);
    OnCloudDataUpdate(false, tag, outcome.message());
    return;
  }
  host::AddHQLog("数据下载成功！", kLogSource);
  DecodeData(tag, *item, reply);
}

void TCloudDataRequest::DecodeData(int tag, TRequestItem& item, const host::MemoryStream* reply) {
  std::span<const std::uint8_t> bytes = reply ? reply->Bytes() : std::span<const std::uint8_t>{};
  if (item.Report().ReportType != TCloudReportType::rtNone) {
    // A Lux reply carries the service's status byte after its stream.
    const auto split = host::SplitStatusByte(bytes);
    if (!split || split->status != host::kKudsStatusOk) {
      host::AddHQLog(fmt::format("Clould报表LUX数据请求失败DecodeData: {} answered no report", item.Report().Name),
                     kLogSource, host::LogSeverity::kWarning);
      OnCloudDataUpdate(false, tag, "数据解析错误!");
      return;
    }
    bytes = split->stream;
  }
  const auto result = DecodeReplyIntoTable(item.Report(), bytes, *FDataBase);
  if (result.ok()) {
    host::AddHQLog(fmt::format("DecodeData RecCount:{}", result.value()), kLogSource);
    if (item.GetReportAnalysis()) {
      auto data = std::make_shared<TCloudDataItem>(item.Report(), FDataBase);
      data->PrepareData();
      item.SetAnalysisData(std::move(data));
    }
    OnCloudDataUpdate(true, tag, "");
    return;
  }
  if (result.kind() == ErrorKind::kStorage) {
    // The reply was read; the cache could not keep it (a read-only or full disk, a locked database).
    const std::string message = fmt::format("缓存数据库写入失败! {}", result.message());
    host::AddHQLog(fmt::format("{}: {}", item.Report().Name, message), kLogSource, host::LogSeverity::kWarning);
    OnCloudDataUpdate(false, tag, message);
    return;
  }
  host::AddHQLog(result.message(), kLogSource, host::LogSeverity::kWarning);
  OnCloudDataUpdate(false, tag, "数据解析错误!");
}

}  // namespace kdp
