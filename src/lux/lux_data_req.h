// TKrLuxDataReq: a widget's request object. It carries the widget's ID and observer and forwards every
// request to the data manager with itself; destroying it unregisters the widget (its subscriptions, its
// held-back requests). It keeps the manager without owning it: once the manager is gone every request
// fails and the destructor has nothing to unregister.
//
// Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "kdp/lux/lux_requests.h"

namespace kdp {

class TKrLuxDataManager;

class TKrLuxDataReq final : public host::Implements<IKrLuxNewsReq, IKrLuxMsgReq>,
                            public std::enable_shared_from_this<TKrLuxDataReq> {
 public:
  TKrLuxDataReq(std::weak_ptr<TKrLuxDataManager> manager, std::uint32_t widgetID,
                std::shared_ptr<IKrLuxDataNotifyObserver> observer);
  ~TKrLuxDataReq() override;
  TKrLuxDataReq(const TKrLuxDataReq&) = delete;
  TKrLuxDataReq& operator=(const TKrLuxDataReq&) = delete;

  std::uint32_t GetWidgetID() const { return FWidgetID; }
  const std::shared_ptr<IKrLuxDataNotifyObserver>& GetObserver() const { return FDataNotifyObserver; }

  // IKrLuxNewsReq
  bool Subscribe(const ReqInfoPtr& reqInfo) override;
  bool DeSubscribe(const ReqInfoPtr& reqInfo) override;
  bool RemoveSectorByID(const ReqInfoPtr& reqInfo) override;
  bool IsAlreadySub(const ReqInfoPtr& reqInfo) override;
  std::int32_t GetHisData(const ReqInfoPtr& reqInfo) override;
  std::int32_t SearchData(const ReqInfoPtr& reqInfo) override;
  bool SetItemBrowsed(const ReqInfoPtr& reqInfo, const std::string& id) override;

  // IKrLuxMsgReq
  std::int32_t SendMsg(const ReqInfoPtr& reqInfo) override;
  std::int32_t RawSendMsg(std::uint32_t appClass, std::uint32_t commandID, const std::string& content,
                          std::uint32_t userData) override;
  std::int32_t RawSendMsg(std::uint32_t appClass, std::uint32_t commandID, const host::MemoryStream& content,
                          std::uint32_t userData) override;
  // The plain message of IKrLuxMsgReq under its other name.
  std::int32_t SendSpecialMsg(const ReqInfoPtr& reqInfo) { return SendMsg(reqInfo); }

 private:
  // The manager, or null with a log line naming the operation.
  std::shared_ptr<TKrLuxDataManager> Manager(std::string_view operation) const;

  std::weak_ptr<TKrLuxDataManager> FLuxDataMgr;
  const std::uint32_t FWidgetID;
  std::shared_ptr<IKrLuxDataNotifyObserver> FDataNotifyObserver;
};

}  // namespace kdp
