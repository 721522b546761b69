// Converting market times with the world clock: 100,000 New York wall-clock date-times spread over
// 2020-2035, in random order so the year changes on most conversions, shifted to Beijing time
// (IKrWorldClock::ShiftDateTimeEx, -5 to 8). Each pair runs interleaved in one benchmark
// (paired_timing.h), with the month-and-day rule as the baseline (the same zones without IANA names, on a
// world clock of their own):
//   ShiftDateTimeEx: the zones naming their IANA zones (transitions cached by year);
//   DatabaseWithoutYearCache: the same conversions asked of date/tz directly (what the year cache saves).
#include <random>
#include <vector>

#include <benchmark/benchmark.h>
#include <date/tz.h>

#include "bench_host.h"
#include "paired_timing.h"
#include "refdata/stock_type_manager.h"

namespace kdp::bench {
namespace {

constexpr int kInstants = 100000;

const std::vector<host::DateTime>& Instants() {
  static const std::vector<host::DateTime> instants = [] {
    std::mt19937_64 random(20261204);
    const double first = host::DateTime::FromParts(2020, 1, 1).value;
    const double last = host::DateTime::FromParts(2036, 1, 1).value;
    std::uniform_real_distribution<double> day(first, last);
    std::vector<host::DateTime> all;
    all.reserve(kInstants);
    for (int i = 0; i < kInstants; ++i) all.emplace_back(day(random));
    return all;
  }();
  return instants;
}

// The sample's New York and Beijing, with or without their IANA names.
std::unique_ptr<TKrHQStockTypeManagerImpl> Clock(bool databaseZones) {
  BenchHost();
  const std::string tz1 = databaseZones ? R"( tz="Asia/Shanghai")" : "";
  const std::string tz2 = databaseZones ? R"( tz="America/New_York")" : "";
  auto clock = std::make_unique<TKrHQStockTypeManagerImpl>(8);
  clock->LoadStockTypeMapXml(R"(<Map><worldclock><zone city="Beijing" gmt="8")" + tz1 +
                             R"(/><zone city="New York" gmt="-5")" + tz2 +
                             R"( summerdiff="1" summerstart="2016-03-13 02:00:00" summerend="2016-11-06 02:00:00"/>)"
                             R"(</worldclock></Map>)");
  return clock;
}

double ShiftAll(TKrHQStockTypeManagerImpl& map) {
  TKrWorldClock& clock = map.WorldClock();
  double sum = 0;
  for (host::DateTime t : Instants()) {
    clock.ShiftDateTimeEx(-5, 8, t);
    sum += t.value;
  }
  return sum;
}

void BM_ShiftDateTimeEx(benchmark::State& state) {
  auto rule = Clock(false);
  auto database = Clock(true);
  double sum = 0;
  Interleave(
      state, [&] { sum += ShiftAll(*rule); }, [&] { sum += ShiftAll(*database); });
  benchmark::DoNotOptimize(sum);
}
BENCHMARK(BM_ShiftDateTimeEx)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly();

void BM_DatabaseWithoutYearCache(benchmark::State& state) {
  auto rule = Clock(false);
  const date::time_zone* newYork = date::locate_zone("America/New_York");
  const date::time_zone* beijing = date::locate_zone("Asia/Shanghai");
  double sum = 0;
  Interleave(
      state, [&] { sum += ShiftAll(*rule); },
      [&] {
        for (host::DateTime t : Instants()) {
          const auto local = date::local_time<std::chrono::milliseconds>(
              std::chrono::milliseconds(std::llround((t.value - 25569.0) * 86400000.0)));
          const date::local_info info = newYork->get_info(date::floor<std::chrono::seconds>(local));
          const auto utc = date::sys_time<std::chrono::milliseconds>(local.time_since_epoch() - info.first.offset);
          const auto offset = beijing->get_info(date::floor<std::chrono::seconds>(utc)).offset;
          sum += t.value + static_cast<double>((offset - info.first.offset).count()) / 86400.0;
        }
      });
  benchmark::DoNotOptimize(sum);
}
BENCHMARK(BM_DatabaseWithoutYearCache)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly();

}  // namespace
}  // namespace kdp::bench
