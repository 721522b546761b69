// Formatting a quote value with units (TKrHQFormatItem::CalcAndFormat of "[FORMATNUMBER:0:0:2:1]", the
// volume and amount columns of a price board) against fmt::format("{:.2f}") of the same values (the
// baseline), interleaved in one benchmark (paired_timing.h). The goal is within 3 times the baseline.
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include "bench_host.h"
#include "format/format_item.h"
#include "paired_timing.h"

namespace kdp::bench {
namespace {

// Magnitudes of volumes and amounts: units, ten-thousands, hundreds of millions, trillions.
std::vector<double> Values() {
  std::vector<double> v;
  double x = 1.2345;
  for (int i = 0; i < 1000; ++i) {
    v.push_back(x);
    x *= 1.037;
    if (x > 5e12) x = 1.2345 + i;
  }
  return v;
}

void BM_CalcAndFormatWithUnits(benchmark::State& state) {
  BenchHost();  // the user's language and the catalogue's unit words
  TKrHQFormatItem item;
  item.SetFormatText("[FORMATNUMBER:0:0:2:1]");
  const std::vector<double> values = Values();
  std::size_t length = 0;
  Interleave(
      state,
      [&] {
        for (double v : values) length += fmt::format("{:.2f}", v).size();
      },
      [&] {
        for (double v : values) length += item.CalcAndFormat(v).size();
      });
  benchmark::DoNotOptimize(length);
}
BENCHMARK(BM_CalcAndFormatWithUnits)->Unit(benchmark::kMicrosecond)->Repetitions(7)->ReportAggregatesOnly();

}  // namespace
}  // namespace kdp::bench
