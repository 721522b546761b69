// The subscription history of the Lux data manager: which widget subscribed which sector, which server
// subscription (TKrLuxSubInfo) serves each sector and with which request hash, the widgets' request
// objects.
//
// Threads: the maps and flags are used on the main thread only. A TKrLuxSubInfo is set up on the main
// thread before its topic's publish handler is installed, and is only read by OnPublish (the Lux client's
// thread) afterwards; a push travels to the main thread inside the closure it posts. The client
// guarantees that the handler has stopped when UnSubscribeTopic returns, so DeSubSector may free it then.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "kdp/host/memory_stream.h"
#include "lux/lux_mgr_def.h"

namespace kdp {

class TKrLuxDataReq;  // a widget's request object (the data manager's)
// One server subscription: the topic that pushes a sector's data and where its pushes go.
class TKrLuxSubInfo {
 public:
  // Where pushes go: the window they are posted to and the handler that runs on each on the main thread.
  void SetDispatch(TLuxDispatchWindow window, TLuxDispatchWindow::Handler onPush) {
    FWindow = std::move(window);
    FOnPush = std::move(onPush);
  }
  void SetSubscriberIndex(int index) { FSubscriberIndex = index; }
  int GetSubscriberIndex() const { return FSubscriberIndex; }
  void SetTopicIndex(int index) { FTopicIndex = index; }
  int GetTopicIndex() const { return FTopicIndex; }
  // The first subscriber's widget ID, the processor that parses the pushes, LDRTSub.
  void SetLuxDataProcessor(TReqRecordItem record) { FLuxReqRecordInfo = std::move(record); }
  const TReqRecordItem& GetLuxDataProcessor() const { return FLuxReqRecordInfo; }

  // The topic's publish handler (the Lux client's thread): parses the push with the processor and posts
  // the result to the push handler. When the post fails the record is freed and the failure logged.
  void OnPublish(host::MemoryStream& record);

 private:
  TLuxDispatchWindow FWindow;
  TLuxDispatchWindow::Handler FOnPush;
  int FSubscriberIndex = 0;
  int FTopicIndex = 0;
  TReqRecordItem FLuxReqRecordInfo;
};

class TKrLuxDataSubHistoryMgr {
 public:
  TKrLuxDataSubHistoryMgr() = default;
  ~TKrLuxDataSubHistoryMgr();
  TKrLuxDataSubHistoryMgr(const TKrLuxDataSubHistoryMgr&) = delete;
  TKrLuxDataSubHistoryMgr& operator=(const TKrLuxDataSubHistoryMgr&) = delete;

  // ---- widgets' request objects (not owned) ----
  void AddReqWidget(std::uint32_t widgetID, TKrLuxDataReq* request) { FReqWidgets[widgetID] = request; }
  void RemoveReqWidget(std::uint32_t widgetID) { FReqWidgets.erase(widgetID); }
  bool TryGetReqWidget(std::uint32_t widgetID, TKrLuxDataReq*& request) const;

  // ---- sectors and widgets, both ways ----
  // Each adds the ID to the other's list when it is not there yet.
  void AddSubSectorWidgets(const std::string& sectorID, std::uint32_t widgetID);
  void AddWidgetSubSectorHis(std::uint32_t widgetID, const std::string& sectorID);
  // Each removes the ID; an emptied list is removed.
  void DeSubWidgetSector(const std::string& sectorID, std::uint32_t widgetID);
  void DeWidgetSubSectorHis(std::uint32_t widgetID, const std::string& sectorID);
  // The lists as they are now (empty when there is none).
  std::vector<std::uint32_t> GetSectorSubWidgets(const std::string& sectorID) const;
  std::vector<std::string> GetWidgetSubSectors(std::uint32_t widgetID) const;
  bool IsWidgetAlreadySub(const std::string& sectorID, std::uint32_t widgetID) const;
  bool IsSectorAlreadySub(const std::string& sectorID) const { return FSectorWidgets.contains(sectorID); }
  void ClearWidgetSubHis(std::uint32_t widgetID) { FWidgetSectors.erase(widgetID); }
  // True unless some widget of the sector still has the sector in its history.
  bool IsNeedDeSubFromServer(const std::string& sectorID) const;

  // ---- server subscriptions ----
  // Takes ownership; a sector's earlier sub info is released.
  void AddSubSectorNotifyObj(const std::string& sectorID, std::unique_ptr<TKrLuxSubInfo> subInfo);
  TKrLuxSubInfo* GetSubInfoBySectorID(const std::string& sectorID) const;
  // The sectors that have a server subscription.
  std::vector<std::string> SubscribedSectors() const;
  // Releases the sector's sub info and forgets its hash code.
  void DeSubSector(const std::string& sectorID);

  // ---- request hash codes ----
  void SetSectorSubInfoHashCode(const std::string& sectorID, std::uint32_t code) { FHashCodes[sectorID] = code; }
  void RemoveSectorSubInfoHashCode(const std::string& sectorID) { FHashCodes.erase(sectorID); }
  // True when a code is stored for the sector and differs from `code`.
  bool IsSectorSubInfoChange(const std::string& sectorID, std::uint32_t code) const;

  // ---- the manager's authority and sector-tree request state ----
  bool GetNewsSectorReqed() const { return FNewsSectorReqed; }
  void SetNewsSectorReqed(bool value) { FNewsSectorReqed = value; }
  int GetNewsSectorReqTimes() const { return FNewsSectorReqTimes; }
  void SetNewsSectorReqTimes(int value) { FNewsSectorReqTimes = value; }
  bool GetAuthLevelReqed() const { return FAuthLevelReqed; }
  void SetAuthLevelReqed(bool value) { FAuthLevelReqed = value; }
  int GetAuthLevelReqTimes() const { return FAuthLevelReqTimes; }
  void SetAuthLevelReqTimes(int value) { FAuthLevelReqTimes = value; }

 private:
  std::map<std::string, std::vector<std::uint32_t>> FSectorWidgets;
  std::map<std::uint32_t, std::vector<std::string>> FWidgetSectors;
  std::map<std::string, std::unique_ptr<TKrLuxSubInfo>> FSubInfos;
  std::map<std::string, std::uint32_t> FHashCodes;
  std::map<std::uint32_t, TKrLuxDataReq*> FReqWidgets;

  bool FNewsSectorReqed = false;
  bool FAuthLevelReqed = false;
  int FNewsSectorReqTimes = 0;
  int FAuthLevelReqTimes = 0;
};

}  // namespace kdp
