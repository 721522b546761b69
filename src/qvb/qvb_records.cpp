#include "kdp/qvb/qvb_records.h"

#include <chrono>

namespace kdp {

TKrQVBFreqType QVBFreqFromCode(std::int32_t code) {
  static constexpr TKrQVBFreqType kByCode[] = {ftUndated,   ftEveryday,   ftWeekly, ftMonthly,
                                               ftQuarterly, ftSemiAnnual, ftAnnual};
  return code >= 1 && code <= 6 ? kByCode[code] : ftUndated;
}

std::uint16_t QVBDateToDayNumber(std::int64_t value) {
  using namespace std::chrono;
  year_month_day date{};
  if (value > 19000000) {
    date = year{static_cast<int>(value / 10000)} / month{static_cast<unsigned>(value / 100 % 100)} /
           day{static_cast<unsigned>(value % 100)};
  } else if (value > 190000) {
    date = year_month_day{year{static_cast<int>(value / 100)} / month{static_cast<unsigned>(value % 100)} / last};
  } else if (value > 0) {
    date = year{static_cast<int>(value)} / December / 31;
  }
  if (!date.ok()) return 0;
  const auto days = (sys_days{date} - sys_days{year{1899} / December / 30}).count();
  return days > 0 && days <= 0xFFFF ? static_cast<std::uint16_t>(days) : 0;
}

}  // namespace kdp
