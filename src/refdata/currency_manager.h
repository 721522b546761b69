// TkrCurrencyManager: currency rates from "Currency.dat", 3 fields per record: code, name and the value
// of one unit in CNY (which must parse). Keyed by the upper-cased code. Main thread only.
#pragma once

#include <memory>
#include <string>

#include "kdp/refdata/reference_tables.h"
#include "refdata/keyed_csv_table.h"

namespace kdp {

class TkrCurrencyInfo final : public host::Implements<ICurrencyInfo> {
 public:
  std::string GetCode() override { return Code; }
  std::string GetName() override { return Name; }
  double GetRate() override { return Rate; }

  std::string Code;
  std::string Name;
  double Rate = 0.0;
};

class TkrCurrencyManager final : public host::Implements<ICurrencyManager> {
 public:
  static constexpr const char* kFileName = "Currency.dat";

  TkrCurrencyManager();
  explicit TkrCurrencyManager(const std::string& path);

  std::shared_ptr<ICurrencyInfo> GetCurrencyByCode(const std::string& code) override;
  double ConvertToCny(const std::string& code, double amount) override;
  std::size_t Count() const { return FTable.Count(); }

 private:
  TKeyedCsvTable<TkrCurrencyInfo> FTable{10};
};

}  // namespace kdp
