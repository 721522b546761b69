// How widgets ask for Lux information.
//
// A widget obtains the data manager (published as "IKrLuxDataMgr"), asks it for a request description
// of a news column (IKrLuxDataReqInfo: named parameters) and for its own request object, through which
// it fetches history pages, subscribes, searches and sends messages. Answers arrive at the widget's
// observer (IKrLuxDataNotifyObserver) on the main thread.
//
// Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "kdp/host/interface.h"
#include "kdp/host/memory_stream.h"
#include "kdp/lux/lux_data.h"
#include "kdp/lux/lux_types.h"

namespace kdp {

// A request as the widget sees it: the parameters of one column and request kind.
class IKrLuxDataReqInfo : public virtual host::IInterface {
 public:
  static constexpr host::Guid IID = "B54FE08D-0CF6-45ED-A60D-6F697EC1549D";

  virtual void SetIndexValue(std::string_view name, std::string_view value) = 0;
  virtual std::string GetIndexValue(std::string_view name) = 0;
  virtual TLuxDataReqType GetReqType() = 0;
  virtual int GetIndexQuotaCount() = 0;
  virtual std::string GetIndexByOrder(int index) = 0;
  virtual std::string GetIndexValueByOrder(int index) = 0;
};

using ReqInfoPtr = std::shared_ptr<IKrLuxDataReqInfo>;

// A widget's request object for information data.
class IKrLuxNewsReq : public virtual host::IInterface {
 public:
  static constexpr host::Guid IID = "A552C45B-692F-4E4B-AACE-D388FBAEC89A";

  virtual bool Subscribe(const ReqInfoPtr& reqInfo) = 0;
  virtual bool DeSubscribe(const ReqInfoPtr& reqInfo) = 0;
  virtual bool RemoveSectorByID(const ReqInfoPtr& reqInfo) = 0;
  virtual bool IsAlreadySub(const ReqInfoPtr& reqInfo) = 0;
  // The request's serial number, 0 when answered at once from the local store, -1 on failure.
  virtual std::int32_t GetHisData(const ReqInfoPtr& reqInfo) = 0;
  // The request's serial number, -1 on failure.
  virtual std::int32_t SearchData(const ReqInfoPtr& reqInfo) = 0;
  virtual bool SetItemBrowsed(const ReqInfoPtr& reqInfo, const std::string& id) = 0;
};

// A widget's request object for plain and raw messages.
class IKrLuxMsgReq : public virtual host::IInterface {
 public:
  static constexpr host::Guid IID = "853D78CF-7959-468C-88F3-C0FC0F091AFF";

  virtual std::int32_t SendMsg(const ReqInfoPtr& reqInfo) = 0;
  virtual std::int32_t RawSendMsg(std::uint32_t appClass, std::uint32_t commandID, const std::string& content,
                                  std::uint32_t userData) = 0;
  virtual std::int32_t RawSendMsg(std::uint32_t appClass, std::uint32_t commandID, const host::MemoryStream& content,
                                  std::uint32_t userData) = 0;
};

// Where a widget receives its deliveries.
class IKrLuxDataNotifyObserver : public virtual host::IInterface {
 public:
  static constexpr host::Guid IID = "D3CE20EC-5FED-42DA-935E-8DE39DEEE0AB";

  virtual void OnDataNotify(const std::shared_ptr<IKrLuxDataTable>& ADataTable, const TNotifyInfo& AInfo) = 0;
  virtual void OnRawMsgDataNotify(std::int32_t AMsgSerialNum, const host::TMessageProperty& AMsgProp,
                                  const TRawMsgData& AData) = 0;
};

// The Lux data manager, published under the name "IKrLuxDataMgr".
class IKrLuxDataManager : public virtual host::IInterface {
 public:
  static constexpr host::Guid IID = "F1F56CF7-9B68-4043-9358-EA5427134F36";

  // A new request object for the observer's widget; null for a null observer.
  virtual std::shared_ptr<IKrLuxNewsReq> GetLuxNewsRequest(std::shared_ptr<IKrLuxDataNotifyObserver> observer) = 0;
  virtual std::shared_ptr<IKrLuxMsgReq> GetLuxMsgRequest(std::shared_ptr<IKrLuxDataNotifyObserver> observer) = 0;
  // The request description of a column and request kind; null when the column is not configured.
  virtual ReqInfoPtr GetLuxDataReqInfo(const std::string& name, TLuxDataReqType reqType) = 0;
  // Loads another module's column configuration ("<root><module>/Base/<file>").
  virtual void AppendLuxInfoConfigure(const std::string& moduleName, const std::string& path) = 0;
};

// The configured columns, for operations tools (the data manager's second face: Query it from the
// "IKrLuxDataMgr" service).
struct TLuxColumnInfo {
  std::string Sector;
  std::string Caption;
  std::string DataProcessorName;
  std::string DataStrategyName;
  std::vector<std::string> RequestKinds;  // "DITGet", "DITSub", ... in configured order
  bool TestMode = false;                  // answered from a local test document
};

class IKrLuxColumnList : public virtual host::IInterface {
 public:
  static constexpr host::Guid IID = "66981972-7D22-43C3-9E24-D0775BC6DF64";

  // Every column of the loaded configuration files, in loading order.
  virtual std::vector<TLuxColumnInfo> GetLuxColumns() = 0;
};

}  // namespace kdp
