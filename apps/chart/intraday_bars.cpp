#include "intraday_bars.h"

#include <algorithm>

namespace kdp::chart {
namespace {

bool IsTimeOfDay(int hhmm) { return hhmm >= 0 && hhmm <= 2400 && hhmm % 100 < 60; }

int ToMinutes(int hhmm) { return hhmm / 100 * 60 + hhmm % 100; }

}  // namespace

SessionMinutes::SessionMinutes(std::vector<int> sessions) : sessions_(std::move(sessions)) {
  if (sessions_.size() % 2 != 0 || !std::all_of(sessions_.begin(), sessions_.end(), IsTimeOfDay)) {
    sessions_.clear();
    return;
  }
  // Minutes of the trading day: once a value is not after the one before it, the list has passed midnight.
  int day = 0, previous = -1;
  for (std::size_t i = 0; i + 1 < sessions_.size(); i += 2) {
    int start = ToMinutes(sessions_[i]) + day;
    if (start < previous) start += 1440, day += 1440;
    int end = ToMinutes(sessions_[i + 1]) + day;
    if (end <= start) end += 1440, day += 1440;
    spans_.push_back({start, end, count_});
    count_ += end - start;
    previous = end;
  }
}

int SessionMinutes::MinuteOf(int hhmmss) const {
  if (spans_.empty()) return 0;
  int t = ToMinutes(hhmmss / 100);
  // Times before the first start on a list that crosses midnight are the morning after it.
  if (spans_.back().end > 1440 && t < spans_.front().start) t += 1440;
  if (t < spans_.front().start) return 0;
  for (const Span& span : spans_) {
    if (t < span.start) return span.offset - 1;  // in the break before this session
    if (t < span.end) return span.offset + (t - span.start);
  }
  return count_ - 1;
}

int SessionMinutes::TimeOf(int minute) const {
  for (const Span& span : spans_) {
    if (minute < span.offset + (span.end - span.start)) {
      const int t = (span.start + std::max(0, minute - span.offset)) % 1440;
      return t / 60 * 100 + t % 60;
    }
  }
  return spans_.empty() ? 0 : sessions_.back();
}

std::vector<int> SessionMinutes::SessionStarts() const {
  std::vector<int> starts;
  for (const Span& span : spans_) starts.push_back(span.offset);
  return starts;
}

double IntradayBars::Increment(std::optional<double>& seen, std::optional<double> now) {
  if (!now || *now < 0) return 0;
  const double increment = !seen ? 0 : *now >= *seen ? *now - *seen : *now;
  seen = now;
  return increment;
}

void IntradayBars::Add(const Quote& quote) {
  if (quote.tradeDate != 0 && quote.tradeDate != trade_date_) {
    if (trade_date_ != 0) {
      // A new day: its cumulative figures count from zero.
      bars_.clear();
      volume_seen_ = 0.0;
      turnover_seen_ = 0.0;
      prev_close_.reset();
    }
    trade_date_ = quote.tradeDate;
  }
  if (quote.prevClose && *quote.prevClose > 0) prev_close_ = quote.prevClose;
  const double volume = Increment(volume_seen_, quote.volume);
  const double turnover = Increment(turnover_seen_, quote.turnover);
  if (!quote.last || !(*quote.last > 0) || sessions_.Count() == 0) return;

  const double price = *quote.last;
  const int minute = sessions_.MinuteOf(quote.time);
  auto at = std::lower_bound(bars_.begin(), bars_.end(), minute, [](const Bar& b, int m) { return b.minute < m; });
  if (at == bars_.end() || at->minute != minute) {
    at = bars_.insert(at, Bar{minute, price, price, price, price, 0, 0});
  }
  at->high = std::max(at->high, price);
  at->low = std::min(at->low, price);
  at->close = price;
  at->volume += volume;
  at->turnover += turnover;
}

std::vector<Bar> IntradayBars::Joined(int minutes) const {
  if (minutes <= 1) return bars_;
  std::vector<Bar> joined;
  for (const Bar& bar : bars_) {
    const int first = bar.minute / minutes * minutes;
    if (joined.empty() || joined.back().minute != first) {
      joined.push_back(bar);
      joined.back().minute = first;
      continue;
    }
    Bar& j = joined.back();
    j.high = std::max(j.high, bar.high);
    j.low = std::min(j.low, bar.low);
    j.close = bar.close;
    j.volume += bar.volume;
    j.turnover += bar.turnover;
  }
  return joined;
}

}  // namespace kdp::chart
