#include "lux/lux_req_record_mgr.h"

namespace kdp {

bool TKrLuxReqRecordMgr::TryAddReqRecord(std::int32_t serial, const TReqRecordItem& record) {
  std::lock_guard lock(FReqRCDicLocker);
  return FReqRCDic.try_emplace(serial, record).second;
}

bool TKrLuxReqRecordMgr::TryGetReqRecord(std::int32_t serial, TReqRecordItem& record) const {
  std::lock_guard lock(FReqRCDicLocker);
  auto it = FReqRCDic.find(serial);
  if (it == FReqRCDic.end()) return false;
  record = it->second;
  return true;
}

void TKrLuxReqRecordMgr::RemoveReqRecord(std::int32_t serial) {
  std::lock_guard lock(FReqRCDicLocker);
  FReqRCDic.erase(serial);
}

bool TKrLuxReqRecordMgr::TryTakeReqRecord(std::int32_t serial, TReqRecordItem& record) {
  std::lock_guard lock(FReqRCDicLocker);
  auto it = FReqRCDic.find(serial);
  if (it == FReqRCDic.end()) return false;
  record = std::move(it->second);
  FReqRCDic.erase(it);
  return true;
}

std::size_t TKrLuxReqRecordMgr::Count() const {
  std::lock_guard lock(FReqRCDicLocker);
  return FReqRCDic.size();
}

}  // namespace kdp
