// What the Lux data manager's source files share (lux_data_manager.cpp for the life cycle and the column
// list, lux_manager_requests.cpp, lux_manager_replies.cpp, lux_manager_authority.cpp): its log source and
// its small helpers. Nothing else includes it.
#pragma once

#include <memory>
#include <string_view>

#include "kdp/host/log.h"
#include "lux/lux_mgr_def.h"
#include "lux/lux_request_info.h"
#include "util/status.h"

namespace kdp::lux_manager {

inline constexpr std::string_view kLogSource = "uKrLuxDataMgr";

inline void Progress(std::string_view message) { host::AddHQLog(message, kLogSource, host::LogSeverity::kInfo); }
inline void Problem(std::string_view message) { host::AddHQLog(message, kLogSource, host::LogSeverity::kNotice); }

// What a request returns to its widget: its serial number, or -1 with the reason logged.
inline std::int32_t SerialOrLogged(const Result<std::int32_t>& sent) {
  if (sent.ok()) return sent.value();
  Problem(sent.message());
  return -1;
}

inline std::shared_ptr<TKrLuxDataRequestInfo> AsProcessor(const ReqInfoPtr& reqInfo) {
  return std::dynamic_pointer_cast<TKrLuxDataRequestInfo>(reqInfo);
}

inline std::unique_ptr<TDataProcessMsg> MakeRecord(TReqRecordItem item, std::shared_ptr<IKrLuxDataTable> table,
                                                   TLuxMessageType messageType, std::int32_t serial) {
  auto record = std::make_unique<TDataProcessMsg>();
  record->ReqRcItem = std::move(item);
  record->ReceiveDataTable = std::move(table);
  record->MessageType = messageType;
  record->LParam = serial;
  return record;
}

}  // namespace kdp::lux_manager
