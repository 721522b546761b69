// TKrCloudIndexsMgr, published at start-up as "IKrCloudIndexsMgr": observers' subscriptions of cloud
// indicators, the index requests that fetch them (one per built-in command, made on first use), the
// 45-second refresh of real-time indicators, and delivery to the observers.
//
// Requesting: the cloud field IDs of a subscription are grouped by the built-in command that answers them
// (the field dictionary's command for the function sets 100 and 1000, else the first of the commands 1 to
// 30 whose index list holds the ID). Commands 1 to 30 are asked per security (all securities in one request
// for a command with a code list), the function sets once for all securities with exactly the IDs asked.
// Each send is filed under its own tag with the request ID it answers (0 for a refresh).
//
// Delivery: a reply goes, as one quote-data row per security holding the values read, to the observer
// whose request asked it, or for a refresh to every observer subscribed to the security; each observer
// gets only the field IDs it subscribed for that security. Values the user may not see go as a
// permission report instead.
//
// Threads: main thread only. Its index requests' downloaders hand Lux replies over on the main thread,
// and the refresh timer fires on the main loop; no other thread touches the manager or its requests.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "cloud/cloud_index_request.h"
#include "kdp/cloud/cloud_indexs.h"

namespace kdp {

class TKrDPTimer;
class TKrCloudIndexsMgr;

// An observer's subscription: its securities, and the manager that serves them.
class TKrCloudDataRequest final : public host::Implements<IKrCloudDataRequest> {
 public:
  TKrCloudDataRequest(std::weak_ptr<TKrCloudIndexsMgr> manager, std::shared_ptr<ICloudObserver> observer, int id);

  int Subscrible(const host::TKrSpeedSymbolDataList& symbols) override;
  int UnSubscribe() override;
  std::shared_ptr<ICloudObserver> GetObserver() override { return FObserver; }
  int GetDataRequestID() override { return FRequestID; }
  const host::TKrSpeedSymbolDataList& GetSymbols() override { return FSymbols; }

 private:
  std::weak_ptr<TKrCloudIndexsMgr> FManager;
  std::shared_ptr<ICloudObserver> FObserver;
  int FRequestID;
  host::TKrSpeedSymbolDataList FSymbols;
};

class TKrCloudIndexsMgr final : public host::Implements<IKrCloudIndexsMgr>,
                                public std::enable_shared_from_this<TKrCloudIndexsMgr> {
 public:
  static constexpr unsigned kRefreshIntervalMs = 45000;

  TKrCloudIndexsMgr();
  ~TKrCloudIndexsMgr() override;

  bool GetCloudDataRequestByIObserver(std::shared_ptr<ICloudObserver> observer,
                                      std::shared_ptr<IKrCloudDataRequest>& request) override;
  void RemoveCloudDataRequest(int requestID) override;
  void Subscrible(int requestID) override;
  void UnSubscrible(int requestID) override;
  int GetDataRequestID() override { return ++FLastRequestID; }
  void SetIsRequestingAllCloudIndex(bool flag) override;

  bool IsRefreshTimerEnabled() const;
  // The built-in command answering a cloud field ID; 0 when none does.
  int CommandOfIndex(int id);
  // The index request of a command, made on first use.
  TKrIndexRequest& GetIndexRequest(int commandId);

 private:
  struct TDataRequestInfo {
    std::shared_ptr<TKrCloudDataRequest> request;
    std::shared_ptr<ICloudObserver> observer;
    bool refreshed = false;  // its securities hold a field the refresh asks again
  };
  // One send: the request it answers (0 for a refresh), its command, codes and field IDs.
  struct TRequestRecord {
    int requestID = 0;
    int commandId = 0;
    std::vector<std::string> codes;
    std::vector<int> ids;
  };
  using TCodeIndexes = std::map<std::string, std::set<int>>;

  // The cloud field IDs of the securities (only real-time ones when `realTimeOnly`).
  TCodeIndexes GetCloudIndex(const host::TKrSpeedSymbolDataList& symbols, bool realTimeOnly) const;
  void RequestCloudData(int requestID, const TCodeIndexes& wanted);
  void SendRequest(TKrIndexRequest& request, TRequestRecord record);
  // Whether the subscription holds a field the refresh asks again (a real-time one, or any while every
  // cloud field is requested), counted per subscription, so that a subscription costs its own
  // securities, not every other one's.
  void Recount(TDataRequestInfo& info);
  // The refresh timer runs while some subscription holds a refreshed field.
  void UpdateRefreshTimer();
  void OnRefresh();
  void OnCloudDataUpdate(bool success, std::uint32_t tag, const IIndexDataItem* item);
  void SaveQuoteData(const TRequestRecord& record, const IIndexDataItem& item, TDataRequestInfo& info);

  std::map<int, TDataRequestInfo> FRequests;                       // by request ID
  std::map<int, std::unique_ptr<TKrIndexRequest>> FIndexRequests;  // by command ID
  std::map<int, int> FCommandOfIndex;                              // field ID -> command 1 to 30, built on first use
  std::map<std::uint32_t, TRequestRecord> FRecords;                // sends in flight, by tag
  std::uint32_t FLastTag = 0;
  std::shared_ptr<TKrDPTimer> FRefreshTimer;
  int FRefreshedRequests = 0;  // subscriptions holding a refreshed field
  bool FRequestAll = false;
  int FLastRequestID = 0;
};

}  // namespace kdp
