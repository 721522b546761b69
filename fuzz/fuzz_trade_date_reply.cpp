// The trade date manager's calendar replies (a report stream behind its status byte), decoded and made the
// calendar of a trade date object, which is then asked what widgets ask. A reply either gives one entry per
// record or is refused with a reason; whatever entries it gives (dates, numbers, text, out of order), the
// object answers without crashing and within the sizes asked for.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "loop_fuzz_host.h"
#include "tradedate/trade_date_item.h"
#include "tradedate/trade_date_mgr.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static kdp::fuzzing::LoopHost host;

  std::vector<std::string> dates;
  std::string error;
  if (!kdp::DecodeTradeDateReply(std::span(data, size), dates, error)) {
    if (error.empty()) __builtin_trap();  // a refusal says why
    return 0;
  }
  std::string calendar;
  for (const std::string& date : dates) calendar += (calendar.empty() ? "" : ",") + date;
  const auto today = kdp::host::DateTime::FromParts(2026, 12, 4);
  kdp::TKrTradeDateItem item({}, nullptr, today, calendar);
  for (const int days : {0, 1, 5, 400}) {
    item.GetLatestDateBef(days);
    const std::vector<int> period = item.GetLatestDatePeriod(days);
    if (period.size() > static_cast<std::size_t>(std::max(days, 1))) __builtin_trap();
  }
  item.GetBeforeDate(today);
  item.GetAfterDate(today);
  item.SetLatestDate(20260101);
  item.GetLatestDatePeriod(30);
  host.loop.RunUntilIdle();
  return 0;
}
