// The benchmarks' entry point: Google Benchmark's, on an allocator whose thresholds are fixed.
//
// glibc moves its mmap and trim thresholds as a process frees large blocks, so a benchmark's heap would
// behave one way in a fresh process and another after the benchmarks before it (a 150 KB reply mapped and
// unmapped, with its page faults, every run in one; reused from the heap in the other). Fixed here, as a
// long-running terminal's heap settles: blocks below 4 MiB come from the heap, and freed memory stays with
// the process until 64 MiB lie free at its top. A figure then does not depend on its neighbours.
#include <malloc.h>

#include <benchmark/benchmark.h>

int main(int argc, char** argv) {
  mallopt(M_MMAP_THRESHOLD, 4 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
