// The data manager's authority list and the requests held back until it has arrived (main thread).
#include <iterator>
#include <utility>

#include <fmt/format.h>

#include "lux/lux_data_manager.h"
#include "lux/lux_data_req.h"
#include "lux/lux_manager_detail.h"
#include "util/dp_timer.h"

namespace kdp {

using lux_manager::Problem;
using lux_manager::Progress;

bool TKrLuxDataManager::IsPermissionSubscribe() {
  if (FBaseInfoData.ReceivedAuthLevel()) return true;
  RequestAuthLevel();
  return false;
}

// ---- the authority list ----

void TKrLuxDataManager::RequestAuthLevel() {
  Progress("RequestAuthLevel Begin");
  if (FDataSubHisMgr.GetAuthLevelReqed()) return;
  const int sent = FDataSubHisMgr.GetAuthLevelReqTimes();
  if (sent > 10) {
    FSendReqTimer->SetInterval(kSendTimerSlowestInterval);
  } else if (sent >= 4) {
    FSendReqTimer->SetInterval(kSendTimerSlowInterval);
  }
  auto processor = std::make_shared<TKrLuxAuthLevelProcessor>();
  std::unique_ptr<TKrLuxDataReqMessage> message = processor->CreateReqMsg();
  if (!message) {
    Problem("RequestAuthLevel LAuthProcessor.CreateReqMsg is nil!");
    return;
  }
  if (const auto sent = SendAndRegister(*message, false, {0, processor, LDRTGet}, "RequestAuthLevel"); !sent.ok()) {
    Problem(sent.message());
    return;
  }
  FDataSubHisMgr.SetAuthLevelReqed(true);
  FDataSubHisMgr.SetAuthLevelReqTimes(sent + 1);
  Progress("RequestAuthLevel end");
}

// ---- held-back requests ----

void TKrLuxDataManager::OnSendReqTimer() {
  FDataSubHisMgr.SetNewsSectorReqed(false);
  FDataSubHisMgr.SetAuthLevelReqed(false);
  OnReqLuxDataRepeat();
}

void TKrLuxDataManager::OnReqLuxDataRepeat() {
  Progress("OnReqLuxDataRepeat Start");
  if (!IsReady()) return;
  Progress(fmt::format("框架LuxClient连接服务器成功！ FMsgNeedToSendList.Count: {}", FMsgNeedToSendList.size()));
  // Last to first. A request may hold itself back again or unregister widgets, so the list is taken out
  // while the items are tried and what is left goes back in front of anything added meanwhile.
  std::vector<TDetentionReqItem> items = std::move(FMsgNeedToSendList);
  FMsgNeedToSendList.clear();
  std::vector<TDetentionReqItem> kept;
  for (auto it = items.rbegin(); it != items.rend(); ++it) {
    std::shared_ptr<TKrLuxDataReq> request = it->DataReq.lock();
    if (!request) continue;
    bool done = false;
    if (it->DetentionReqType == TDetentionReqItem::DRTSub) {
      Progress("OnReqLuxDataRepeat Subscribe");
      done = Subscribe(request.get(), it->DataReqInfo, it->NeedAddWidgetSubHis);
    } else {
      Progress("OnReqLuxDataRepeat GetHisData");
      done = GetHisData(request.get(), it->DataReqInfo) != -1;
    }
    if (!done) kept.insert(kept.begin(), std::move(*it));
  }
  kept.insert(kept.end(), std::make_move_iterator(FMsgNeedToSendList.begin()),
              std::make_move_iterator(FMsgNeedToSendList.end()));
  FMsgNeedToSendList = std::move(kept);
  if (FMsgNeedToSendList.empty()) FSendReqTimer->SetEnabled(false);
}

}  // namespace kdp
