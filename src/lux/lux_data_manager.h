// TKrLuxDataManager: the one service through which widgets obtain Lux information (published as
// "IKrLuxDataMgr"). It owns the connection-side state: the host's Lux client and its subscriber, the
// dispatch window, the send timer for requests held back until the client is connected and the user's
// authority list has arrived, the registry of outstanding requests, the subscription history, the sector
// stores and the authority list. Processors (made through the request-info factory) build each request
// and parse its reply; the manager sends it, matches the reply by serial number, hands the parsed table
// to the main thread, stores it where the column asks for it and delivers it to the widget that asked.
//
// Widgets reach it through their request objects (TKrLuxDataReq, from GetLuxNewsRequest and
// GetLuxMsgRequest), which forward here with themselves as the first argument.
//
// Threads. Everything runs on the main thread except the reply handler, OnMessageNotifyData, which the
// client calls on its own thread. That handler touches only:
// - the request registry (its own lock);
// - the record's processor, which parses the reply (its own lock);
// - the dispatch window (prepared on the main thread before the handler is installed and released after it
//   is removed); the parsed record travels inside the closure posted to it, so no list holds it meanwhile;
// - FSendLock, which the main thread holds from a send to the registration of its record, so a reply that
//   overtakes the registration waits for it instead of being taken for an unknown one. A client must
//   therefore not make SendRequest wait for a reply handler that is running.
// Topic publish handlers (TKrLuxSubInfo::OnPublish) run on the client's thread as lux_sub_history.h says.
// Storing, notifying and every call into a widget happen on the main thread, in the handlers HandlerFor makes.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "kdp/host/lux.h"
#include "kdp/host/main_loop.h"
#include "kdp/lux/lux_requests.h"
#include "lux/lux_auth_level.h"
#include "lux/lux_mgr_def.h"
#include "util/status.h"
#include "lux/lux_req_info_factory.h"
#include "lux/lux_req_record_mgr.h"
#include "lux/lux_sector_store.h"
#include "lux/lux_sub_history.h"

namespace kdp {

class TKrDPTimer;
class TKrLuxDataReq;

// A request held back until the client is connected and the authority list has arrived.
struct TDetentionReqItem {
  enum Kind { DRTSub, DRTGetHisData };
  Kind DetentionReqType = DRTGetHisData;
  std::weak_ptr<TKrLuxDataReq> DataReq;  // the widget's request object; a gone widget's item is skipped
  std::uint32_t WidgetID = 0;
  std::shared_ptr<TKrLuxDataRequestInfo> DataReqInfo;
  bool NeedAddWidgetSubHis = false;
};

// The request-kind names of the factory's request nodes: "DITGet", "DITSub", "DITSearch", "DITMsg",
// "DITRawMsg"; "" for any other value.
std::string TranslateReqType(TLuxDataReqType reqType);

class TKrLuxDataManager final : public host::Implements<IKrLuxDataManager, IKrLuxColumnList>,
                                public std::enable_shared_from_this<TKrLuxDataManager> {
 public:
  // The send timer's intervals: at first, after 4 authority requests without an answer, after 11.
  static constexpr unsigned kSendTimerInterval = 15000;
  static constexpr unsigned kSendTimerSlowInterval = 180000;
  static constexpr unsigned kSendTimerSlowestInterval = 300000;
  static constexpr int kRequestTimeOutSeconds = 180;
  // The serial number of requests answered locally in test mode.
  static constexpr std::int32_t kTestModeSerial = 9999;

  // The module singleton (G_ILuxDataMgr), created on the first call. REQUIRES: main thread.
  static std::shared_ptr<TKrLuxDataManager> GetInstance();
  // Releases the module singleton, if any (package shut-down).
  static void FreeInstance();

  // Builds the manager in the documented order, connects to the host's Lux client and asks for the
  // authority list. Use GetInstance (or std::make_shared in tests): request objects keep a weak reference.
  TKrLuxDataManager();
  ~TKrLuxDataManager() override;
  TKrLuxDataManager(const TKrLuxDataManager&) = delete;
  TKrLuxDataManager& operator=(const TKrLuxDataManager&) = delete;

  // ---- IKrLuxDataManager ----
  std::shared_ptr<IKrLuxNewsReq> GetLuxNewsRequest(std::shared_ptr<IKrLuxDataNotifyObserver> observer) override;
  std::shared_ptr<IKrLuxMsgReq> GetLuxMsgRequest(std::shared_ptr<IKrLuxDataNotifyObserver> observer) override;
  // A processor of the column for the request kind, with the node's parameters in node order; null,
  // logged, when the column has no such node or its processor is not registered.
  ReqInfoPtr GetLuxDataReqInfo(const std::string& name, TLuxDataReqType reqType) override;
  void AppendLuxInfoConfigure(const std::string& moduleName, const std::string& path) override;

  // ---- IKrLuxColumnList ----
  std::vector<TLuxColumnInfo> GetLuxColumns() override;

  // ---- what the widgets' request objects forward ----
  // The request's serial number; 0 when the sector's store answered at once; -1 when the request failed
  // or was held back (it is then sent by the send timer or when the authority list arrives).
  std::int32_t GetHisData(TKrLuxDataReq* newsReq, const ReqInfoPtr& reqInfo);
  // True when the sector is subscribed, shared with another widget, or held back.
  bool Subscribe(TKrLuxDataReq* newsReq, const ReqInfoPtr& reqInfo, bool needAddWidgetSubHis);
  bool DeSubscribe(TKrLuxDataReq* newsReq, const ReqInfoPtr& reqInfo);
  bool RemoveSectorByID(TKrLuxDataReq* newsReq, const ReqInfoPtr& reqInfo);
  bool IsAlreadySub(TKrLuxDataReq* newsReq, const ReqInfoPtr& reqInfo);
  std::int32_t SearchData(TKrLuxDataReq* newsReq, const ReqInfoPtr& reqInfo);
  std::int32_t SendMsg(TKrLuxDataReq* msgReq, const ReqInfoPtr& reqInfo);
  // A raw message; the cloud variant keeps the whole reply body (application class 1079, user data 4367).
  std::int32_t RawSendMsg(TKrLuxDataReq* msgReq, std::uint32_t appClass, std::uint32_t commandID,
                          const std::string& content, std::uint32_t userData);
  std::int32_t RawSendMsg(TKrLuxDataReq* msgReq, std::uint32_t appClass, std::uint32_t commandID,
                          const host::MemoryStream& content, std::uint32_t userData);
  bool SetItemBrowsed(const ReqInfoPtr& reqInfo, const std::string& id);
  // Forgets the widget: its subscriptions (the sectors no widget is left on are unsubscribed at the
  // server), its request object and its held-back requests.
  void UnRegWidget(std::uint32_t widgetID);

  // ---- the authority list ----
  void RequestAuthLevel();
  const std::vector<std::string>& GetAuthList() const { return FBaseInfoData.GetAuthList(); }

  // ---- the client's side ----
  // The reply handler (the client's thread): matches the reply to its request, parses it with the
  // request's processor and posts the result to the dispatch window. Never throws.
  void OnMessageNotifyData(host::IBaseLuxClient* sender, const std::shared_ptr<host::TBaseLuxMessage>& ARecvMsg);

  // ---- held-back requests ----
  void OnSendReqTimer();
  void OnReqLuxDataRepeat();

  // ---- state, for tools and tests ----
  std::size_t DelayedRequestCount() const { return FMsgNeedToSendList.size(); }
  bool SendTimerEnabled() const;
  unsigned SendTimerInterval() const;
  std::size_t OutstandingRequestCount() const { return FLuxReqRcMgr.Count(); }
  std::size_t StoreCount() const { return FSectorDataCache.Count(); }
  int AuthLevelRequestCount() const { return FDataSubHisMgr.GetAuthLevelReqTimes(); }
  // The rows the sector's store holds, top first; null when the sector has no store.
  std::shared_ptr<IKrLuxDataTable> StoredRows(const std::string& sectorID) const;
  bool IsSectorSubscribed(const std::string& sectorID) const { return FDataSubHisMgr.IsSectorAlreadySub(sectorID); }

 private:
  std::shared_ptr<TKrLuxDataReq> GetLuxDataRequestObj(std::shared_ptr<IKrLuxDataNotifyObserver> observer);
  std::uint32_t GenOneWidgetID() { return ++FGenWidgetID; }
  void InitLuxClient();
  bool IsPermissionSubscribe();
  bool IsReady();
  void HoldBack(TDetentionReqItem item);
  // Sends a request and registers its record under the serial number; the serial number, or why not
  // (kUnavailable without a client, kTransport when the client refused it; `what` names the request).
  Result<std::int32_t> SendAndRegister(TKrLuxDataReqMessage& message, bool async, const TReqRecordItem& record,
                                       std::string_view what);
  // The bodies of the requests above: the serial number (0 from the store), or why there is none.
  Result<std::int32_t> RequestHistory(TKrLuxDataReq* newsReq, const ReqInfoPtr& reqInfo);
  Result<std::int32_t> RequestSearch(TKrLuxDataReq* newsReq, const ReqInfoPtr& reqInfo);
  Result<std::int32_t> RequestMessage(TKrLuxDataReq* msgReq, const ReqInfoPtr& reqInfo);
  // The main-thread handler of a record of the request kind: stores it where the column asks and notifies
  // the widget(s). Empty for a kind that is not one.
  TLuxDispatchWindow::Handler HandlerFor(TLuxDataReqType reqType);
  // Posts the record with its kind's handler; false (the record freed) when the window refused it.
  bool PostRecord(std::unique_ptr<TDataProcessMsg> record);
  template <class Content>
  Result<std::int32_t> SendRawMessage(TKrLuxDataReq* msgReq, std::uint32_t appClass, std::uint32_t commandID,
                                      const Content& content, std::uint32_t userData);
  std::unique_ptr<TKrLuxDataStrategy> GetDataOptObj(const std::string& sectorName);
  void SetIndexFilterInfo(TKrLuxDataStrategy& strategy, TKrLuxDataRequestInfo& reqInfo);

  void UpdateNewSubInfoToCache(const std::shared_ptr<TKrLuxDataRequestInfo>& reqInfo, const std::string& sectorID);
  bool SubscribeFromSever(TKrLuxDataRequestInfo& reqInfo, TKrLuxSubInfo& subInfo);
  bool SubscribeIndex(TKrLuxDataRequestInfo& reqInfo, int topic);
  bool SubscribeIndexQuota(TKrLuxDataRequestInfo& reqInfo, int topic);
  // A new topic for the sub info, its publish handler pointing at the sub info; -1 when none.
  int NewTopicFor(TKrLuxSubInfo& subInfo);
  void DeSubFromServer(const std::string& sectorID);
  void DeSubAllWidgetSectors(std::uint32_t widgetID);
  void RemoveCacheMsgByWidgetID(std::uint32_t widgetID);

  void SaveHisDataAndNotifyWidget(TDataProcessMsg& record);
  void NotSaveHisDataAndNotifyWidget(TDataProcessMsg& record);
  void SavePublishedDataAndNotifyWidget(TDataProcessMsg& record);
  void NotifyRecord(TDataProcessMsg& record, TLuxDataNotifyType notifyType);
  void NotifyRawRecord(TDataProcessMsg& record);
  bool NotifyDataToWidget(std::uint32_t widgetID, const std::shared_ptr<IKrLuxDataTable>& table,
                          const TNotifyInfo& info);
  bool NotifyRawMsgDataToWidget(std::uint32_t widgetID, std::int32_t serial, host::TMessageProperty prop,
                                const TRawMsgData& data);
  std::shared_ptr<IKrLuxDataNotifyObserver> ObserverOf(std::uint32_t widgetID) const;

  std::uint32_t FGenWidgetID = 0;
  int FSubscriberIndex = 0;
  TKrLuxBaseDataCache FBaseInfoData;
  TKrSectorDataCache FSectorDataCache;
  TKrLuxReqRecordMgr FLuxReqRcMgr;
  std::shared_ptr<TLuxReqInfoFactory> FILuxReqInfoFactory;
  TKrLuxDataSubHistoryMgr FDataSubHisMgr;
  host::MessageWindow FDispatchWindowHandle;
  TLuxDispatchWindow FHDispatchWindow;
  std::shared_ptr<TKrDPTimer> FSendReqTimer;
  std::vector<TDetentionReqItem> FMsgNeedToSendList;
  std::shared_ptr<host::IBaseLuxClient> FILuxClient;
  std::mutex FSendLock;  // held from a send to its record's registration; see the header
};

}  // namespace kdp
