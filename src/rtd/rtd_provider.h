// The RTD model's subscribers and provider: where a model's subscription goes (the quote feed for quote-engine
// fields, the cloud index manager for cloud fields) and how the rows come back to the model. Each model owns
// one provider; nothing outside the package sees these classes.
//
// Main thread only, as the model.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kdp/cloud/cloud_indexs.h"
#include "kdp/rtd/rtd_item.h"
#include "kdp/rtd/rtd_quote_rows.h"
#include "kdp/speed/speed_quote_data.h"
#include "rtd/rtd_quote_feed.h"

namespace kdp {

struct TRTDIndexRegion {
  std::int32_t Low = 0;
  std::int32_t High = 0;
  bool Checkd(std::int64_t id) const { return Low <= id && id <= High; }
  void SetRegion(std::int32_t low, std::int32_t high) {
    Low = low;
    High = high;
  }
};

using TRTDUpdate = std::function<void(const TKrRTDQuoteRows& rows)>;
// Per security code, the field IDs (decimal texts) the user may not see.
using TRTDCloudPressionsCallBack = std::function<void(const std::map<std::string, std::vector<std::string>>&)>;

// One data source of the provider, serving the field IDs of its region.
class TKrRTDSubscriber {
 public:
  virtual ~TKrRTDSubscriber() = default;
  virtual std::int32_t Subscrible(const TKrRealTimeParamStructure& params);
  virtual std::int32_t UnSubscrible();
  const TRTDIndexRegion& GetIndexRegion() const { return FIndexRegion; }
  // The IDs of `ids` inside the region, in their order.
  std::vector<std::uint32_t> FiltIndexByRegion(const std::vector<std::uint32_t>& ids) const;
  // The subscription with every security's IDs reduced to the region.
  TKrRealTimeParamStructure Filter(const TKrRealTimeParamStructure& params) const;

 protected:
  TRTDIndexRegion FIndexRegion;
};

// Quote-engine fields, 0 to 9999, through the package's quote feed, which hands each delivery straight to
// `deliver` (never with no rows).
class TKrSpeedRTDSubscriber final : public TKrRTDSubscriber {
 public:
  explicit TKrSpeedRTDSubscriber(TRTDUpdate deliver);
  ~TKrSpeedRTDSubscriber() override;
  std::int32_t Subscrible(const TKrRealTimeParamStructure& params) override;
  std::int32_t UnSubscrible() override;
  // Whether the feed has an engine request (false without an engine).
  bool HasRequest() const;
  // What `deliver` reads first, for the feed to fetch ahead.
  void SetHot(const TKrRTDQuoteFeed::THot& hot);

 private:
  std::shared_ptr<TKrRTDQuoteFeed> FFeed;
  int FTicket = 0;
};

// Cloud indicator fields, 10001 to 20000, through the cloud index manager ("IKrCloudIndexsMgr"): its
// request is made on the first subscription, with the subscriber's observer, and removed with the
// subscriber. Without the manager the subscriber subscribes nothing and answers -1.
class TKrCloudRTDSubscriber final : public TKrRTDSubscriber {
 public:
  TKrCloudRTDSubscriber();
  ~TKrCloudRTDSubscriber() override;
  std::int32_t Subscrible(const TKrRealTimeParamStructure& params) override;
  std::int32_t UnSubscrible() override;
  void SetUpdateCallback(TRTDUpdate callback) { FUpdateCallback = std::move(callback); }
  void SetPressionsCallback(TRTDCloudPressionsCallBack callback) { FPressionsCallback = std::move(callback); }

  // What the cloud observer hands over: indicator rows (forwarded prepared) and permission reports
  // (forwarded unchanged).
  void NotifyUpdateCloudData(std::vector<TSpeedQuoteData> rows);
  void NotifyCloudDataPermissionInfo(const std::map<std::string, std::vector<std::string>>& denied);

 private:
  std::shared_ptr<TKrCloudObserver> FICloudObserver;
  std::shared_ptr<IKrCloudDataRequest> FICloudDataRequest;
  std::weak_ptr<IKrCloudIndexsMgr> FCloudIndexsMgr;
  TRTDUpdate FUpdateCallback;
  TRTDCloudPressionsCallBack FPressionsCallback;
};

// The model's two sources. Quote-engine rows go from the feed to the model's update directly; cloud rows
// (when there are any) and permission reports go there through the cloud subscriber.
class TKrRTDProvider {
 public:
  TKrRTDProvider(TRTDUpdate onUpdate, TRTDCloudPressionsCallBack onPressions);
  // -1 for an empty subscription; otherwise both subscribers subscribe and the result is 0.
  std::int32_t Subscrible(const TKrRealTimeParamStructure& params);
  std::int32_t UnSubscrible();
  // The codes of the last subscription; nullopt when there are none.
  std::optional<std::vector<std::string>> GetSubCodes() const;
  void SaveCodes(const TKrRealTimeParamStructure& params);
  // "code: id,id,..." per security, one per line.
  static std::string GetSubInfo(const TKrRealTimeParamStructure& params);
  const std::string& ToReqString() const { return FSubInfo; }
  const TKrSpeedRTDSubscriber& SpeedSubscriber() const { return FSpeedSubr; }
  TKrSpeedRTDSubscriber& SpeedSubscriber() { return FSpeedSubr; }
  TKrCloudRTDSubscriber& CloudSubscriber() { return FCloudSubr; }

 private:
  TKrSpeedRTDSubscriber FSpeedSubr;
  TKrCloudRTDSubscriber FCloudSubr;
  std::string FSubInfo;
  std::vector<std::string> FSubCodes;
};

}  // namespace kdp
