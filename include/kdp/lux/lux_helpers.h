// Widget-side helpers: the smallest way for a widget to use the Lux data manager.
//
// TKrLuxNewsHelper and TKrLuxMsgHelper look the manager up, register an observer whose deliveries they
// pass on to the call-back the widget assigns, and forward requests, answering a failure value when the
// manager is not there. TKrLuxHelper does both for one widget (one request object, both faces). They are plain objects
// owned by the widget that creates them; destroying one detaches its observer first, so a delivery already on its way
// is not passed on.
//
// Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "kdp/lux/lux_requests.h"

namespace kdp {

// Passes deliveries to the call-backs set on it; an unassigned call-back swallows them.
class TKrLuxDataNotifyObserver final : public host::Implements<IKrLuxDataNotifyObserver> {
 public:
  void SetLuxDataNotifyProc(TDataNotify proc) { FLuxDataNotifyProc = std::move(proc); }
  void SetRawMsgDataNotifyProc(TRawDataNotify proc) { FRawMsgDataNotifyProc = std::move(proc); }

  void OnDataNotify(const std::shared_ptr<IKrLuxDataTable>& ADataTable, const TNotifyInfo& AInfo) override;
  void OnRawMsgDataNotify(std::int32_t AMsgSerialNum, const host::TMessageProperty& AMsgProp,
                          const TRawMsgData& AData) override;

 private:
  TDataNotify FLuxDataNotifyProc;
  TRawDataNotify FRawMsgDataNotifyProc;
};

class TKrLuxNewsHelper {
 public:
  // Looks up "IKrLuxDataMgr" and asks it for a news request object.
  TKrLuxNewsHelper();
  ~TKrLuxNewsHelper();
  TKrLuxNewsHelper(const TKrLuxNewsHelper&) = delete;
  TKrLuxNewsHelper& operator=(const TKrLuxNewsHelper&) = delete;

  // The widget's call-back for deliveries.
  void SetDataNotify(TDataNotify notify) { FDataNotify = std::move(notify); }

  // False without a request object.
  bool Subscribe(const ReqInfoPtr& reqInfo);
  bool DeSubscribe(const ReqInfoPtr& reqInfo);
  bool IsAlreadySub(const ReqInfoPtr& reqInfo);
  bool SetItemBrowsed(const ReqInfoPtr& reqInfo, const std::string& id);
  // -1 without a request object.
  std::int32_t GetHisData(const ReqInfoPtr& reqInfo);
  std::int32_t SearchData(const ReqInfoPtr& reqInfo);
  // Null without a manager.
  ReqInfoPtr GetLuxDataReqInfo(const std::string& name, TLuxDataReqType reqType);

  void OnDataNotify(const std::shared_ptr<IKrLuxDataTable>& ADataTable, const TNotifyInfo& AInfo);

 private:
  std::shared_ptr<IKrLuxDataManager> FILuxDataMgr;
  std::shared_ptr<IKrLuxNewsReq> FILuxNewsReq;
  std::shared_ptr<TKrLuxDataNotifyObserver> FLuxDataNotifyObserver;
  TDataNotify FDataNotify;
};

class TKrLuxMsgHelper {
 public:
  // Looks up "IKrLuxDataMgr" and asks it for a message request object.
  TKrLuxMsgHelper();
  ~TKrLuxMsgHelper();
  TKrLuxMsgHelper(const TKrLuxMsgHelper&) = delete;
  TKrLuxMsgHelper& operator=(const TKrLuxMsgHelper&) = delete;

  void SetDataNotify(TDataNotify notify) { FDataNotify = std::move(notify); }
  void SetRawDataNotify(TRawDataNotify notify) { FRawDataNotify = std::move(notify); }

  // 0 without a request object.
  std::int32_t SendMsg(const ReqInfoPtr& reqInfo);
  // -1 without a request object.
  std::int32_t RawSendMsg(std::uint32_t appClass, std::uint32_t commandID, const std::string& content,
                          std::uint32_t userData);
  std::int32_t RawSendMsg(std::uint32_t appClass, std::uint32_t commandID, const host::MemoryStream& content,
                          std::uint32_t userData);
  ReqInfoPtr GetLuxDataReqInfo(const std::string& name, TLuxDataReqType reqType);

  void OnDataNotify(const std::shared_ptr<IKrLuxDataTable>& ADataTable, const TNotifyInfo& AInfo);
  void OnRawMsgDataNotify(std::int32_t AMsgSerialNum, const host::TMessageProperty& AMsgProp, const TRawMsgData& AData);

 private:
  std::shared_ptr<IKrLuxDataManager> FILuxDataMgr;
  std::shared_ptr<IKrLuxMsgReq> FILuxMsgReq;
  std::shared_ptr<TKrLuxDataNotifyObserver> FLuxDataNotifyObserver;
  TDataNotify FDataNotify;
  TRawDataNotify FRawDataNotify;
};

class TKrLuxHelper {
 public:
  // Looks up "IKrLuxDataMgr" and asks it for one request object, used for news and messages alike.
  TKrLuxHelper();
  ~TKrLuxHelper();
  TKrLuxHelper(const TKrLuxHelper&) = delete;
  TKrLuxHelper& operator=(const TKrLuxHelper&) = delete;

  void SetDataNotify(TDataNotify notify) { FDataNotify = std::move(notify); }
  void SetRawDataNotify(TRawDataNotify notify) { FRawDataNotify = std::move(notify); }

  // False without a request object.
  bool Subscribe(const ReqInfoPtr& reqInfo);
  bool DeSubscribe(const ReqInfoPtr& reqInfo);
  bool RemoveSectorByID(const ReqInfoPtr& reqInfo);
  bool IsAlreadySub(const ReqInfoPtr& reqInfo);
  bool SetItemBrowsed(const ReqInfoPtr& reqInfo, const std::string& id);
  // -1 without a request object.
  std::int32_t GetHisData(const ReqInfoPtr& reqInfo);
  std::int32_t SearchData(const ReqInfoPtr& reqInfo);
  std::int32_t RawSendMsg(std::uint32_t appClass, std::uint32_t commandID, const std::string& content,
                          std::uint32_t userData);
  std::int32_t RawSendMsg(std::uint32_t appClass, std::uint32_t commandID, const host::MemoryStream& content,
                          std::uint32_t userData);
  // 0 without a request object.
  std::int32_t SendMsg(const ReqInfoPtr& reqInfo);
  // Null without a manager.
  ReqInfoPtr GetLuxDataReqInfo(const std::string& name, TLuxDataReqType reqType);

  void OnDataNotify(const std::shared_ptr<IKrLuxDataTable>& ADataTable, const TNotifyInfo& AInfo);
  void OnRawMsgDataNotify(std::int32_t AMsgSerialNum, const host::TMessageProperty& AMsgProp, const TRawMsgData& AData);

 private:
  std::shared_ptr<IKrLuxDataManager> FILuxDataMgr;
  std::shared_ptr<IKrLuxNewsReq> FILuxNewsReq;
  std::shared_ptr<IKrLuxMsgReq> FILuxMsgReq;
  std::shared_ptr<TKrLuxDataNotifyObserver> FLuxDataNotifyObserver;
  TDataNotify FDataNotify;
  TRawDataNotify FRawDataNotify;
};

}  // namespace kdp
