// Condition reminders against quotes a test delivers: firing, no refiring, re-arming after the value went
// back, once a day, prices that are zero or missing, the sign of every comparison, the session test, the
// time reminder on the package timer.
#include "kdp/alerts/conditions_remind.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "kdp/rtd/rtd_model.h"
#include "scripted_speed.h"
#include "test_host.h"

namespace kdp {
namespace {

using namespace std::chrono_literals;
using testing::QuotePush;
using testing::QuoteRow;
using testing::TestHost;

using Fields = std::vector<std::pair<std::uint32_t, double>>;

// Field IDs of the sample dictionary.
constexpr std::uint32_t kPrice = 3, kPreClose = 4, kHigh = 6, kLow = 7, kVolume = 8, kChangeRatio = 81, kMA5 = 101,
                        kTurnover = 187;

using RemindFactory = std::function<std::unique_ptr<TKrConditionsRemindBase>()>;

// Makes reminders of class T, each set up by `set`.
template <class T>
RemindFactory Make(std::function<void(T&)> set = [](T&) {}) {
  return [set] {
    auto remind = std::make_unique<T>();
    set(*remind);
    return remind;
  };
}

// The quotes that must never fire a reminder the given quotes fire: first without their prices, then with one
// security's price zero or rounding to zero at a time, then the same quotes for a security it does not watch.
std::vector<std::vector<QuoteRow>> WithoutAValidPrice(const std::vector<QuoteRow>& fires) {
  const auto setPrice = [](QuoteRow& row, std::optional<double> price) {
    std::erase_if(row.numbers, [](const auto& field) { return field.first == kPrice; });
    if (price) row.numbers.emplace_back(kPrice, *price);
  };
  std::vector<std::vector<QuoteRow>> variants{fires};
  for (QuoteRow& row : variants.back()) setPrice(row, std::nullopt);
  for (std::size_t i = 0; i < fires.size(); ++i) {
    for (const double price : {0.0, 0.0000004}) {
      variants.push_back(fires);
      setPrice(variants.back()[i], price);
    }
  }
  variants.push_back(fires);
  for (QuoteRow& row : variants.back()) row.code = "000002.SZ";
  return variants;
}

struct RemindTest : ::testing::Test {
  RemindTest() {
    h->StartPackage();
    h->Context().SetSpeed(engine);  // each reminder's model gets its requests from this engine
  }

  // Monitors the reminder and returns the observer its model's pushes arrive through: the package's one
  // quote feed, which the first model to subscribe opens.
  std::shared_ptr<host::IObserver> Start(TKrConditionsRemindBase& remind) {
    remind.SetOnTriggerred([this](TKrConditionsRemindBase& fired) { triggers.push_back(&fired); });
    remind.SetState(TKrTriggerState::tsMonitor);
    remind.StartMonitor();
    return engine->observers.empty() ? nullptr : engine->observers.back();
  }

  // Delivers one quote per row, stamped 2026-12-04 10:30:00 (the morning session) unless the row has its own
  // trade date (field 1) and time (field 2).
  static void Deliver(host::IObserver& observer, std::vector<QuoteRow> rows, double date = 20261204,
                      double time = 103000) {
    for (QuoteRow& row : rows) row.numbers.insert(row.numbers.begin(), {{1, date}, {2, time}});
    observer.SaveQuoteData(QuotePush(rows));
  }
  static void Deliver(host::IObserver& observer, const std::string& code, const Fields& fields, double date = 20261204,
                      double time = 103000) {
    Deliver(observer, {QuoteRow{code, fields, {}}}, date, time);
  }

  TestHost h;
  std::shared_ptr<testing::ScriptedSpeed> engine = std::make_shared<testing::ScriptedSpeed>();
  std::vector<TKrConditionsRemindBase*> triggers;
};

TEST_F(RemindTest, OnceADayFiresAtMostOncePerServerDate) {
  TKrPriceArriveRemind remind;
  remind.SetKoraCode("600000.SH");
  remind.FCustomPrice = 10.0;
  remind.SetTriggerFrequency(TKrTriggerFrequency::tfOnceVeryDay);
  auto observer = Start(remind);
  Deliver(*observer, "600000.SH", {{kPrice, 10.5}});
  ASSERT_EQ(triggers.size(), 1u);
  // The frequency is tested before the condition: on the same server date going back below does not
  // even re-arm the reminder, neither at once nor in the afternoon.
  Deliver(*observer, "600000.SH", {{kPrice, 9.5}});
  EXPECT_FALSE(remind.GetFitRemindAgain());
  Deliver(*observer, "600000.SH", {{kPrice, 10.5}});
  EXPECT_EQ(triggers.size(), 1u);
  h.Clock().Advance(3h + 30min);  // 14:00 on the same server date
  Deliver(*observer, "600000.SH", {{kPrice, 9.5}}, 20261204, 140000);
  Deliver(*observer, "600000.SH", {{kPrice, 10.5}}, 20261204, 140000);
  EXPECT_EQ(triggers.size(), 1u);

  h.Clock().Advance(24h);  // the server's date is 2026-12-05 now
  Deliver(*observer, "600000.SH", {{kPrice, 9.5}}, 20261205, 140000);
  Deliver(*observer, "600000.SH", {{kPrice, 10.5}}, 20261205, 140000);
  EXPECT_EQ(triggers.size(), 2u);
  EXPECT_EQ(remind.GetLastTradeDate(), host::DateTime::FromParts(2026, 12, 5, 14, 0, 0));
}

// The reminders of the comparison table, each kind set to the levels its cases work from.
RemindFactory PriceAt10(TMonitorPriceType type) {
  return Make<TKrPriceArriveRemind>([type](auto& r) {
    r.FMonitorPriceType = type;
    r.FCustomPrice = 10;
  });
}
RemindFactory LossFromCost10(TMonitorLossBlowType type) {
  return Make<TKrLossBlowRemind>([type](auto& r) {
    r.FMonitorLossBlowType = type;
    r.FLossPrice = 9.5;
    r.FCostPrice = 10;
    r.FCostPriceBlow = 0.8;     // 9.20
    r.FCostPriceRangeBlow = 5;  // 9.50
  });
}
RemindFactory WinFromCost10(TMonitorWinAboveType type) {
  return Make<TKrWinAboveRemind>([type](auto& r) {
    r.FMonitorWinAboveType = type;
    r.FWinPrice = 11;
    r.FCostPrice = 10;
    r.FCostPriceAbove = 0.5;      // 10.50
    r.FCostPriceRangeAbove = 10;  // 11.00
  });
}
RemindFactory ChangeRatioOf2(TMonitorRangeType type) {
  return Make<TKrRangeArriveRemind>([type](auto& r) {
    r.FMonitorRangeType = type;
    r.FRange = -2;  // the sign is not the direction: |range| is
  });
}
RemindFactory VolumeOrTurnover(TMonitorVolumeType type) {
  return Make<TKrVolumeArriveRemind>([type](auto& r) {
    r.FMonitorVolumeType = type;
    r.FTotalVolume = 10000;
    r.FChangeHandRate = 1.5;
  });
}
RemindFactory DiffWith000001(TMonitorPriceDiffType type, double level) {
  return Make<TKrPriceDiffArriveRemind>([type, level](auto& r) {
    r.FSecondKoraCode = "000001.SZ";
    r.FMonitorPriceDiffType = type;
    (type == TMonitorPriceDiffType::pdtPriceDiff ? r.FPriceDiff : r.FPriceRate) = level;
  });
}
// A quote of 600000.SH at `price`, with more fields.
std::vector<QuoteRow> Quote(double price, Fields more = {}) {
  more.emplace_back(kPrice, price);
  return {{"600000.SH", more, {}}};
}
// Quotes of 600000.SH (the first) and 000001.SZ (the second).
std::vector<QuoteRow> Pair(double first, double second) {
  return {{"000001.SZ", {{kPrice, second}}, {}}, {"600000.SH", {{kPrice, first}}, {}}};
}

// Each comparison with a quote just short of its level and one at it, worked out by hand: short of it
// nothing fires (and re-arms), at it the reminder fires once, the same quote again does not fire, and
// after going back and returning it fires again. Before all that, the quote at the level with a price that
// is zero or missing, or for another security, fires nothing: a zero price is no price, whichever side of
// the level it lies on.
TEST_F(RemindTest, EachComparisonFiresOnTheRightSideOfItsLevel) {
  struct Case {
    const char* name;
    RemindFactory make;
    std::vector<QuoteRow> shortOf;
    std::vector<QuoteRow> at;
  };
  const std::vector<Case> cases{
      {"price up to 10", PriceAt10(TMonitorPriceType::ptPriceUp), Quote(10.00), Quote(10.01)},
      {"price down to 10", PriceAt10(TMonitorPriceType::ptPriceDown), Quote(10.00), Quote(9.99)},
      {"stop-loss at 9.50", LossFromCost10(TMonitorLossBlowType::lbtLossPrice), Quote(9.51), Quote(9.50)},
      {"stop-loss at cost 10 less 0.80", LossFromCost10(TMonitorLossBlowType::lbtCostPriceBlow), Quote(9.21),
       Quote(9.19)},
      {"stop-loss at 95% of cost 10", LossFromCost10(TMonitorLossBlowType::lbtCostPriceRangeBlow), Quote(9.51),
       Quote(9.49)},
      {"take-profit at 11", WinFromCost10(TMonitorWinAboveType::watWinPrice), Quote(10.99), Quote(11.00)},
      {"take-profit at cost 10 plus 0.50", WinFromCost10(TMonitorWinAboveType::watCostPriceAbove), Quote(10.49),
       Quote(10.51)},
      {"take-profit at 110% of cost 10", WinFromCost10(TMonitorWinAboveType::watCostPriceRangeAbove), Quote(10.99),
       Quote(11.00)},
      {"rebound of 2% from a low of 10", Make<TKrPriceDownUpRemind>([](auto& r) { r.FAntimissileRange = -2; }),
       Quote(10.19, {{kLow, 10}}), Quote(10.20, {{kLow, 10}})},
      {"fall-back of 3% from a high of 10", Make<TKrPriceUpDownRemind>([](auto& r) { r.FReturnRange = 3; }),
       Quote(9.71, {{kHigh, 10}}), Quote(9.70, {{kHigh, 10}})},
      {"fall-back of 3% entered as -3", Make<TKrPriceUpDownRemind>([](auto& r) { r.FReturnRange = -3; }),
       Quote(9.71, {{kHigh, 10}}), Quote(9.70, {{kHigh, 10}})},
      {"change ratio above 2%", ChangeRatioOf2(TMonitorRangeType::rtRangeAbove), Quote(10, {{kChangeRatio, 0.0199}}),
       Quote(10, {{kChangeRatio, 0.0201}})},
      {"change ratio below -2%", ChangeRatioOf2(TMonitorRangeType::rtRangeBlow), Quote(10, {{kChangeRatio, -0.0199}}),
       Quote(10, {{kChangeRatio, -0.021}})},
      {"volume of 10000", VolumeOrTurnover(TMonitorVolumeType::vtTotalVolume), Quote(10, {{kVolume, 9999}}),
       Quote(10, {{kVolume, 10000}})},
      {"turnover of 1.5%", VolumeOrTurnover(TMonitorVolumeType::vtChangeHandRate), Quote(10, {{kTurnover, 0.0149}}),
       Quote(10, {{kTurnover, 0.0151}})},
      {"above MA5 after a close below it, firing 0.05 short of it",
       Make<TKrAboveMARemind>([](auto& r) { r.FFloatValue = 0.05; }), Quote(9.94, {{kPreClose, 9.8}, {kMA5, 10}}),
       Quote(9.96, {{kPreClose, 9.8}, {kMA5, 10}})},
      {"below MA5 after a close above it", Make<TKrBelowMARemind>(), Quote(10.01, {{kPreClose, 10.2}, {kMA5, 10}}),
       Quote(9.99, {{kPreClose, 10.2}, {kMA5, 10}})},
      {"first 0.50 over the second", DiffWith000001(TMonitorPriceDiffType::pdtPriceDiff, 0.5), Pair(10.49, 10),
       Pair(10.51, 10)},
      {"first 0.50 under the second", DiffWith000001(TMonitorPriceDiffType::pdtPriceDiff, -0.5), Pair(9.51, 10),
       Pair(9.49, 10)},
      {"first 5% over the second", DiffWith000001(TMonitorPriceDiffType::pdtPriceRate, 5), Pair(10.49, 10),
       Pair(10.51, 10)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    triggers.clear();
    auto remind = c.make();
    remind->SetKoraCode("600000.SH");
    auto observer = Start(*remind);
    for (const auto& invalid : WithoutAValidPrice(c.at)) Deliver(*observer, invalid);
    EXPECT_EQ(triggers.size(), 0u);
    Deliver(*observer, c.shortOf);
    EXPECT_EQ(triggers.size(), 0u);
    Deliver(*observer, c.at);
    EXPECT_EQ(triggers.size(), 1u);
    EXPECT_FALSE(remind->GetFitRemindAgain());
    Deliver(*observer, c.at);
    EXPECT_EQ(triggers.size(), 1u);
    Deliver(*observer, c.shortOf);
    EXPECT_TRUE(remind->GetFitRemindAgain());
    Deliver(*observer, c.at);
    EXPECT_EQ(triggers.size(), 2u);
  }
}

TEST_F(RemindTest, TheMovingAverageOnTheOtherSideOfTheCloseNeverFiresButArmsAgain) {
  TKrAboveMARemind above;
  above.SetKoraCode("600000.SH");
  auto observer = Start(above);
  // The previous close was above the average already: crossing it is not "going above".
  Deliver(*observer, "600000.SH", {{kPrice, 10.5}, {kPreClose, 10.2}, {kMA5, 10}});
  EXPECT_TRUE(triggers.empty());
  // Once it fired, the average passing to the other side of the close arms it again.
  Deliver(*observer, "600000.SH", {{kPrice, 10.1}, {kPreClose, 9.8}, {kMA5, 10}});
  ASSERT_EQ(triggers.size(), 1u);
  EXPECT_FALSE(above.GetFitRemindAgain());
  Deliver(*observer, "600000.SH", {{kPrice, 10.1}, {kPreClose, 10.2}, {kMA5, 10}});
  EXPECT_TRUE(above.GetFitRemindAgain());
  EXPECT_EQ(triggers.size(), 1u);
  EXPECT_EQ(above.GetCurMAIndex(), kMA5);
  above.FMAType = TKrMAType::mtMA1;
  EXPECT_EQ(above.GetCurMAIndex(), 16u);  // the day's average price
}

TEST_F(RemindTest, OnlyMonitoringRemindersWithQuotesInsideTheSessionsFire) {
  TKrPriceArriveRemind remind;
  remind.SetKoraCode("600000.SH");
  remind.FCustomPrice = 10.0;
  auto observer = Start(remind);

  // 12:00 is the lunch break and 09:20 before the open: the sessions are 09:30-11:30 and 13:00-15:00.
  Deliver(*observer, "600000.SH", {{kPrice, 10.5}}, 20261204, 120000);
  Deliver(*observer, "600000.SH", {{kPrice, 10.5}}, 20261204, 92000);
  EXPECT_TRUE(triggers.empty());
  EXPECT_TRUE(remind.GetFitRemindAgain());  // an untested quote changes nothing

  // A time that is not a time is logged once, however often it comes.
  h->Logger().ClearRecords();
  Deliver(*observer, "600000.SH", {{kPrice, 10.5}}, 20261204, 256100);
  Deliver(*observer, "600000.SH", {{kPrice, 10.5}}, 20261204, 256100);
  // Nor are a 60th minute and a 75th second, though their hours are inside the morning session.
  Deliver(*observer, "600000.SH", {{kPrice, 10.5}}, 20261204, 106000);
  Deliver(*observer, "600000.SH", {{kPrice, 10.5}}, 20261204, 103075);
  EXPECT_TRUE(triggers.empty());
  EXPECT_EQ(h->Logger().CountContaining("TradeTime: 20261204.256100 is error"), 1u);
  // Nor is a 13th month, right after a real date was seen, at a time inside the sessions.
  Deliver(*observer, "600000.SH", {{kPrice, 10.5}}, 20261340, 100000);
  EXPECT_TRUE(triggers.empty());

  remind.SetState(TKrTriggerState::tsPause);
  Deliver(*observer, "600000.SH", {{kPrice, 10.5}}, 20261204, 130000);
  EXPECT_TRUE(triggers.empty());

  remind.SetState(TKrTriggerState::tsMonitor);
  h->Logger().SetDetailed(true);                                        // triggers are logged in detail
  Deliver(*observer, "600000.SH", {{kPrice, 10.5}}, 20261204, 150000);  // the close is inside
  ASSERT_EQ(triggers.size(), 1u);
  EXPECT_EQ(remind.GetLastTradeDate(), host::DateTime::FromParts(2026, 12, 4, 15, 0, 0));
  EXPECT_TRUE(h->Logger().Contains("600000.SH: 最新价上涨到10.00 at 2026-12-04 15:00:00"));
}

TEST_F(RemindTest, ATimeReminderFiresOnceADayAtItsTime) {
  TKrTimeArriveRemind remind;
  remind.FTime = host::DateTime::FromParts(2026, 12, 4, 10, 30, 5);
  Start(remind);
  EXPECT_EQ(remind.GetTimeDue(), remind.FTime);

  h->Loop().AdvanceBy(4s);
  EXPECT_TRUE(triggers.empty());
  h->Loop().AdvanceBy(2s);
  ASSERT_EQ(triggers.size(), 1u);
  EXPECT_GE(remind.GetLastTradeDate(), remind.FTime);
  EXPECT_NEAR(remind.GetTimeDue().value, host::DateTime::FromParts(2026, 12, 5, 10, 30, 5).value, 1e-8);
  h->Loop().AdvanceBy(1h);
  EXPECT_EQ(triggers.size(), 1u);

  // Paused over its time the next day, it does not fire late when it monitors again.
  remind.SetState(TKrTriggerState::tsPause);
  h->Loop().AdvanceBy(24h);
  remind.SetState(TKrTriggerState::tsMonitor);
  h->Loop().AdvanceBy(10s);
  EXPECT_EQ(triggers.size(), 1u);
  // And fires on the day after.
  h->Loop().AdvanceBy(23h);
  EXPECT_EQ(triggers.size(), 2u);

  // A time already past today when monitoring starts is first due tomorrow.
  TKrTimeArriveRemind past;
  past.FTime = host::DateTime::FromParts(2026, 12, 1, 9, 0, 0);
  past.StartMonitor();
  EXPECT_NEAR(past.GetTimeDue().value, host::DateTime::FromParts(2026, 12, 7, 9, 0, 0).value, 1e-8);
}

TEST(RemindTypesTest, EveryTypeButNoneAndSpreadHasAClassNamedAndDescribed) {
  TestHost h;
  h->StartPackage();
  for (int t = 0; t <= static_cast<int>(TKrRemindType::rtSpread); ++t) {
    const auto type = static_cast<TKrRemindType>(t);
    SCOPED_TRACE(std::string(RemindTypeName(type)));
    EXPECT_EQ(RemindTypeByName(RemindTypeName(type)), type);
    auto remind = TKrConditionsRemindBase::CreateConditionsRemind(type);
    if (type == TKrRemindType::rtNone || type == TKrRemindType::rtSpread) {
      EXPECT_EQ(remind, nullptr);
      continue;
    }
    ASSERT_NE(remind, nullptr);
    EXPECT_EQ(remind->GetRemindType(), type);
    EXPECT_FALSE(remind->GetRemindTypeStr().empty());
    EXPECT_FALSE(remind->GetTriggerConditionDesc().empty());
    EXPECT_TRUE(remind->GetFitRemindAgain());
    EXPECT_EQ(remind->GetState(), TKrTriggerState::tsPause);
  }
}

// The type names and condition texts follow the user's language through the sample string catalogue; the
// English edition (ENS) reads the English texts.
TEST(RemindTypesTest, TextsFollowTheLanguage) {
  struct Case {
    const char* language;
    const char* priceType;
    const char* priceText;
    const char* lossText;
    const char* timeText;
  };
  const Case cases[] = {
      {"CHS", "价格到达", "最新价下跌到9.80", "最新价跌破成本价10.00的95%", "时间到达14:55:00"},
      {"CHT", "價格到達", "最新價下跌到9.80", "最新價跌破成本價10.00的95%", "時間到達14:55:00"},
      {"ENG", "Price reached", "Last price falls to 9.80", "Last price below cost 10.00 at 95%",
       "Time reaches 14:55:00"},
      {"ENS", "Price reached", "Last price falls to 9.80", "Last price below cost 10.00 at 95%",
       "Time reaches 14:55:00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.language);
    TestHost h([&](minihost::HostSettings& s) { s.language = c.language; });
    ASSERT_TRUE(h->StartPackage());
    TKrPriceArriveRemind price;
    price.SetKoraCode("600000.SH");
    price.FCustomPrice = 9.8;
    price.FMonitorPriceType = TMonitorPriceType::ptPriceDown;
    EXPECT_EQ(price.GetRemindTypeStr(), c.priceType);
    EXPECT_EQ(price.GetTriggerConditionDesc(), c.priceText);
    TKrLossBlowRemind loss;
    loss.SetKoraCode("600000.SH");
    loss.FMonitorLossBlowType = TMonitorLossBlowType::lbtCostPriceRangeBlow;
    loss.FCostPrice = 10;
    loss.FCostPriceRangeBlow = 5;
    EXPECT_EQ(loss.GetTriggerConditionDesc(), c.lossText);
    TKrTimeArriveRemind time;
    time.FTime = host::DateTime::FromParts(2026, 12, 4, 14, 55);
    EXPECT_EQ(time.GetTriggerConditionDesc(), c.timeText);
  }
}

}  // namespace
}  // namespace kdp
