// The expression dictionary: computed fields per market. Each market ("A.SH", "HK", ...) has its own list
// of named expressions over other fields, with the field IDs every expression reads (directly, through
// second-guide variables, or through other expressions of the same market).
//
// TKrHQExpressionsImpl is one per process (KrHQExpressionsImpl), read once on first use from the binary
// document "HQ/Base/HQExpressions.hqc" under the configuration root, and freed at shut-down
// (FreeHQExpressionsImpl). Parsed expressions come from the field dictionary's pool.
//
// Market and expression names compare ASCII case-insensitively. Main thread only.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fields/hq_dictionary.h"

namespace kdp {

class TKrHQExpDictionaryItem final : public TKrHQDictionaryItem {
 public:
  void Dup(const TKrHQDictionaryItem& other) override;

  std::vector<int> m_aDataList;        // field IDs the expression reads
  std::vector<int> m_aSecondDataList;  // field IDs it reads through second-guide variables
};

// Appends the values of `from` that `to` does not hold yet, in order.
void AppendIntArray(std::vector<int>& to, const std::vector<int>& from);

class TKrHQExpressionsImpl {
 public:
  using MarketList = std::map<std::string, std::unique_ptr<TKrHQExpDictionaryItem>, CaseLess>;

  // An empty expression dictionary over `dictionary`.
  explicit TKrHQExpressionsImpl(TKrHQDictionaryImpl& dictionary);
  // Reads the binary document `fileName`; a missing or unreadable document leaves it empty (logged).
  TKrHQExpressionsImpl(const std::string& fileName, TKrHQDictionaryImpl& dictionary);
  TKrHQExpressionsImpl(const TKrHQExpressionsImpl&) = delete;
  TKrHQExpressionsImpl& operator=(const TKrHQExpressionsImpl&) = delete;

  // Adds the expression nodes under `root` and recomputes every item's dependency lists.
  void LoadBinData(const host::IBinNode& root);

  // The item of that name in the market's list, else in the list of market "A.SH"; nullptr when neither.
  const TKrHQExpDictionaryItem* GetExpItemByMarket(std::string_view name, std::string_view market) const;
  // The market's list, or nullptr.
  const MarketList* GetDictionaryByType(std::string_view market) const;
  std::size_t MarketCount() const { return FSecTypeList.size(); }

 private:
  enum class Analysis { kNotYet, kRunning, kDone };
  void AnalyseExpressionDataList(TKrHQExpDictionaryItem& item, MarketList& market,
                                 std::map<const TKrHQExpDictionaryItem*, Analysis>& state);

  TKrHQDictionaryImpl& FDictionary;
  std::map<std::string, MarketList, CaseLess> FSecTypeList;
};

// The market whose expressions answer for markets that have none of their own.
inline constexpr const char* kDefaultExpressionMarket = "A.SH";

TKrHQExpressionsImpl& KrHQExpressionsImpl();
void FreeHQExpressionsImpl();
std::string HQExpressionsFileName();

}  // namespace kdp
