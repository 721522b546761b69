#include "kdp/speed/speed_data_provider.h"

#include <filesystem>

#include "kdp/host/data_table.h"
#include "kdp/host/log.h"
#include "kdp/host/paths.h"
#include "kdp/speed/speed_session.h"
#include "util/hq_format.h"
#include "util/strings.h"

namespace kdp {
namespace {

constexpr std::string_view kProviderSource = "uKrHQSpeedDataProvider";

// The keys a history request may carry, in the order its log line lists them.
constexpr const char* kDetailKeys[] = {
    "KoraCode", "Count",          "SubFlag",      "Period", "PriceType", "RequestType", "Date",         "DateStart",
    "DateEnd",  "SerialNumStart", "SerialNumEnd", "Params", "AFType",    "AFDateTime",  "IsSuspention", "Subsection"};

}  // namespace

TKrHQSpeedDataProvider::TKrHQSpeedDataProvider() : FObserver(std::make_shared<TKrHQSpeedObserver>()) {
  FObserver->SetOnSetData([this](const std::shared_ptr<host::IDataSet>& data) { NotifyHisData(data); });
  FObserver->SetOnReqResponse([this](int err, int returnID, int cmd) { NotifyReqResponse(err, returnID, cmd); });
  if (auto speed = G_GetSpeed()) FRequest = speed->CreateDataRequest(FObserver);
}

TKrHQSpeedDataProvider::~TKrHQSpeedDataProvider() {
  FObserver->ClearEvents();
  FObserver.reset();
  FRequest.reset();
}

std::string TKrHQSpeedDataProvider::GetKoraCode() {
  std::lock_guard lock(FLock);
  return FKoraCode;
}

void TKrHQSpeedDataProvider::SetKoraCode(std::string code) {
  std::lock_guard lock(FLock);
  FKoraCode = std::move(code);
}

void TKrHQSpeedDataProvider::SetOnHisData(HisDataEvent e) {
  std::lock_guard lock(FLock);
  FOnHisData = std::move(e);
}

void TKrHQSpeedDataProvider::SetOnResponse(ResponseEvent e) {
  std::lock_guard lock(FLock);
  FOnResponse = std::move(e);
}

bool TKrHQSpeedDataProvider::GetIParamSeriaSetByReqID(int reqID, std::shared_ptr<host::IParamSerialSet>& paramSet) {
  FCurrentCmdID = reqID;
  return FRequest && FRequest->GetParamSerialSet(reqID, paramSet) != 0;
}

int TKrHQSpeedDataProvider::Request(const std::shared_ptr<host::IParamSerialSet>& paramSet,
                                    const std::shared_ptr<host::ISpeedDataRequestGroup>& group) {
  if (!FRequest || !paramSet) return 0;
  const int pid = FRequest->Request(paramSet, group);
  std::string detail = "CmdID:" + std::to_string(FCurrentCmdID);
  for (const char* key : kDetailKeys) detail += std::string(" ") + key + ":" + paramSet->GetValue(key);
  host::AddHQLog(HQFormat("RequestPID:%d, AIGroup:%d, ReqDetail:%s", pid, group ? 1 : 0, detail), kProviderSource,
                 host::LogSeverity::kNotice);
  return pid;
}

void TKrHQSpeedDataProvider::NotifyHisData(const std::shared_ptr<host::IDataSet>& data) {
  if (!data) return;
  auto header = data->GetAsDataSet(0, 0);
  if (!header) return;
  std::string code;
  for (int c = 0; c < header->GetFieldCount(); ++c) {
    if (ToUpperAscii(host::FieldName(*header, c)) == "KORACODE") {
      code = header->GetAsString(0, c);
      break;
    }
  }
  HisDataEvent event;
  {
    std::lock_guard lock(FLock);
    if (code != FKoraCode) return;
    event = FOnHisData;
  }
  auto body = data->GetAsDataSet(0, 1);
  host::AddHQLog(HQFormat("NotifyPID:%d, Cmd:%d, KoraCode:%s, DataCount:%d", header->GetAsInteger(0, 1),
                          header->GetAsInteger(0, 0), code, body ? body->GetRowCount() : 0),
                 kProviderSource, host::LogSeverity::kNotice);
  if (event) event(data, code);
  host::AddHQLog("CallBack End.", kProviderSource, host::LogSeverity::kNotice);
}

void TKrHQSpeedDataProvider::NotifyReqResponse(int errCode, int returnID, int cmdID) {
  std::string code;
  ResponseEvent event;
  {
    std::lock_guard lock(FLock);
    code = FKoraCode;
    event = FOnResponse;
  }
  host::AddHQLog(
      HQFormat("NotifyReqResponse, ErrCode:%d, KoraCode:%s, CmdID:%d, ReturnID:%d", errCode, code, cmdID, returnID),
      kProviderSource, host::LogSeverity::kNotice);
  if (event) event(errCode, returnID, cmdID, code);
  host::AddHQLog("CallBack End.", kProviderSource, host::LogSeverity::kNotice);
}

TKrHQSpeedDataRequestGroup::TKrHQSpeedDataRequestGroup() {
  if (auto speed = G_GetSpeed()) FGroup = speed->CreateDataRequestGroup();
}

int TKrHQSpeedDataRequestGroup::Request() {
  std::error_code ec;
  if (!FGroup || std::filesystem::exists(host::GetBinPath() + kNoHisCombinFile, ec)) return -1;
  const int sent = FGroup->Send();
  host::AddHQLog("Send Combin Packet req", "uKrHQSpeedDataRequestGroup", host::LogSeverity::kNotice);
  return sent;
}

}  // namespace kdp
