#include "refdata/warrant_manager.h"

#include "core/host_lookups.h"
#include "util/strings.h"

namespace kdp {

namespace {

void ReadWarrantInfo(const std::vector<std::string>& f, TkrWarrantInfo& item) {
  item.WarrantCode = f[0];
  item.StockCode = f[1];
  item.FDaysRemain = StrToInt(f[2]);
  item.FInitialVolume = StrToInt64(f[3]);
  item.FMemo = f[4];
  item.FLastTradeDate = f[5];
  item.FExpireDate = f[6];
  item.FExerciseRatio = StrToFloatOrZero(f[7]);
  item.FExercisePrice = StrToFloatOrZero(f[8]);
  item.FVolumeRemain = StrToInt64(f[9]);
  item.FPreClose = StrToFloatOrZero(f[10]);
  item.FMaxPrice = StrToFloatOrZero(f[11]);
  item.FMinPrice = StrToFloatOrZero(f[12]);
}

}  // namespace

TkrWarrantManager::TkrWarrantManager() : TkrWarrantManager(GetEtcBaseFilePath(kFileName)) {}

TkrWarrantManager::TkrWarrantManager(const std::string& path) {
  FTable.Load(path, 13, "TkrWarrantManager", ReadWarrantInfo);
}

std::shared_ptr<IWarrantInfo> TkrWarrantManager::GetItemByCode(const std::string& code) {
  return FTable.Find<IWarrantInfo>(code);
}

}  // namespace kdp
