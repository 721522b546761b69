// IntradayBars: one security's trading day as one-minute bars, built from the quotes a widget receives
// (live pushes, or the pushes of a recording played back).
//
// The day's axis is the market's own session minutes, from its trade spans (HHMM start/end pairs in
// trading order, as the trade date manager answers them): minute 0 is the first session's first minute,
// breaks between sessions (a lunch break, the night between a night session and the day) take no minutes,
// and a session that crosses midnight runs on past it in order (21:00 ... 23:59, 00:00 ... 02:29). A
// quote's time belongs to the minute it falls in; a time in a break belongs to the last minute before it,
// one before the first session to the first minute (the opening auction) and one at or after the last
// session's end to the last minute (the closing auction).
//
// Each bar keeps open, high, low and close of the prices quoted in its minute, and the volume and
// turnover traded in it: the increments of the quotes' cumulative volume and turnover. The first quote
// of the day only sets where counting starts (what traded before it belongs to no minute we saw); a
// cumulative figure that falls has been reset by its source, and counts again from zero. A quote of
// another trade date starts a new day, whose figures count from zero.
//
// Not thread-safe: the widget's thread (the main thread) feeds and reads it.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kdp::chart {

struct Bar {
  int minute = 0;  // the session minute of the bar's start (for wider periods: of its first minute)
  double open = 0, high = 0, low = 0, close = 0;
  double volume = 0;
  double turnover = 0;
  friend bool operator==(const Bar&, const Bar&) = default;
};

// One quote as the bars need it. Fields the quote leaves out are nullopt.
struct Quote {
  int tradeDate = 0;  // yyyymmdd; 0 when the quote does not say
  int time = 0;       // HHMMSS in the market's wall clock
  std::optional<double> last;
  std::optional<double> prevClose;
  std::optional<double> volume;    // cumulative over the trade date
  std::optional<double> turnover;  // cumulative over the trade date
};

// The session minutes of a trade span: start/end HHMM pairs in trading order.
class SessionMinutes {
 public:
  SessionMinutes() = default;
  // An odd count or a pair that is not a time of day leaves no minutes.
  explicit SessionMinutes(std::vector<int> sessions);

  // Minutes in the trading day (240 for 930,1130,1300,1500).
  int Count() const { return count_; }
  // The session minute of a time of day HHMMSS (see the header); 0 when there are no sessions.
  int MinuteOf(int hhmmss) const;
  // The time of day (HHMM) a session minute starts at.
  int TimeOf(int minute) const;
  // The minutes where sessions start (0 first), for axis marks.
  std::vector<int> SessionStarts() const;
  const std::vector<int>& Sessions() const { return sessions_; }

 private:
  // Session i as [start, end) in minutes of the trading day: minutes after midnight of a cross-midnight
  // list carry on from 1440.
  struct Span {
    int start = 0, end = 0, offset = 0;
  };
  std::vector<int> sessions_;
  std::vector<Span> spans_;
  int count_ = 0;
};

class IntradayBars {
 public:
  explicit IntradayBars(SessionMinutes sessions, int tradeDate = 0)
      : sessions_(std::move(sessions)), trade_date_(tradeDate) {}

  // Takes one quote. A quote without a last price (or with one not above 0) moves nothing but the
  // counting of volume and turnover and the previous close.
  void Add(const Quote& quote);

  // The bars of minutes that had quotes, in session order.
  const std::vector<Bar>& Bars() const { return bars_; }
  // The bars joined into periods of `minutes` session minutes counted from the first (5 for five-minute
  // bars); each keeps its first minute.
  std::vector<Bar> Joined(int minutes) const;
  // The reference line; nullopt until a quote brings it.
  std::optional<double> PrevClose() const { return prev_close_; }
  int TradeDate() const { return trade_date_; }
  const SessionMinutes& Sessions() const { return sessions_; }

 private:
  // The increment of a cumulative figure since `seen`, which then follows it.
  static double Increment(std::optional<double>& seen, std::optional<double> now);

  SessionMinutes sessions_;
  int trade_date_;
  std::optional<double> prev_close_;
  std::optional<double> volume_seen_, turnover_seen_;
  std::vector<Bar> bars_;
};

}  // namespace kdp::chart
