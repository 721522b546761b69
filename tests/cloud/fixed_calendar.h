// A calendar for the cloud tests: a fixed server time and local date, and one market's trading days given
// as a list, answered for the codes the test names as a trade date item whose current trade date is the
// last trading day not after the server date.
#pragma once

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "cloud/cloud_calendar.h"

namespace kdp::testing {

class FixedTradeDays final : public ICloudTradeDays {
 public:
  FixedTradeDays(std::set<int> days, int today)
      : days_(days.begin(), days.end()),
        current_(static_cast<int>(std::ranges::upper_bound(days_, today) - days_.begin()) - 1) {}
  int LatestDateBef(int n) const override {
    const int at = current_ - n;
    return current_ >= 0 && at >= 0 ? days_[static_cast<std::size_t>(at)] : -1;
  }
  int BeforeDate(host::DateTime date) const override {
    const auto it = std::ranges::find(days_, date.Yyyymmdd());
    return it == days_.end() || it == days_.begin() ? -1 : *std::prev(it);
  }

 private:
  std::vector<int> days_;  // ascending
  int current_;            // index of the current trade date; -1 before every day
};

class FixedCalendar final : public ICloudCalendar {
 public:
  // `tradingDays` serve every code in `codes`.
  FixedCalendar(host::DateTime server, int localDate, std::set<int> tradingDays = {},
                std::vector<std::string> codes = {})
      : server_(server),
        local_(localDate),
        days_(std::make_shared<FixedTradeDays>(std::move(tradingDays), server.Yyyymmdd())),
        codes_(std::move(codes)) {}

  host::DateTime ServerDateTime() const override { return server_; }
  int LocalDate() const override { return local_; }
  std::shared_ptr<const ICloudTradeDays> TradeDaysOf(const std::string& code) const override {
    return std::ranges::find(codes_, code) == codes_.end() ? nullptr : days_;
  }

 private:
  host::DateTime server_;
  int local_;
  std::shared_ptr<const FixedTradeDays> days_;
  std::vector<std::string> codes_;
};

// The weekdays from `first` to `last` (yyyymmdd), leaving out `holidays`.
inline std::set<int> Weekdays(int first, int last, const std::set<int>& holidays = {}) {
  std::set<int> days;
  for (auto d = *host::DateTime::FromYyyymmdd(first); d.Yyyymmdd() <= last; d = d.AddDays(1)) {
    const int dow = d.DayOfWeek();
    if (dow != 1 && dow != 7 && !holidays.contains(d.Yyyymmdd())) days.insert(d.Yyyymmdd());
  }
  return days;
}

}  // namespace kdp::testing
