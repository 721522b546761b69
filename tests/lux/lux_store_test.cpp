// The news strategy on stores of several sizes, and the sector stores: history pages, pushes, the row
// limit, page information, browsed marks and the cache that owns them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lux/lux_data_table.h"
#include "lux/lux_sector_store.h"
#include "lux/lux_strategy.h"
#include "lux_test_support.h"
#include "test_host.h"

namespace kdp {
namespace {

using Ids = std::vector<std::string>;

using testing::IdsOf;
using testing::Range;
using testing::TableOf;

TEST(LuxNewsStrategy, PagesByStartIDOverStoresOfZeroTwentyAndTwentyFiveRows) {
  struct Case {
    const char* what;
    int rows;
    std::string startID, dataSize, sort;
    bool enough;
    Ids delivered;
  };
  const std::vector<Case> cases{
      {"empty store", 0, "0", "20", "", false, {}},
      {"exactly a page", 20, "0", "20", "", true, Range(0, 20)},
      {"more than a page", 25, "0", "20", "", true, Range(0, 20)},
      {"no start ID is the first page", 25, "", "20", "", true, Range(0, 20)},
      {"after row 10 of 25: 14 left", 25, "N10", "20", "", false, Range(11, 25)},
      {"after row 10 of 20: 9 left", 20, "N10", "20", "", false, Range(11, 20)},
      {"after row 19 of 25: a page of 5", 25, "N19", "5", "", true, Range(20, 25)},
      {"after the last row", 25, "N24", "1", "", false, {}},
      {"an unknown start ID", 25, "N99", "20", "", false, {}},
      {"sorted: every row after the start", 25, "N4", "3", "1", true, Range(5, 25)},
      {"page size 0 still gives a row", 25, "0", "0", "", true, Range(0, 1)},
      {"an unreadable page size is 0: nothing after the start", 20, "N3", "many", "", true, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TKrLuxNewsStrategy strategy;
    strategy.SetIndexFilter("startid", c.startID);
    strategy.SetIndexFilter("datasize", c.dataSize);
    if (!c.sort.empty()) strategy.SetIndexFilter("Sort", c.sort);
    auto table = TableOf(Range(0, c.rows));
    EXPECT_EQ(strategy.IsDataEnough(table), c.enough);
    auto delivered = strategy.LuxDataStrategyInterface(table);
    ASSERT_NE(delivered, nullptr);
    EXPECT_EQ(IdsOf(delivered), c.delivered);
    // Rows are delivered by reference.
    if (!c.delivered.empty()) {
      EXPECT_EQ(delivered->GetRowItem(0), table->GetRowItem(table->GetRowByIndex("ID", c.delivered[0])));
    }
  }
  TKrLuxNewsStrategy strategy;
  EXPECT_EQ(strategy.GetIndexFilterValue("startid"), "0");
  EXPECT_EQ(strategy.GetIndexFilterValue("datasize"), "20");
  EXPECT_FALSE(strategy.IsDataEnough(nullptr));
  EXPECT_EQ(strategy.LuxDataStrategyInterface(nullptr)->GetRowCount(), 0);
}

TEST(LuxSectorStore, HistoryPagesAppendFromTheFirstNewRow) {
  TKrSectorDataDb store;
  EXPECT_FALSE(store.SaveData(nullptr));
  ASSERT_TRUE(store.SaveData(TableOf({"N1", "N2", "N3"})));
  EXPECT_EQ(store.GetHisNum(), 3);

  // The page starts with rows already held: only the new ones are appended.
  ASSERT_TRUE(store.SaveData(TableOf({"N2", "N3", "N4", "N5"})));
  EXPECT_EQ(IdsOf(store.GetRows()), (Ids{"N1", "N2", "N3", "N4", "N5"}));
  EXPECT_EQ(store.GetHisNum(), 5);

  // Nothing new: nothing changes.
  ASSERT_TRUE(store.SaveData(TableOf({"N4", "N5"})));
  EXPECT_EQ(store.GetRowCount(), 5);
  EXPECT_EQ(store.GetHisNum(), 5);

  // Only leading rows are skipped: from the first new row on, the page is taken as it is.
  ASSERT_TRUE(store.SaveData(TableOf({"N6", "N1", "N7"})));
  EXPECT_EQ(IdsOf(store.GetRows()), (Ids{"N1", "N2", "N3", "N4", "N5", "N6", "N1", "N7"}));
  EXPECT_EQ(store.GetHisNum(), 8);

  // Every field survives the store as bound text.
  auto odd = NewLuxDataTable();
  const int row = odd->AddRow();
  odd->SetIndexValue(row, "ID", "N'8");
  odd->SetIndexValue(row, "Title", "'); DROP TABLE rows; --");
  odd->SetIndexValue(row, "Abstract", std::string("nul\0inside", 10));
  odd->SetIndexValue(row, "", "nameless");
  ASSERT_TRUE(store.SaveData(odd));
  auto rows = store.GetRows();
  ASSERT_EQ(rows->GetRowCount(), 9);
  // The nameless field keeps its place; its value reads "".
  EXPECT_EQ(testing::RowText(*rows, 8),
            std::string("ID=N'8; Title='); DROP TABLE rows; --; Abstract=nul\0inside; =", 61));
}

TEST(LuxSectorStore, APageStopsOnceTheStoreHoldsMoreThanFiveHundredRows) {
  TKrSectorDataDb store;
  ASSERT_TRUE(store.SaveData(TableOf(Range(0, 499))));
  EXPECT_EQ(store.GetHisNum(), 499);
  // 499 and 500 rows take one more each; at 501 the page stops at its third row.
  ASSERT_TRUE(store.SaveData(TableOf(Range(499, 504))));
  EXPECT_EQ(store.GetRowCount(), 501);
  EXPECT_EQ(IdsOf(store.GetRows()).back(), "N500");
  EXPECT_EQ(store.GetHisNum(), 5 + 501 - 2);  // the page's rows + the count before - the first row left out
  // A full store takes nothing, yet counts the page.
  ASSERT_TRUE(store.SaveData(TableOf(Range(504, 507))));
  EXPECT_EQ(store.GetRowCount(), 501);
  EXPECT_EQ(store.GetHisNum(), 3 + 504 - 0);
}

TEST(LuxSectorStore, PushesGoOnTopNewestFirstAndStopAtAKnownID) {
  TKrSectorDataDb store;
  ASSERT_TRUE(store.SaveData(TableOf({"H1", "H2"})));
  EXPECT_FALSE(store.AddPublishedData(nullptr));
  EXPECT_TRUE(store.AddPublishedData(TableOf({"A", "B", "C"})));
  EXPECT_EQ(IdsOf(store.GetRows()), (Ids{"C", "B", "A", "H1", "H2"}));
  EXPECT_EQ(store.GetHisNum(), 5);
  // The second row is known: the first goes in, the rest is dropped.
  EXPECT_FALSE(store.AddPublishedData(TableOf({"D", "B", "E"})));
  EXPECT_EQ(IdsOf(store.GetRows()), (Ids{"D", "C", "B", "A", "H1", "H2"}));
  EXPECT_FALSE(store.AddPublishedData(TableOf({"H2"})));
  EXPECT_EQ(store.GetRowCount(), 6);
  // History pages still append below the pushed rows.
  ASSERT_TRUE(store.SaveData(TableOf({"H2", "H3"})));
  EXPECT_EQ(IdsOf(store.GetRows()).back(), "H3");
}

TEST(LuxSectorStore, TheFiveHundredAndFirstPushedRowEvictsTheOldest) {
  TKrSectorDataDb store;
  ASSERT_TRUE(store.AddPublishedData(TableOf(Range(1, 501))));  // N1 ends at the bottom, N500 on top
  EXPECT_EQ(store.GetRowCount(), 500);
  ASSERT_TRUE(store.AddPublishedData(TableOf({"X"})));
  EXPECT_EQ(store.GetRowCount(), 500);
  EXPECT_EQ(store.GetHisNum(), 501);  // counted before the eviction
  const Ids ids = IdsOf(store.GetRows());
  EXPECT_EQ(ids.front(), "X");
  EXPECT_EQ(ids[1], "N500");
  EXPECT_EQ(ids.back(), "N2");
  // The evicted ID is new again.
  EXPECT_TRUE(store.AddPublishedData(TableOf({"N1"})));
  EXPECT_EQ(IdsOf(store.GetRows()).back(), "N3");
}

TEST(LuxSectorStore, PageInformationBrowsedMarksAndReceivedRows) {
  testing::TestHost h;
  TKrSectorDataDb store;
  ASSERT_TRUE(store.SaveData(TableOf(Range(0, 25))));

  struct Case {
    std::string dataSize;
    int pageSize;
  };
  for (const Case& c : std::vector<Case>{{"35", 35}, {"0", 20}, {"abc", 20}, {"-4", 20}}) {
    SCOPED_TRACE(c.dataSize);
    TKrLuxNewsStrategy strategy;
    strategy.SetIndexFilter("datasize", c.dataSize);
    int pageSize = -1, startNum = -1;
    store.CalcPageInfo(strategy, pageSize, startNum);
    EXPECT_EQ(pageSize, c.pageSize);
    EXPECT_EQ(startNum, 25);
  }
  TKrLuxDataStrategy bare;  // no "datasize" at all
  int pageSize = 0, startNum = 0;
  store.CalcPageInfo(bare, pageSize, startNum);
  EXPECT_EQ(pageSize, 20);

  EXPECT_TRUE(store.SetItemBrowsed("N3", true));
  EXPECT_EQ(store.GetRows()->GetIndexValue(3, "Browsed"), "True");
  EXPECT_TRUE(store.SetItemBrowsed("N3", false));
  auto rows = store.GetRows();
  EXPECT_EQ(rows->GetIndexValue(3, "Browsed"), "False");
  EXPECT_EQ(rows->GetColCount(3), 3);  // ID, Title, Browsed: the mark is one field
  EXPECT_FALSE(store.SetItemBrowsed("N99", true));
  EXPECT_TRUE(h->Logger().Contains("SetItemBrowsed 在DB中未找到N99对应的信息项"));

  // Rows handed out are the caller's own.
  rows->SetIndexValue(0, "Title", "changed by a widget");
  EXPECT_EQ(store.GetRows()->GetIndexValue(0, "Title"), "title of N0");

  store.SetReceiveRowNum(TableOf({"a", "b"}));
  store.SetReceiveRowNum(nullptr);
  EXPECT_EQ(store.GetHisNum(), 27);
  EXPECT_EQ(store.GetRowCount(), 25);
}

TEST(LuxSectorCache, OwnsStoresBySectorAndKeepsTheFirst) {
  TKrSectorDataCache cache;
  auto first = std::make_shared<TKrSectorDataDb>();
  auto second = std::make_shared<TKrSectorDataDb>();
  EXPECT_TRUE(cache.TryAddSectorData("333197635", first));
  EXPECT_FALSE(cache.TryAddSectorData("333197635", second));
  std::shared_ptr<TKrSectorDataDb> found;
  ASSERT_TRUE(cache.TryGetSectorData("333197635", found));
  EXPECT_EQ(found, first);
  EXPECT_FALSE(cache.TryGetSectorData("other", found));

  // A removed store lives on for whoever still holds it, and is freed with the last holder.
  std::weak_ptr<TKrSectorDataDb> watch = first;
  first.reset();
  cache.RemoveSectorData("333197635");
  EXPECT_FALSE(watch.expired());
  EXPECT_EQ(cache.Count(), 0u);
  found.reset();
  EXPECT_TRUE(watch.expired());
  cache.RemoveSectorData("333197635");
}

}  // namespace
}  // namespace kdp
