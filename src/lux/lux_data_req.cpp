#include "lux/lux_data_req.h"

#include <fmt/format.h>

#include "kdp/host/log.h"
#include "lux/lux_data_manager.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "uKrLuxDataMgr";

void Log(std::string_view message) { host::AddHQLog(message, kLogSource, host::LogSeverity::kNotice); }

}  // namespace

TKrLuxDataReq::TKrLuxDataReq(std::weak_ptr<TKrLuxDataManager> manager, std::uint32_t widgetID,
                             std::shared_ptr<IKrLuxDataNotifyObserver> observer)
    : FLuxDataMgr(std::move(manager)), FWidgetID(widgetID), FDataNotifyObserver(std::move(observer)) {}

TKrLuxDataReq::~TKrLuxDataReq() {
  if (auto manager = FLuxDataMgr.lock()) manager->UnRegWidget(FWidgetID);
}

std::shared_ptr<TKrLuxDataManager> TKrLuxDataReq::Manager(std::string_view operation) const {
  auto manager = FLuxDataMgr.lock();
  if (!manager) Log(fmt::format("{} FILuxDataMgr is nil", operation));
  return manager;
}

bool TKrLuxDataReq::Subscribe(const ReqInfoPtr& reqInfo) {
  if (!reqInfo) {
    Log("Subscribe AIReqInfo is nil");
    return false;
  }
  auto manager = Manager("Subscribe");
  return manager && manager->Subscribe(this, reqInfo, true);
}

bool TKrLuxDataReq::DeSubscribe(const ReqInfoPtr& reqInfo) {
  if (!reqInfo) {
    Log("DeSubscribe AIReqInfo is nil");
    return false;
  }
  auto manager = Manager("DeSubscribe");
  return manager && manager->DeSubscribe(this, reqInfo);
}

bool TKrLuxDataReq::RemoveSectorByID(const ReqInfoPtr& reqInfo) {
  if (!reqInfo) {
    Log("DeSubscribe AIReqInfo is nil");
    return false;
  }
  auto manager = Manager("DeSubscribe");
  return manager && manager->RemoveSectorByID(this, reqInfo);
}

bool TKrLuxDataReq::IsAlreadySub(const ReqInfoPtr& reqInfo) {
  auto manager = Manager("IsAlreadySub");
  return manager && manager->IsAlreadySub(this, reqInfo);
}

std::int32_t TKrLuxDataReq::GetHisData(const ReqInfoPtr& reqInfo) {
  auto manager = Manager("GetHisData");
  return manager ? manager->GetHisData(this, reqInfo) : -1;
}

std::int32_t TKrLuxDataReq::SearchData(const ReqInfoPtr& reqInfo) {
  auto manager = Manager("SearchData");
  return manager ? manager->SearchData(this, reqInfo) : -1;
}

bool TKrLuxDataReq::SetItemBrowsed(const ReqInfoPtr& reqInfo, const std::string& id) {
  auto manager = Manager("SetItemBrowsed");
  return manager && manager->SetItemBrowsed(reqInfo, id);
}

std::int32_t TKrLuxDataReq::SendMsg(const ReqInfoPtr& reqInfo) {
  auto manager = Manager("SendMsg");
  return manager ? manager->SendMsg(this, reqInfo) : -1;
}

std::int32_t TKrLuxDataReq::RawSendMsg(std::uint32_t appClass, std::uint32_t commandID, const std::string& content,
                                       std::uint32_t userData) {
  auto manager = Manager("RawSendMsg");
  return manager ? manager->RawSendMsg(this, appClass, commandID, content, userData) : -1;
}

std::int32_t TKrLuxDataReq::RawSendMsg(std::uint32_t appClass, std::uint32_t commandID,
                                       const host::MemoryStream& content, std::uint32_t userData) {
  auto manager = Manager("RawSendMsg");
  return manager ? manager->RawSendMsg(this, appClass, commandID, content, userData) : -1;
}

}  // namespace kdp
