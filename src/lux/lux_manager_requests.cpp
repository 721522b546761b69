// The data manager's requests (main thread): history pages, subscriptions, searches, plain and raw messages.
#include <utility>

#include <fmt/format.h>

#include "core/host_lookups.h"
#include "kdp/host/number_text.h"
#include "lux/lux_async_message.h"
#include "lux/lux_data_manager.h"
#include "lux/lux_data_req.h"
#include "lux/lux_manager_detail.h"
#include "lux/lux_strategy.h"
#include "util/dp_timer.h"

namespace kdp {
namespace {

using lux_manager::AsProcessor;
using lux_manager::MakeRecord;
using lux_manager::Problem;
using lux_manager::Progress;
using lux_manager::SerialOrLogged;

constexpr std::string_view kVariableValue = "$VARIABLE";
// Cloud reports go as raw messages of this application class with this user data.
constexpr std::uint32_t kCloudReportAppClass = 1079;
constexpr std::uint32_t kCloudReportUserData = 4367;
// The condition field of the English edition's language, and the value sent under it.
constexpr std::uint32_t kLanguageFieldID = 2014;
constexpr std::string_view kEnglishLanguageValue = "01";

}  // namespace

// ---- history ----

std::int32_t TKrLuxDataManager::GetHisData(TKrLuxDataReq* newsReq, const ReqInfoPtr& reqInfo) {
  Progress("GetHisData Start");
  return SerialOrLogged(RequestHistory(newsReq, reqInfo));
}

Result<std::int32_t> TKrLuxDataManager::RequestHistory(TKrLuxDataReq* newsReq, const ReqInfoPtr& reqInfo) {
  auto processor = AsProcessor(reqInfo);
  if (!processor) return Status(ErrorKind::kInvalidArgument, "GetHisData AIReqInfo is type of TKrLuxDataRequestInfo");
  if (newsReq == nullptr)
    return Status(ErrorKind::kInvalidArgument, "GetHisData ALuxDataReq2 is type of TKrLuxDataReq");
  const std::uint32_t widgetID = newsReq->GetWidgetID();
  if (!processor->GetIsTestModeState() && !IsReady()) {
    HoldBack({TDetentionReqItem::DRTGetHisData, newsReq->weak_from_this(), widgetID, processor, false});
    return Status(ErrorKind::kUnavailable,
                  fmt::format("GetHisData LuxClient未连接成功或者权限数据未获取延迟发送 ID:{}", widgetID));
  }
  const std::string& sectorName = processor->GetSectorName();
  std::unique_ptr<TKrLuxDataStrategy> strategy = GetDataOptObj(sectorName);
  const std::string sectorID = processor->GetSectorID();
  SetIndexFilterInfo(*strategy, *processor);

  std::shared_ptr<TKrSectorDataDb> store;
  std::shared_ptr<TKrSectorDataDb> newStore;
  if (!FSectorDataCache.TryGetSectorData(sectorID, store)) {
    if (!FDataSubHisMgr.IsWidgetAlreadySub(sectorID, widgetID)) {
      if (auto subInfo = AsProcessor(GetLuxDataReqInfo(sectorName, LDRTSub))) {
        for (int i = 0; i < subInfo->GetIndexQuotaCount(); ++i) {
          if (subInfo->GetIndexValueByOrder(i) != kVariableValue) continue;
          const std::string name = subInfo->GetIndexByOrder(i);
          subInfo->SetIndexValue(name, processor->GetIndexValue(name));
        }
        Subscribe(newsReq, subInfo, true);
      }
    }
    newStore = std::make_shared<TKrSectorDataDb>();
    store = newStore;
  } else if (store->IsDataEnough(*strategy) && processor->GetIndexValue("SaveData") != "False") {
    const auto table = store->GetDataByStrategy(*strategy);
    NotifyDataToWidget(widgetID, table, TNotifyInfo{sectorName, NTGet, LMTOK, 0});
    Problem("TKrLuxDataManager.GetHisData Data is Enough");
    return 0;
  }

  int pageSize = 0, startNum = 0;
  store->CalcPageInfo(*strategy, pageSize, startNum);
  processor->SetIndexValue("pagesize", std::to_string(pageSize));
  if (processor->GetIndexValue("SaveHisNum") == "True") startNum = store->GetHisNum();
  processor->SetIndexValue("StartNum", std::to_string(startNum));
  strategy.reset();

  Result<std::int32_t> sent = Status(ErrorKind::kInvalidArgument, "LLuxDataReqInfo.CreateReqMsg Failed!");
  if (processor->GetIsTestModeState()) {
    auto record = MakeRecord({widgetID, processor, LDRTGet}, processor->ProcessTestData(), LMTOK, kTestModeSerial);
    if (PostRecord(std::move(record))) {
      FLuxReqRcMgr.TryAddReqRecord(kTestModeSerial, {widgetID, processor, LDRTGet});
      sent = kTestModeSerial;
    } else {
      sent = Status(ErrorKind::kTransport, "PostMessage失败, WM_LUX_GETHISDATA!");
    }
  } else if (std::unique_ptr<TKrLuxDataReqMessage> message = processor->CreateReqMsg()) {
    sent = SendAndRegister(*message, true, {widgetID, processor, LDRTGet}, "GetHisData");
  }
  if (newStore && !FSectorDataCache.TryAddSectorData(sectorID, newStore)) newStore.reset();
  Progress("GetHisData End");
  return sent;
}

// ---- subscriptions ----

bool TKrLuxDataManager::Subscribe(TKrLuxDataReq* newsReq, const ReqInfoPtr& reqInfo, bool needAddWidgetSubHis) {
  if (!FILuxClient) {
    Problem("SubscribeData FILuxClient is nil");
    return false;
  }
  auto processor = AsProcessor(reqInfo);
  if (!processor) {
    Problem("GetHisData AIReqInfo is type of TKrLuxDataRequestInfo");
    return false;
  }
  if (newsReq == nullptr) {
    Problem("GetHisData ALuxDataReq is not type of TKrLuxDataReq");
    return false;
  }
  Progress("Subscribe Start");
  const std::uint32_t widgetID = newsReq->GetWidgetID();
  if (!IsReady()) {
    HoldBack({TDetentionReqItem::DRTSub, newsReq->weak_from_this(), widgetID, processor, needAddWidgetSubHis});
    Problem(fmt::format("SubscribeData LuxClient未连接成功或者权限数据未获取延迟发送 ID: {}", widgetID));
    return true;
  }
  const std::string sectorID = processor->GetSectorID();
  if (FDataSubHisMgr.IsSectorAlreadySub(sectorID)) {
    UpdateNewSubInfoToCache(processor, sectorID);
    if (!FDataSubHisMgr.IsWidgetAlreadySub(sectorID, widgetID)) {
      FDataSubHisMgr.AddSubSectorWidgets(sectorID, widgetID);
      FDataSubHisMgr.AddWidgetSubSectorHis(widgetID, sectorID);
    }
    Problem("SubscribeData 栏目已经订阅过");
    return true;
  }

  FDataSubHisMgr.SetSectorSubInfoHashCode(sectorID, processor->GetReqInfoHashCode());
  auto subInfo = std::make_unique<TKrLuxSubInfo>();
  subInfo->SetDispatch(FHDispatchWindow, HandlerFor(LDRTSub));
  subInfo->SetSubscriberIndex(FSubscriberIndex);
  subInfo->SetLuxDataProcessor({widgetID, processor, LDRTSub});
  if (processor->GetIsTestModeState()) {
    auto record = MakeRecord({widgetID, processor, LDRTSub}, processor->ProcessTestData(), LMTOK, kTestModeSerial);
    if (!PostRecord(std::move(record))) {
      Problem("PostMessage失败, WM_LUX_SUBSCRIBE!");
      FDataSubHisMgr.RemoveSectorSubInfoHashCode(sectorID);
      return false;
    }
  }
  if (NewTopicFor(*subInfo) < 0 || !SubscribeFromSever(*processor, *subInfo)) {
    if (auto subscriber = FILuxClient->GetSubscriber(FSubscriberIndex)) {
      subscriber->UnSubscribeTopic(subInfo->GetTopicIndex());
    }
    FDataSubHisMgr.RemoveSectorSubInfoHashCode(sectorID);
    Problem("SubscribeData 向服务订阅栏目数据失败");
    return false;
  }
  FDataSubHisMgr.AddSubSectorNotifyObj(sectorID, std::move(subInfo));
  if (needAddWidgetSubHis) {
    FDataSubHisMgr.AddSubSectorWidgets(sectorID, widgetID);
    FDataSubHisMgr.AddWidgetSubSectorHis(widgetID, sectorID);
  }
  Progress("Subscribe End");
  return true;
}

int TKrLuxDataManager::NewTopicFor(TKrLuxSubInfo& subInfo) {
  auto subscriber = FILuxClient ? FILuxClient->GetSubscriber(FSubscriberIndex) : nullptr;
  const int topic = subscriber ? subscriber->AddTopic() : -1;
  subInfo.SetTopicIndex(topic);
  if (topic < 0) return -1;
  subscriber->SetTopicPublishHandler(topic, [&subInfo](host::MemoryStream& record) { subInfo.OnPublish(record); });
  return topic;
}

void TKrLuxDataManager::UpdateNewSubInfoToCache(const std::shared_ptr<TKrLuxDataRequestInfo>& reqInfo,
                                                const std::string& sectorID) {
  const std::uint32_t code = reqInfo->GetReqInfoHashCode();
  if (!FDataSubHisMgr.IsSectorSubInfoChange(sectorID, code)) return;
  FDataSubHisMgr.SetSectorSubInfoHashCode(sectorID, code);
  TKrLuxSubInfo* subInfo = FDataSubHisMgr.GetSubInfoBySectorID(sectorID);
  auto subscriber = FILuxClient ? FILuxClient->GetSubscriber(FSubscriberIndex) : nullptr;
  if (subInfo == nullptr || !subscriber) return;
  subscriber->UnSubscribeTopic(subInfo->GetTopicIndex());
  FSectorDataCache.RemoveSectorData(sectorID);
  // The old topic's handler has stopped: the sub info may change before the new topic's handler starts.
  TReqRecordItem record = subInfo->GetLuxDataProcessor();
  record.IProcessor = reqInfo;
  subInfo->SetLuxDataProcessor(std::move(record));
  if (NewTopicFor(*subInfo) < 0 || !SubscribeFromSever(*reqInfo, *subInfo)) {
    Problem("SubscribeData 向服务订阅栏目数据失败");
  }
}

bool TKrLuxDataManager::SubscribeFromSever(TKrLuxDataRequestInfo& reqInfo, TKrLuxSubInfo& subInfo) {
  auto subscriber = FILuxClient ? FILuxClient->GetSubscriber(FSubscriberIndex) : nullptr;
  if (!subscriber) return false;
  const int topic = subInfo.GetTopicIndex();
  return SubscribeIndex(reqInfo, topic) && SubscribeIndexQuota(reqInfo, topic) && subscriber->SubscribeTopic(topic);
}

bool TKrLuxDataManager::SubscribeIndex(TKrLuxDataRequestInfo& reqInfo, int topic) {
  auto set = reqInfo.CreateSubInfo(SITIndex);
  if (!set || set->GetIndexQuotaCount() == 0) {
    Problem("SubscribeIndex 订阅条件为空");
    return false;
  }
  auto subscriber = FILuxClient->GetSubscriber(FSubscriberIndex);
  for (int i = 0; i < set->GetIndexQuotaCount(); ++i) {
    const std::string name = set->GetIndexQuotaByOrder(i);
    if (name == "SaveData") continue;
    subscriber->AddTopicIndexParam(topic, name, set->GetIndexQuotaValueByOrder(i));
  }
  return true;
}

bool TKrLuxDataManager::SubscribeIndexQuota(TKrLuxDataRequestInfo& reqInfo, int topic) {
  auto set = reqInfo.CreateSubInfo(SITIndexQuota);
  if (!set || set->GetIndexQuotaCount() == 0) {
    Problem("SubscribeIndexQuota 订阅条件为空");
    return false;
  }
  auto subscriber = FILuxClient->GetSubscriber(FSubscriberIndex);
  for (int i = 0; i < set->GetIndexQuotaCount(); ++i) {
    const std::string name = set->GetIndexQuotaByOrder(i);
    std::string value = set->GetIndexQuotaValueByOrder(i);
    if (name == "userid") value = CurrentUserID();
    if (name == "SaveData") continue;
    if (name.empty()) {
      if (value.empty()) continue;
      Problem(fmt::format("SubscribeIndexQuota 订阅条件关键字为空但关键字对应的值{}不为空", value));
      return false;
    }
    const auto fieldID = static_cast<std::uint32_t>(host::ParseInt32(name).value_or(0));
    if (value.find(',') == std::string::npos) {
      subscriber->AddTopicCondition(topic, fieldID, value);
    } else {
      subscriber->AddTopicConditionList(topic, fieldID, value, ',');
    }
  }
  if (IsEnsEdition()) subscriber->AddTopicConditionList(topic, kLanguageFieldID, kEnglishLanguageValue, ',');
  if (set->IsUseAuthLevel()) {
    for (const std::string& level : FBaseInfoData.GetAuthList()) {
      subscriber->AddTopicCondition(topic, kAuthLevelFieldID, level);
    }
  }
  return true;
}

bool TKrLuxDataManager::DeSubscribe(TKrLuxDataReq* newsReq, const ReqInfoPtr& reqInfo) {
  auto processor = AsProcessor(reqInfo);
  if (newsReq == nullptr || !processor) {
    Problem("DeSubscribe Parameter Error!");
    return false;
  }
  const std::string sectorID = processor->GetSectorID();
  const std::uint32_t widgetID = newsReq->GetWidgetID();
  if (FDataSubHisMgr.IsWidgetAlreadySub(sectorID, widgetID)) {
    FDataSubHisMgr.DeSubWidgetSector(sectorID, widgetID);
    FDataSubHisMgr.DeWidgetSubSectorHis(widgetID, sectorID);
    if (FDataSubHisMgr.IsNeedDeSubFromServer(sectorID)) DeSubFromServer(sectorID);
  }
  return true;
}

void TKrLuxDataManager::DeSubFromServer(const std::string& sectorID) {
  TKrLuxSubInfo* subInfo = FDataSubHisMgr.GetSubInfoBySectorID(sectorID);
  if (subInfo == nullptr) {
    Problem("DeSubFromServer GetSubInfoBySectorID Failed! SectorID is !" + sectorID);
    return;
  }
  if (auto subscriber = FILuxClient ? FILuxClient->GetSubscriber(subInfo->GetSubscriberIndex()) : nullptr) {
    subscriber->UnSubscribeTopic(subInfo->GetTopicIndex());
  }
  FDataSubHisMgr.DeSubSector(sectorID);
  FSectorDataCache.RemoveSectorData(sectorID);
}

bool TKrLuxDataManager::RemoveSectorByID(TKrLuxDataReq* newsReq, const ReqInfoPtr& reqInfo) {
  auto processor = AsProcessor(reqInfo);
  if (newsReq == nullptr || !processor) {
    Problem("DeSubscribe Parameter Error!");
    return false;
  }
  FSectorDataCache.RemoveSectorData(processor->GetSectorID());
  return true;
}

bool TKrLuxDataManager::IsAlreadySub(TKrLuxDataReq* newsReq, const ReqInfoPtr& reqInfo) {
  auto processor = AsProcessor(reqInfo);
  return newsReq != nullptr && processor &&
         FDataSubHisMgr.IsWidgetAlreadySub(processor->GetSectorID(), newsReq->GetWidgetID());
}

void TKrLuxDataManager::UnRegWidget(std::uint32_t widgetID) {
  DeSubAllWidgetSectors(widgetID);
  FDataSubHisMgr.RemoveReqWidget(widgetID);
  RemoveCacheMsgByWidgetID(widgetID);
}

void TKrLuxDataManager::DeSubAllWidgetSectors(std::uint32_t widgetID) {
  const std::vector<std::string> sectors = FDataSubHisMgr.GetWidgetSubSectors(widgetID);
  FDataSubHisMgr.ClearWidgetSubHis(widgetID);
  for (const std::string& sectorID : sectors) {
    FDataSubHisMgr.DeSubWidgetSector(sectorID, widgetID);
    if (FDataSubHisMgr.IsNeedDeSubFromServer(sectorID)) DeSubFromServer(sectorID);
  }
}

void TKrLuxDataManager::RemoveCacheMsgByWidgetID(std::uint32_t widgetID) {
  const std::size_t dropped = std::erase_if(
      FMsgNeedToSendList, [widgetID](const TDetentionReqItem& item) { return item.WidgetID == widgetID; });
  if (dropped != 0) Problem(fmt::format("RemoveCacheMsgByWidgetID Id:{}", widgetID));
  if (FMsgNeedToSendList.empty()) FSendReqTimer->SetEnabled(false);
}

bool TKrLuxDataManager::SetItemBrowsed(const ReqInfoPtr& reqInfo, const std::string& id) {
  auto processor = AsProcessor(reqInfo);
  if (!processor) {
    Problem("SetItemBrowsed LLuxDataReqInfo is nil");
    return false;
  }
  std::shared_ptr<TKrSectorDataDb> store;
  return FSectorDataCache.TryGetSectorData(processor->GetSectorID(), store) && store->SetItemBrowsed(id, true);
}

// ---- searches and messages ----

std::int32_t TKrLuxDataManager::SearchData(TKrLuxDataReq* newsReq, const ReqInfoPtr& reqInfo) {
  return SerialOrLogged(RequestSearch(newsReq, reqInfo));
}

Result<std::int32_t> TKrLuxDataManager::RequestSearch(TKrLuxDataReq* newsReq, const ReqInfoPtr& reqInfo) {
  auto processor = AsProcessor(reqInfo);
  if (newsReq == nullptr || !processor) return Status(ErrorKind::kInvalidArgument, "SearchData 请求对象无效");
  const std::uint32_t widgetID = newsReq->GetWidgetID();
  if (processor->GetIsTestModeState()) {
    auto record = MakeRecord({widgetID, processor, LDRTSearch}, processor->ProcessTestData(), LMTOK, kTestModeSerial);
    if (!PostRecord(std::move(record))) return Status(ErrorKind::kTransport, "PostMessage失败, WM_LUX_SEARCH!");
    return kTestModeSerial;
  }
  std::unique_ptr<TKrLuxDataReqMessage> message = processor->CreateSearchMsg();
  if (!message) return Status(ErrorKind::kInvalidArgument, "LLuxDataReqInfo.CreateSearchMsg Failed!");
  return SendAndRegister(*message, false, {widgetID, processor, LDRTSearch}, "SearchHisData");
}

std::int32_t TKrLuxDataManager::SendMsg(TKrLuxDataReq* msgReq, const ReqInfoPtr& reqInfo) {
  return SerialOrLogged(RequestMessage(msgReq, reqInfo));
}

Result<std::int32_t> TKrLuxDataManager::RequestMessage(TKrLuxDataReq* msgReq, const ReqInfoPtr& reqInfo) {
  auto processor = AsProcessor(reqInfo);
  if (!FILuxClient) return Status(ErrorKind::kUnavailable, "SendMyMsg FILuxClient is nil");
  if (msgReq == nullptr || !processor) return Status(ErrorKind::kInvalidArgument, "SendMyMsg 请求对象无效");
  std::unique_ptr<TKrLuxDataReqMessage> message = processor->CreateReqMsg();
  if (!message) return Status(ErrorKind::kInvalidArgument, "LLuxDataReqInfo.CreateReqMsg Failed!");
  return SendAndRegister(*message, true, {msgReq->GetWidgetID(), processor, LDRTMsg}, "SendMyMsg");
}

template <class Content>
Result<std::int32_t> TKrLuxDataManager::SendRawMessage(TKrLuxDataReq* msgReq, std::uint32_t appClass,
                                                       std::uint32_t commandID, const Content& content,
                                                       std::uint32_t userData) {
  if (msgReq == nullptr) return Status(ErrorKind::kInvalidArgument, "SendRequestAsync 请求对象无效");
  std::shared_ptr<TKrLuxDataAsyncMessage> processor;
  if (appClass == kCloudReportAppClass && userData == kCloudReportUserData) {
    processor = std::make_shared<TKrLuxCloudPRDataAsyncMessage>();
  } else {
    processor = std::make_shared<TKrLuxDataAsyncMessage>();
  }
  processor->SetReqType(LDRTRawMsg);
  if (!processor->CreatAsyncMessage(appClass, commandID, content, userData))
    return Status(ErrorKind::kInvalidArgument, "SendRequestAsync AMsg is nil");
  Progress("begin to send lux message.");
  return SendAndRegister(processor->GetSendMsg(), true, {msgReq->GetWidgetID(), processor, LDRTRawMsg},
                         "SendRequestAsync");
}

std::int32_t TKrLuxDataManager::RawSendMsg(TKrLuxDataReq* msgReq, std::uint32_t appClass, std::uint32_t commandID,
                                           const std::string& content, std::uint32_t userData) {
  return SerialOrLogged(SendRawMessage(msgReq, appClass, commandID, std::string_view(content), userData));
}

std::int32_t TKrLuxDataManager::RawSendMsg(TKrLuxDataReq* msgReq, std::uint32_t appClass, std::uint32_t commandID,
                                           const host::MemoryStream& content, std::uint32_t userData) {
  return SerialOrLogged(SendRawMessage(msgReq, appClass, commandID, content, userData));
}

}  // namespace kdp
