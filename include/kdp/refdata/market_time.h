// Trading sessions as the terminal writes them: a market time separation is an even-length list of
// times of day written as HHMM integers (930 is 09:30), session start and end pairs in trading order:
// 930,1130,1300,1500 is two sessions. A time smaller than or equal to the first start belongs to the next
// calendar day (a session that crosses midnight), and hours of 24 or more are read on the next day too
// (2530 is 01:30 of the next day).
//
// These unit functions are published for widgets; they are pure and thread-safe.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "kdp/host/date_time.h"

namespace kdp {

using TArrayMarketTimeSep = std::vector<int>;

// A date-time as a day count since 0001-01-01 (day 1) and milliseconds since midnight.
struct TTimeStamp {
  int Time = 0;
  int Date = 0;
  friend bool operator==(const TTimeStamp&, const TTimeStamp&) = default;
};

// At least 2 values, an even count, and the last value equals the first (24-hour trading).
bool IsFullDayTrade(const TArrayMarketTimeSep& sep);
// At least 2 values, an even count, and some later value is less than or equal to the first.
bool IsCrossDayTrade(const TArrayMarketTimeSep& sep);
// The clearing time: the first start less 55 minutes (HHMM); a first start at or before 00:55 is returned
// unchanged; 0 for an empty list.
int GenMarketCleanTime(const TArrayMarketTimeSep& sep);
// Each value as a time of day on day 0 (1899-12-30); values after the first that are not greater than the
// first, and values of 24 hours or more, fall on day 1.
std::vector<host::DateTime> TransMarketTimeSepToDate(const TArrayMarketTimeSep& sep);
std::vector<TTimeStamp> TransMarketTimeSepDateTimeToTimeStamp(const std::vector<host::DateTime>& dates);
// Minutes since day 0 00:00 (21:00 is 1260, 02:30 of day 1 is 1590).
std::vector<int> TransMarketTimeSepDateTimeToMinute(const std::vector<host::DateTime>& dates);
// True when `t` equals a session end (odd positions).
bool IsInEndSepCycle(const TArrayMarketTimeSep& sep, int t);
// The 0-based number of the first session with start <= t <= end; 0 when none.
int GetMinuteIncFix(const TArrayMarketTimeSep& sep, int t);
// The 1-based number of the first session with start <= t <= end; 0 when none.
int GetCycleSep(const TArrayMarketTimeSep& sep, int t);
// True when the time of day `hhmm` (HHMM, below 2400) lies inside one of the sessions, ends included; a
// session that crosses midnight holds the times on both sides of it. False for a list that is not pairs.
bool IsInMarketTimeSep(const TArrayMarketTimeSep& sep, int hhmm);
// Clamps `t` into [first value, last value]. When `t` lies strictly inside a break between two sessions it
// moves to the end of the earlier session and the result is true.
bool RoundToSepEnd(const TArrayMarketTimeSep& sep, int& t);
// Both outputs start at 0. For the first session with start <= t <= end: `start` is its start and
// `offset` is t - start; true when found.
bool GetCycleRoundToSep(int t, const TArrayMarketTimeSep& sep, int& offset, int& start);

// What a market is doing at a wall-clock time of its own zone.
struct TMarketState {
  enum class Kind {
    kTrading,       // inside a day session
    kNightSession,  // inside the session that opens the evening before its trade date
    kLunchBreak,    // between two sessions of one trade date, over noon
    kBreak,         // between two sessions of one trade date, not over noon
    kClosed,        // before the trade date's first session, after its last, or on a day the market is shut
  };
  Kind kind = Kind::kClosed;
  // The start of the next session (the market's wall clock) when not trading; the start of the current
  // session when trading. Zero when no session lies in the next three weeks.
  host::DateTime nextOpen;
  // The trade date (yyyymmdd) the market is in: the current session's; when closed, that of the last session
  // if it ended this calendar day, else the next session's. 0 without sessions.
  int tradeDate = 0;
};
// Whether the market trades on a calendar day (yyyymmdd).
using TTradingDayTest = std::function<bool(int yyyymmdd)>;
// The state of a market with the sessions `sep` at its wall-clock time `local`. A trading day D opens its
// sessions on D, except that a list crossing midnight opens with a night session on the evening of the
// trading day before D (a Friday's night session belongs to Monday); that night session is left out when
// the trading day before lies more than three days back (the eve of a holiday has none). A list that is
// not pairs is always closed.
TMarketState MarketStateAt(const TArrayMarketTimeSep& sep, host::DateTime local, const TTradingDayTest& isTradingDay);

// The code from its first "." on (".SH" for "600000.SH"); the whole code when it has no ".".
std::string GetSuffixString(std::string_view code);
// The code before its first "."; empty when it has no ".".
std::string GetCodeString(std::string_view code);
// For codes containing "FP_", "NP_" or "YTM_": the text after the first "_" up to two characters past the
// first "." ("FP_600000.SH" gives "600000.SH"); other codes unchanged.
std::string StripQuotePrefix(std::string_view code);

}  // namespace kdp
