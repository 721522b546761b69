// Resolving security codes to their classification (IKrHQSecurityManager::GetSecurityInfo, host look-up
// and fallback chain included) for a mix of 10,000 codes, against a bare std::unordered_map look-up of the
// same codes (the baseline).
#include <string>
#include <unordered_map>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench_host.h"
#include "core/package_lookup.h"
#include "kdp/refdata/security_manager.h"

namespace {

// Host securities in bulk, with user-defined, hard-coded, prefixed, global-index and unknown codes mixed in.
const std::vector<std::string>& Codes() {
  static const std::vector<std::string> codes = [] {
    std::vector<std::string> known;
    for (const auto& security : kdp::bench::BenchHost().Securities().All()) known.push_back(security->GetKoraCode());
    const std::vector<std::string> odd{"MYBASKET.UD", "USDCNY.FX", "YTM_019547.SH", "FP_600000.SH",
                                       "NP_DJI.GI",   "NOPE.XX",   "cgb10y.ib",     "600000.sh"};
    std::vector<std::string> mix;
    for (std::size_t i = 0; mix.size() < 10000; ++i) {
      mix.push_back(i % 10 == 9 ? odd[(i / 10) % odd.size()] : known[(i * 7) % known.size()]);
    }
    return mix;
  }();
  return codes;
}

void BM_GetSecurityInfo(benchmark::State& state) {
  kdp::bench::BenchHost();
  auto manager = kdp::G_QueryInterface<kdp::IKrHQSecurityManager>("IKrHQSecurityManager");
  const auto& codes = Codes();
  for (auto _ : state) {
    int sum = 0;
    for (const std::string& code : codes) sum += manager->GetSecurityInfo(code)->GetHQTypeID();
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(codes.size()));
}
BENCHMARK(BM_GetSecurityInfo)->Unit(benchmark::kMicrosecond);

void BM_UnorderedMapLookup(benchmark::State& state) {
  const auto& codes = Codes();
  std::unordered_map<std::string, int> table;
  int id = 0;
  for (const std::string& code : codes) table.emplace(code, ++id);
  for (auto _ : state) {
    int sum = 0;
    for (const std::string& code : codes) sum += table.find(code)->second;
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(codes.size()));
}
BENCHMARK(BM_UnorderedMapLookup)->Unit(benchmark::kMicrosecond);

}  // namespace
