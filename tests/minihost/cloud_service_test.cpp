// The stand-in cloud data service: the request forms it reads, values that stay the same for the same
// question on the same day, the codes it denies, generated reports, and descriptions it refuses.
#include "cloud_service.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kdp::minihost {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr const char* kDescription = R"json({
  "indicatorReports": {"F5.Test": "10001-10003,10489"},
  "deniedCodes": ["000300.SH"],
  "generatedReports": {
    "Nav.History": {"columns": [{"name": "KoraCode", "value": "code"}, {"name": "TradeDate", "value": "date"},
                                {"name": "Nav", "value": "number"}, {"name": "Name", "value": "text"}],
                    "rowsPerCode": 3, "codes": ["510050.SH"]}
  }})json";

// Each record's cells as text, joined by "|".
std::vector<std::string> Records(const SimCloudService& service, const std::string& command, int day) {
  const auto stream = service.Answer(command, day);
  EXPECT_TRUE(stream.has_value()) << command;
  if (!stream) return {};
  host::TKUDSResponse response;
  std::string error;
  EXPECT_TRUE(response.Decode(stream->Bytes(), error)) << error;
  std::vector<std::string> records;
  const auto* report = response.GetReport();
  for (int r = 0; report && r < report->GetRecordCount(); ++r) {
    std::string line;
    for (int c = 0; c < report->GetColumnCount(); ++c) {
      const auto& cell = report->GetValue(r, c);
      if (c) line += "|";
      if (const auto* text = std::get_if<std::string>(&cell)) line += *text;
      if (const auto* i32 = std::get_if<std::int32_t>(&cell)) line += std::to_string(*i32);
      if (std::holds_alternative<double>(cell)) line += "#";  // numbers are checked apart
    }
    records.push_back(line);
  }
  return records;
}

TEST(SimCloudServiceTest, IndicatorValuesDependOnCodeIndicatorAndDayOnly) {
  const std::string a = SimCloudService::IndicatorValue("600000.SH", "10001", 20261204);
  EXPECT_EQ(SimCloudService::IndicatorValue("600000.SH", "10001", 20261204), a);
  EXPECT_NE(SimCloudService::IndicatorValue("600000.SH", "10001", 20261205), a);
  EXPECT_NE(SimCloudService::IndicatorValue("600000.SH", "10002", 20261204), a);
  EXPECT_NE(SimCloudService::IndicatorValue("600004.SH", "10001", 20261204), a);
  // Two decimals, within +-10000.
  const double value = std::stod(a);
  EXPECT_LT(std::abs(value), 10000.0);
  EXPECT_EQ(a.size() - a.find('.'), 3u);
}

// The indicator reports, denied codes and matrix functions are the package's cloud tests'; the stand-in's
// own part is how it splits a KSS function list and which requests it leaves to the report data.
TEST(SimCloudServiceTest, SplitsKssFunctionsOutsideTheirParenthesesAndLeavesOthersRequests) {
  SimCloudService service;
  std::string error;
  ASSERT_TRUE(service.LoadText(kDescription, error)) << error;
  const auto v = [](const std::string& code, const std::string& indicator) {
    return SimCloudService::IndicatorValue(code, indicator, 20261204);
  };
  // KSS: functions split at the commas outside their parentheses.
  EXPECT_THAT(Records(service,
                      "KSS('600000.SH','s_val_mv(KoraCode,x),KSS_A(KoraCode)','tradeDate=20261204') "
                      "internalUserID=[U1]",
                      20261204),
              ElementsAre("600000.SH|s_val_mv(KoraCode,x)|" + v("600000.SH", "s_val_mv(KoraCode,x)") + "|1",
                          "600000.SH|KSS_A(KoraCode)|" + v("600000.SH", "KSS_A(KoraCode)") + "|1"));
  // Not its requests: the sample report data may answer them.
  EXPECT_FALSE(service.Answer("report name=Misc.TradeDateList marketCodes=SSE", 20261204));
  EXPECT_FALSE(service.Answer("KSS('600000.SH'", 20261204));
  EXPECT_FALSE(service.Answer("", 20261204));
}

TEST(SimCloudServiceTest, GeneratedReportsCountWeekdaysBack) {
  SimCloudService service;
  std::string error;
  ASSERT_TRUE(service.LoadText(kDescription, error)) << error;
  // Three rows from the end date back (which weekdays: the host's cloud report tests).
  const auto rows = Records(service, "report name=Nav.History koraCode=000001.OF endDate=20261207", 20261204);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_THAT(rows[0], ::testing::StartsWith("000001.OF|20261207|#|样本"));
  EXPECT_EQ(Records(service, "report name=Nav.History koraCode=000001.OF endDate=20261207", 20261204), rows);
  // Without codes the report's own; by the ksv and KSD forms too.
  EXPECT_THAT(Records(service, "ksv('Nav.History','endDate=20261204') internalUserID=[U1]", 20261204)[0],
              ::testing::StartsWith("510050.SH|20261204|"));
  EXPECT_EQ(Records(service, "KSD('Nav.History','endDate=20261204')", 20261204).size(), 3u);
}

TEST(SimCloudServiceTest, RefusesBrokenDescriptions) {
  SimCloudService service;
  std::string error;
  EXPECT_FALSE(service.LoadText(R"({"indicatorReports": {"A": "10003-10001"}})", error));
  EXPECT_THAT(error, HasSubstr("A"));
  EXPECT_FALSE(service.LoadText(R"({"indicatorReports": {"A": "x"}})", error));
  EXPECT_FALSE(service.LoadText(
      R"({"indicatorReports": {}, "generatedReports": {"G": {"columns": [{"name": "c", "value": "blob"}]}}})", error));
  EXPECT_THAT(error, HasSubstr("G"));
  EXPECT_FALSE(service.LoadText("{", error));
  // A refused description keeps what was loaded before.
  ASSERT_TRUE(service.LoadText(kDescription, error));
  EXPECT_FALSE(service.LoadText(R"({"indicatorReports": {"A": "1-"}})", error));
  EXPECT_EQ(service.IndicatorReportCount(), 1u);
}

}  // namespace
}  // namespace kdp::minihost
