// Resolving security codes to their classification (IKrHQSecurityManager::GetSecurityInfo, host look-up
// and fallback chain included) for a mix of 10,000 codes already seen, against finding the same codes'
// prepared answers in a std::unordered_map (the baseline). The counter "allocations_per_lookup" counts
// operator new calls per resolution.
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench_host.h"
#include "core/package_lookup.h"
#include "heap_use.h"
#include "kdp/refdata/security_manager.h"
#include "paired_timing.h"

namespace kdp::bench {
namespace {

// Host securities in bulk, with user-defined, hard-coded, prefixed, global-index and unknown codes mixed in.
std::vector<std::string> Codes() {
  std::vector<std::string> known;
  for (const auto& security : BenchHost().Securities().All()) known.push_back(security->GetKoraCode());
  const std::vector<std::string> odd{"MYBASKET.UD", "USDCNY.FX", "YTM_019547.SH", "FP_600000.SH",
                                     "NP_DJI.GI",   "NOPE.XX",   "cgb10y.ib",     "600000.sh"};
  std::vector<std::string> mix;
  for (std::size_t i = 0; mix.size() < 10000; ++i) {
    mix.push_back(i % 10 == 9 ? odd[(i / 10) % odd.size()] : known[(i * 7) % known.size()]);
  }
  return mix;
}

void BM_GetSecurityInfo(benchmark::State& state) {
  BenchHost();
  auto manager = G_QueryInterface<IKrHQSecurityManager>("IKrHQSecurityManager");
  const std::vector<std::string> codes = Codes();
  std::unordered_map<std::string, std::shared_ptr<IKrHQSecurityInfo>> prepared;
  for (const std::string& code : codes) prepared.emplace(code, manager->GetSecurityInfo(code));
  int sum = 0;
  std::uint64_t allocations = 0;
  Interleave(
      state,
      [&] {
        for (const std::string& code : codes) sum += prepared.find(code)->second->GetHQTypeID();
      },
      [&] {
        const std::uint64_t before = ThreadAllocations();
        for (const std::string& code : codes) sum += manager->GetSecurityInfo(code)->GetHQTypeID();
        allocations += ThreadAllocations() - before;
      });
  benchmark::DoNotOptimize(sum);
  state.counters["allocations_per_lookup"] =
      static_cast<double>(allocations) / static_cast<double>(state.iterations() * codes.size());
}
BENCHMARK(BM_GetSecurityInfo)->Unit(benchmark::kMicrosecond)->Repetitions(7)->ReportAggregatesOnly();

}  // namespace
}  // namespace kdp::bench
