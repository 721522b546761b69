#include "kdp/lux/lux_helpers.h"

#include "core/package_lookup.h"
#include "core/service_catalog.h"

namespace kdp {
namespace {


}  // namespace

void TKrLuxDataNotifyObserver::OnDataNotify(const std::shared_ptr<IKrLuxDataTable>& ADataTable,
                                            const TNotifyInfo& AInfo) {
  if (FLuxDataNotifyProc) FLuxDataNotifyProc(ADataTable, AInfo);
}

void TKrLuxDataNotifyObserver::OnRawMsgDataNotify(std::int32_t AMsgSerialNum, const host::TMessageProperty& AMsgProp,
                                                  const TRawMsgData& AData) {
  if (FRawMsgDataNotifyProc) FRawMsgDataNotifyProc(AMsgSerialNum, AMsgProp, AData);
}

// ---- TKrLuxNewsHelper ----

TKrLuxNewsHelper::TKrLuxNewsHelper() : FILuxDataMgr(G_LuxDataManager()) {
  if (!FILuxDataMgr) return;
  FLuxDataNotifyObserver = std::make_shared<TKrLuxDataNotifyObserver>();
  FLuxDataNotifyObserver->SetLuxDataNotifyProc(
      [this](const std::shared_ptr<IKrLuxDataTable>& table, const TNotifyInfo& info) { OnDataNotify(table, info); });
  FILuxNewsReq = FILuxDataMgr->GetLuxNewsRequest(FLuxDataNotifyObserver);
}

TKrLuxNewsHelper::~TKrLuxNewsHelper() {
  if (FLuxDataNotifyObserver) FLuxDataNotifyObserver->SetLuxDataNotifyProc(nullptr);
}

bool TKrLuxNewsHelper::Subscribe(const ReqInfoPtr& reqInfo) { return FILuxNewsReq && FILuxNewsReq->Subscribe(reqInfo); }
bool TKrLuxNewsHelper::DeSubscribe(const ReqInfoPtr& reqInfo) {
  return FILuxNewsReq && FILuxNewsReq->DeSubscribe(reqInfo);
}
bool TKrLuxNewsHelper::IsAlreadySub(const ReqInfoPtr& reqInfo) {
  return FILuxNewsReq && FILuxNewsReq->IsAlreadySub(reqInfo);
}
bool TKrLuxNewsHelper::SetItemBrowsed(const ReqInfoPtr& reqInfo, const std::string& id) {
  return FILuxNewsReq && FILuxNewsReq->SetItemBrowsed(reqInfo, id);
}
std::int32_t TKrLuxNewsHelper::GetHisData(const ReqInfoPtr& reqInfo) {
  return FILuxNewsReq ? FILuxNewsReq->GetHisData(reqInfo) : -1;
}
std::int32_t TKrLuxNewsHelper::SearchData(const ReqInfoPtr& reqInfo) {
  return FILuxNewsReq ? FILuxNewsReq->SearchData(reqInfo) : -1;
}
ReqInfoPtr TKrLuxNewsHelper::GetLuxDataReqInfo(const std::string& name, TLuxDataReqType reqType) {
  return FILuxDataMgr ? FILuxDataMgr->GetLuxDataReqInfo(name, reqType) : nullptr;
}

void TKrLuxNewsHelper::OnDataNotify(const std::shared_ptr<IKrLuxDataTable>& ADataTable, const TNotifyInfo& AInfo) {
  if (FDataNotify) FDataNotify(ADataTable, AInfo);
}

// ---- TKrLuxMsgHelper ----

TKrLuxMsgHelper::TKrLuxMsgHelper() : FILuxDataMgr(G_LuxDataManager()) {
  if (!FILuxDataMgr) return;
  FLuxDataNotifyObserver = std::make_shared<TKrLuxDataNotifyObserver>();
  FLuxDataNotifyObserver->SetLuxDataNotifyProc(
      [this](const std::shared_ptr<IKrLuxDataTable>& table, const TNotifyInfo& info) { OnDataNotify(table, info); });
  FLuxDataNotifyObserver->SetRawMsgDataNotifyProc(
      [this](std::int32_t serial, const host::TMessageProperty& prop, const TRawMsgData& data) {
        OnRawMsgDataNotify(serial, prop, data);
      });
  FILuxMsgReq = FILuxDataMgr->GetLuxMsgRequest(FLuxDataNotifyObserver);
}

TKrLuxMsgHelper::~TKrLuxMsgHelper() {
  if (!FLuxDataNotifyObserver) return;
  FLuxDataNotifyObserver->SetLuxDataNotifyProc(nullptr);
  FLuxDataNotifyObserver->SetRawMsgDataNotifyProc(nullptr);
}

std::int32_t TKrLuxMsgHelper::SendMsg(const ReqInfoPtr& reqInfo) {
  return FILuxMsgReq ? FILuxMsgReq->SendMsg(reqInfo) : 0;
}

std::int32_t TKrLuxMsgHelper::RawSendMsg(std::uint32_t appClass, std::uint32_t commandID, const std::string& content,
                                         std::uint32_t userData) {
  return FILuxMsgReq ? FILuxMsgReq->RawSendMsg(appClass, commandID, content, userData) : -1;
}

std::int32_t TKrLuxMsgHelper::RawSendMsg(std::uint32_t appClass, std::uint32_t commandID,
                                         const host::MemoryStream& content, std::uint32_t userData) {
  return FILuxMsgReq ? FILuxMsgReq->RawSendMsg(appClass, commandID, content, userData) : -1;
}

ReqInfoPtr TKrLuxMsgHelper::GetLuxDataReqInfo(const std::string& name, TLuxDataReqType reqType) {
  return FILuxDataMgr ? FILuxDataMgr->GetLuxDataReqInfo(name, reqType) : nullptr;
}

void TKrLuxMsgHelper::OnDataNotify(const std::shared_ptr<IKrLuxDataTable>& ADataTable, const TNotifyInfo& AInfo) {
  if (FDataNotify) FDataNotify(ADataTable, AInfo);
}

void TKrLuxMsgHelper::OnRawMsgDataNotify(std::int32_t AMsgSerialNum, const host::TMessageProperty& AMsgProp,
                                         const TRawMsgData& AData) {
  if (FRawDataNotify) FRawDataNotify(AMsgSerialNum, AMsgProp, AData);
}

// ---- TKrLuxHelper ----

TKrLuxHelper::TKrLuxHelper() : FILuxDataMgr(G_LuxDataManager()) {
  if (!FILuxDataMgr) return;
  FLuxDataNotifyObserver = std::make_shared<TKrLuxDataNotifyObserver>();
  FLuxDataNotifyObserver->SetLuxDataNotifyProc(
      [this](const std::shared_ptr<IKrLuxDataTable>& table, const TNotifyInfo& info) { OnDataNotify(table, info); });
  FLuxDataNotifyObserver->SetRawMsgDataNotifyProc(
      [this](std::int32_t serial, const host::TMessageProperty& prop, const TRawMsgData& data) {
        OnRawMsgDataNotify(serial, prop, data);
      });
  FILuxNewsReq = FILuxDataMgr->GetLuxNewsRequest(FLuxDataNotifyObserver);
  FILuxMsgReq = host::Query<IKrLuxMsgReq>(FILuxNewsReq);
}

TKrLuxHelper::~TKrLuxHelper() {
  if (!FLuxDataNotifyObserver) return;
  FLuxDataNotifyObserver->SetLuxDataNotifyProc(nullptr);
  FLuxDataNotifyObserver->SetRawMsgDataNotifyProc(nullptr);
}

bool TKrLuxHelper::Subscribe(const ReqInfoPtr& reqInfo) { return FILuxNewsReq && FILuxNewsReq->Subscribe(reqInfo); }
bool TKrLuxHelper::DeSubscribe(const ReqInfoPtr& reqInfo) { return FILuxNewsReq && FILuxNewsReq->DeSubscribe(reqInfo); }
bool TKrLuxHelper::RemoveSectorByID(const ReqInfoPtr& reqInfo) {
  return FILuxNewsReq && FILuxNewsReq->RemoveSectorByID(reqInfo);
}
bool TKrLuxHelper::IsAlreadySub(const ReqInfoPtr& reqInfo) {
  return FILuxNewsReq && FILuxNewsReq->IsAlreadySub(reqInfo);
}
bool TKrLuxHelper::SetItemBrowsed(const ReqInfoPtr& reqInfo, const std::string& id) {
  return FILuxNewsReq && FILuxNewsReq->SetItemBrowsed(reqInfo, id);
}
std::int32_t TKrLuxHelper::GetHisData(const ReqInfoPtr& reqInfo) {
  return FILuxNewsReq ? FILuxNewsReq->GetHisData(reqInfo) : -1;
}
std::int32_t TKrLuxHelper::SearchData(const ReqInfoPtr& reqInfo) {
  return FILuxNewsReq ? FILuxNewsReq->SearchData(reqInfo) : -1;
}
std::int32_t TKrLuxHelper::RawSendMsg(std::uint32_t appClass, std::uint32_t commandID, const std::string& content,
                                      std::uint32_t userData) {
  return FILuxMsgReq ? FILuxMsgReq->RawSendMsg(appClass, commandID, content, userData) : -1;
}
std::int32_t TKrLuxHelper::RawSendMsg(std::uint32_t appClass, std::uint32_t commandID,
                                      const host::MemoryStream& content, std::uint32_t userData) {
  return FILuxMsgReq ? FILuxMsgReq->RawSendMsg(appClass, commandID, content, userData) : -1;
}
std::int32_t TKrLuxHelper::SendMsg(const ReqInfoPtr& reqInfo) {
  return FILuxMsgReq ? FILuxMsgReq->SendMsg(reqInfo) : 0;
}
ReqInfoPtr TKrLuxHelper::GetLuxDataReqInfo(const std::string& name, TLuxDataReqType reqType) {
  return FILuxDataMgr ? FILuxDataMgr->GetLuxDataReqInfo(name, reqType) : nullptr;
}

void TKrLuxHelper::OnDataNotify(const std::shared_ptr<IKrLuxDataTable>& ADataTable, const TNotifyInfo& AInfo) {
  if (FDataNotify) FDataNotify(ADataTable, AInfo);
}

void TKrLuxHelper::OnRawMsgDataNotify(std::int32_t AMsgSerialNum, const host::TMessageProperty& AMsgProp,
                                      const TRawMsgData& AData) {
  if (FRawDataNotify) FRawDataNotify(AMsgSerialNum, AMsgProp, AData);
}

}  // namespace kdp
