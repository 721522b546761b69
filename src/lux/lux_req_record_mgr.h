// TKrLuxReqRecordMgr: the registry of outstanding Lux requests, keyed by the request's serial number.
// The main thread registers a request after sending it; the Lux client's thread looks the reply's
// serial number up and removes the record. Each operation is atomic under the registry's own lock.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>

#include "lux/lux_mgr_def.h"

namespace kdp {

class TKrLuxReqRecordMgr {
 public:
  // False, keeping the earlier record, when the serial number is registered already.
  bool TryAddReqRecord(std::int32_t serial, const TReqRecordItem& record);
  bool TryGetReqRecord(std::int32_t serial, TReqRecordItem& record) const;
  void RemoveReqRecord(std::int32_t serial);
  // Looks a record up and removes it in one step (a reply is matched once); false when it is not there.
  bool TryTakeReqRecord(std::int32_t serial, TReqRecordItem& record);
  std::size_t Count() const;

 private:
  mutable std::mutex FReqRCDicLocker;  // guards FReqRCDic
  std::map<std::int32_t, TReqRecordItem> FReqRCDic;
};

}  // namespace kdp
