// MarketRules: the stand-in quote engine's market rules by trade span (the security's session key):
// the exchange name, the standard time zone in whole hours, and the sessions as HHMM start/end pairs.
// Loaded from "Host/TradeSpans.json" of the configuration. Read-only after loading; thread-safe to read.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kdp::minihost {

struct MarketRule {
  std::string exchange;
  int zone = 8;
  std::vector<int> sessions;  // HHMM pairs in trading order
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

}  // namespace kdp::minihost
