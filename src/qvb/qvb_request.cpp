#include "kdp/qvb/qvb_request.h"

#include <fmt/format.h>

#include "core/package_lookup.h"
#include "kdp/host/log.h"
#include "kdp/host/serializer.h"
#include "kdp/host/services.h"
#include "kdp/qvb/qvb_decoders.h"
#include "util/strings.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "uKrHQQVBRequest";

constexpr std::uint32_t kIndexDataCommand = host::MakeLuxCommandWord(1350, 3813);
constexpr std::uint32_t kSearchCommand = host::MakeLuxCommandWord(1351, 3847);
constexpr int kSearchTimeoutMs = 60000;
constexpr std::string_view kIndicatorPrefix = "QXR.";

// The catalogue a search asks: 1 the Chinese one, 2 the other.
constexpr std::uint8_t kChineseCatalogue = 1;
constexpr std::uint8_t kOtherCatalogue = 2;

void Log(const std::string& message, host::LogSeverity level) { host::AddHQLog(message, kLogSource, level); }

// Copies the reply's body and posts it to the request's window; the client's thread. Nothing of the request
// is touched here, so a reply that outlives its request is dropped with the window.
void PostReply(const host::MessageWindow::Ref& window, TKrHQQVBRequest* owner,
               const std::shared_ptr<host::TBaseLuxMessage>& ARecvMsg) {
  if (!ARecvMsg || !ARecvMsg->Deserialize() || ARecvMsg->MessageBody().Size() == 0) {
    Log("TKrQVBDataAdapter ARecvMsg.MessageBody.Size <= 0", host::LogSeverity::kNotice);
    return;
  }
  const std::uint32_t command = ARecvMsg->GetCommandWord();
  if (command != kIndexDataCommand && command != kSearchCommand) {
    Log(fmt::format("TKrQVBDataAdapter reply of another command {:#x}", command), host::LogSeverity::kNotice);
    return;
  }
  const unsigned message = command == kIndexDataCommand ? WM_QVB_INDEXDATA : WM_QVB_SEARCHDATA;
  window.Post([owner, message, body = std::string(ARecvMsg->MessageBody().AsStringView())] {
    owner->MessageProc(message, body);
  });
}

}  // namespace

TKrHQQVBRequest::TKrHQQVBRequest() : FLuxWrapper(host::KrIntfService<host::ILuxClientWrapper>()) {
  if (auto context = GetHQContext()) {
    FUserID = context->GetUserID();
    FAccountID = static_cast<std::uint32_t>(StrToIntDef(context->GetAccountID(), 0));
    FLanguage = context->GetLanguage();
  }
}

TKrHQQVBRequest::~TKrHQQVBRequest() { FMsgHandle.Release(); }

std::int32_t TKrHQQVBRequest::RequestQVBData(const std::vector<TKrQVBDRIndictionItem>& items) {
  if (!FLuxWrapper) {
    Log("FLuxWrapper is Null.", host::LogSeverity::kNotice);
    return 0;
  }
  std::int32_t serial = 0;
  for (const TKrQVBDRIndictionItem& item : items) {
    host::MemoryStream body;
    host::TStreamSerializer writer(body);
    writer.WriteString(FUserID);
    writer.WriteLongWord(FAccountID);
    writer.WriteLongWord(item.Observations);
    writer.WriteString(fmt::format("{}{}", kIndicatorPrefix, static_cast<std::uint32_t>(item.IndicationId)));
    writer.WriteByte(1);
    host::TLuxReqInfo info;
    info.CommandWord = kIndexDataCommand;
    const std::int32_t sent = FLuxWrapper->SendMessage2(
        info, body.AsStringView(),
        [window = FMsgHandle.GetRef(), this](const auto& reply) { PostReply(window, this, reply); });
    if (sent <= 0) {
      Log(fmt::format("发送指标数据请求失败，ErrorCode:{}", sent), host::LogSeverity::kInfo);
      continue;
    }
    serial = sent;
  }
  return serial;
}

std::int32_t TKrHQQVBRequest::RequestQVBSearchData(std::string_view keyWord, std::int32_t page, std::int32_t pageSize) {
  if (!FLuxWrapper) {
    Log("FLuxWrapper is Null.", host::LogSeverity::kNotice);
    return 0;
  }
  host::MemoryStream body;
  host::TStreamSerializer writer(body);
  for (std::uint8_t mode : {FLanguage == "CHS" ? kChineseCatalogue : kOtherCatalogue, std::uint8_t{0}, std::uint8_t{1},
                            std::uint8_t{1}, std::uint8_t{0}}) {
    writer.WriteByte(mode);
  }
  writer.WriteLongWord(FAccountID);
  writer.WriteString(keyWord);
  writer.WriteLongWord(static_cast<std::uint32_t>(std::max(page, 1)));
  writer.WriteLongWord(static_cast<std::uint32_t>(std::max(pageSize, 1)));
  writer.WriteLongWord(0);
  const host::TLuxReqInfo info{1, 1, 3, kSearchTimeoutMs, kSearchCommand};
  const std::int32_t serial = FLuxWrapper->SendMessage2(
      info, body.AsStringView(),
      [window = FMsgHandle.GetRef(), this](const auto& reply) { PostReply(window, this, reply); });
  if (serial <= 0) {
    Log(fmt::format("发送指标搜索请求失败，ErrorCode:{}", serial), host::LogSeverity::kError);
    return 0;
  }
  Log(fmt::format("发送指标搜索请求成功，流水号:{}", serial), host::LogSeverity::kInfo);
  return serial;
}

void TKrHQQVBRequest::LuxDataResponse(const std::shared_ptr<host::TBaseLuxMessage>& ARecvMsg) {
  PostReply(FMsgHandle.GetRef(), this, ARecvMsg);
}

void TKrHQQVBRequest::MessageProc(unsigned message, const std::string& body) {
  if (message == WM_QVB_INDEXDATA) {
    TKrQVBDataDecoder decoder(body);
    std::vector<TKrQVBSeries> series;
    {
      std::lock_guard lock(FLock);
      // A reply that does not read keeps the earlier results; the owner hears of it with no series.
      if (decoder.Decode()) {
        FSeriesList = decoder.SeriesList();
        series = FSeriesList;
      }
    }
    if (FOnQVBIndexDataCallBack) FOnQVBIndexDataCallBack(series);
    return;
  }
  if (message != WM_QVB_SEARCHDATA) return;
  TKrQVBPageSearchDataDecoder decoder(body);
  std::vector<TQVBTreeNodeSearchProps> records;
  std::int32_t count = 0, page = 0, total = 0;
  {
    std::lock_guard lock(FLock);
    // A reply that does not read keeps the counters; the owner hears of it with no records.
    if (decoder.Decode()) {
      FDataList = decoder.PropsList();
      FPageSearch_return_recordCount = decoder.Count();
      FPageSearch_nowPos = decoder.NowPage();
      FPageSearch_return_recordTotal = decoder.Total();
      records = FDataList;
    }
    count = FPageSearch_return_recordCount;
    page = FPageSearch_nowPos;
    total = FPageSearch_return_recordTotal;
  }
  if (FOnQVBSearchDataCallBack) FOnQVBSearchDataCallBack(records, count, page, total);
}

void TKrHQQVBRequest::RemoveData() {
  std::lock_guard lock(FLock);
  FDataList.clear();
  FSeriesList.clear();
}

std::vector<TKrQVBSeries> TKrHQQVBRequest::SeriesList() const {
  std::lock_guard lock(FLock);
  return FSeriesList;
}

std::vector<TQVBTreeNodeSearchProps> TKrHQQVBRequest::SearchList() const {
  std::lock_guard lock(FLock);
  return FDataList;
}

}  // namespace kdp
