#include "lux/lux_dealer_id.h"

#include <chrono>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "core/package_lookup.h"
#include "core/service_catalog.h"
#include "kdp/host/log.h"
#include "kdp/host/main_loop.h"
#include "lux/lux_reply_xml.h"
#include "util/strings.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "uKrUserDealerIDProvider";
constexpr std::uint32_t kUserDealerAppClass = 1403;
constexpr std::uint32_t kUserDealerCommandID = 6405;
constexpr std::string_view kAllDealersRequest = "name=getdict&dicttype=rppDefaultAck";
// 101 rounds of 10 ms.
constexpr std::chrono::milliseconds kAnswerWait{1010};

std::unique_ptr<TKrUserDealerIDProvider> g_UserDealerIDProvider;

// Parses `document` and gives the element the rows hang from, logging what is missing.
pugi::xml_node LoadListRoot(pugi::xml_document& doc, std::string_view document, std::string_view listName,
                            std::string_view what) {
  std::string error;
  LoadReplyXml(doc, document, error);
  if (!error.empty()) host::AddHQLog(fmt::format("{} XML: {}", what, error), kLogSource, host::LogSeverity::kNotice);
  pugi::xml_node list = FindElement(doc, listName);
  if (!list) host::AddHQLog(fmt::format("{} 未找到{}节点", what, listName), kLogSource, host::LogSeverity::kNotice);
  return list;
}

// One row per child element of `list`, with the fields named in `fields` (source name, row field name).
template <std::size_t N>
std::shared_ptr<TKrLuxDataTable> RowsOfChildren(const pugi::xml_node& list,
                                                const std::pair<std::string_view, std::string_view> (&fields)[N]) {
  auto table = std::make_shared<TKrLuxDataTable>();
  for (pugi::xml_node child : list.children()) {
    if (child.type() != pugi::node_element) continue;
    const int row = table->AddRow();
    for (const auto& [source, field] : fields) table->SetIndexValue(row, field, ChildOrAttribute(child, source));
  }
  return table;
}

}  // namespace

std::unique_ptr<TKrLuxDataReqMessage> TKrUserDealerIDProcessor::CreateReqMsg() {
  auto message = std::make_unique<TKrLuxDataReqMessage>();
  message->MakeEmptyRequest();
  message->SetCommand(FAppClass, FCommandID);
  message->SetMsgContext(FRequestParams);
  return message;
}

bool TKrUserDealerIDProcessor::ProcessRpMsg(host::TBaseLuxMessage& ARecvMsg) {
  std::string_view body;
  const TReplyBody status = ReadReplyBody(ARecvMsg, II_DECODE_OFFSET, body);
  if (status != TReplyBody::kOk) {
    host::AddHQLog(fmt::format("ProcessRpMsg 应答无法读取: {}", DescribeReplyBody(status)), kLogSource,
                   host::LogSeverity::kNotice);
    SetAnalyseLuxData(std::make_shared<TKrLuxDataTable>());
    return false;
  }
  SetAnalyseLuxData(GetInfoFromMsg(body));
  return true;
}

std::shared_ptr<TKrLuxDataTable> TKrUserDealerIDProcessor::GetInfoFromMsg(std::string_view document) {
  auto table = std::make_shared<TKrLuxDataTable>();
  pugi::xml_document doc;
  std::string error;
  LoadReplyXml(doc, document, error);
  pugi::xml_node set = FindElement(doc, "DataSet");
  if (!set) set = FindElement(doc, "DateSet");
  pugi::xml_node record = FindChildElement(FindChildElement(FindChildElement(set, "Data"), "Body"), "Record");
  if (!record) {
    host::AddHQLog("GetInfoFromMsg 未找到DataSet/Data/Body/Record节点" + (error.empty() ? "" : ": " + error),
                   kLogSource, host::LogSeverity::kNotice);
    return table;
  }
  table->SetIndexValue(table->AddRow(), "User_dealerId", ChildOrAttribute(record, "User_dealerId"));
  return table;
}

std::shared_ptr<TKrLuxDataTable> TKrAllDealersProcessor::GetInfoFromMsg(std::string_view document) {
  static constexpr std::pair<std::string_view, std::string_view> kFields[] = {{"code", "code"}, {"name", "name"}};
  pugi::xml_document doc;
  const pugi::xml_node list = LoadListRoot(doc, document, "result", "TKrAllDealersProcessor");
  return RowsOfChildren(list, kFields);
}

std::shared_ptr<TKrLuxDataTable> TKrRPReportProcessor::GetInfoFromMsg(std::string_view document) {
  static constexpr std::pair<std::string_view, std::string_view> kFields[] = {{"date", "NewsDate"}, {"title", "Title"}};
  pugi::xml_document doc;
  const pugi::xml_node list = LoadListRoot(doc, document, "result", "TKrRPReportProcessor");
  return RowsOfChildren(list, kFields);
}

TKrUserDealerIDProvider& TKrUserDealerIDProvider::GetInstance() {
  if (!g_UserDealerIDProvider) g_UserDealerIDProvider.reset(new TKrUserDealerIDProvider());
  return *g_UserDealerIDProvider;
}

void TKrUserDealerIDProvider::FreeInstance() { g_UserDealerIDProvider.reset(); }

TKrUserDealerIDProvider::TKrUserDealerIDProvider()
    : FLuxDataNotifyObserver(std::make_shared<TKrLuxDataNotifyObserver>()),
      FUserDealerParser(kUserDealerAppClass, kUserDealerCommandID, {}),
      FAllDealersParser(kLuxNewsAppClass, kLuxNewsCommandID, std::string(kAllDealersRequest)) {
  FLuxDataNotifyObserver->SetLuxDataNotifyProc(
      [this](const std::shared_ptr<IKrLuxDataTable>& table, const TNotifyInfo& info) { OnDataNotify(table, info); });
  FLuxDataNotifyObserver->SetRawMsgDataNotifyProc(
      [this](std::int32_t serial, const host::TMessageProperty& prop, const TRawMsgData& data) {
        OnRawMsgDataNotify(serial, prop, data);
      });
}

TKrUserDealerIDProvider::~TKrUserDealerIDProvider() {
  // The manager may still hold the observer: nothing may reach this object any more.
  FLuxDataNotifyObserver->SetLuxDataNotifyProc(nullptr);
  FLuxDataNotifyObserver->SetRawMsgDataNotifyProc(nullptr);
}

IKrLuxMsgReq* TKrUserDealerIDProvider::MessageRequest() {
  if (!FILuxDataReq) {
    FILuxDataMgr = G_LuxDataManager();
    if (FILuxDataMgr) FILuxDataReq = FILuxDataMgr->GetLuxMsgRequest(FLuxDataNotifyObserver);
  }
  return FILuxDataReq.get();
}

void TKrUserDealerIDProvider::RequestUserDealerID() {
  IKrLuxMsgReq* request = MessageRequest();
  if (request == nullptr) return;
  auto context = host::GetHQContext();
  const std::string body = fmt::format(
      "<?xml version=\"1.0\" encoding=\"gb2312\"?><Report><Header Version=\"\" Source=\"InitUserInfo\" "
      "NeedSave=\"True\" /><Command Name=\"InitUserInfo\" /><Para><userId>{}</userId></Para></Report>",
      context ? context->GetUserID() : std::string());
  FUserDealerIDSerial = request->RawSendMsg(kUserDealerAppClass, kUserDealerCommandID, body, 0);
}

void TKrUserDealerIDProvider::RequestAllDealers() {
  IKrLuxMsgReq* request = MessageRequest();
  if (request == nullptr) return;
  FAllDealersSerial = request->RawSendMsg(kLuxNewsAppClass, kLuxNewsCommandID, std::string(kAllDealersRequest), 0);
}

std::string TKrUserDealerIDProvider::GetUserDealerID() {
  if (FReceiveData) return FUserDealerID;
  if (MessageRequest() == nullptr) {
    host::AddHQLog("GetUserDealerID 没有Lux数据管理器", kLogSource, host::LogSeverity::kNotice);
    return {};
  }
  FHasGetUserDealerID = false;
  FAllDealers.reset();
  RequestUserDealerID();
  RequestAllDealers();
  if (FUserDealerIDSerial < 0 || FAllDealersSerial < 0) {
    host::AddHQLog("GetUserDealerID 券商信息请求发送失败", kLogSource, host::LogSeverity::kNotice);
    return {};
  }
  if (!host::MainLoop().ProcessMessagesUntil([this] { return FReceiveData; }, kAnswerWait)) {
    host::AddHQLog("GetUserDealerID 等待券商信息超时", kLogSource, host::LogSeverity::kNotice);
    return {};
  }
  return FUserDealerID;
}

void TKrUserDealerIDProvider::OnDataNotify(const std::shared_ptr<IKrLuxDataTable>& table, const TNotifyInfo& info) {
  if (info.LParam < 0) return;
  if (info.LParam == FUserDealerIDSerial) {
    FUserDealerID = table && table->GetRowCount() > 0 ? table->GetIndexValue(0, 0) : std::string();
    FHasGetUserDealerID = true;
  } else if (info.LParam == FAllDealersSerial) {
    FAllDealers = table ? table : NewLuxDataTable();
  } else {
    return;
  }
  // The answers may come in either order; the test needs both.
  if (!FHasGetUserDealerID || !FAllDealers) return;
  FIDIsIncluded = false;
  // The dictionary lists one dealer per row; the user's dealer may be any of them.
  for (int row = 0; row < FAllDealers->GetRowCount() && !FIDIsIncluded; ++row) {
    for (int col = 0; col < FAllDealers->GetColCount(row); ++col) {
      if (!FUserDealerID.empty() && SameTextAscii(FAllDealers->GetIndexValue(row, col), FUserDealerID)) {
        FIDIsIncluded = true;
        break;
      }
    }
  }
  FReceiveData = true;
}

void TKrUserDealerIDProvider::OnRawMsgDataNotify(std::int32_t serial, const host::TMessageProperty& prop,
                                                 const TRawMsgData& data) {
  TKrUserDealerIDProcessor* parser = serial == FUserDealerIDSerial ? &FUserDealerParser
                                     : serial == FAllDealersSerial ? &FAllDealersParser
                                                                   : nullptr;
  if (parser == nullptr) return;
  std::shared_ptr<IKrLuxDataTable> table;
  if (prop == host::mpNormal && data.DataStream != nullptr) {
    table = parser->GetInfoFromMsg(data.DataStream->AsStringView());
  } else {
    host::AddHQLog(fmt::format("OnRawMsgDataNotify 券商信息请求{}失败", serial), kLogSource,
                   host::LogSeverity::kNotice);
  }
  TNotifyInfo info;
  info.NotifyType = NTSpecalMsg;
  info.MessageType = prop == host::mpNormal ? LMTOK : prop == host::mpTimeout ? LMTTimeOut : LMTError;
  info.LParam = serial;
  OnDataNotify(table, info);
}

}  // namespace kdp
