// Calendar queries of a trade date object against a bare sorted std::vector<int> with std::lower_bound:
// a 10-year calendar (weekdays of 2017-2026 less a week of holidays each spring and autumn), 1,000
// random dates per iteration, each asked for the trading day before and after it and for the trading
// day 5 days before the last trading day not after it: three queries, each given the date-time and
// converting it to yyyymmdd itself on both sides. Interleaved in one loop (paired_timing.h); the counter "ratio" is the
// trade date object's time over the vector's.
//   Arg 0: an object without a security (the calendar search alone);
//   Arg 1: an object bound to a security, which looks at its real-time trade date before the n-th-day
//          query, as widgets' objects do.
#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench_host.h"
#include "paired_timing.h"
#include "core/security_fake.h"
#include "tradedate/trade_date_item.h"

namespace kdp::bench {
namespace {

constexpr int kQueries = 1000;
constexpr int kDaysBack = 5;

std::vector<int> TenYearCalendar() {
  std::vector<int> days;
  for (host::DateTime d = host::DateTime::FromParts(2017, 1, 1); d.Yyyymmdd() <= 20261231; d = d.AddDays(1)) {
    const auto parts = d.Decode();
    const bool holiday =
        (parts.month == 10 && parts.day <= 7) || (parts.month == 2 && parts.day >= 10 && parts.day <= 16);
    if (d.DayOfWeek() != 1 && d.DayOfWeek() != 7 && !holiday) days.push_back(d.Yyyymmdd());
  }
  return days;
}

// The trading day before / after a listed day, -1 otherwise: the baseline's queries.
int Before(const std::vector<int>& calendar, host::DateTime d) {
  const int day = d.Yyyymmdd();
  const auto it = std::lower_bound(calendar.begin(), calendar.end(), day);
  return it != calendar.end() && *it == day && it != calendar.begin() ? *(it - 1) : -1;
}

int After(const std::vector<int>& calendar, host::DateTime d) {
  const int day = d.Yyyymmdd();
  const auto it = std::lower_bound(calendar.begin(), calendar.end(), day);
  return it != calendar.end() && *it == day && it + 1 != calendar.end() ? *(it + 1) : -1;
}

void BM_TradeDateQueries(benchmark::State& state) {
  BenchHost();
  const std::vector<int> calendar = TenYearCalendar();
  std::string text;
  for (int day : calendar) text += (text.empty() ? "" : ",") + std::to_string(day);
  std::shared_ptr<host::IKrSecurity> security;
  if (state.range(0) != 0) {
    auto fake = std::make_shared<TKrSecurityFake>();
    fake->SetKoraCode("BENCH.CAL");
    security = fake;
  }
  TKrTradeDateItem item({}, security, host::DateTime::FromParts(2026, 12, 31), text);

  std::mt19937 random(20261204);
  // From the second week on: every date then has a trading day before it.
  std::uniform_real_distribution<double> anyDay(host::DateTime::FromParts(2017, 1, 9).value,
                                                host::DateTime::FromParts(2026, 12, 31).value);
  std::vector<host::DateTime> dates(kQueries);
  for (host::DateTime& d : dates) d = host::DateTime(std::floor(anyDay(random)));

  long long baselineSum = 0, measuredSum = 0;
  Interleave(
      state,
      [&] {
        for (host::DateTime d : dates) {
          baselineSum += Before(calendar, d);
          baselineSum += After(calendar, d);
          const int day = d.Yyyymmdd();
          const auto index = std::upper_bound(calendar.begin(), calendar.end(), day) - calendar.begin() - 1;
          baselineSum += index >= kDaysBack ? calendar[static_cast<std::size_t>(index - kDaysBack)] : -1;
        }
        benchmark::DoNotOptimize(baselineSum);
      },
      [&] {
        for (host::DateTime d : dates) {
          measuredSum += item.GetBeforeDate(d);
          measuredSum += item.GetAfterDate(d);
          item.SetLatestDate(d.Yyyymmdd());
          measuredSum += item.GetLatestDateBef(kDaysBack);
        }
        benchmark::DoNotOptimize(measuredSum);
      });
  if (baselineSum != measuredSum) state.SkipWithError("the object and the vector disagree");
  state.SetLabel(state.range(0) != 0 ? "with security" : "calendar only");
  state.SetItemsProcessed(state.iterations() * kQueries);
}
BENCHMARK(BM_TradeDateQueries)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kdp::bench
