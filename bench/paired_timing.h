// Timing a measured path against its baseline inside one benchmark, so the figure that matters (their
// ratio) comes from one run on one heap: each iteration runs both sides, swapping which goes first, and
// times each with the thread's CPU clock (other threads and other processes do not count). Neither side
// profits from running second on a heap or cache the other warmed, and machine noise falls on both.
//
// Counters: "baseline_us" and "measured_us" (CPU microseconds per iteration of each side) and "ratio"
// (measured / baseline). Run with repetitions and read the medians.
#pragma once

#include <benchmark/benchmark.h>

namespace kdp::bench {

// The calling thread's CPU time in microseconds.
double ThreadCpuMicros();

// CPU microseconds `work` took on this thread.
template <class Work>
double CpuMicros(Work&& work) {
  const double start = ThreadCpuMicros();
  work();
  return ThreadCpuMicros() - start;
}

class TPairedTimes {
 public:
  template <class Work>
  void Baseline(Work&& work) {
    baseline_ += CpuMicros(work);
  }
  template <class Work>
  void Measured(Work&& work) {
    measured_ += CpuMicros(work);
  }
  // Sets the three counters, per iteration of `state`.
  void Report(benchmark::State& state) const;

 private:
  double baseline_ = 0;
  double measured_ = 0;
};

// Runs `baseline` and `measured` once per iteration each, alternating which goes first, and reports both.
template <class Baseline, class Measured>
void Interleave(benchmark::State& state, Baseline&& baseline, Measured&& measured) {
  TPairedTimes times;
  bool baselineFirst = true;
  for (auto _ : state) {
    if (baselineFirst) {
      times.Baseline(baseline);
      times.Measured(measured);
    } else {
      times.Measured(measured);
      times.Baseline(baseline);
    }
    baselineFirst = !baselineFirst;
  }
  times.Report(state);
}

}  // namespace kdp::bench
