#include "refdata/warrant_manager.h"

#include "refdata/csv_table_loader.h"
#include "util/strings.h"
#include "core/host_lookups.h"

namespace kdp {

TkrWarrantManager::TkrWarrantManager() : TkrWarrantManager(GetEtcBaseFilePath(kFileName)) {}

TkrWarrantManager::TkrWarrantManager(const std::string& path) {
  LoadCsvTable(path, 13, "TkrWarrantManager", [this](const std::vector<std::string>& f) {
    TkrWarrantInfo* item = &FItems->Emplace();
    item->WarrantCode = f[0];
    item->StockCode = f[1];
    item->FDaysRemain = StrToInt(f[2]);
    item->FInitialVolume = StrToInt64(f[3]);
    item->FMemo = f[4];
    item->FLastTradeDate = f[5];
    item->FExpireDate = f[6];
    item->FExerciseRatio = StrToFloatOrZero(f[7]);
    item->FExercisePrice = StrToFloatOrZero(f[8]);
    item->FVolumeRemain = StrToInt64(f[9]);
    item->FPreClose = StrToFloatOrZero(f[10]);
    item->FMaxPrice = StrToFloatOrZero(f[11]);
    item->FMinPrice = StrToFloatOrZero(f[12]);
    FTable.Put(ToUpperAscii(item->WarrantCode), item);
  });
}

std::shared_ptr<IWarrantInfo> TkrWarrantManager::GetItemByCode(const std::string& code) {
  TkrWarrantInfo* item = FTable.Get(ToUpperAscii(code));
  return item ? std::shared_ptr<IWarrantInfo>(FItems, item) : nullptr;
}

}  // namespace kdp
