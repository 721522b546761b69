// TKrRelatedSymbol: the relations between securities (A/H share pairs, convertible bonds, groups, other
// listings), from "RelatedSymbols.dat" and then "RelatedSymbolsLocal.dat", 3 fields per record: code,
// related code, relation type (a whole number).
//
// A row of the first file relates both codes to each other, and a type-1 row (type field "1") also adds
// the pair to the A/H lists; a row of the local file relates the first code to the second only. Each
// code's relations keep file order.
//
// Main thread only, except the A/H pair reads, which any thread may make: the pair lists are replaced
// whole under their own lock, so a reader sees the pairs before or after a rebuild, never half of one.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "kdp/refdata/reference_tables.h"
#include "util/ptr_hash_table.h"
#include "util/stable_store.h"

namespace kdp {

struct TKrRelatedInfo {
  std::string RelatedCode;
  int RelationType = 0;
};

class TKrRelatedSymbol final : public host::Implements<IRelatedSymbol> {
 public:
  static constexpr const char* kFileName = "RelatedSymbols.dat";
  static constexpr const char* kLocalFileName = "RelatedSymbolsLocal.dat";

  TKrRelatedSymbol();
  TKrRelatedSymbol(const std::string& path, const std::string& localPath);

  void GetRelatedSymbol(const std::string& code, int type, std::vector<std::string>& list) override;
  void GetAllRelatedSymbol(const std::string& code, std::vector<std::string>& list) override;
  void GetAHKoraCodeList(const std::string& code, std::vector<std::string>& list) override;
  std::string GetAHRelateCode(const std::string& code) override;
  std::string GetAHKoraCodeByIndex(const std::string& code, int index) override;
  int GetAHKoraCodeCount() override;
  int RegAfterLoadedCallBack(TNotifyEvent callback) override;
  void UnRegAfterLoadedCallBack(int id) override;

  // Fresher relations from the cloud service ("CLOUD_HQ_RELATED_SYMBOLS"): with at least 3 columns the
  // table and the A/H lists are rebuilt from the rows as from the first file, then every after-loaded
  // call-back runs.
  void NotifyHqRelatedData(std::size_t columnCount, const std::vector<std::vector<std::string>>& rows);
  // Row updates of the same data: each relation goes to the front of its code's list unless that list
  // already has it.
  void OnCloudDataUpdate(const std::vector<std::vector<std::string>>& rows);

 private:
  using TRelatedList = std::vector<TKrRelatedInfo>;
  struct TAHPairs {
    std::vector<std::string> A;  // the first code of every A/H pair, in reading order
    std::vector<std::string> H;  // the second code
  };

  TRelatedList& ListOf(const std::string& code);
  const TRelatedList* Find(const std::string& code) const;
  // A row of the first file (or of the cloud data): both directions; a type "1" row also joins `pairs`.
  void AddPair(const std::string& code, const std::string& related, const std::string& type, TAHPairs& pairs);
  void PublishAHPairs(TAHPairs pairs);

  TStableStore<TRelatedList> FLists;
  TPtrHashTable<TRelatedList> FTable{4000};
  mutable std::mutex FAHLock;  // guards FAHPairs
  TAHPairs FAHPairs;
  std::map<int, TNotifyEvent> FCallBacks;
  int FLastCallBackID = 0;
};

}  // namespace kdp
