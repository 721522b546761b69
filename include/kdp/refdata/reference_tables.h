// The CSV reference tables: per-security facts the terminal ships as comma-separated ".dat" files
// (warrant terms, brief fundamentals, currency rates, the sector of each index, fund management
// companies, and the relations between securities such as A/H share pairs).
//
// Each manager is created on the first look-up of its interface name and then stays published under that
// name until shut-down. It loads its file once, at construction. Codes are matched case-insensitively
// (ASCII); a code that is not in a table answers nullptr, an empty string or 0.
//
// Threads: main thread only, except IIndexSectors, whose table the file watcher reloads off the main
// thread (its look-ups and the reload are serialised by its own lock), and the A/H pair reads of
// IRelatedSymbol (GetAHKoraCodeList, GetAHKoraCodeByIndex, GetAHKoraCodeCount), which the quote engine's
// sector questions make from the engine's threads (the pair lists have their own lock).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "kdp/host/interface.h"
#include "kdp/util/file_watcher.h"

namespace kdp {

// ---- warrants ("Warrantinfo.dat") ----

class IWarrantInfo : public virtual host::IInterface {
 public:
  static constexpr host::Guid IID = "ED2AF2E8-1984-4B90-A1FC-0051707B524E";
  virtual std::string GetWarrantCode() = 0;
  virtual std::string GetStockCode() = 0;  // the underlying
  virtual int GetDaysRemain() = 0;
  virtual std::int64_t GetInitialVolume() = 0;
  virtual std::string GetMemo() = 0;
  virtual std::string GetLastTradeDate() = 0;
  virtual std::string GetExpireDate() = 0;
  virtual double GetExerciseRatio() = 0;
  virtual double GetExercisePrice() = 0;
  virtual std::int64_t GetVolumeRemain() = 0;
  virtual double GetPreClose() = 0;
  virtual double GetMaxPrice() = 0;
  virtual double GetMinPrice() = 0;
};

class IWarrantManager : public virtual host::IInterface {
 public:
  static constexpr host::Guid IID = "CC9AF7CB-8587-46FD-BC34-A2AA266A23FF";
  // The warrant with that code, or nullptr.
  virtual std::shared_ptr<IWarrantInfo> GetItemByCode(const std::string& code) = 0;
};

// ---- brief fundamentals ("Secbrief.dat") ----

class ISecurityBasic : public virtual host::IInterface {
 public:
  static constexpr host::Guid IID = "A9495027-35D9-487F-A3F8-5E097ACF05A2";
  virtual std::string GetKoraCode() = 0;
  virtual double GetListedStock() = 0;
  virtual double GetCaptilStock() = 0;
  virtual double GetEarningPerShare() = 0;
  virtual double GetNetAssetPerShare() = 0;
  virtual double GetLatest5AV() = 0;  // the average volume of the latest 5 days
  virtual double GetEarningPerShareLYR() = 0;
  virtual int GetLatestAnnualReportYear() = 0;  // the last report date's year; 0 when unknown
  virtual double GetEPSProjected() = 0;
  virtual int GetLastReportDate() = 0;  // yyyymmdd; 0 when unknown
};

class ISecurityBasicManager : public virtual host::IInterface {
 public:
  static constexpr host::Guid IID = "B6BD5EE5-59CC-4BE8-A3C0-8539705CD28D";
  virtual std::shared_ptr<ISecurityBasic> GetSecurityBasic(const std::string& code) = 0;
};

// ---- currencies ("Currency.dat") ----

class ICurrencyInfo : public virtual host::IInterface {
 public:
  static constexpr host::Guid IID = "FB37A09F-1B6D-49CD-BE8E-90C9B28E4A39";
  virtual std::string GetCode() = 0;
  virtual std::string GetName() = 0;
  virtual double GetRate() = 0;  // the value of one unit in CNY
};

class ICurrencyManager : public virtual host::IInterface {
 public:
  static constexpr host::Guid IID = "46B3DA5B-B11C-4479-A89B-C8922BB33D52";
  virtual std::shared_ptr<ICurrencyInfo> GetCurrencyByCode(const std::string& code) = 0;
  // amount x the currency's rate; 0 for a currency that is not in the table, whatever the amount.
  virtual double ConvertToCny(const std::string& code, double amount) = 0;
};

// ---- index sectors ("IndexSectors.dat"), reloaded when the file changes ----

class IIndexSectors : public virtual host::IInterface {
 public:
  static constexpr host::Guid IID = "0C318D74-CC50-4E63-82B0-CC393C7AED40";
  // The sector ID of an index; empty when absent.
  virtual std::string GetSectorByIndex(const std::string& indexCode) = 0;
  // Every index whose sector ID equals `sectorId` exactly, each followed by a comma ("399001.SZ,399106.SZ,"),
  // in the table's enumeration order; empty when none.
  virtual std::string GetIndexBySector(const std::string& sectorId) = 0;
};

// ---- fund management companies ("HQ\misc\FundManagementCompany.dat") ----

class IFundManagementCompany : public virtual host::IInterface {
 public:
  static constexpr host::Guid IID = "3BAB66C7-354F-4435-93F7-A637B1D2371B";
  // The company of line `index` (1-based) of the file; empty for 0 or beyond the last line.
  virtual std::string GetFundCompany(int index) = 0;
};

// ---- related securities ("RelatedSymbols.dat", "RelatedSymbolsLocal.dat") ----

// Relation types of the related-securities tables.
inline constexpr int kRelationAH = 1;           // A/H share pair of one company
inline constexpr int kRelationConvertible = 2;  // a convertible bond and its stock
inline constexpr int kRelationGroup = 3;        // member of a group; the related code heads the group
inline constexpr int kRelationOther = 4;        // another listing or product on the same security

class IRelatedSymbol : public virtual host::IInterface {
 public:
  static constexpr host::Guid IID = "9E708DD6-5151-493E-8C04-F997D4C99193";
  // The related codes of `code` whose relation type is `type` (0: every type), in table order. `list` is
  // cleared first.
  virtual void GetRelatedSymbol(const std::string& code, int type, std::vector<std::string>& list) = 0;
  // Every related code to show with `code`: A/H partners first, then the A-share members of its groups,
  // then their B-share members, then the rest.
  virtual void GetAllRelatedSymbol(const std::string& code, std::vector<std::string>& list) = 0;
  // The first codes of every A/H pair when `code` is "A", else the second codes.
  virtual void GetAHKoraCodeList(const std::string& code, std::vector<std::string>& list) = 0;
  // The partner of the code's last A/H relation; empty when none.
  virtual std::string GetAHRelateCode(const std::string& code) = 0;
  // Entry `index` (0-based) of the list GetAHKoraCodeList selects; empty out of range.
  virtual std::string GetAHKoraCodeByIndex(const std::string& code, int index) = 0;
  // The number of A/H pairs.
  virtual int GetAHKoraCodeCount() = 0;
  // Called each time the table has been rebuilt from fresher data. Returns an ID for UnRegAfterLoadedCallBack.
  virtual int RegAfterLoadedCallBack(TNotifyEvent callback) = 0;
  virtual void UnRegAfterLoadedCallBack(int id) = 0;
};

}  // namespace kdp
