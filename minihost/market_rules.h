// MarketRules: the stand-in quote engine's market rules by trade span (the security's session key):
// the exchange name, the standard time zone in whole hours, the sessions as HHMM start/end pairs, and the
// market's zone in the IANA time-zone database, whose summer time moves the sessions against server time.
// Loaded from "Host/TradeSpans.json" of the configuration. Read-only after loading; thread-safe to read.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "kdp/host/date_time.h"
#include "kdp/host/speed.h"

namespace date {
class time_zone;
}

namespace kdp::minihost {

// The host's server time is Beijing time, UTC+8.
inline constexpr int kServerTimeZone = 8;

struct MarketRule {
  std::string exchange;
  int zone = 8;                         // the standard zone, what the engine answers when asked for the market's zone
  std::vector<int> sessions;            // HHMM pairs in trading order
  const date::time_zone* tz = nullptr;  // the market's IANA zone; without one the standard zone all year

  // The market's wall-clock time at a server time.
  host::DateTime LocalTime(host::DateTime serverTime) const;
};

class MarketRules {
 public:
  // False (with `error`) when the text is not the expected JSON or a rule is malformed.
  bool LoadText(const std::string& json, std::string& error);
  bool Load(const std::string& path, std::string& error);

  // The rule of a trade span (exact, case-insensitive), or nullptr.
  const MarketRule* Find(const std::string& tradeSpan) const;
  std::size_t Count() const { return rules_.size(); }

 private:
  std::map<std::string, MarketRule> rules_;  // upper-case span
};

// The engine's answers to trade-rule questions (ISpeed::QueryMarketInfo and FreeMarketInfo) from the
// market rules, for whichever engine the host runs: 602 sessions (an array lent until FreeMarketInfo takes
// it back), 604 exchange, 606 zone; an unknown span answers no sessions, status -1 and the home zone.
// Thread-safe: the lent arrays are guarded by mutex_.
class MarketRuleAnswers {
 public:
  explicit MarketRuleAnswers(std::shared_ptr<const MarketRules> rules) : rules_(std::move(rules)) {}

  int Query(int kind, const std::string& argument, host::TMarketInfoBuffer& buffer);
  void Free(host::TMarketInfoBuffer& buffer);
  // Session arrays Query lent and Free has not taken back.
  std::size_t LentBuffers() const;

 private:
  const std::shared_ptr<const MarketRules> rules_;
  mutable std::mutex mutex_;                                             // guards lent_
  std::map<const std::int32_t*, std::unique_ptr<std::int32_t[]>> lent_;  // session arrays of question 602
};

}  // namespace kdp::minihost
