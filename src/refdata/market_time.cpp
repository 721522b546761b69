#include "kdp/refdata/market_time.h"

#include <algorithm>
#include <cmath>

namespace kdp {
namespace {

bool IsPairList(const TArrayMarketTimeSep& sep) { return sep.size() >= 2 && sep.size() % 2 == 0; }

// Days between 0001-01-01 (time stamp day 1) and 1899-12-30 (date-time day 0).
constexpr int kTimeStampDateDelta = 693594;

}  // namespace

bool IsFullDayTrade(const TArrayMarketTimeSep& sep) { return IsPairList(sep) && sep.back() == sep.front(); }

bool IsCrossDayTrade(const TArrayMarketTimeSep& sep) {
  if (!IsPairList(sep)) return false;
  for (std::size_t i = 1; i < sep.size(); ++i) {
    if (sep[i] <= sep.front()) return true;
  }
  return false;
}

int GenMarketCleanTime(const TArrayMarketTimeSep& sep) {
  if (sep.empty()) return 0;
  const int first = sep.front();
  if (first <= 55) return first;
  const int minutes = first / 100 * 60 + first % 100 - 55;
  return minutes / 60 * 100 + minutes % 60;
}

std::vector<host::DateTime> TransMarketTimeSepToDate(const TArrayMarketTimeSep& sep) {
  std::vector<host::DateTime> dates;
  dates.reserve(sep.size());
  for (std::size_t i = 0; i < sep.size(); ++i) {
    const int value = sep[i];
    const int hours = value / 100;
    double day = (i > 0 && value <= sep.front()) || hours >= 24 ? 1.0 : 0.0;
    dates.emplace_back(day + host::EncodeTime(((hours % 24) + 24) % 24, ((value % 100) % 60 + 60) % 60));
  }
  return dates;
}

std::vector<TTimeStamp> TransMarketTimeSepDateTimeToTimeStamp(const std::vector<host::DateTime>& dates) {
  std::vector<TTimeStamp> stamps;
  stamps.reserve(dates.size());
  for (const host::DateTime& d : dates) {
    const double whole = std::floor(d.value);
    const auto ms = static_cast<int>(std::llround((d.value - whole) * 86400000.0));
    stamps.push_back(TTimeStamp{ms, static_cast<int>(whole) + kTimeStampDateDelta});
  }
  return stamps;
}

std::vector<int> TransMarketTimeSepDateTimeToMinute(const std::vector<host::DateTime>& dates) {
  std::vector<int> minutes;
  minutes.reserve(dates.size());
  for (const host::DateTime& d : dates) minutes.push_back(static_cast<int>(std::llround(d.value * 1440.0)));
  return minutes;
}

bool IsInEndSepCycle(const TArrayMarketTimeSep& sep, int t) {
  for (std::size_t i = 1; i < sep.size(); i += 2) {
    if (sep[i] == t) return true;
  }
  return false;
}

int GetMinuteIncFix(const TArrayMarketTimeSep& sep, int t) {
  const int session = GetCycleSep(sep, t);
  return session > 0 ? session - 1 : 0;
}

int GetCycleSep(const TArrayMarketTimeSep& sep, int t) {
  for (std::size_t i = 0; i + 1 < sep.size(); i += 2) {
    if (sep[i] <= t && t <= sep[i + 1]) return static_cast<int>(i / 2) + 1;
  }
  return 0;
}

bool IsInMarketTimeSep(const TArrayMarketTimeSep& sep, int hhmm) {
  if (!IsPairList(sep)) return false;
  // Minutes since 00:00 of day 0, laid out as TransMarketTimeSepToDate lays the values out.
  const auto minuteOf = [&sep](std::size_t i) {
    const int value = sep[i];
    const int hours = value / 100;
    const bool nextDay = (i > 0 && value <= sep.front()) || hours >= 24;
    return (nextDay ? 1440 : 0) + ((hours % 24) + 24) % 24 * 60 + ((value % 100) % 60 + 60) % 60;
  };
  const int t = hhmm / 100 * 60 + hhmm % 100;
  for (std::size_t i = 0; i + 1 < sep.size(); i += 2) {
    const int start = minuteOf(i);
    const int end = minuteOf(i + 1);
    if ((start <= t && t <= end) || (start <= t + 1440 && t + 1440 <= end)) return true;
  }
  return false;
}

bool RoundToSepEnd(const TArrayMarketTimeSep& sep, int& t) {
  if (sep.empty()) return false;
  if (t < sep.front()) t = sep.front();
  if (t > sep.back()) t = sep.back();
  for (std::size_t i = 1; i + 1 < sep.size(); i += 2) {
    if (sep[i] < t && t < sep[i + 1]) {
      t = sep[i];
      return true;
    }
  }
  return false;
}

bool GetCycleRoundToSep(int t, const TArrayMarketTimeSep& sep, int& offset, int& start) {
  offset = 0;
  start = 0;
  for (std::size_t i = 0; i + 1 < sep.size(); i += 2) {
    if (sep[i] <= t && t <= sep[i + 1]) {
      start = sep[i];
      offset = t - start;
      return true;
    }
  }
  return false;
}

std::string GetSuffixString(std::string_view code) {
  const std::size_t dot = code.find('.');
  return std::string(dot == std::string_view::npos ? code : code.substr(dot));
}

std::string GetCodeString(std::string_view code) {
  const std::size_t dot = code.find('.');
  return dot == std::string_view::npos ? std::string() : std::string(code.substr(0, dot));
}

std::string StripQuotePrefix(std::string_view code) {
  if (code.find("FP_") == std::string_view::npos && code.find("NP_") == std::string_view::npos &&
      code.find("YTM_") == std::string_view::npos) {
    return std::string(code);
  }
  std::string_view rest = code.substr(code.find('_') + 1);
  const std::size_t dot = rest.find('.');
  if (dot != std::string_view::npos && dot + 3 < rest.size()) rest = rest.substr(0, dot + 3);
  return std::string(rest);
}

}  // namespace kdp

namespace kdp {

TMarketState MarketStateAt(const TArrayMarketTimeSep& sep, host::DateTime local, const TTradingDayTest& isTradingDay) {
  TMarketState state;
  if (!IsPairList(sep)) return state;
  const std::vector<host::DateTime> offsets = TransMarketTimeSepToDate(sep);  // day 0 or 1, see there
  const bool crossDay = std::floor(offsets.back().value) > 0;
  struct Session {
    double start, end;
    int tradeDate;
    bool night;
  };
  // The sessions of the trading days from two days before `local` to three weeks after, in time order.
  constexpr int kBefore = 2, kAfter = 21;
  const double today = std::floor(local.value);
  std::vector<Session> sessions;
  double previousTradingDay = -1;
  for (double day = today - kBefore - 7; day <= today + kAfter; ++day) {
    const int date = host::DateTime(day).Yyyymmdd();
    if (!isTradingDay(date)) continue;
    const double previous = previousTradingDay;
    previousTradingDay = day;
    if (day < today - kBefore) continue;  // only looked at to find the trading day before
    for (std::size_t i = 0; i + 1 < offsets.size(); i += 2) {
      const bool night = crossDay && std::floor(offsets[i].value) == 0;
      if (night && (previous < 0 || day - previous > 3)) continue;
      // Day-1 offsets fall on the trade date itself, a night session's day-0 start on the evening before it.
      const double base = night ? previous : crossDay ? day - 1 : day;
      sessions.push_back({base + offsets[i].value, base + offsets[i + 1].value, date, night});
    }
  }
  const double t = local.value;
  constexpr double kSecond = 1.0 / 86400.0;
  for (std::size_t i = 0; i < sessions.size(); ++i) {
    const Session& s = sessions[i];
    if (t + kSecond / 2 < s.start) {
      state.nextOpen = host::DateTime(s.start);
      const bool endedToday = i > 0 && std::floor(sessions[i - 1].end) == std::floor(t);
      state.tradeDate = endedToday ? sessions[i - 1].tradeDate : s.tradeDate;
      // Between two day sessions of one trade date the market pauses; otherwise it is closed.
      if (i == 0 || sessions[i - 1].tradeDate != s.tradeDate || sessions[i - 1].night) return state;
      const double noon = std::floor(sessions[i - 1].end) + 0.5;
      state.kind =
          sessions[i - 1].end <= noon && noon <= s.start ? TMarketState::Kind::kLunchBreak : TMarketState::Kind::kBreak;
      return state;
    }
    if (t < s.end) {
      state.kind = s.night ? TMarketState::Kind::kNightSession : TMarketState::Kind::kTrading;
      state.nextOpen = host::DateTime(s.start);
      state.tradeDate = s.tradeDate;
      return state;
    }
  }
  if (!sessions.empty()) state.tradeDate = sessions.back().tradeDate;
  return state;
}

}  // namespace kdp
