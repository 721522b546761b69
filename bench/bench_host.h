// The stand-in host the benchmarks run in: the sample configuration, the package started, a scratch data
// directory removed at exit. Created on first use.
// Interleave runs a baseline and the measured work one after the other in each iteration, so both meet
// the same heap, times each with the thread's CPU clock (the machine's other work does not count) and
// reports the time per iteration of each side and their ratio as counters.
#pragma once

#include <time.h>

#include <benchmark/benchmark.h>

#include "mini_host.h"

namespace kdp::bench {

minihost::MiniHost& BenchHost();

// The calling thread's CPU time in microseconds.
inline double ThreadMicros() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}

template <class Baseline, class Measured>
void Interleave(benchmark::State& state, Baseline baseline, Measured measured) {
  double baselineMicros = 0, measuredMicros = 0;
  for (auto _ : state) {
    const double t0 = ThreadMicros();
    baseline();
    const double t1 = ThreadMicros();
    measured();
    const double t2 = ThreadMicros();
    baselineMicros += t1 - t0;
    measuredMicros += t2 - t1;
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["baseline_us"] = baselineMicros / n;
  state.counters["measured_us"] = measuredMicros / n;
  state.counters["ratio"] = measuredMicros / baselineMicros;
}

}  // namespace kdp::bench
