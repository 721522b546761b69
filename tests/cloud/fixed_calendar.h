// A calendar for the cloud tests: a fixed server time and local date, and one market's trading days given
// as a list, answered for the codes the test names.
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
  explicit FixedTradeDays(std::set<int> days) : days_(std::move(days)) {}
  std::optional<int> PreviousTradingDay(int date) const override {
    const auto it = days_.lower_bound(date);
    if (it == days_.begin()) return std::nullopt;
    return *std::prev(it);
  }

 private:
  std::set<int> days_;
};

class FixedCalendar final : public ICloudCalendar {
 public:
  // `tradingDays` serve every code in `codes`.
  FixedCalendar(host::DateTime server, int localDate, std::set<int> tradingDays = {},
                std::vector<std::string> codes = {})
      : server_(server),
        local_(localDate),
        days_(std::make_shared<FixedTradeDays>(std::move(tradingDays))),
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
