#include "cloud/cloud_date_macros.h"

#include <string>

#include <gtest/gtest.h>

#include "fixed_calendar.h"

namespace kdp::testing {
namespace {

host::DateTime At(int yyyymmdd, int hhmmss = 103000) { return *host::DateTime::FromYyyymmddHhmmss(yyyymmdd, hhmmss); }

std::string Expand(const std::string& functionTemplate, const ICloudCalendar& calendar) {
  std::string error;
  auto text = ExpandMatrixFunction(functionTemplate, "600000.SH", calendar, error);
  EXPECT_TRUE(text.has_value()) << error;
  return text.value_or("");
}

TEST(CloudDateMacrosTest, RangeMacrosFillThePreviousParameterAndTheirOwnPlace) {
  struct Case {
    int server;
    const char* functionTemplate;
    const char* expected;
  };
  const Case cases[] = {
      // A Monday: the week before runs from the Monday seven days earlier to the day before.
      {20261207, "f(KoraCode,S,$LastWeek)", "f(KoraCode,20261130,20261206)"},
      // A Sunday counts as day 7 of its week.
      {20261206, "f(KoraCode,S,$LastWeek)", "f(KoraCode,20261123,20261129)"},
      {20261204, "f(KoraCode,S,$CurWeek)", "f(KoraCode,20261130,20261204)"},
      {20261207, "f(KoraCode,S,$CurWeek)", "f(KoraCode,20261207,20261207)"},
      // January asks for December of the year before; March of a leap year for a 29-day February.
      {20270110, "f(KoraCode,S,$LastMonth)", "f(KoraCode,20261201,20261231)"},
      {20240305, "f(KoraCode,S,$LastMonth)", "f(KoraCode,20240201,20240229)"},
      {20261204, "f(KoraCode,S,$CurMonth)", "f(KoraCode,20261201,20261204)"},
      // February: the quarter before is October to December of the year before.
      {20270215, "f(KoraCode,S,$LastSession)", "f(KoraCode,20261001,20261231)"},
      {20260815, "f(KoraCode,S,$LastSession)", "f(KoraCode,20260401,20260630)"},
      {20270215, "f(KoraCode,S,$CurSession)", "f(KoraCode,20270101,20270215)"},
      {20261204, "f(KoraCode,S,$CurSession)", "f(KoraCode,20261001,20261204)"},
      // Two ranges in one template, and a macro name in another case.
      {20261207, "f(A,$curweek,B,$LastWeek)", "f(20261207,20261207,20261130,20261206)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.functionTemplate) + " on " + std::to_string(c.server));
    const FixedCalendar calendar(At(c.server), c.server);
    EXPECT_EQ(Expand(c.functionTemplate, calendar), c.expected);
  }
}

TEST(CloudDateMacrosTest, ValueMacrosUseTheServerYearTheLocalDateAndTheTradingDays) {
  // Server on Monday 2026-12-07; Thursday 2026-12-03 is a holiday; the local date is still Sunday.
  const FixedCalendar calendar(At(20261207, 90000), 20261206, Weekdays(20261101, 20261231, {20261203}), {"600000.SH"});
  struct Case {
    const char* functionTemplate;
    const char* expected;
  };
  const Case cases[] = {
      {"f($TradeDate)", "f(20261206)"},
      {"f($YesterdayDate)", "f(s_trade_date(koracode,20261205,0))"},
      {"f($CurYear)", "f(2026)"},
      {"f(KoraCode,$LastTradeDate)", "f(KoraCode,20261204)"},
      {"f(KoraCode,$TradeDateBef)", "f(KoraCode,20261204)"},
      // Back over the holiday: Dec 4, Dec 2, Dec 1.
      {"f(KoraCode,$TradeDateBef3)", "f(KoraCode,20261201)"},
      {"f(KoraCode,$LastReportYear)", "f(KoraCode,20251231)"},
      {"f(KoraCode,$LastReportYear2)", "f(KoraCode,20241231)"},
      // Unknown words and malformed counts stay as written.
      {"f($Unknown,$TradeDateBefX,$TradeDateBef0)", "f($Unknown,$TradeDateBefX,$TradeDateBef0)"},
      {"f()", "f()"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.functionTemplate);
    EXPECT_EQ(Expand(c.functionTemplate, calendar), c.expected);
  }

  // The local date crosses a month when a day is taken off.
  EXPECT_EQ(Expand("f($YesterdayDate)", FixedCalendar(At(20261201), 20261201)), "f(s_trade_date(koracode,20261130,0))");
}

// Only a missing trade date item keeps a macro; an item without the day asked answers -1, which is sent.
TEST(CloudDateMacrosTest, MacrosStayOnlyWithoutATradeDateItemAndAnItemsMinusOneIsWritten) {
  const FixedCalendar noItem(At(20261207), 20261207, Weekdays(20261101, 20261231), {"00700.HK"});
  // Server on Thursday 2026-12-03, a holiday; the calendar holds only Dec 1 and 2, so the current trade
  // date is Dec 2.
  const FixedCalendar shortItem(At(20261203), 20261203, {20261201, 20261202}, {"600000.SH"});
  // Server on Wednesday 2026-12-02, the calendar's second day.
  const FixedCalendar onDay2(At(20261202), 20261202, {20261201, 20261202}, {"600000.SH"});
  const FixedCalendar onDay1(At(20261201), 20261201, {20261201, 20261202}, {"600000.SH"});
  struct Case {
    const FixedCalendar& calendar;
    const char* functionTemplate;
    const char* expected;
  };
  const Case cases[] = {
      {noItem, "f($LastTradeDate,$TradeDateBef2,$LastReportYear1,$CurYear)",
       "f($LastTradeDate,$TradeDateBef2,$LastReportYear1,2026)"},
      {shortItem, "f(KoraCode,$TradeDateBef)", "f(KoraCode,20261201)"},
      {shortItem, "f(KoraCode,$TradeDateBef2)", "f(KoraCode,-1)"},          // before the calendar's first day
      {shortItem, "f(KoraCode,$LastTradeDate)", "f(KoraCode,-1)"},          // the server date is no trading day
      {shortItem, "f(KoraCode,$LastReportYear3)", "f(KoraCode,20231231)"},  // needs the item, not its days
      {onDay2, "f(KoraCode,$LastTradeDate)", "f(KoraCode,20261201)"},
      {onDay2, "f(KoraCode,$TradeDateBef1)", "f(KoraCode,20261201)"},
      {onDay1, "f(KoraCode,$LastTradeDate)", "f(KoraCode,-1)"},  // the first trading day has none before it
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.functionTemplate);
    EXPECT_EQ(Expand(c.functionTemplate, c.calendar), c.expected);
  }
}

TEST(CloudDateMacrosTest, TemplatesThatCannotBeSentAreRejected) {
  const FixedCalendar calendar(At(20261207), 20261207);
  for (const char* bad : {"f($LastWeek,KoraCode)", "f($curMonth)", "no_parenthesis", "f(KoraCode", ""}) {
    SCOPED_TRACE(bad);
    std::string error;
    EXPECT_FALSE(ExpandMatrixFunction(bad, "600000.SH", calendar, error).has_value());
    EXPECT_FALSE(error.empty());
  }
  std::string error;
  ExpandMatrixFunction("f($LastWeek,KoraCode)", "600000.SH", calendar, error);
  EXPECT_NE(error.find("$LastWeek"), std::string::npos) << error;
}

}  // namespace
}  // namespace kdp::testing
