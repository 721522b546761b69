// The stand-in host the benchmarks run in: the sample configuration, the package started, a scratch data
// directory removed at exit. Created on first use.
#pragma once

#include "mini_host.h"

namespace kdp::bench {

minihost::MiniHost& BenchHost();

}  // namespace kdp::bench
