#include "lux/lux_data_manager.h"

#include <utility>

#include <fmt/format.h>

#include "core/package_lookup.h"
#include "kdp/host/log.h"
#include "kdp/host/paths.h"
#include "kdp/host/services.h"
#include "lux/lux_data_req.h"
#include "lux/lux_manager_detail.h"
#include "lux/lux_strategy.h"
#include "util/dp_timer.h"

namespace kdp {
namespace {

using lux_manager::Problem;
using lux_manager::Progress;

// Subscriber kind the package registers.
constexpr int kSubscriberKind = 2;

std::shared_ptr<TKrLuxDataManager> G_ILuxDataMgr;

}  // namespace

std::string TranslateReqType(TLuxDataReqType reqType) {
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
      FHDispatchWindow(FDispatchWindowHandle.GetRef()),
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
  const std::string kind = TranslateReqType(reqType);
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

Result<std::int32_t> TKrLuxDataManager::SendAndRegister(TKrLuxDataReqMessage& message, bool async,
                                                        const TReqRecordItem& record, std::string_view what) {
  if (!FILuxClient) return Status(ErrorKind::kUnavailable, fmt::format("{} FILuxClient is nil", what));
  std::lock_guard lock(FSendLock);
  const bool sent =
      async ? FILuxClient->SendRequestAsync(message, kRequestTimeOutSeconds) : FILuxClient->SendRequest(message);
  if (!sent) return Status(ErrorKind::kTransport, fmt::format("{} 发送消息失败", what));
  FLuxReqRcMgr.TryAddReqRecord(message.GetSerialNumber(), record);
  return message.GetSerialNumber();
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

}  // namespace kdp
