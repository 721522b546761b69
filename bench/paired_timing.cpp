#include "paired_timing.h"

#include <ctime>

namespace kdp::bench {

double ThreadCpuMicros() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}

void TPairedTimes::Report(benchmark::State& state) const {
  const double n = state.iterations() > 0 ? static_cast<double>(state.iterations()) : 1.0;
  state.counters["baseline_us"] = baseline_ / n;
  state.counters["measured_us"] = measured_ / n;
  state.counters["ratio"] = Ratio();
}

}  // namespace kdp::bench
