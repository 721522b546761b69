// Questions to the host's trade-rule service (the quote engine's market rules, ISpeed::QueryMarketInfo)
// about a security's trade span: its sessions (602), its exchange (604) and its time zone (606).
// Main thread, or any thread the quote engine allows.
#pragma once

#include <string>

#include "kdp/refdata/market_time.h"

namespace kdp {

// The answer of GetStockTimeZone_New when the host has no quote engine (below -12: not a zone).
inline constexpr int kUnknownMarketTimeZone = -100;

// Question 602: the sessions of the trade span (HHMM values), copied out of the engine's buffer, which is
// handed back at once. Empty when the service answers no count or the host has no quote engine.
bool GetMarketTime_New(int question, const std::string& tradeSpan, TArrayMarketTimeSep& sessions);
// Question 604: the exchange of the trade span; "" unless the service answers 0.
bool GetStockExchange_New(int question, const std::string& tradeSpan, std::string& exchange);
// Question 606: the zone of the trade span in whole hours; kUnknownMarketTimeZone without a quote engine.
int GetStockTimeZone_New(int question, const std::string& tradeSpan);

}  // namespace kdp
