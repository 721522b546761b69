// The stand-in host's report data: report commands answered from the sample calendars, and the loader's
// refusals. Expected trading days are the exchanges' own calendars, worked out by hand.
#include "report_data.h"

#include <filesystem>
#include <fstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "test_host.h"

namespace kdp::minihost {
namespace {

using kdp::testing::TestHost;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// The rows of an answered calendar as "MARKET:yyyymmdd".
std::vector<std::string> Rows(const SampleReportData& data, const std::string& command) {
  bool answered = false;
  const host::MemoryStream stream = data.Answer(command, answered);
  EXPECT_TRUE(answered) << command;
  host::TKUDSResponse response;
  std::string error;
  EXPECT_TRUE(response.Decode(stream.Bytes(), error)) << error;
  std::vector<std::string> rows;
  const host::TKUDSReport* report = response.GetReport();
  if (report == nullptr) return rows;
  for (int r = 0; r < report->GetRecordCount(); ++r) {
    rows.push_back(std::get<std::string>(report->GetValue(r, 0)) + ":" + std::get<std::string>(report->GetValue(r, 1)));
  }
  return rows;
}

std::string Calendar(const std::string& markets, const std::string& from, const std::string& to) {
  return "report name=Misc.TradeDateList koraCodes= marketCodes=" + markets + " startDate=" + from + " endDate=" + to +
         " internalUserID=[10000001]";
}

TEST(ReportDataTest, SampleCalendarsFollowTheExchangesHolidays) {
  TestHost h;
  const SampleReportData& data = h->Reports();
  // New Year's Day and a weekend.
  EXPECT_THAT(Rows(data, Calendar("SSE", "20240101", "20240110")),
              ElementsAre("SSE:20240102", "SSE:20240103", "SSE:20240104", "SSE:20240105", "SSE:20240108",
                          "SSE:20240109", "SSE:20240110"));
  // The 2024 Spring Festival: Shanghai closes from the 9th to the 16th, Hong Kong on the 12th and 13th,
  // and the northbound channel trades only when both do.
  EXPECT_THAT(Rows(data, Calendar("SSE", "20240207", "20240220")),
              ElementsAre("SSE:20240207", "SSE:20240208", "SSE:20240219", "SSE:20240220"));
  EXPECT_THAT(Rows(data, Calendar("HKEX", "20240207", "20240220")),
              ElementsAre("HKEX:20240207", "HKEX:20240208", "HKEX:20240209", "HKEX:20240214", "HKEX:20240215",
                          "HKEX:20240216", "HKEX:20240219", "HKEX:20240220"));
  EXPECT_THAT(Rows(data, Calendar("SHN", "20240207", "20240220")),
              ElementsAre("SHN:20240207", "SHN:20240208", "SHN:20240219", "SHN:20240220"));
  // New York closed for a day of mourning on 2025-01-09.
  EXPECT_THAT(Rows(data, Calendar("NYSE", "20250106", "20250110")),
              ElementsAre("NYSE:20250106", "NYSE:20250107", "NYSE:20250108", "NYSE:20250110"));
  // A list of markets in any case, in file order.
  EXPECT_THAT(Rows(data, Calendar("szse,hkS", "20240102", "20240102")), ElementsAre("SZSE:20240102", "HKS:20240102"));
  // Whole years: 242 trading days in Shanghai and 252 in New York in 2024.
  EXPECT_EQ(Rows(data, Calendar("SSE", "20240101", "20241231")).size(), 242u);
  EXPECT_EQ(Rows(data, Calendar("NASDAQ", "20240101", "20241231")).size(), 252u);
  // Left-out and empty parameters select nothing away: 2024 to 2027 of one market.
  const auto all = Rows(data, "report name=Misc.TradeDateList marketCodes=SZSE startDate=");
  ASSERT_FALSE(all.empty());
  EXPECT_EQ(all.front(), "SZSE:20240102");
  EXPECT_EQ(all.back().substr(0, 9), "SZSE:2027");
}

TEST(ReportDataTest, CommandsThatAreNotAnsweredSayWhy) {
  SampleReportData data;
  std::string error;
  const std::string directory = kdp::testing::MakeTempDir();
  std::ofstream(directory + "/Prices.csv") << "Code,Price\n600000.SH,10.5\n000001.SZ,\n00700.HK,380\n";
  ASSERT_TRUE(data.LoadText(R"({"reports": {"Prices": {"file": "Prices.csv",
      "columns": [{"name": "Code", "type": "string"}, {"name": "Price", "type": "double"}],
      "filters": [{"parameter": "min", "column": "Price", "match": "from"}]}}})",
                            directory, error))
      << error;
  // Numbers compare as numbers ("10.5" < "380" as numbers, not as texts); an empty cell matches no bound.
  bool answered = false;
  host::TKUDSResponse response;
  ASSERT_TRUE(response.Decode(data.Answer("report name=Prices min=100", answered).Bytes(), error)) << error;
  EXPECT_TRUE(answered);
  ASSERT_NE(response.GetReport(), nullptr);
  ASSERT_EQ(response.GetReport()->GetRecordCount(), 1);
  EXPECT_EQ(response.GetReport()->GetValue(0, 1), host::TKUDSValue(380.0));

  struct Case {
    const char* command;
    std::int32_t result;
    const char* message;
  };
  const Case cases[] = {
      {"reprt name=Prices", SampleReportData::kNotAReportCommand, "not a report command"},
      {"report name=Volumes", SampleReportData::kUnknownReport, "no report named Volumes"},
      {"report name=Prices min=cheap", SampleReportData::kBadParameter, "parameter min=cheap is not a number"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    ASSERT_TRUE(response.Decode(data.Answer(c.command, answered).Bytes(), error)) << error;
    EXPECT_FALSE(answered);
    EXPECT_EQ(response.GetReport(), nullptr);
    EXPECT_EQ(response.GetResult(), c.result);
    EXPECT_THAT(response.GetMessage(), HasSubstr(c.message));
  }
  std::filesystem::remove_all(directory);
}

TEST(ReportDataTest, MalformedDataIsRefusedWithFileAndLine) {
  const std::string directory = kdp::testing::MakeTempDir();
  std::ofstream(directory + "/Good.csv") << "Code,Volume\nA,1\n";
  std::ofstream(directory + "/Header.csv") << "Code,Vol\nA,1\n";
  std::ofstream(directory + "/Fields.csv") << "Code,Volume\nA,1\nB\n";
  std::ofstream(directory + "/Number.csv") << "Code,Volume\nA,1\nB,1.5\n";
  auto describe = [](const std::string& file, const std::string& volumeType, const std::string& match) {
    return R"({"reports": {"R": {"file": ")" + file + R"(", "columns": [{"name": "Code", "type": "string"},
        {"name": "Volume", "type": ")" +
           volumeType + R"("}], "filters": [{"parameter": "p", "column": "Volume",
        "match": ")" +
           match + R"("}]}}})";
  };
  struct Case {
    std::string json;
    std::string why;
  };
  const Case cases[] = {
      {describe("Good.csv", "int16", "in"), "unknown column type \"int16\""},
      {describe("Good.csv", "int64", "near"), "bad filter on column \"Volume\" (near)"},
      {describe("Missing.csv", "int64", "in"), "cannot read report data"},
      {describe("Header.csv", "int64", "in"), "Header.csv:1: the header does not name the columns"},
      {describe("Fields.csv", "int64", "in"), "Fields.csv:3: 1 fields for 2 columns"},
      {describe("Number.csv", "int64", "in"), "Number.csv:3: \"1.5\" is not a value of column Volume"},
      {"{}", "reports"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    SampleReportData data;
    std::string error;
    EXPECT_FALSE(data.LoadText(c.json, directory, error));
    EXPECT_THAT(error, HasSubstr(c.why));
  }
  SampleReportData data;
  std::string error;
  EXPECT_TRUE(data.LoadText(describe("Good.csv", "int64", "in"), directory, error)) << error;
  EXPECT_EQ(data.ReportCount(), 1u);
  std::filesystem::remove_all(directory);
}

TEST(ReportDataTest, ReportCommandParameters) {
  const auto parameters =
      ParseReportCommand("  report name=Misc.TradeDateList koraCodes= marketCodes=SSE internalUserID=[1 2] =x");
  ASSERT_TRUE(parameters.has_value());
  EXPECT_EQ(*parameters,
            (std::map<std::string, std::string>{
                {"name", "Misc.TradeDateList"}, {"koraCodes", ""}, {"marketCodes", "SSE"}, {"internalUserID", "[1"}}));
  EXPECT_FALSE(ParseReportCommand("name=Misc.TradeDateList").has_value());
  EXPECT_FALSE(ParseReportCommand("").has_value());
}

}  // namespace
}  // namespace kdp::minihost
