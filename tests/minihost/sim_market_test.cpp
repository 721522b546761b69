// The stand-in quote engine's market: sessions, trade dates, the random walk's constraints.
#include "sim_market.h"

#include <algorithm>
#include <cmath>

#include <gtest/gtest.h>

#include "test_host.h"

namespace kdp::minihost {
namespace {

using host::DateTime;

DateTime At(int yyyymmdd, int hhmmss) { return DateTime::FromYyyymmddHhmmss(yyyymmdd, hhmmss).value(); }

// The sample's quote fields and trade spans, over the test host's security master.
class SimMarketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(fields.Load(std::string(KDP_SAMPLE_ETC) + "/Host/QuoteFields.json", error)) << error;
    ASSERT_TRUE(rules.Load(std::string(KDP_SAMPLE_ETC) + "/Host/TradeSpans.json", error)) << error;
  }
  testing::TestHost h;
  QuoteFieldMap fields;
  MarketRules rules;
};

TEST(SimMarketSessionsTest, SessionsAndTradeDatesAcrossMidnightAndWeekends) {
  const MarketRule night{"SHFE", 8, {2100, 230, 900, 1015, 1030, 1130, 1330, 1500}, nullptr};
  const MarketRule day{"SSE", 8, {930, 1130, 1300, 1500}, nullptr};
  EXPECT_TRUE(InSessions(night.sessions, 223000));
  EXPECT_TRUE(InSessions(night.sessions, 13000));
  EXPECT_FALSE(InSessions(night.sessions, 30000));
  EXPECT_FALSE(InSessions(night.sessions, 102000));
  EXPECT_FALSE(InSessions(night.sessions, 23030));
  EXPECT_FALSE(InSessions(day.sessions, 120000));

  // 2026-12-04 is a Friday: its night session trades for Monday the 7th, also after midnight.
  EXPECT_EQ(TradeDateOf(night, At(20261204, 220000)), 20261207);
  EXPECT_EQ(TradeDateOf(night, At(20261205, 13000)), 20261207);
  EXPECT_EQ(TradeDateOf(night, At(20261203, 220000)), 20261204);
  EXPECT_EQ(TradeDateOf(night, At(20261204, 100000)), 20261204);
  // A day market shows Friday's date over the weekend.
  EXPECT_EQ(TradeDateOf(day, At(20261206, 100000)), 20261204);
  EXPECT_EQ(TradeDateOf(day, At(20261207, 100000)), 20261207);
}

TEST_F(SimMarketTest, WalkStaysOnTheTickGridWithinLimitsAndIsReproducible) {
  SimMarket a(h->Securities(), rules, fields, 7, 2.0), b(h->Securities(), rules, fields, 7, 2.0);
  const DateTime start = At(20261204, 100000);  // Friday morning, SH and SZ trade
  a.AdvanceTo(start);
  b.AdvanceTo(start);
  const auto changed = a.AdvanceTo(start.AddSeconds(600));
  b.AdvanceTo(start.AddSeconds(600));

  const std::uint32_t last = fields.IdOf(QuoteRole::kLast).value();
  const std::uint32_t volume = fields.IdOf(QuoteRole::kVolume).value();
  const std::uint32_t up = fields.IdOf(QuoteRole::kLimitUp).value();
  const std::uint32_t down = fields.IdOf(QuoteRole::kLimitDown).value();
  EXPECT_NE(std::find(changed.begin(), changed.end(), "600000.SH"), changed.end());
  EXPECT_EQ(std::find(changed.begin(), changed.end(), "600745.SH"), changed.end());  // suspended
  EXPECT_EQ(std::find(changed.begin(), changed.end(), "AAPL.O"), changed.end());     // New York is asleep

  for (const char* code : {"600000.SH", "000001.SZ", "600519.SH", "588000.SH"}) {
    SCOPED_TRACE(code);
    const double price = std::get<double>(*a.Value(code, last));
    EXPECT_EQ(price, std::get<double>(*b.Value(code, last)));  // same seed, same walk
    const double step = h->Securities().GetSecurity(code)->GetPriceStep();
    EXPECT_NEAR(price / step, std::round(price / step), 1e-6);
    EXPECT_LE(price, std::get<double>(*a.Value(code, up)) + 1e-9);
    EXPECT_GE(price, std::get<double>(*a.Value(code, down)) - 1e-9);
    EXPECT_GT(std::get<std::int64_t>(*a.Value(code, volume)), 0);
  }
  // The limit band of an A share is 10% around the previous close.
  EXPECT_DOUBLE_EQ(std::get<double>(*a.Value("600000.SH", up)), 11.39);
  EXPECT_DOUBLE_EQ(std::get<double>(*a.Value("600000.SH", down)), 9.33);
  EXPECT_EQ(std::get<std::int64_t>(*a.Value("600745.SH", volume)), 0);
  EXPECT_FALSE(a.Value("600745.SH", fields.IdOf(QuoteRole::kOpen).value()).has_value());  // never traded today
  EXPECT_FALSE(a.Value("NOSUCH.SH", last).has_value());
  EXPECT_FALSE(a.Value("600000.SH", 9999).has_value());
}

TEST_F(SimMarketTest, SessionsMoveWithTheMarketsSummerTime) {
  const SimMarket market(h->Securities(), rules, fields, 7, 1.0);
  struct Case {
    const char* code;
    DateTime serverTime;  // Beijing
    bool trading;
  };
  const Case cases[] = {
      // New York opens at 09:30: 21:30 in Beijing in summer, 22:30 in winter; it closes at 16:00.
      {"AAPL.O", At(20260701, 212959), false},
      {"AAPL.O", At(20260701, 213000), true},
      {"AAPL.O", At(20260702, 40000), true},
      {"AAPL.O", At(20260702, 40100), false},
      {"AAPL.O", At(20261203, 222959), false},
      {"AAPL.O", At(20261203, 223000), true},
      // Daylight time from Sunday 8 March 2026: the Friday before opens at 22:30, the Monday after at 21:30.
      {"AAPL.O", At(20260306, 213000), false},
      {"AAPL.O", At(20260306, 223000), true},
      {"AAPL.O", At(20260309, 213000), true},
      {"DJI.GI", At(20260309, 213000), true},
      // London opens at 08:00: 16:00 in Beijing until 29 March 2026, 15:00 after.
      {"FTSE.GI", At(20260327, 150000), false},
      {"FTSE.GI", At(20260327, 160000), true},
      {"FTSE.GI", At(20260330, 150000), true},
      {"600000.SH", At(20260701, 93000), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.code) + " " + c.serverTime.ToString());
    EXPECT_EQ(market.IsTrading(c.code, c.serverTime), c.trading);
  }
}

TEST_F(SimMarketTest, ANewTradeDateRollsTheCloseAndResetsTheDay) {
  SimMarket market(h->Securities(), rules, fields, 1, 1.0);
  const std::uint32_t last = *fields.IdOf(QuoteRole::kLast), prev = *fields.IdOf(QuoteRole::kPrevClose);
  const std::uint32_t volume = *fields.IdOf(QuoteRole::kVolume), date = *fields.IdOf(QuoteRole::kTradeDate);

  market.AdvanceTo(At(20261204, 145000));
  market.AdvanceTo(At(20261204, 150000));  // Friday's close
  const double friday_close = std::get<double>(*market.Value("600000.SH", last));
  EXPECT_EQ(std::get<double>(*market.Value("600000.SH", date)), 20261204);
  const auto friday_volume = std::get<std::int64_t>(*market.Value("600000.SH", volume));
  market.AdvanceTo(At(20261207, 92950));  // Monday, just before the open: Friday's day still stands
  EXPECT_EQ(std::get<double>(*market.Value("600000.SH", date)), 20261204);
  EXPECT_EQ(std::get<std::int64_t>(*market.Value("600000.SH", volume)), friday_volume);
  EXPECT_DOUBLE_EQ(std::get<double>(*market.Value("600000.SH", last)), friday_close);
  market.AdvanceTo(At(20261207, 93100));
  EXPECT_EQ(std::get<double>(*market.Value("600000.SH", date)), 20261207);
  EXPECT_DOUBLE_EQ(std::get<double>(*market.Value("600000.SH", prev)), friday_close);
  EXPECT_LT(std::get<std::int64_t>(*market.Value("600000.SH", volume)), 5000 * 100);  // a fresh day's volume
}

// A rate far beyond what a date can resolve is capped, and a long advance simulates a bounded stretch.
TEST_F(SimMarketTest, AFastRateStillTradesOverALongAdvance) {
  const DateTime start = At(20261204, 103000);
  SimMarket fast(h->Securities(), rules, fields, 3, 1e12);
  fast.AdvanceTo(start);
  const auto changed = fast.AdvanceTo(start.AddSeconds(3600));
  EXPECT_NE(std::find(changed.begin(), changed.end(), "600000.SH"), changed.end());
}

// A market started before the open, at lunch or at night shows the latest trade day as it stands. At 1
// trade a second of 1 + Geometric(0.08) lots (12.5 on average), a Shanghai minute is 60 x 12.5 x 100 =
// 75,000 shares; the morning's 121 minutes (09:30 to 11:30) are 9,075,000, give or take 102,000 (the
// spread: sqrt(121 x 60 x 0.92) / 0.08 lots). Its whole day is 242 minutes.
TEST_F(SimMarketTest, AMarketStartedBetweenSessionsShowsItsLatestTradeDay) {
  const std::uint32_t date = *fields.IdOf(QuoteRole::kTradeDate), volume = *fields.IdOf(QuoteRole::kVolume);
  const std::uint32_t traded = *fields.IdOf(QuoteRole::kLastTradeTime), last = *fields.IdOf(QuoteRole::kLast);
  const auto number = [](const SimMarket& m, const char* code, std::uint32_t id) {
    const auto v = m.Value(code, id);
    return std::holds_alternative<double>(*v) ? std::get<double>(*v) : static_cast<double>(std::get<std::int64_t>(*v));
  };
  struct Case {
    DateTime start;
    const char* code;
    double tradeDate, lastTradeTime;
    std::size_t minutes;
    int firstMinute;
  };
  const Case cases[] = {
      {At(20261207, 123000), "600000.SH", 20261207, 113000, 121, 930},  // Monday lunch: the morning
      {At(20261207, 80000), "600000.SH", 20261204, 150000, 242, 930},   // Monday before the open: Friday
      {At(20261206, 120000), "600000.SH", 20261204, 150000, 242, 930},  // Sunday: Friday
      // Tuesday 03:00: Tuesday's trade date began with Monday's night session, 21:00 to 02:30.
      {At(20261208, 30000), "AU2702.SHF", 20261208, 23000, 331, 2100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.code) + " from " + c.start.ToString());
    SimMarket market(h->Securities(), rules, fields, 1, 1.0);
    market.FillLatestTradeDay(c.start);
    market.AdvanceTo(c.start);
    EXPECT_EQ(number(market, c.code, date), c.tradeDate);
    EXPECT_EQ(number(market, c.code, traded), c.lastTradeTime);
    const auto minutes = market.MinuteSeries(c.code, last, 0, 2359);
    ASSERT_EQ(minutes.size(), c.minutes);
    EXPECT_EQ(minutes.front().first, c.firstMinute);
  }
  SimMarket lunch(h->Securities(), rules, fields, 1, 1.0);
  lunch.FillLatestTradeDay(At(20261207, 123000));
  lunch.AdvanceTo(At(20261207, 123000));
  EXPECT_NEAR(number(lunch, "600000.SH", volume), 9'075'000, 600'000);
  // Nothing trades at lunch; the afternoon's first trade goes on from the morning.
  const double morning = number(lunch, "600000.SH", volume);
  lunch.AdvanceTo(At(20261207, 125959));
  EXPECT_EQ(number(lunch, "600000.SH", volume), morning);
  lunch.AdvanceTo(At(20261207, 130010));
  EXPECT_GT(number(lunch, "600000.SH", volume), morning);
  EXPECT_EQ(number(lunch, "600000.SH", date), 20261207);
}

TEST(QuoteFieldMapTest, RefusesUnknownRolesAndRepeatedIds) {
  QuoteFieldMap map;
  std::string error;
  EXPECT_FALSE(map.LoadText(R"({"fields": {"last": 3, "bogus": 4}})", error));
  EXPECT_NE(error.find("bogus"), std::string::npos);
  EXPECT_FALSE(map.LoadText(R"({"fields": {"last": 3, "open": 3}})", error));
  EXPECT_FALSE(map.LoadText(R"({"fields": {"last": 0}})", error));
  EXPECT_FALSE(map.LoadText(R"([1, 2])", error));
  ASSERT_TRUE(map.LoadText(R"({"fields": {"last": 3, "volume": 8}})", error));
  EXPECT_EQ(map.RoleOf(8), QuoteRole::kVolume);
  EXPECT_FALSE(map.IdOf(QuoteRole::kOpen).has_value());
}

}  // namespace
}  // namespace kdp::minihost
