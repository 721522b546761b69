#include "kdp/speed/speed_history_providers.h"

#include "kdp/host/log.h"
#include "kdp/speed/speed_session.h"
#include "util/hq_format.h"
#include "util/strings.h"

namespace kdp {

TKrSpeedHisDataProviderBase::TKrSpeedHisDataProviderBase() : FObserver(std::make_shared<TKrHQSpeedObserver>()) {
  FObserver->SetOnSetData([this](const std::shared_ptr<host::IDataSet>& data) { NotifyHisData(data); });
  FObserver->SetOnReqResponse([](int, int, int) {});
  if (auto speed = G_GetSpeed()) FRequest = speed->CreateDataRequest(FObserver);
}

TKrSpeedHisDataProviderBase::~TKrSpeedHisDataProviderBase() { Detach(); }

void TKrSpeedHisDataProviderBase::Detach() {
  if (FObserver) FObserver->ClearEvents();
}

void TKrSpeedHisDataProviderBase::SetOnDataNotify(DataNotifyEvent e) {
  std::lock_guard lock(FLock);
  FOnDataNotify = std::move(e);
}

void TKrSpeedHisDataProviderBase::CallDataNotify(const char* logSource) {
  DataNotifyEvent event;
  {
    std::lock_guard lock(FLock);
    event = FOnDataNotify;
  }
  if (event) event(false);
  host::AddHQLog("CallBack End.", logSource, host::LogSeverity::kNotice);
}

template <class Params, class Parser>
TKrSpeedSortProvider<Params, Parser>::TKrSpeedSortProvider(int commandID, const char* logSource)
    : FLogSource(logSource) {
  std::shared_ptr<host::IParamSerialSet> set;
  if (FRequest && FRequest->GetParamSerialSet(commandID, set) != 0 && set) FParams = std::make_unique<Params>(set);
}

template <class Params, class Parser>
int TKrSpeedSortProvider<Params, Parser>::FireRequest() {
  if (!FRequest || !FParams || !FParams->GetParamSerialSet()) return -1;
  const int pid = FRequest->Request(FParams->GetParamSerialSet(), nullptr);
  host::AddHQLog(HQFormat("RequestPID:%d, ReqDetail:%s", pid, Detail()), FLogSource, host::LogSeverity::kNotice);
  return pid;
}

template <class Params, class Parser>
void TKrSpeedSortProvider<Params, Parser>::NotifyHisData(const std::shared_ptr<host::IDataSet>& data) {
  if (!data) return;
  auto parser = std::make_shared<const Parser>(data);
  {
    std::lock_guard lock(FLock);
    FParser = parser;
  }
  if (parser->GetRowCount() > 0 && parser->GetBasicInfo(0).GetRowCount() > 0) {
    host::AddHQLog(HQFormat("NotifyPID:%d, DataCount:%d", parser->GetBasicInfo(0).GetPacketID(0),
                            parser->GetPrimaryInfo(0).GetRowCount()),
                   FLogSource, host::LogSeverity::kNotice);
  }
  CallDataNotify(FLogSource);
}

template class TKrSpeedSortProvider<TKrSpeedReqParamCmdID3040, TKrSpeedDataSetParseCmdID3040>;
template class TKrSpeedSortProvider<TKrSpeedReqParamCmdID3050, TKrSpeedDataSetParseCmdID3050>;

TKrSpeedDataProviderCmd3040::TKrSpeedDataProviderCmd3040() : TKrSpeedSortProvider(3040, "Cmd3040") {}

std::string TKrSpeedDataProviderCmd3040::Detail() const {
  const auto& p = *FParams;
  return "Cmd:3040 SectorName:" + p.GetSectorName() + " SortIDs:" + p.GetSortIDs() +
         " SortDirections:" + p.GetSortDirections() + " LinesNumber:" + std::to_string(p.GetLinesNumber()) +
         " KoraCodeList:" + p.GetKoraCodeList();
}

TKrSpeedDataProviderCmd3050::TKrSpeedDataProviderCmd3050() : TKrSpeedSortProvider(3050, "Cmd3050") {}

std::string TKrSpeedDataProviderCmd3050::Detail() const {
  const auto& p = *FParams;
  return "Cmd:3050 SectorName:" + p.GetSectorName() + " SortID:" + std::to_string(p.GetSortID()) +
         " SortDirection:" + std::to_string(p.GetSortDirection()) +
         " BondPriceType:" + std::to_string(p.GetBondPriceType()) + " Flag:" + std::to_string(p.GetFlag()) +
         " KoraCodeList:" + p.GetKoraCodeList();
}

TKrSpeedDataProviderCmd3080::TKrSpeedDataProviderCmd3080() = default;

std::string TKrSpeedDataProviderCmd3080::RequestDetail(host::IParamSerialSet& params) {
  const std::string list = params.GetValue("KoraCodeList");
  std::vector<std::string> codes;
  for (std::string& code : SplitString(list, ',')) {
    if (!code.empty()) codes.push_back(std::move(code));
  }
  if (codes.empty()) return {};
  std::string joined;
  for (std::size_t i = 0; i < codes.size(); ++i) joined += (i ? "," : "") + codes[i];
  return "KoraCode: [" + joined + "] Index: [" + params.GetValue(codes.front()) + "]";
}

int TKrSpeedDataProviderCmd3080::FireExportRequest(const std::vector<TKrSpeedIndexRecord>& records) {
  std::shared_ptr<host::IParamSerialSet> set;
  if (!FRequest || FRequest->GetParamSerialSet(3080, set) == 0 || !set) {
    host::AddHQLog("ISpeedDataRequest接口中未找到Cmd3080对应的ParamSerialSet", "TKrSpeedDataProviderCmd3080",
                   host::LogSeverity::kNotice);
    return -1;
  }
  std::string codes;
  for (std::size_t i = 0; i < records.size(); ++i) codes += (i ? "," : "") + records[i].Code;
  set->SetValue("KoraCodeList", codes);
  for (const TKrSpeedIndexRecord& record : records) {
    std::string ids;
    for (std::size_t i = 0; i < record.IDs.size(); ++i) ids += (i ? "," : "") + std::to_string(record.IDs[i]);
    set->SetValue(record.Code, ids);
  }
  const int pid = FRequest->Request(set, nullptr);
  host::AddHQLog(HQFormat("RequestPID:%d, ReqDetail:%s", pid, RequestDetail(*set)), "Cmd3080",
                 host::LogSeverity::kNotice);
  return pid;
}

void TKrSpeedDataProviderCmd3080::NotifyHisData(const std::shared_ptr<host::IDataSet>& data) {
  if (!data) return;
  auto parser = std::make_shared<const TKrSpeedDataSetParseCmdID3080>(data);
  {
    std::lock_guard lock(FLock);
    FParser = parser;
  }
  auto header = data->GetRowCount() > 0 ? data->GetAsDataSet(0, 0) : nullptr;
  if (header && header->GetRowCount() > 0) {
    auto body = data->GetAsDataSet(0, 1);
    host::AddHQLog(HQFormat("Returnid:%d, NotifyPID:%d, DataCount:%d", header->GetAsInteger(0, 2),
                            header->GetAsInteger(0, 1), body ? body->GetRowCount() : 0),
                   "Cmd3080", host::LogSeverity::kNotice);
  }
  CallDataNotify("Cmd3080");
}

}  // namespace kdp
