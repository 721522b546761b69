// Report analyses, column types and the China-bond authorization, through "ICloudDataMgr": rows are
// written into a report's table with the data item's own statements, then read and analysed; and a fired
// request item hands its reply's rows to its analysis.
#include <chrono>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <fmt/ranges.h>
#include <gtest/gtest.h>

#include "core/package_lookup.h"
#include "kdp/cloud/cloud_data.h"
#include "test_host.h"

namespace kdp::testing {
namespace {

using namespace std::chrono_literals;
using Grid = std::vector<std::vector<std::string>>;
using Rows = std::vector<std::vector<host::SqlValue>>;

class CloudReportAnalysisTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(h->StartPackage());
    mgr = G_QueryInterface<ICloudDataMgr>("ICloudDataMgr");
    ASSERT_NE(mgr, nullptr);
  }
  // A data item over a new report `name` whose table has `fields` ("Name" or "Name:Type"), holding `rows`.
  std::shared_ptr<ICloudDataItem> Table(const std::string& name, const std::vector<std::string>& fields,
                                        const Rows& rows) {
    std::string xml = fmt::format(R"(<Report Name="{0}" ReportType="rtKudsReportLux"><Table name="{0}">)", name);
    for (const std::string& field : fields) {
      const auto colon = field.find(':');
      xml += colon == std::string::npos
                 ? fmt::format(R"(<Field name="{}"/>)", field)
                 : fmt::format(R"(<Field name="{}" Type="{}"/>)", field.substr(0, colon), field.substr(colon + 1));
    }
    EXPECT_TRUE(mgr->DynamicAddReportItem(xml + "</Table></Report>"));
    auto data = mgr->GetCloudDataItem(name);
    EXPECT_NE(data, nullptr);
    const std::vector<std::string> marks(fields.size(), "?");
    for (const auto& row : rows)
      EXPECT_TRUE(data->ExecuteSQL(fmt::format("INSERT INTO {} VALUES({})", name, fmt::join(marks, ",")), row));
    EXPECT_TRUE(data->PrepareData());
    return data;
  }

  TestHost h;
  std::shared_ptr<ICloudDataMgr> mgr;
};

Grid GridOf(ICloudReportAnalysis& analysis) {
  Grid grid(static_cast<std::size_t>(analysis.GetRowCount()));
  for (int r = 0; r < analysis.GetRowCount(); ++r)
    for (int c = 0; c < analysis.GetColCount(); ++c)
      grid[static_cast<std::size_t>(r)].push_back(analysis.GetValue(r, c));
  return grid;
}

TEST_F(CloudReportAnalysisTest, EachAnalysisBuildsItsGrid) {
  struct Case {
    const char* analysis;
    std::vector<std::string> fields;
    Rows rows;
    Grid expected;
  };
  const Case cases[] = {
      // By yield change, largest first, equal changes by code; then the summed volume.
      {"Analysis_BondWeekReport",
       {"KoraCode", "BondName", "WeekYieldChange", "WeekVolume"},
       {{"019666.SH", "国债A", 0.05, std::int64_t{1000}},
        {"019667.SH", "国债B", -0.02, std::int64_t{500}},
        {"102100.SZ", "企业债", 0.05, 250.5}},
       {{"Rank", "KoraCode", "BondName", "WeekYieldChange", "WeekVolume"},
        {"1", "019666.SH", "国债A", "0.05", "1000"},
        {"2", "102100.SZ", "企业债", "0.05", "250.5"},
        {"3", "019667.SH", "国债B", "-0.02", "500"},
        {"Total", "", "", "", "1750.5"}}},
      // Share classes under their master, named by the master's own row.
      {"Analysis_MasterFundReport",
       {"KoraCode", "MasterCode", "FundName"},
       {{"000002.OF", "000001.OF", "华夏成长C"},
        {"000001.OF", "000001.OF", "华夏成长A"},
        {"110011.OF", "110011.OF", "易方达中小盘"},
        {"000003.OF", "000001.OF", "华夏成长E"}},
       {{"MasterCode", "FundName", "ShareClasses", "KoraCodes"},
        {"000001.OF", "华夏成长A", "3", "000002.OF,000001.OF,000003.OF"},
        {"110011.OF", "易方达中小盘", "1", "110011.OF"}}},
      // Rates per term; a rate that is not a number does not count.
      {"Analysis_IMMBONDReport",
       {"KoraCode", "Term", "Rate"},
       {{"A", "1M", 2.5}, {"B", "3M", 3.0}, {"C", "1M", 1.5}, {"D", "1M", "n/a"}, {"E", "3M", 4.0}},
       {{"Term", "Count", "AverageRate", "MinRate", "MaxRate"},
        {"1M", "2", "2", "1.5", "2.5"},
        {"3M", "2", "3.5", "3", "4"}}},
      // The A/H partner apart, the other relations in order.
      {"Analysis_InterrelateReport",
       {"KoraCode", "RelatedCode", "RelationType"},
       {{"601318.SH", "02318.HK", std::int64_t{1}},
        {"601318.SH", "000001.SZ", std::int64_t{3}},
        {"600000.SH", "600036.SH", std::int64_t{4}},
        {"601318.SH", "000002.SZ", std::int64_t{4}}},
       {{"KoraCode", "AHCode", "RelatedCodes"},
        {"601318.SH", "02318.HK", "000001.SZ,000002.SZ"},
        {"600000.SH", "", "600036.SH"}}},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.analysis);
    auto analysis = mgr->GetReportAnalysis(c.analysis);
    ASSERT_NE(analysis, nullptr);
    analysis->SetData(Table(fmt::format("AnalysisRows{}", ++n), c.fields, c.rows));
    EXPECT_EQ(GridOf(*analysis), c.expected);
    EXPECT_EQ(analysis->GetValue(analysis->GetRowCount(), 0), "");
  }
  EXPECT_EQ(mgr->GetReportAnalysis("Analysis_NoSuch"), nullptr);
}

// A column of type 20 is a China-bond valuation: a row may show it only when its flag column reads 1.
TEST_F(CloudReportAnalysisTest, ChinaBondValuationsNeedTheRowsFlag) {
  auto data =
      Table("BondValuations", {"KoraCode", "ValuationYield:20", "ChinaBondValueFlag"},
            {{"019666.SH", 2.31, std::int64_t{1}}, {"019667.SH", 2.45, std::int64_t{0}}, {"019668.SH", 2.5, nullptr}});
  EXPECT_EQ(data->GetIndexType("valuationyield"), 20);
  EXPECT_EQ(data->GetIndexType("KoraCode"), 0);
  EXPECT_EQ(data->GetIndexType("NoSuchField"), 0);
  EXPECT_EQ(data->GetColType(1), 20);
  EXPECT_EQ(data->GetColType(2), 0);
  const std::vector<bool> shown{true, false, false};
  for (int row = 0; row < 3; ++row) {
    SCOPED_TRACE(row);
    EXPECT_EQ(data->IsIndexAuthorized(row, "ValuationYield"), shown[static_cast<std::size_t>(row)]);
    EXPECT_EQ(data->IsIndexAuthorized(row, 1), shown[static_cast<std::size_t>(row)]);
    EXPECT_TRUE(data->IsIndexAuthorized(row, "KoraCode"));
  }
  // Without a flag column no row may show a valuation.
  auto bare = Table("BareValuations", {"KoraCode", "ValuationYield:20"}, {{"019666.SH", 2.31}});
  EXPECT_FALSE(bare->IsIndexAuthorized(0, "ValuationYield"));
}

// A fired item hands the stored rows to its analysis before the update event; with column names asked,
// the request names the table's fields.
TEST_F(CloudReportAnalysisTest, AFiredItemHandsItsRowsToItsAnalysis) {
  auto request = mgr->GetCloudDataRequest("BondWeekReport");
  ASSERT_NE(request, nullptr);
  int rowsSeen = -1;
  auto item = request->GetRequestItem();
  item->SetReportAnalysis(mgr->GetReportAnalysis("Analysis_BondWeekReport"));
  request->SetOnCloudDataUpdate([&](bool success, int, const std::string&) {
    EXPECT_TRUE(success);
    rowsSeen = item->GetReportAnalysis()->GetRowCount();
  });
  ASSERT_GE(item->FireRequest(), 0);
  ASSERT_TRUE(h->Loop().RunUntil([&] { return rowsSeen >= 0; }, 10s));
  auto table = mgr->GetCloudDataItem("BondWeekReport");
  ASSERT_TRUE(table->PrepareData());
  ASSERT_GT(table->GetRowCounts(), 0);
  EXPECT_EQ(rowsSeen, table->GetRowCounts() + 2);  // captions and the total besides the bonds

  auto history = mgr->GetCloudDataRequest("FundNetValueHistory");
  history->SetIsRequestColumnName(true);
  ASSERT_GE(history->GetRequestItem()->FireRequest(), 0);
  EXPECT_TRUE(h->Logger().Contains("showcolumnname=KoraCode,TradeDate,UnitNetValue,AccumNetValue,DailyReturn"));
}

}  // namespace
}  // namespace kdp::testing
