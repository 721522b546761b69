#include "cloud/cloud_calendar.h"

#include "core/host_lookups.h"

namespace kdp {

host::DateTime THostCloudCalendar::ServerDateTime() const { return GetServerDateTime(); }

int THostCloudCalendar::LocalDate() const { return host::DateTime::Now().Yyyymmdd(); }

std::shared_ptr<const ICloudTradeDays> THostCloudCalendar::TradeDaysOf(const std::string&) const { return nullptr; }

std::optional<int> TradingDayBefore(const ICloudTradeDays& days, int date, int n) {
  std::optional<int> day = date;
  for (int i = 0; i < n && day; ++i) day = days.PreviousTradingDay(*day);
  return day;
}

}  // namespace kdp
