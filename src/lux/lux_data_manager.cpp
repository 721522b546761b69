#include "lux/lux_data_manager.h"

#include <exception>
#include <utility>

#include <fmt/format.h>

#include "core/host_lookups.h"
#include "core/package_lookup.h"
#include "kdp/host/log.h"
#include "kdp/host/number_text.h"
#include "kdp/host/paths.h"
#include "kdp/host/services.h"
#include "lux/lux_async_message.h"
#include "lux/lux_data_item.h"
#include "lux/lux_data_req.h"
#include "lux/lux_data_table.h"
#include "lux/lux_strategy.h"
#include "util/dp_timer.h"
#include "util/strings.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "uKrLuxDataMgr";
constexpr std::string_view kVariableValue = "$VARIABLE";
// Cloud reports go as raw messages of this application class with this user data.
constexpr std::uint32_t kCloudReportAppClass = 1079;
constexpr std::uint32_t kCloudReportUserData = 4367;
// Subscriber kind the package registers.
constexpr int kSubscriberKind = 2;
// The condition field of the English edition's language, and the value sent under it.
constexpr std::uint32_t kLanguageFieldID = 2014;
constexpr std::string_view kEnglishLanguageValue = "01";

std::shared_ptr<TKrLuxDataManager> G_ILuxDataMgr;

void Progress(std::string_view message) { host::AddHQLog(message, kLogSource, host::LogSeverity::kInfo); }
void Problem(std::string_view message) { host::AddHQLog(message, kLogSource, host::LogSeverity::kNotice); }

std::shared_ptr<TKrLuxDataRequestInfo> AsProcessor(const ReqInfoPtr& reqInfo) {
  return std::dynamic_pointer_cast<TKrLuxDataRequestInfo>(reqInfo);
}

bool IsTrue(const std::string& value) { return value == "True"; }

std::unique_ptr<TDataProcessMsg> MakeRecord(TReqRecordItem item, std::shared_ptr<IKrLuxDataTable> table,
                                            TLuxMessageType messageType, std::int32_t serial) {
  auto record = std::make_unique<TDataProcessMsg>();
  record->ReqRcItem = std::move(item);
  record->ReceiveDataTable = std::move(table);
  record->MessageType = messageType;
  record->LParam = serial;
  return record;
}

}  // namespace

std::string TranslateReqTyep(TLuxDataReqType reqType) {
  switch (reqType) {
    case LDRTGet:
      return "DITGet";
    case LDRTSub:
      return "DITSub";
    case LDRTSearch:
      return "DITSearch";
    case LDRTMsg:
      return "DITMsg";
    case LDRTRawMsg:
      return "DITRawMsg";
  }
  return {};
}

// ---- life cycle ----

std::shared_ptr<TKrLuxDataManager> TKrLuxDataManager::GetInstance() {
  if (!G_ILuxDataMgr) G_ILuxDataMgr = std::make_shared<TKrLuxDataManager>();
  return G_ILuxDataMgr;
}

void TKrLuxDataManager::FreeInstance() { G_ILuxDataMgr.reset(); }

TKrLuxDataManager::TKrLuxDataManager()
    : FILuxReqInfoFactory(std::make_shared<TLuxReqInfoFactory>()),
      FHDispatchWindow(FDispatchWindowHandle.GetRef(),
                       [this](unsigned msg, TDataProcessMsg* record) { MainMsgProc(msg, record); }),
      FSendReqTimer(RegisterTimer()) {
  FSendReqTimer->SetOnTimer([this](TKrDPTimer*) { OnSendReqTimer(); });
  FSendReqTimer->SetInterval(kSendTimerInterval);
  InitLuxClient();
  RequestAuthLevel();
}

TKrLuxDataManager::~TKrLuxDataManager() {
  FSendReqTimer->SetOnTimer(nullptr);
  FSendReqTimer->SetEnabled(false);
  UnRegisterTimer(FSendReqTimer);
  FMsgNeedToSendList.clear();
  if (FILuxClient) {
    FILuxClient->RemoveOnMessageNotify();
    // The sub infos go with the history manager: stop their topics first, so no push reaches them after.
    if (auto subscriber = FILuxClient->GetSubscriber(FSubscriberIndex)) {
      for (const std::string& sector : FDataSubHisMgr.SubscribedSectors()) {
        if (TKrLuxSubInfo* subInfo = FDataSubHisMgr.GetSubInfoBySectorID(sector)) {
          subscriber->UnSubscribeTopic(subInfo->GetTopicIndex());
        }
      }
    }
  }
  FDispatchWindowHandle.Release();
}

void TKrLuxDataManager::InitLuxClient() {
  auto context = host::GetHQContext();
  FILuxClient = context ? context->GetLuxClient() : nullptr;
  if (!FILuxClient) {
    Problem("获取框架创建的ILuxClient失败， FILuxClient is nil!");
    return;
  }
  if (!FILuxClient->IsConnected()) Problem("LuxClient初始化时未连接成功！");
  FSubscriberIndex = FILuxClient->RegisterSubscriber(kSubscriberKind);
  FILuxClient->SetOnMessageNotify(
      [this](host::IBaseLuxClient* sender, const std::shared_ptr<host::TBaseLuxMessage>& message) {
        OnMessageNotifyData(sender, message);
      });
}

// ---- widgets and request descriptions ----

std::shared_ptr<TKrLuxDataReq> TKrLuxDataManager::GetLuxDataRequestObj(
    std::shared_ptr<IKrLuxDataNotifyObserver> observer) {
  if (!observer) return nullptr;
  auto request = std::make_shared<TKrLuxDataReq>(weak_from_this(), GenOneWidgetID(), std::move(observer));
  FDataSubHisMgr.AddReqWidget(request->GetWidgetID(), request.get());
  return request;
}

std::shared_ptr<IKrLuxNewsReq> TKrLuxDataManager::GetLuxNewsRequest(
    std::shared_ptr<IKrLuxDataNotifyObserver> observer) {
  return GetLuxDataRequestObj(std::move(observer));
}

std::shared_ptr<IKrLuxMsgReq> TKrLuxDataManager::GetLuxMsgRequest(std::shared_ptr<IKrLuxDataNotifyObserver> observer) {
  return GetLuxDataRequestObj(std::move(observer));
}

ReqInfoPtr TKrLuxDataManager::GetLuxDataReqInfo(const std::string& name, TLuxDataReqType reqType) {
  if (!FILuxReqInfoFactory) return nullptr;
  const std::string kind = TranslateReqTyep(reqType);
  std::shared_ptr<const TReqNodeInfoItem> node;
  if (FILuxReqInfoFactory->GetReqInfoItem(name) != nullptr) node = FILuxReqInfoFactory->GetReqInfo(name, kind);
  // Columns the factory does not know may come from the sector tree manager's trees. Until that service is
  // published there is nobody to ask, and such a column is unknown.
  if (!node && G_QueryInterface("ISectorTreeMgr") == nullptr && host::IsNeedWriteHQLog()) {
    Progress("GetLuxDataReqInfo ISectorTreeMgr 未发布");
  }
  if (!node) {
    Problem(fmt::format("没有匹配的栏目：SectorName ={} ReqType = {}", name, kind));
    return nullptr;
  }
  auto processor = FILuxReqInfoFactory->GetDataProcessorObj(name);
  if (!processor) {
    Problem(fmt::format("GetLuxDataReqItem， 没有注册{}对应的数据解析类", name));
    return nullptr;
  }
  processor->SetReqType(reqType);
  processor->SetSectorName(name);
  for (int i = 0; i < node->GetIndexQuotaCount(); ++i) {
    processor->SetIndexValue(node->GetIndexQuotaByOrder(i), node->GetIndexQuotaValueByOrder(i));
  }
  if (const TReqInfoItem* column = FILuxReqInfoFactory->GetReqInfoItem(name); !column->GetTestData().empty()) {
    processor->SetTestData(host::GetEtcPath() + host::ToNativePath(column->GetTestData()));
  }
  return processor;
}

void TKrLuxDataManager::AppendLuxInfoConfigure(const std::string& moduleName, const std::string& path) {
  if (FILuxReqInfoFactory) FILuxReqInfoFactory->LoadLuxInfoConfigureByModuleName(moduleName, path);
}

std::vector<TLuxColumnInfo> TKrLuxDataManager::GetLuxColumns() {
  std::vector<TLuxColumnInfo> columns;
  if (!FILuxReqInfoFactory) return columns;
  for (const std::string& sector : FILuxReqInfoFactory->SectorNames()) {
    const TReqInfoItem* item = FILuxReqInfoFactory->GetReqInfoItem(sector);
    TLuxColumnInfo column{
        sector, item->GetCaption(),          item->GetDataProcessorName(), item->GetDataStrategyName(),
        {},     !item->GetTestData().empty()};
    for (const auto& node : item->ReqNodes()) column.RequestKinds.push_back(node->GetReqType());
    columns.push_back(std::move(column));
  }
  return columns;
}

// ---- gates and sending ----

bool TKrLuxDataManager::IsPermissionSubscribe() {
  if (FBaseInfoData.ReceivedAuthLevel()) return true;
  RequestAuthLevel();
  return false;
}

bool TKrLuxDataManager::IsReady() {
  const bool permitted = IsPermissionSubscribe();
  return permitted && FILuxClient && FILuxClient->IsConnected();
}

void TKrLuxDataManager::HoldBack(TDetentionReqItem item) {
  FMsgNeedToSendList.push_back(std::move(item));
  FSendReqTimer->SetEnabled(true);
}

bool TKrLuxDataManager::SendTimerEnabled() const { return FSendReqTimer->GetEnabled(); }
unsigned TKrLuxDataManager::SendTimerInterval() const { return FSendReqTimer->GetInterval(); }

std::int32_t TKrLuxDataManager::SendAndRegister(TKrLuxDataReqMessage& message, bool async,
                                                const TReqRecordItem& record) {
  if (!FILuxClient) return -1;
  std::lock_guard lock(FSendLock);
  const bool sent =
      async ? FILuxClient->SendRequestAsync(message, kRequestTimeOutSeconds) : FILuxClient->SendRequest(message);
  if (!sent) return -1;
  FLuxReqRcMgr.TryAddReqRecord(message.GetSerialNumber(), record);
  return message.GetSerialNumber();
}

bool TKrLuxDataManager::PostRecord(unsigned msg, std::unique_ptr<TDataProcessMsg> record) {
  TDataProcessMsg* pending = FDataSubHisMgr.AddDataProcessMsg(std::move(record));
  if (FHDispatchWindow.PostMessage(msg, pending)) return true;
  FDataSubHisMgr.RemoveDataProcessMsg(pending);
  return false;
}

std::unique_ptr<TKrLuxDataStrategy> TKrLuxDataManager::GetDataOptObj(const std::string& sectorName) {
  std::unique_ptr<TKrLuxDataStrategy> strategy;
  if (FILuxReqInfoFactory && !FILuxReqInfoFactory->GetDataStrategyName(sectorName).empty()) {
    strategy = FILuxReqInfoFactory->GetDataStrategy(sectorName);
  }
  if (!strategy) strategy = std::make_unique<TKrLuxNewsStrategy>();
  return strategy;
}

void TKrLuxDataManager::SetIndexFilterInfo(TKrLuxDataStrategy& strategy, TKrLuxDataRequestInfo& reqInfo) {
  for (int i = 0; i < strategy.GetIndexFilterCount(); ++i) {
    const std::string name = strategy.GetIndexFilterByOrder(i);
    strategy.SetIndexFilter(name, reqInfo.GetIndexValue(name));
  }
}

// ---- history ----

std::int32_t TKrLuxDataManager::GetHisData(TKrLuxDataReq* newsReq, const ReqInfoPtr& reqInfo) {
  Progress("GetHisData Start");
  auto processor = AsProcessor(reqInfo);
  if (!processor) {
    Problem("GetHisData AIReqInfo is type of TKrLuxDataRequestInfo");
    return -1;
  }
  if (newsReq == nullptr) {
    Problem("GetHisData ALuxDataReq2 is type of TKrLuxDataReq");
    return -1;
  }
  const std::uint32_t widgetID = newsReq->GetWidgetID();
  if (!processor->GetIsTestModeState() && !IsReady()) {
    HoldBack({TDetentionReqItem::DRTGetHisData, newsReq->weak_from_this(), widgetID, processor, false});
    Problem(fmt::format("GetHisData LuxClient未连接成功或者权限数据未获取延迟发送 ID:{}", widgetID));
    return -1;
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

  std::int32_t result = -1;
  if (processor->GetIsTestModeState()) {
    auto record = MakeRecord({widgetID, processor, LDRTGet}, processor->ProcessTestData(), LMTOK, kTestModeSerial);
    if (PostRecord(WM_LUX_GETHISDATA, std::move(record))) {
      FLuxReqRcMgr.TryAddReqRecord(kTestModeSerial, {widgetID, processor, LDRTGet});
      result = kTestModeSerial;
    } else {
      Problem("PostMessage失败, WM_LUX_GETHISDATA!");
    }
  } else if (std::unique_ptr<TKrLuxDataReqMessage> message = processor->CreateReqMsg()) {
    result = SendAndRegister(*message, true, {widgetID, processor, LDRTGet});
    if (result == -1) Problem("GetHisData 发送消息失败");
  } else {
    Problem("LLuxDataReqInfo.CreateReqMsg Failed!");
  }
  if (newStore && !FSectorDataCache.TryAddSectorData(sectorID, newStore)) newStore.reset();
  Progress("GetHisData End");
  return result;
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
  subInfo->SetHwndWindow(FHDispatchWindow);
  subInfo->SetSubscriberIndex(FSubscriberIndex);
  subInfo->SetDataSubMgr(&FDataSubHisMgr);
  subInfo->SetLuxDataProcessor({widgetID, processor, LDRTSub});
  if (processor->GetIsTestModeState()) {
    auto record = MakeRecord({widgetID, processor, LDRTSub}, processor->ProcessTestData(), LMTOK, kTestModeSerial);
    if (!PostRecord(WM_LUX_SUBSCRIBE, std::move(record))) {
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
  auto processor = AsProcessor(reqInfo);
  if (newsReq == nullptr || !processor) return -1;
  const std::uint32_t widgetID = newsReq->GetWidgetID();
  if (processor->GetIsTestModeState()) {
    auto record = MakeRecord({widgetID, processor, LDRTSearch}, processor->ProcessTestData(), LMTOK, kTestModeSerial);
    if (!PostRecord(WM_LUX_SEARCH, std::move(record))) {
      Problem("PostMessage失败, WM_LUX_SEARCH!");
      return -1;
    }
    return kTestModeSerial;
  }
  std::unique_ptr<TKrLuxDataReqMessage> message = processor->CreateSearchMsg();
  if (!message) {
    Problem("LLuxDataReqInfo.CreateSearchMsg Failed!");
    return -1;
  }
  const std::int32_t serial = SendAndRegister(*message, false, {widgetID, processor, LDRTSearch});
  if (serial == -1) Problem("SearchHisData 发送消息失败");
  return serial;
}

std::int32_t TKrLuxDataManager::SendMsg(TKrLuxDataReq* msgReq, const ReqInfoPtr& reqInfo) {
  auto processor = AsProcessor(reqInfo);
  if (!FILuxClient || msgReq == nullptr || !processor) return -1;
  std::unique_ptr<TKrLuxDataReqMessage> message = processor->CreateReqMsg();
  if (!message) {
    Problem("LLuxDataReqInfo.CreateReqMsg Failed!");
    return -1;
  }
  const std::int32_t serial = SendAndRegister(*message, true, {msgReq->GetWidgetID(), processor, LDRTMsg});
  if (serial == -1) Problem("SendMyMsg 发送消息失败");
  return serial;
}

template <class Content>
std::int32_t TKrLuxDataManager::SendRawMessage(TKrLuxDataReq* msgReq, std::uint32_t appClass, std::uint32_t commandID,
                                               const Content& content, std::uint32_t userData) {
  if (msgReq == nullptr) return -1;
  std::shared_ptr<TKrLuxDataAsyncMessage> processor;
  if (appClass == kCloudReportAppClass && userData == kCloudReportUserData) {
    processor = std::make_shared<TKrLuxCloudPRDataAsyncMessage>();
  } else {
    processor = std::make_shared<TKrLuxDataAsyncMessage>();
  }
  processor->SetReqType(LDRTRawMsg);
  if (!processor->CreatAsyncMessage(appClass, commandID, content, FHDispatchWindow, userData)) {
    Problem("SendRequestAsync AMsg is nil");
    return -1;
  }
  Progress("begin to send lux message.");
  const std::int32_t serial =
      SendAndRegister(processor->GetSendMsg(), true, {msgReq->GetWidgetID(), processor, LDRTRawMsg});
  if (serial == -1) Problem("SendRequestAsync 发送消息失败");
  return serial;
}

std::int32_t TKrLuxDataManager::RawSendMsg(TKrLuxDataReq* msgReq, std::uint32_t appClass, std::uint32_t commandID,
                                           const std::string& content, std::uint32_t userData) {
  return SendRawMessage(msgReq, appClass, commandID, std::string_view(content), userData);
}

std::int32_t TKrLuxDataManager::RawSendMsg(TKrLuxDataReq* msgReq, std::uint32_t appClass, std::uint32_t commandID,
                                           const host::MemoryStream& content, std::uint32_t userData) {
  return SendRawMessage(msgReq, appClass, commandID, content, userData);
}

// ---- the authority list ----

void TKrLuxDataManager::RequestAuthLevel() {
  Progress("RequestAuthLevel Begin");
  if (FDataSubHisMgr.GetAuthLevelReqed()) return;
  const int sent = FDataSubHisMgr.GetAuthLevelReqTimes();
  if (sent > 10) {
    FSendReqTimer->SetInterval(kSendTimerSlowestInterval);
  } else if (sent >= 4) {
    FSendReqTimer->SetInterval(kSendTimerSlowInterval);
  }
  auto processor = std::make_shared<TKrLuxAuthLevelProcessor>();
  std::unique_ptr<TKrLuxDataReqMessage> message = processor->CreateReqMsg();
  if (!message) {
    Problem("RequestAuthLevel LAuthProcessor.CreateReqMsg is nil!");
    return;
  }
  if (SendAndRegister(*message, false, {0, processor, LDRTGet}) == -1) {
    Problem("RequestAuthLevel 发送消息失败");
    return;
  }
  FDataSubHisMgr.SetAuthLevelReqed(true);
  FDataSubHisMgr.SetAuthLevelReqTimes(sent + 1);
  Progress("RequestAuthLevel end");
}

// ---- held-back requests ----

void TKrLuxDataManager::OnSendReqTimer() {
  FDataSubHisMgr.SetNewsSectorReqed(false);
  FDataSubHisMgr.SetAuthLevelReqed(false);
  OnReqLuxDataRepeat();
}

void TKrLuxDataManager::OnReqLuxDataRepeat() {
  Progress("OnReqLuxDataRepeat Start");
  if (!IsReady()) return;
  Progress(fmt::format("框架LuxClient连接服务器成功！ FMsgNeedToSendList.Count: {}", FMsgNeedToSendList.size()));
  // Last to first. A request may hold itself back again or unregister widgets, so the list is taken out
  // while the items are tried and what is left goes back in front of anything added meanwhile.
  std::vector<TDetentionReqItem> items = std::move(FMsgNeedToSendList);
  FMsgNeedToSendList.clear();
  std::vector<TDetentionReqItem> kept;
  for (auto it = items.rbegin(); it != items.rend(); ++it) {
    std::shared_ptr<TKrLuxDataReq> request = it->DataReq.lock();
    if (!request) continue;
    bool done = false;
    if (it->DetentionReqType == TDetentionReqItem::DRTSub) {
      Progress("OnReqLuxDataRepeat Subscribe");
      done = Subscribe(request.get(), it->DataReqInfo, it->NeedAddWidgetSubHis);
    } else {
      Progress("OnReqLuxDataRepeat GetHisData");
      done = GetHisData(request.get(), it->DataReqInfo) != -1;
    }
    if (!done) kept.insert(kept.begin(), std::move(*it));
  }
  kept.insert(kept.end(), std::make_move_iterator(FMsgNeedToSendList.begin()),
              std::make_move_iterator(FMsgNeedToSendList.end()));
  FMsgNeedToSendList = std::move(kept);
  if (FMsgNeedToSendList.empty()) FSendReqTimer->SetEnabled(false);
}

// ---- replies (the client's thread) ----

void TKrLuxDataManager::OnMessageNotifyData(host::IBaseLuxClient*,
                                            const std::shared_ptr<host::TBaseLuxMessage>& ARecvMsg) {
  try {
    if (!ARecvMsg) {
      Problem("接收到Luxclient空的消息！nil = ARecvMsg");
      return;
    }
    TLuxMessageType messageType = LMTOK;
    if (ARecvMsg->GetMessageProp() == host::mpError) {
      Problem("OnMessageNotifyData 接收到LuxClient消息错误！mpError");
      messageType = LMTError;
    } else if (ARecvMsg->GetMessageProp() == host::mpTimeout) {
      Problem("OnMessageNotifyData 接收到LuxClient消息错误！mpTimeout");
      messageType = LMTTimeOut;
    }
    const std::int32_t serial = ARecvMsg->GetSerialNumber();
    TReqRecordItem record;
    {
      std::lock_guard lock(FSendLock);  // a request being sent has its record registered first
      if (!FLuxReqRcMgr.TryTakeReqRecord(serial, record)) return;
    }
    unsigned msg = 0;
    switch (record.ReqType) {
      case LDRTGet:
        msg = WM_LUX_GETHISDATA;
        break;
      case LDRTSearch:
        msg = WM_LUX_SEARCH;
        break;
      case LDRTMsg:
        msg = WM_LUX_SPECIALMSG;
        break;
      case LDRTRawMsg:
        msg = WM_LUX_RAWMSG;
        break;
      default:
        Problem("OnMessageNotifyData 请求类型错误！");
        return;
    }
    if (!record.IProcessor) {
      Problem("反序列化接口为空，IProcessor is nil!");
      return;
    }
    record.IProcessor->ProcessRpMsg(*ARecvMsg);
    auto table = record.IProcessor->GetAnalyseLuxData();
    auto message = MakeRecord(std::move(record), table, messageType, serial);
    if (!PostRecord(msg, std::move(message))) Problem("PostMessage失败, WM_LUX_GETHISDATA!");
  } catch (const std::exception& e) {
    Problem(std::string("OnMessageNotifyData 异常: ") + e.what());
  } catch (...) {
    Problem("OnMessageNotifyData 异常");
  }
}

// ---- dispatch (the main thread) ----

void TKrLuxDataManager::MainMsgProc(unsigned msg, TDataProcessMsg* record) {
  Progress("MainMsgProc 接收到数据");
  DisPatchMsgProc(msg, record);
}

bool TKrLuxDataManager::DisPatchMsgProc(unsigned msg, TDataProcessMsg* posted) {
  struct Kind {
    unsigned msg;
    std::string_view handling;
    std::string_view missing;
  };
  static constexpr Kind kKinds[] = {
      {WM_LUX_GETHISDATA, "DisPatchMsgProc 获取历史数据, msg={}",
       "接收到的获取历史消息数据为空，LPDataProcessMsg = nil, msg={}"},
      {WM_LUX_SEARCH, "DisPatchMsgProc 查询数据, msg={}", "接收到的查询消息数据为空，LPDataProcessMsg = nil, msg={}"},
      {WM_LUX_SUBSCRIBE, "DisPatchMsgProc 订阅数据, msg={}",
       "接收到的订阅消息数据为空，LPDataProcessMsg = nil, msg={}"},
      {WM_LUX_SPECIALMSG, "DisPatchMsgProc 特殊消息处理, msg={}",
       "接收到的特殊消息数据为空，LPDataProcessMsg = nil, msg={}"},
      {WM_LUX_RAWMSG, "DisPatchMsgProc 原始消息流, msg={}", "接收到的原始消息数据为空，LPDataProcessMsg = nil, msg={}"},
  };
  const Kind* kind = nullptr;
  for (const Kind& k : kKinds) {
    if (k.msg == msg) kind = &k;
  }
  if (kind == nullptr) {
    Progress(fmt::format("DisPatchMsgProc 非新闻消息, msg={}", msg));
    return false;
  }
  Progress(fmt::format(fmt::runtime(kind->handling), msg));
  // The record comes back from the pending list; one that is not pending there is taken for a null one.
  std::unique_ptr<TDataProcessMsg> record = FDataSubHisMgr.RemoveDataProcessMsg(posted);
  if (!record) {
    Problem(fmt::format(fmt::runtime(kind->missing), msg));
    return true;
  }
  switch (msg) {
    case WM_LUX_GETHISDATA:
      SaveHisDataAndNotifyWidget(*record);
      break;
    case WM_LUX_SEARCH:
      NotifyRecord(*record, NTSearch);
      break;
    case WM_LUX_SUBSCRIBE:
      SavePublishedDataAndNotifyWidget(*record);
      break;
    case WM_LUX_SPECIALMSG:
      NotifyRecord(*record, NTSpecalMsg);
      break;
    case WM_LUX_RAWMSG:
      if (auto async = std::dynamic_pointer_cast<TKrLuxDataAsyncMessage>(record->ReqRcItem.IProcessor)) {
        host::MemoryStream stream = async->GetDataStream();
        stream.SetPosition(0);
        NotifyRawMsgDataToWidget(record->ReqRcItem.WidgetID, record->LParam, async->GetMsgProp(),
                                 TRawMsgData{&stream, async->GetUserData()});
      }
      break;
    default:
      break;
  }
  return true;
}

void TKrLuxDataManager::NotifyRecord(TDataProcessMsg& record, TLuxDataNotifyType notifyType) {
  const auto& processor = record.ReqRcItem.IProcessor;
  const std::string sector = processor ? processor->GetSectorName() : std::string();
  NotifyDataToWidget(record.ReqRcItem.WidgetID, record.ReceiveDataTable,
                     TNotifyInfo{sector, notifyType, record.MessageType, record.LParam});
}

void TKrLuxDataManager::SaveHisDataAndNotifyWidget(TDataProcessMsg& record) {
  const auto& processor = record.ReqRcItem.IProcessor;
  if (!processor) return;
  if (processor->GetSectorID() == kAuthLevelSectorID) {
    FBaseInfoData.SaveAuthList(record.ReceiveDataTable);
    Problem("SaveHisDataAndNotifyWidget 获取权限信息成功");
    OnReqLuxDataRepeat();
    return;
  }
  const std::string sectorID = processor->GetSectorID();
  std::shared_ptr<TKrSectorDataDb> store;
  const bool hasStore = FSectorDataCache.TryGetSectorData(sectorID, store);
  if (processor->GetIndexValue("SaveData") != "False") {
    if (!hasStore) {
      Problem("SaveHisDataAndNotifyWidget LLuxDataReqInfo.GetSectorID not Find!");
      return;
    }
    store->SaveData(record.ReceiveDataTable);
    std::unique_ptr<TKrLuxDataStrategy> strategy = GetDataOptObj(processor->GetSectorName());
    SetIndexFilterInfo(*strategy, *processor);
    NotifyDataToWidget(record.ReqRcItem.WidgetID, store->GetDataByStrategy(*strategy),
                       TNotifyInfo{processor->GetSectorName(), NTGet, record.MessageType, record.LParam});
    return;
  }
  if (IsTrue(processor->GetIndexValue("SaveHisNum")) && hasStore) store->SetReceiveRowNum(record.ReceiveDataTable);
  NotSaveHisDataAndNotifyWidget(record);
}

void TKrLuxDataManager::NotSaveHisDataAndNotifyWidget(TDataProcessMsg& record) { NotifyRecord(record, NTGet); }

void TKrLuxDataManager::SavePublishedDataAndNotifyWidget(TDataProcessMsg& record) {
  const auto& processor = record.ReqRcItem.IProcessor;
  if (!processor) return;
  const std::string sectorID = processor->GetSectorID();
  const std::string saveData = processor->GetIndexValue("SaveData");
  bool added = false;
  if (saveData == "True" || saveData.empty()) {
    std::shared_ptr<TKrSectorDataDb> store;
    if (!FSectorDataCache.TryGetSectorData(sectorID, store)) {
      store = std::make_shared<TKrSectorDataDb>();
      if (!FSectorDataCache.TryAddSectorData(sectorID, store)) FSectorDataCache.TryGetSectorData(sectorID, store);
    }
    added = store->AddPublishedData(record.ReceiveDataTable);
  }
  if (!added && !IsTrue(processor->GetIndexValue("NotifyAll"))) return;
  const TNotifyInfo info{processor->GetSectorName(), NTPush, record.MessageType, record.LParam};
  for (std::uint32_t widgetID : FDataSubHisMgr.GetSectorSubWidgets(sectorID)) {
    NotifyDataToWidget(widgetID, record.ReceiveDataTable, info);
  }
}

std::shared_ptr<IKrLuxDataNotifyObserver> TKrLuxDataManager::ObserverOf(std::uint32_t widgetID) const {
  TKrLuxDataReq* request = nullptr;
  if (!FDataSubHisMgr.TryGetReqWidget(widgetID, request) || request == nullptr) return nullptr;
  return request->GetObserver();
}

bool TKrLuxDataManager::NotifyDataToWidget(std::uint32_t widgetID, const std::shared_ptr<IKrLuxDataTable>& table,
                                           const TNotifyInfo& info) {
  // The observer is held for the call: the widget may let its request object go while it is notified.
  std::shared_ptr<IKrLuxDataNotifyObserver> observer = ObserverOf(widgetID);
  if (!observer) return false;
  observer->OnDataNotify(table, info);
  return true;
}

bool TKrLuxDataManager::NotifyRawMsgDataToWidget(std::uint32_t widgetID, std::int32_t serial,
                                                 host::TMessageProperty prop, const TRawMsgData& data) {
  std::shared_ptr<IKrLuxDataNotifyObserver> observer = ObserverOf(widgetID);
  if (!observer) return false;
  observer->OnRawMsgDataNotify(serial, prop, data);
  return true;
}

std::shared_ptr<IKrLuxDataTable> TKrLuxDataManager::StoredRows(const std::string& sectorID) const {
  std::shared_ptr<TKrSectorDataDb> store;
  return FSectorDataCache.TryGetSectorData(sectorID, store) ? store->GetRows() : nullptr;
}

}  // namespace kdp
