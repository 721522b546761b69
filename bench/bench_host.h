// The stand-in hosts the benchmarks run in, on the sample configuration with the package started and a
// scratch data directory removed at exit. One host is installed at a time: asking for the other kind
// replaces the current one (references to the old one are then dangling).
#pragma once

#include "kdp/host/main_loop.h"
#include "mini_host.h"

namespace kdp::bench {

// Without a quote engine: no engine thread competes with the measurements.
minihost::MiniHost& BenchHost();

// With the simulated quote engine on a manual clock: the server clock starts on a trading morning
// (2026-12-04 10:30:00), the engine moves only when a benchmark advances the clock and syncs it, and every
// security trades once a second. The engine's warm-up (half an hour of market) runs when the host is made.
struct EngineHost {
  minihost::MiniHost& host;
  host::ManualClock& clock;
};
EngineHost EngineBenchHost();

}  // namespace kdp::bench
