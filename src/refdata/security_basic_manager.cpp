#include "refdata/security_basic_manager.h"

#include "refdata/csv_table_loader.h"
#include "util/strings.h"
#include "core/host_lookups.h"

namespace kdp {

TkrSecurityBasicManager::TkrSecurityBasicManager() : TkrSecurityBasicManager(GetEtcBaseFilePath(kFileName)) {}

TkrSecurityBasicManager::TkrSecurityBasicManager(const std::string& path) {
  LoadCsvTable(path, 9, "TkrSecurityBasicManager", [this](const std::vector<std::string>& f) {
    TkrSecurityBasic* item = &FItems->Emplace();
    item->KoraCode = f[0];
    item->ListedStock = StrToFloatOrZero(f[1]);
    item->CaptilStock = StrToFloatOrZero(f[2]);
    item->EarningPerShare = StrToFloatOrZero(f[3]);
    item->NetAssetPerShare = StrToFloatOrZero(f[4]);
    item->Latest5AV = StrToFloatOrZero(f[5]);
    item->EarningPerShareLYR = StrToFloatOrZero(f[6]);
    item->EPSProjected = StrToFloatOrZero(f[7]);
    item->LastReportDate = StrToIntDef(f[8], 0);
    FTable.Put(ToUpperAscii(item->KoraCode), item);
  });
}

std::shared_ptr<ISecurityBasic> TkrSecurityBasicManager::GetSecurityBasic(const std::string& code) {
  TkrSecurityBasic* item = FTable.Get(ToUpperAscii(code));
  return item ? std::shared_ptr<ISecurityBasic>(FItems, item) : nullptr;
}

}  // namespace kdp
