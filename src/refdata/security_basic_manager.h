// TkrSecurityBasicManager: brief fundamentals from "Secbrief.dat", 9 fields per record: security code,
// listed shares, capital stock, earning per share, net asset per share, the latest 5-day average volume,
// earning per share (LYR), projected EPS (all floating; 0 when they do not parse) and the last report
// date (yyyymmdd; 0 when it does not parse). Keyed by the upper-cased code. Main thread only.
#pragma once

#include <memory>
#include <string>

#include "kdp/refdata/reference_tables.h"
#include "refdata/keyed_csv_table.h"

namespace kdp {

class TkrSecurityBasic final : public host::Implements<ISecurityBasic> {
 public:
  std::string GetKoraCode() override { return KoraCode; }
  double GetListedStock() override { return ListedStock; }
  double GetCaptilStock() override { return CaptilStock; }
  double GetEarningPerShare() override { return EarningPerShare; }
  double GetNetAssetPerShare() override { return NetAssetPerShare; }
  double GetLatest5AV() override { return Latest5AV; }
  double GetEarningPerShareLYR() override { return EarningPerShareLYR; }
  int GetLatestAnnualReportYear() override { return LastReportDate / 10000; }
  double GetEPSProjected() override { return EPSProjected; }
  int GetLastReportDate() override { return LastReportDate; }

  std::string KoraCode;
  double ListedStock = 0.0;
  double CaptilStock = 0.0;
  double EarningPerShare = 0.0;
  double NetAssetPerShare = 0.0;
  double Latest5AV = 0.0;
  double EarningPerShareLYR = 0.0;
  double EPSProjected = 0.0;
  int LastReportDate = 0;
};

class TkrSecurityBasicManager final : public host::Implements<ISecurityBasicManager> {
 public:
  static constexpr const char* kFileName = "Secbrief.dat";

  TkrSecurityBasicManager();
  explicit TkrSecurityBasicManager(const std::string& path);

  std::shared_ptr<ISecurityBasic> GetSecurityBasic(const std::string& code) override;
  std::size_t Count() const { return FTable.Count(); }

 private:
  TKeyedCsvTable<TkrSecurityBasic> FTable{1700};
};

}  // namespace kdp
