// The trading time two lists of sessions share, worked out by hand from the walk over both lists.
#include <gtest/gtest.h>

#include <vector>

#include "tradedate/market_sessions.h"

namespace kdp {
namespace {

using Sessions = std::vector<int>;

TEST(MarketSessions, CommonTradingTime) {
  const Sessions shanghai{930, 1130, 1300, 1500};
  const Sessions futuresDay{900, 1015, 1030, 1130, 1330, 1500};
  // The futures' short break at 10:15 and the stock market's lunch both cut the common time.
  EXPECT_EQ(GetCombineMarketTime(shanghai, futuresDay), (Sessions{930, 1015, 1030, 1130, 1330, 1500}));
  // A session that starts where the other ends shares nothing.
  EXPECT_EQ(GetCombineMarketTime({930, 1130}, {1130, 1500}), Sessions{});
  // Hong Kong's longer morning and afternoon hold Shanghai's sessions whole.
  EXPECT_EQ(GetCombineMarketTime(shanghai, {930, 1200, 1300, 1600}), shanghai);
  // Tokyo's sessions in Beijing time.
  EXPECT_EQ(GetCombineMarketTime(shanghai, {800, 1030, 1130, 1430}), (Sessions{930, 1030, 1300, 1430}));
  EXPECT_EQ(GetCombineMarketTime({}, shanghai), Sessions{});
  EXPECT_EQ(GetCombineMarketTime(shanghai, {}), Sessions{});
}

TEST(MarketSessions, NightSessions) {
  const Sessions goldNight{2100, 230, 900, 1015, 1030, 1130, 1330, 1500};
  const Sessions soyNight{2100, 2300, 900, 1015, 1030, 1130, 1330, 1500};
  // Both trade from nine in the evening: the shorter night and the whole day are common; values past
  // midnight come back below 2400.
  EXPECT_EQ(GetCombineMarketTime(soyNight, goldNight), (Sessions{2100, 2300, 900, 1015, 1030, 1130, 1330, 1500}));
  EXPECT_EQ(GetCombineMarketTime({2100, 2300, 900, 1015}, {2100, 230, 900, 1015}), (Sessions{2100, 2300, 900, 1015}));
  // A list that starts at night puts its day sessions on the next day, so a market that trades only by
  // day shares none of them: the walk compares the two lists' times as given, in one day's order.
  EXPECT_EQ(GetCombineMarketTime(goldNight, {930, 1130, 1300, 1500}), Sessions{});
  EXPECT_EQ(GetCombineMarketTime({930, 1130, 1300, 1500}, goldNight), Sessions{});
  // A night session past midnight against one that lies after midnight too.
  EXPECT_EQ(GetCombineMarketTime({2100, 230}, {2200, 100}), (Sessions{2200, 100}));
}

}  // namespace
}  // namespace kdp
