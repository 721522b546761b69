#include "refdata/currency_manager.h"

#include "refdata/csv_table_loader.h"
#include "util/strings.h"
#include "core/host_lookups.h"

namespace kdp {

TkrCurrencyManager::TkrCurrencyManager() : TkrCurrencyManager(GetEtcBaseFilePath(kFileName)) {}

TkrCurrencyManager::TkrCurrencyManager(const std::string& path) {
  LoadCsvTable(path, 3, "TkrCurrencyManager", [this](const std::vector<std::string>& f) {
    TkrCurrencyInfo* item = &FItems->Emplace();
    item->Code = f[0];
    item->Name = f[1];
    item->Rate = StrToFloat(f[2]);
    FTable.Put(ToUpperAscii(item->Code), item);
  });
}

std::shared_ptr<ICurrencyInfo> TkrCurrencyManager::GetCurrencyByCode(const std::string& code) {
  TkrCurrencyInfo* item = FTable.Get(ToUpperAscii(code));
  return item ? std::shared_ptr<ICurrencyInfo>(FItems, item) : nullptr;
}

double TkrCurrencyManager::ConvertToCny(const std::string& code, double amount) {
  const TkrCurrencyInfo* item = FTable.Get(ToUpperAscii(code));
  return item ? amount * item->Rate : 0.0;
}

}  // namespace kdp
