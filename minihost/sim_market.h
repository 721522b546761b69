// SimMarket: the stand-in quote engine's market. Every security of the security master trades on a
// seeded random walk around its last close, in steps of its price step, within its daily price limits,
// only inside its sessions (the market rules of its trade span, read in the market's own time zone) and
// never while suspended. Volumes and turnover accumulate over the trade date; a new trade date starts with
// its first trade, which rolls the close into the previous close. The market is driven by the server time it is
// advanced to, so the same seed and the same times give the same quotes.
//
// Not thread-safe: the engine's thread owns it.
#pragma once

#include <cmath>
#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <variant>
#include <vector>

#include "kdp/host/date_time.h"
#include "market_rules.h"
#include "security_master.h"

namespace kdp::minihost {

// What each simulated field means; the engine's field IDs for them come from "Host/QuoteFields.json".
enum class QuoteRole {
  kTradeDate,
  kTime,
  kLast,
  kPrevClose,
  kOpen,
  kHigh,
  kLow,
  kVolume,
  kAmount,
  kChange,
  kBid1,
  kAsk1,
  kBidVolume1,
  kAskVolume1,
  kAveragePrice,
  kAmplitude,
  kLimitUp,
  kLimitDown,
  kChangeRatio,
  kTurnoverRate,
  kSuspensionFlag,
  kOpenTime,
  kLastTradeTime,
  kQuoteTime,
  kName,
  kTradingStatus,
  kFloatShares,
};

class QuoteFieldMap {
 public:
  bool LoadText(const std::string& json, std::string& error);
  bool Load(const std::string& path, std::string& error);
  std::optional<QuoteRole> RoleOf(std::uint32_t id) const;
  std::optional<std::uint32_t> IdOf(QuoteRole role) const;
  const std::map<std::uint32_t, QuoteRole>& All() const { return by_id_; }

 private:
  std::map<std::uint32_t, QuoteRole> by_id_;
  std::map<QuoteRole, std::uint32_t> by_role_;
};

// A field value as the engine sends it: a number or a text.
using QuoteValue = std::variant<double, std::int64_t, std::string>;

class SimMarket {
 public:
  // The trade rates (trades per second per security) the market accepts.
  static constexpr double kMinRate = 0.001;
  static constexpr double kMaxRate = 1000;

  SimMarket(const MiniSecurityMaster& securities, const MarketRules& rules, QuoteFieldMap fields, std::uint64_t seed,
            double updatesPerSecond);

  // Moves the market to server time `now` (the host's time, UTC+8). Returns the codes whose quotes
  // changed, in security-master order. Time never moves backwards; an earlier `now` changes nothing.
  // Trades happen on a fixed grid (one per security every 1 / rate seconds from the first call), so
  // the market moves at its rate however often or seldom it is advanced: a call that ends between two
  // trades keeps the part of the interval already passed for the next call.
  std::vector<std::string> AdvanceTo(host::DateTime now);
  // Plays, before the first AdvanceTo, each security's latest trade date that traded before `until`, up to
  // `until`, a minute in one step: a market started before the open, at lunch or at night shows its day as
  // it stands, with the day's minutes behind a chart. Without it a security shows only its previous close
  // until it trades.
  void FillLatestTradeDay(host::DateTime until);

  // The current value of field `id` of a code; nullopt for an unknown code or a field not simulated.
  std::optional<QuoteValue> Value(const std::string& code, std::uint32_t id) const;
  bool IsKnownCode(const std::string& code) const;
  const QuoteFieldMap& Fields() const { return fields_; }
  // The server time the market has been advanced to.
  host::DateTime Now() const { return now_; }

  // The trade date's minute points of a field (last price, volume, amount, change, change ratio) between
  // two HHMM times, inclusive: (HHMM, value) in time order. Empty for other fields or unknown codes.
  std::vector<std::pair<int, double>> MinuteSeries(const std::string& code, std::uint32_t id, int startHhmm,
                                                   int endHhmm) const;

  // Whether the code trades at server time `now` (in a session, not suspended).
  bool IsTrading(const std::string& code, host::DateTime now) const;

 private:
  struct Quote {
    std::string code;
    std::string nameAnsi;  // the short name in code page 936, as the engine sends texts
    const MarketRule* rule = nullptr;
    double step = 0.01;
    double scale = 100;  // 10^(decimals of the step)
    std::int64_t prevCloseTicks = 0;
    std::int64_t lastTicks = 0, openTicks = 0, highTicks = 0, lowTicks = 0;
    double limitFraction = 0.1;  // the daily band around the previous close
    std::int64_t limitUpTicks = 0, limitDownTicks = 0;
    std::int64_t volume = 0;
    double amount = 0.0;
    double floatShares = 0.0;
    int lotSize = 100;
    bool suspended = false;
    int tradeDate = 0;      // yyyymmdd in the market's zone
    int time = 0;           // hhmmss of the last quote
    int openTime = 0;       // hhmmss of the first trade of the trade date
    int lastTradeTime = 0;  // hhmmss of the last trade
    struct MinutePoint {
      int hhmm;
      double last;
      std::int64_t volume;
      double amount;
    };
    std::vector<MinutePoint> minutes;  // one point per minute that traded, this trade date
    std::mt19937_64 rng;
  };

  // One step of a security's random walk.
  static void Walk(Quote& q);
  // A trade of `volume` at the current price at `hhmmss`, into the day's figures and minutes.
  static void Record(Quote& q, int hhmmss, std::int64_t volume);
  static void Trade(Quote& q, host::DateTime marketTime);
  // A minute of `trades` trades (on average) at once: a few steps of the walk, the minute's volume.
  static void TradeMinute(Quote& q, host::DateTime marketTime, double trades);
  void RollTradeDate(Quote& q, int tradeDate);
  static void SetLimits(Quote& q);
  // A price on the tick grid, rounded to the step's decimals so it prints as the exchange shows it.
  static double Price(const Quote& q, std::int64_t ticks) {
    return std::round(static_cast<double>(ticks) * q.step * q.scale) / q.scale;
  }
  static host::DateTime MarketTime(const Quote& q, host::DateTime serverTime);

  QuoteFieldMap fields_;
  std::vector<Quote> quotes_;
  std::map<std::string, std::size_t> index_;  // upper-case code -> quotes_
  host::DateTime now_;
  host::DateTime origin_;       // the time of the first call: trade k happens at origin_ + k * tick_days_
  std::int64_t last_tick_ = 0;  // the last trade simulated
  double tick_days_;            // simulated time between trades of one security
  bool started_ = false;
};

// The trading date (yyyymmdd) a market-local date-time belongs to: a night session after the first
// session start of a cross-midnight market counts for the next weekday; weekends do not trade.
int TradeDateOf(const MarketRule& rule, host::DateTime marketTime);
// Whether HHMMSS `hhmmss` lies inside one of the sessions (HHMM each; a session may cross midnight). A
// session ends at its closing instant: 11:30:00 trades, 11:30:01 is the break.
bool InSessions(const std::vector<int>& sessions, int hhmmss);

}  // namespace kdp::minihost
