// Timing a measured path against its baseline inside one benchmark, so the figure that matters (their
// ratio) comes from one run on one heap: each iteration runs both sides, swapping which goes first, and
// times each with the thread's CPU clock (other threads and other processes do not count). Neither side
// profits from running second on a heap or cache the other warmed, and machine noise falls on both.
//
// Counters: "baseline_us" and "measured_us" (CPU microseconds per iteration of each side) and "ratio"
// (measured / baseline); Interleave adds "cold_ratio". Run with repetitions and read the medians.
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
  double Ratio() const { return baseline_ > 0 ? measured_ / baseline_ : 0.0; }

 private:
  double baseline_ = 0;
  double measured_ = 0;
};

// Runs `baseline` and `measured` once per iteration each, alternating which goes first, and reports both.
// A process's first pair pays for first-time work (page faults, caches, lazy set-ups) that a terminal pays
// once: each repetition runs one pair untimed before its timed ones, and the first such pair of the
// benchmark function in its process (its first argument's, when it takes several) is reported in every
// repetition as "cold_ratio" (baseline first, as the loop starts).
template <class Baseline, class Measured>
void Interleave(benchmark::State& state, Baseline&& baseline, Measured&& measured) {
  TPairedTimes warmUp;
  warmUp.Baseline(baseline);
  warmUp.Measured(measured);
  static const double coldRatio = warmUp.Ratio();  // one per benchmark function: each has its own lambdas
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
  state.counters["cold_ratio"] = coldRatio;
}

}  // namespace kdp::bench
