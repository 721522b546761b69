// TkrWarrantManager: warrant terms from "Warrantinfo.dat", 13 fields per record: warrant code, underlying
// code, days remaining, initial volume, memo, last trade date, expiry date, exercise ratio, exercise
// price, volume remaining, previous close, maximum and minimum price. Keyed by the upper-cased warrant code.
// Floating fields that do not parse are 0; the whole-number fields must parse. Main thread only.
#pragma once

#include <memory>
#include <string>

#include "kdp/refdata/reference_tables.h"
#include "refdata/keyed_csv_table.h"

namespace kdp {

class TkrWarrantInfo final : public host::Implements<IWarrantInfo> {
 public:
  std::string GetWarrantCode() override { return WarrantCode; }
  std::string GetStockCode() override { return StockCode; }
  int GetDaysRemain() override { return FDaysRemain; }
  std::int64_t GetInitialVolume() override { return FInitialVolume; }
  std::string GetMemo() override { return FMemo; }
  std::string GetLastTradeDate() override { return FLastTradeDate; }
  std::string GetExpireDate() override { return FExpireDate; }
  double GetExerciseRatio() override { return FExerciseRatio; }
  double GetExercisePrice() override { return FExercisePrice; }
  std::int64_t GetVolumeRemain() override { return FVolumeRemain; }
  double GetPreClose() override { return FPreClose; }
  double GetMaxPrice() override { return FMaxPrice; }
  double GetMinPrice() override { return FMinPrice; }

  std::string WarrantCode;
  std::string StockCode;
  int FDaysRemain = 0;
  std::int64_t FInitialVolume = 0;
  std::string FMemo;
  std::string FLastTradeDate;
  std::string FExpireDate;
  double FExerciseRatio = 0.0;
  double FExercisePrice = 0.0;
  std::int64_t FVolumeRemain = 0;
  double FPreClose = 0.0;
  double FMaxPrice = 0.0;
  double FMinPrice = 0.0;
};

class TkrWarrantManager final : public host::Implements<IWarrantManager> {
 public:
  static constexpr const char* kFileName = "Warrantinfo.dat";

  // Loads the file of the configuration base directory.
  TkrWarrantManager();
  explicit TkrWarrantManager(const std::string& path);

  std::shared_ptr<IWarrantInfo> GetItemByCode(const std::string& code) override;
  std::size_t Count() const { return FTable.Count(); }

 private:
  TKeyedCsvTable<TkrWarrantInfo> FTable{50};
};

}  // namespace kdp
