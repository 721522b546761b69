// TCloudDataRequest and TRequestItem: a widget's request of one cloud report. The request hands out
// request items; each item has its own copy of the report (its parameters) and its own downloader, and a
// fired item stays filed under its tag until its reply has been decoded into the report's table, or it
// failed. Every fired tag ends in one update event.
//
// Threads: main thread only. The downloader delivers completions on the main thread; an item keeps only
// a weak link to its request, so a request released with items in flight ends them silently.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "cloud/cloud_report_item.h"
#include "kdp/cloud/cloud_data.h"
#include "kdp/host/memory_stream.h"
#include "kdp/host/sqlite.h"
#include "transport/http_downloader.h"

namespace kdp {

class TCloudDataRequest;

class TRequestItem final : public host::Implements<IRequestItem>, public std::enable_shared_from_this<TRequestItem> {
 public:
  TRequestItem(const TKrCloudReportItem& report, std::weak_ptr<TCloudDataRequest> request);

  void SetRequestParam(const std::string& name, const std::string& value) override;
  std::vector<std::pair<std::string, std::string>> GetRequestParams() override;
  bool Abort() override;
  int FireRequest() override;
  bool IsBlock() override { return false; }
  std::shared_ptr<ICloudReportAnalysis> GetReportAnalysis() override { return FReportAnalysis; }
  void SetReportAnalysis(std::shared_ptr<ICloudReportAnalysis> analysis) override {
    FReportAnalysis = std::move(analysis);
  }
  void SetAnalysisData(std::shared_ptr<ICloudDataItem> data) override {
    if (FReportAnalysis) FReportAnalysis->SetData(std::move(data));
  }

  const TKrCloudReportItem& Report() const { return *FReport; }

 private:
  std::unique_ptr<TKrCloudReportItem> FReport;
  std::shared_ptr<ICloudReportAnalysis> FReportAnalysis;
  std::weak_ptr<TCloudDataRequest> FRequest;
  TKrHttpDownLoader FDownLoader;
  int FPendingTag = -1;  // the tag of the transfer in flight; -1 when none
};

class TCloudDataRequest final : public host::Implements<ICloudDataRequest>,
                                public std::enable_shared_from_this<TCloudDataRequest> {
 public:
  // REQUIRES: the report's table exists.
  TCloudDataRequest(const TKrCloudReportItem& report, std::shared_ptr<host::ISqliteDataBase> database);

  TCloudDataUpdateEvent GetOnCloudDataUpdate() override { return FOnCloudDataUpdate; }
  void SetOnCloudDataUpdate(TCloudDataUpdateEvent handler) override { FOnCloudDataUpdate = std::move(handler); }
  TCloudProgressEvent GetOnProgressEvent() override { return FOnProgressEvent; }
  void SetOnProgressEvent(TCloudProgressEvent handler) override { FOnProgressEvent = std::move(handler); }
  std::shared_ptr<IRequestItem> GetRequestItem() override;
  bool GetIsAuthorized() override { return FReport->IsAuthorized; }
  void OnCloudDataUpdate(bool success, int tag, const std::string& message) override;
  void OnProgressEvent(std::int64_t position, int tag) override;
  void SetIsRequestColumnName(bool value) override { FIsRequestColumnName = value; }
  std::string GetFields() override;
  bool IsRequestColumnName() const { return FIsRequestColumnName; }

  // For request items: a new tag, filing `item` under it until its reply is handled.
  int FileRequestItem(std::shared_ptr<TRequestItem> item);
  // For request items: forgets a tag whose transfer was aborted or superseded.
  void DropRequestItem(int tag) { FRequestItems.erase(tag); }
  // The completion of the item filed under `tag`: decodes a reply into the table, then raises the event.
  void OnDownLoadEnd(int tag, const Status& outcome, const host::MemoryStream* reply);
  // The tags of the items in flight.
  std::size_t PendingCount() const { return FRequestItems.size(); }

 private:
  // Decodes the reply of `item` into the table (handing the rows to its analysis); raises the update
  // event either way.
  void DecodeData(int tag, TRequestItem& item, const host::MemoryStream* reply);

  std::unique_ptr<TKrCloudReportItem> FReport;
  std::shared_ptr<host::ISqliteDataBase> FDataBase;
  TCloudDataUpdateEvent FOnCloudDataUpdate;
  TCloudProgressEvent FOnProgressEvent;
  bool FIsRequestColumnName = false;
  std::map<int, std::shared_ptr<TRequestItem>> FRequestItems;  // fired items by tag
  int FNextTag = 0;
};

}  // namespace kdp
