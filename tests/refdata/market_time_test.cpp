// The session unit functions: cross-day and full-day lists, clearing times, date-time conversion, the
// session look-ups and the code helpers.
#include "kdp/refdata/market_time.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kdp {
namespace {

using ::testing::ElementsAre;

const TArrayMarketTimeSep kStocks{930, 1130, 1300, 1500};
const TArrayMarketTimeSep kNightFutures{2100, 2330, 900, 1015, 1030, 1130, 1330, 1500};

TEST(MarketTimeTest, CrossDayAndFullDayLists) {
  struct Case {
    TArrayMarketTimeSep sep;
    bool crossDay;
    bool fullDay;
  };
  const Case cases[] = {
      {kStocks, false, false},
      {kNightFutures, true, false},
      {{2100, 230}, true, false},
      {{600, 600}, true, true},          // 24 hours from 06:00: the end is not after the start either
      {{930, 1130, 930}, false, false},  // odd count
      {{930}, false, false},
      {{}, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.sep));
    EXPECT_EQ(IsCrossDayTrade(c.sep), c.crossDay);
    EXPECT_EQ(IsFullDayTrade(c.sep), c.fullDay);
  }
}

TEST(MarketTimeTest, ClearingTimeIsFiftyFiveMinutesBeforeTheFirstStart) {
  struct Case {
    TArrayMarketTimeSep sep;
    int clean;
  };
  for (const Case& c :
       {Case{kStocks, 835}, Case{kNightFutures, 2005}, Case{{900, 1500}, 805}, Case{{1000, 1500}, 905},
        Case{{56, 300}, 1}, Case{{55, 300}, 55}, Case{{0, 2400}, 0}, Case{{30, 100}, 30}, Case{{}, 0}}) {
    SCOPED_TRACE(::testing::PrintToString(c.sep));
    EXPECT_EQ(GenMarketCleanTime(c.sep), c.clean);
  }
}

TEST(MarketTimeTest, SessionsAfterMidnightFallOnTheNextDay) {
  EXPECT_THAT(TransMarketTimeSepDateTimeToMinute(TransMarketTimeSepToDate(kNightFutures)),
              ElementsAre(21 * 60, 23 * 60 + 30, 1440 + 9 * 60, 1440 + 10 * 60 + 15, 1440 + 10 * 60 + 30,
                          1440 + 11 * 60 + 30, 1440 + 13 * 60 + 30, 1440 + 15 * 60));
  EXPECT_THAT(TransMarketTimeSepDateTimeToMinute(TransMarketTimeSepToDate(kStocks)), ElementsAre(570, 690, 780, 900));
  // 2100 to 0230 and a value written past 24 hours (2530 is 01:30 of the next day).
  EXPECT_THAT(TransMarketTimeSepDateTimeToMinute(TransMarketTimeSepToDate({2100, 230})), ElementsAre(1260, 1440 + 150));
  EXPECT_THAT(TransMarketTimeSepDateTimeToMinute(TransMarketTimeSepToDate({2100, 2530})), ElementsAre(1260, 1440 + 90));

  const auto dates = TransMarketTimeSepToDate({2100, 230});
  EXPECT_EQ(dates[1].ToString(), "1899-12-31 02:30:00");
  const auto stamps = TransMarketTimeSepDateTimeToTimeStamp(dates);
  EXPECT_EQ(stamps[0], (TTimeStamp{21 * 3600 * 1000, 693594}));
  EXPECT_EQ(stamps[1], (TTimeStamp{9000 * 1000, 693595}));
}

TEST(MarketTimeTest, SessionLookUps) {
  struct Case {
    int t;
    int cycle;     // GetCycleSep
    int incFix;    // GetMinuteIncFix
    bool end;      // IsInEndSepCycle
    int rounded;   // RoundToSepEnd result value
    bool inBreak;  // RoundToSepEnd result
    int offset, start;
  };
  const Case cases[] = {
      {900, 0, 0, false, 930, false, 0, 0},  // before the open: clamped
      {930, 1, 0, false, 930, false, 0, 930},
      {1000, 1, 0, false, 1000, false, 70, 930},  // offsets are HHMM differences
      {1130, 1, 0, true, 1130, false, 200, 930},
      {1200, 0, 0, false, 1130, true, 0, 0},  // lunch break: to the morning's end
      {1300, 2, 1, false, 1300, false, 0, 1300},
      {1500, 2, 1, true, 1500, false, 200, 1300},
      {1600, 0, 0, false, 1500, false, 0, 0},  // after the close: clamped
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.t);
    EXPECT_EQ(GetCycleSep(kStocks, c.t), c.cycle);
    EXPECT_EQ(GetMinuteIncFix(kStocks, c.t), c.incFix);
    EXPECT_EQ(IsInEndSepCycle(kStocks, c.t), c.end);
    int t = c.t;
    EXPECT_EQ(RoundToSepEnd(kStocks, t), c.inBreak);
    EXPECT_EQ(t, c.rounded);
    int offset = -1, start = -1;
    EXPECT_EQ(GetCycleRoundToSep(c.t, kStocks, offset, start), c.cycle != 0);
    EXPECT_EQ(offset, c.offset);
    EXPECT_EQ(start, c.start);
  }
  int t = 1000;
  EXPECT_FALSE(RoundToSepEnd({}, t));
  EXPECT_EQ(t, 1000);
}

TEST(MarketTimeTest, TimesInsideTheSessionsEndsIncluded) {
  struct Case {
    TArrayMarketTimeSep sep;
    int hhmm;
    bool inside;
  };
  const Case cases[] = {
      {kStocks, 929, false},
      {kStocks, 930, true},
      {kStocks, 1130, true},
      {kStocks, 1200, false},
      {kStocks, 1300, true},
      {kStocks, 1500, true},
      {kStocks, 1501, false},
      {kNightFutures, 2200, true},  // the night session
      {kNightFutures, 2331, false},
      {kNightFutures, 1020, false},  // the morning break
      {kNightFutures, 1100, true},
      {{2100, 230}, 30, true},  // past midnight
      {{2100, 230}, 231, false},
      {{2100, 230}, 2059, false},
      {{600, 600}, 559, true},  // 24 hours
      {{600, 600}, 1200, true},
      {{930, 1130, 1300}, 1000, false},  // not pairs
      {{}, 1000, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.sep) + " at " + std::to_string(c.hhmm));
    EXPECT_EQ(IsInMarketTimeSep(c.sep, c.hhmm), c.inside);
  }
}

TEST(MarketTimeTest, CodeHelpers) {
  struct Case {
    const char* code;
    const char* suffix;
    const char* symbol;
    const char* stripped;
  };
  for (const Case& c :
       {Case{"600000.SH", ".SH", "600000", "600000.SH"}, Case{"FP_600000.SH", ".SH", "FP_600000", "600000.SH"},
        Case{"NP_00700.HK", ".HK", "NP_00700", "00700.HK"}, Case{"YTM_019547.SH", ".SH", "YTM_019547", "019547.SH"},
        Case{"YTM_IF2612.CFE", ".CFE", "YTM_IF2612", "IF2612.CF"},  // two characters past the point
        Case{"FP_NODOT", "FP_NODOT", "", "NODOT"}, Case{"AAPL.O", ".O", "AAPL", "AAPL.O"},
        Case{"fp_600000.sh", ".sh", "fp_600000", "fp_600000.sh"},  // prefixes are upper-case
        Case{"", "", "", ""}}) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(GetSuffixString(c.code), c.suffix);
    EXPECT_EQ(GetCodeString(c.code), c.symbol);
    EXPECT_EQ(StripQuotePrefix(c.code), c.stripped);
  }
}

// The sample's trade spans, by hand, at what a board of one Wednesday seen from Beijing does not show (its
// five instants in four markets are the command-line board tests'): a market's trade date and the start of
// the session it is in, the short morning pause, weekends, a holiday and the eve of a holiday.
TEST(MarketStateTest, SampleMarketsThroughOneDayAWeekendAndAHoliday) {
  using Kind = TMarketState::Kind;
  const TArrayMarketTimeSep sse{930, 1130, 1300, 1500};
  const TArrayMarketTimeSep shfeNight{2100, 230, 900, 1015, 1030, 1130, 1330, 1500};
  // Weekdays trade, except the mainland's National Day closures of 2026.
  const TTradingDayTest calendar = [](int date) {
    const int weekday = host::DateTime::FromYyyymmdd(date)->DayOfWeek();  // 1 = Sunday
    const bool holiday = date == 20261001 || date == 20261002 || (date >= 20261005 && date <= 20261007);
    return weekday != 1 && weekday != 7 && !holiday;
  };
  struct Case {
    const char* market;
    const TArrayMarketTimeSep& sep;
    host::DateTime local;
    Kind kind;
    const char* nextOpen;  // the next session's start, or the current one's when trading
    int tradeDate;
  };
  const auto at = [](int d, int h, int m) { return host::DateTime::FromParts(2026, d / 100, d % 100, h, m); };
  const Case cases[] = {
      {"SSE 14:00", sse, at(1209, 14, 0), Kind::kTrading, "2026-12-09 13:00:00", 20261209},
      // The short morning pause, a Friday night that belongs to Monday, a Saturday, a holiday, and its eve.
      {"SHFE 10:20", shfeNight, at(1209, 10, 20), Kind::kBreak, "2026-12-09 10:30:00", 20261209},
      {"SHFE Friday 22:00", shfeNight, at(1211, 22, 0), Kind::kNightSession, "2026-12-11 21:00:00", 20261214},
      {"SHFE Saturday 01:00", shfeNight, at(1212, 1, 0), Kind::kNightSession, "2026-12-11 21:00:00", 20261214},
      {"SSE Saturday 10:00", sse, at(1212, 10, 0), Kind::kClosed, "2026-12-14 09:30:00", 20261214},
      {"SSE National Day", sse, at(1001, 10, 0), Kind::kClosed, "2026-10-08 09:30:00", 20261008},
      {"SHFE on its eve", shfeNight, at(930, 22, 0), Kind::kClosed, "2026-10-08 09:00:00", 20260930},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.market);
    const TMarketState state = MarketStateAt(c.sep, c.local, calendar);
    EXPECT_EQ(state.kind, c.kind);
    EXPECT_EQ(state.nextOpen.ToString(), c.nextOpen);
    EXPECT_EQ(state.tradeDate, c.tradeDate);
  }
  EXPECT_EQ(MarketStateAt({930, 1130, 1300}, at(1209, 10, 0), calendar).kind, Kind::kClosed);  // not pairs
}

}  // namespace
}  // namespace kdp
