// The data manager's replies: matched and parsed on the Lux client's thread, then stored and delivered to the
// widget on the main thread.
#include <exception>
#include <utility>

#include <fmt/format.h>

#include "lux/lux_async_message.h"
#include "lux/lux_data_manager.h"
#include "lux/lux_data_req.h"
#include "lux/lux_manager_detail.h"
#include "lux/lux_strategy.h"

namespace kdp {
namespace {

using lux_manager::MakeRecord;
using lux_manager::Problem;
using lux_manager::Progress;

bool IsTrue(const std::string& value) { return value == "True"; }

}  // namespace

// ---- replies (the client's thread) ----

void TKrLuxDataManager::OnMessageNotifyData(host::IBaseLuxClient*,
                                            const std::shared_ptr<host::TBaseLuxMessage>& ARecvMsg) {
  try {
    if (!ARecvMsg) {
      Problem("接收到Luxclient空的消息！nil = ARecvMsg");
      return;
    }
    TLuxMessageType messageType = LMTOK;
    if (ARecvMsg->GetMessageProp() == host::mpError) {
      Problem("OnMessageNotifyData 接收到LuxClient消息错误！mpError");
      messageType = LMTError;
    } else if (ARecvMsg->GetMessageProp() == host::mpTimeout) {
      Problem("OnMessageNotifyData 接收到LuxClient消息错误！mpTimeout");
      messageType = LMTTimeOut;
    }
    const std::int32_t serial = ARecvMsg->GetSerialNumber();
    TReqRecordItem record;
    {
      std::lock_guard lock(FSendLock);  // a request being sent has its record registered first
      if (!FLuxReqRcMgr.TryTakeReqRecord(serial, record)) return;
    }
    TLuxDispatchWindow::Handler handler = record.ReqType == LDRTSub ? nullptr : HandlerFor(record.ReqType);
    if (!handler) {
      Problem("OnMessageNotifyData 请求类型错误！");
      return;
    }
    if (!record.IProcessor) {
      Problem("反序列化接口为空，IProcessor is nil!");
      return;
    }
    // A reply the processor cannot read is delivered as an error: the widget must not take its empty
    // table for "no items".
    if (!record.IProcessor->ProcessRpMsg(*ARecvMsg) && messageType == LMTOK) {
      Problem("OnMessageNotifyData 应答无法解析");
      messageType = LMTError;
    }
    auto table = record.IProcessor->GetAnalyseLuxData();
    auto message = MakeRecord(std::move(record), table, messageType, serial);
    if (!FHDispatchWindow.Post(std::move(message), std::move(handler))) Problem("PostMessage失败, WM_LUX_GETHISDATA!");
  } catch (const std::exception& e) {
    Problem(std::string("OnMessageNotifyData 异常: ") + e.what());
  } catch (...) {
    Problem("OnMessageNotifyData 异常");
  }
}

// ---- dispatch (the main thread): each posted closure owns its record ----

TLuxDispatchWindow::Handler TKrLuxDataManager::HandlerFor(TLuxDataReqType reqType) {
  // The window is released before the manager goes, so a handler never outlives `this`.
  switch (reqType) {
    case LDRTGet:
      return [this](TDataProcessMsg& record) {
        Progress("DisPatchMsgProc 获取历史数据");
        SaveHisDataAndNotifyWidget(record);
      };
    case LDRTSearch:
      return [this](TDataProcessMsg& record) {
        Progress("DisPatchMsgProc 查询数据");
        NotifyRecord(record, NTSearch);
      };
    case LDRTSub:
      return [this](TDataProcessMsg& record) {
        Progress("DisPatchMsgProc 订阅数据");
        SavePublishedDataAndNotifyWidget(record);
      };
    case LDRTMsg:
      return [this](TDataProcessMsg& record) {
        Progress("DisPatchMsgProc 特殊消息处理");
        NotifyRecord(record, NTSpecalMsg);
      };
    case LDRTRawMsg:
      return [this](TDataProcessMsg& record) {
        Progress("DisPatchMsgProc 原始消息流");
        NotifyRawRecord(record);
      };
  }
  return nullptr;
}

bool TKrLuxDataManager::PostRecord(std::unique_ptr<TDataProcessMsg> record) {
  TLuxDispatchWindow::Handler handler = HandlerFor(record->ReqRcItem.ReqType);
  return FHDispatchWindow.Post(std::move(record), std::move(handler));
}

void TKrLuxDataManager::NotifyRawRecord(TDataProcessMsg& record) {
  auto async = std::dynamic_pointer_cast<TKrLuxDataAsyncMessage>(record.ReqRcItem.IProcessor);
  if (!async) return;
  host::MemoryStream stream = async->GetDataStream();
  stream.SetPosition(0);
  NotifyRawMsgDataToWidget(record.ReqRcItem.WidgetID, record.LParam, async->GetMsgProp(),
                           TRawMsgData{&stream, async->GetUserData()});
}

void TKrLuxDataManager::NotifyRecord(TDataProcessMsg& record, TLuxDataNotifyType notifyType) {
  const auto& processor = record.ReqRcItem.IProcessor;
  const std::string sector = processor ? processor->GetSectorName() : std::string();
  NotifyDataToWidget(record.ReqRcItem.WidgetID, record.ReceiveDataTable,
                     TNotifyInfo{sector, notifyType, record.MessageType, record.LParam});
}

void TKrLuxDataManager::SaveHisDataAndNotifyWidget(TDataProcessMsg& record) {
  const auto& processor = record.ReqRcItem.IProcessor;
  if (!processor) return;
  if (processor->GetSectorID() == kAuthLevelSectorID) {
    FBaseInfoData.SaveAuthList(record.ReceiveDataTable);
    Problem("SaveHisDataAndNotifyWidget 获取权限信息成功");
    OnReqLuxDataRepeat();
    return;
  }
  const std::string sectorID = processor->GetSectorID();
  std::shared_ptr<TKrSectorDataDb> store;
  const bool hasStore = FSectorDataCache.TryGetSectorData(sectorID, store);
  if (processor->GetIndexValue("SaveData") != "False") {
    if (!hasStore) {
      Problem("SaveHisDataAndNotifyWidget LLuxDataReqInfo.GetSectorID not Find!");
      return;
    }
    store->SaveData(record.ReceiveDataTable);
    std::unique_ptr<TKrLuxDataStrategy> strategy = GetDataOptObj(processor->GetSectorName());
    SetIndexFilterInfo(*strategy, *processor);
    NotifyDataToWidget(record.ReqRcItem.WidgetID, store->GetDataByStrategy(*strategy),
                       TNotifyInfo{processor->GetSectorName(), NTGet, record.MessageType, record.LParam});
    return;
  }
  if (IsTrue(processor->GetIndexValue("SaveHisNum")) && hasStore) store->SetReceiveRowNum(record.ReceiveDataTable);
  NotSaveHisDataAndNotifyWidget(record);
}

void TKrLuxDataManager::NotSaveHisDataAndNotifyWidget(TDataProcessMsg& record) { NotifyRecord(record, NTGet); }

void TKrLuxDataManager::SavePublishedDataAndNotifyWidget(TDataProcessMsg& record) {
  const auto& processor = record.ReqRcItem.IProcessor;
  if (!processor) return;
  const std::string sectorID = processor->GetSectorID();
  const std::string saveData = processor->GetIndexValue("SaveData");
  bool added = false;
  if (saveData == "True" || saveData.empty()) {
    std::shared_ptr<TKrSectorDataDb> store;
    if (!FSectorDataCache.TryGetSectorData(sectorID, store)) {
      store = std::make_shared<TKrSectorDataDb>();
      if (!FSectorDataCache.TryAddSectorData(sectorID, store)) FSectorDataCache.TryGetSectorData(sectorID, store);
    }
    added = store->AddPublishedData(record.ReceiveDataTable);
  }
  if (!added && !IsTrue(processor->GetIndexValue("NotifyAll"))) return;
  const TNotifyInfo info{processor->GetSectorName(), NTPush, record.MessageType, record.LParam};
  for (std::uint32_t widgetID : FDataSubHisMgr.GetSectorSubWidgets(sectorID)) {
    NotifyDataToWidget(widgetID, record.ReceiveDataTable, info);
  }
}

std::shared_ptr<IKrLuxDataNotifyObserver> TKrLuxDataManager::ObserverOf(std::uint32_t widgetID) const {
  TKrLuxDataReq* request = nullptr;
  if (!FDataSubHisMgr.TryGetReqWidget(widgetID, request) || request == nullptr) return nullptr;
  return request->GetObserver();
}

bool TKrLuxDataManager::NotifyDataToWidget(std::uint32_t widgetID, const std::shared_ptr<IKrLuxDataTable>& table,
                                           const TNotifyInfo& info) {
  // The observer is held for the call: the widget may let its request object go while it is notified.
  std::shared_ptr<IKrLuxDataNotifyObserver> observer = ObserverOf(widgetID);
  if (!observer) return false;
  observer->OnDataNotify(table, info);
  return true;
}

bool TKrLuxDataManager::NotifyRawMsgDataToWidget(std::uint32_t widgetID, std::int32_t serial,
                                                 host::TMessageProperty prop, const TRawMsgData& data) {
  std::shared_ptr<IKrLuxDataNotifyObserver> observer = ObserverOf(widgetID);
  if (!observer) return false;
  observer->OnRawMsgDataNotify(serial, prop, data);
  return true;
}

std::shared_ptr<IKrLuxDataTable> TKrLuxDataManager::StoredRows(const std::string& sectorID) const {
  std::shared_ptr<TKrSectorDataDb> store;
  return FSectorDataCache.TryGetSectorData(sectorID, store) ? store->GetRows() : nullptr;
}

}  // namespace kdp
