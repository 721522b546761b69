#include "refdata/currency_manager.h"

#include "core/host_lookups.h"
#include "util/strings.h"

namespace kdp {

namespace {

void ReadCurrencyInfo(const std::vector<std::string>& f, TkrCurrencyInfo& item) {
  item.Code = f[0];
  item.Name = f[1];
  item.Rate = StrToFloat(f[2]);
}

}  // namespace

TkrCurrencyManager::TkrCurrencyManager() : TkrCurrencyManager(GetEtcBaseFilePath(kFileName)) {}

TkrCurrencyManager::TkrCurrencyManager(const std::string& path) {
  FTable.Load(path, 3, "TkrCurrencyManager", ReadCurrencyInfo);
}

std::shared_ptr<ICurrencyInfo> TkrCurrencyManager::GetCurrencyByCode(const std::string& code) {
  return FTable.Find<ICurrencyInfo>(code);
}

double TkrCurrencyManager::ConvertToCny(const std::string& code, double amount) {
  const TkrCurrencyInfo* item = FTable.Get(code);
  return item ? amount * item->Rate : 0.0;
}

}  // namespace kdp
