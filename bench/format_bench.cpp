// Formatting a quote value with units (TKrHQFormatItem::CalcAndFormat of "[FORMATNUMBER:0:0:2:1]", the
// volume and amount columns of a price board) against fmt::format("{:.2f}") of the same values (the
// baseline). The goal is within 3 times the baseline.
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include "bench_host.h"
#include "format/format_item.h"

namespace {

// Magnitudes of volumes and amounts: units, ten-thousands, hundreds of millions, trillions.
const std::vector<double>& Values() {
  static const std::vector<double> values = [] {
    std::vector<double> v;
    double x = 1.2345;
    for (int i = 0; i < 1000; ++i) {
      v.push_back(x);
      x *= 1.037;
      if (x > 5e12) x = 1.2345 + i;
    }
    return v;
  }();
  return values;
}

void BM_CalcAndFormatWithUnits(benchmark::State& state) {
  kdp::bench::BenchHost();  // the user's language and the catalogue's unit words
  kdp::TKrHQFormatItem item;
  item.SetFormatText("[FORMATNUMBER:0:0:2:1]");
  const auto& values = Values();
  for (auto _ : state) {
    std::size_t length = 0;
    for (double v : values) length += item.CalcAndFormat(v).size();
    benchmark::DoNotOptimize(length);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(values.size()));
}
BENCHMARK(BM_CalcAndFormatWithUnits)->Unit(benchmark::kMicrosecond);

void BM_FmtFixedTwoDecimals(benchmark::State& state) {
  const auto& values = Values();
  for (auto _ : state) {
    std::size_t length = 0;
    for (double v : values) length += fmt::format("{:.2f}", v).size();
    benchmark::DoNotOptimize(length);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(values.size()));
}
BENCHMARK(BM_FmtFixedTwoDecimals)->Unit(benchmark::kMicrosecond);

}  // namespace
