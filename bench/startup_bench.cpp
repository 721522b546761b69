// Starting the package (Initialize: the module start steps and the start-up publication table) on the
// sample configuration, in a host whose quote engine runs; the engine's warm-up happens when the host is
// made, before any measurement, and its thread's work does not count (main-thread CPU time). Each
// iteration stops the package untimed and starts it timed; one untimed round of both sides comes first.
// The baseline, interleaved (paired_timing.h): reading the package's configuration plainly, every XML
// document under "HQ" and "Base" parsed with pugixml and every table file there read whole.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include "bench_host.h"
#include "paired_timing.h"

namespace kdp::bench {
namespace {

std::vector<std::filesystem::path> ConfigurationFiles() {
  std::vector<std::filesystem::path> files;
  for (const char* folder : {"HQ", "Base"}) {
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(std::filesystem::path(KDP_SAMPLE_ETC) / folder)) {
      const auto extension = entry.path().extension();
      if (entry.is_regular_file() && (extension == ".xml" || extension == ".dat")) files.push_back(entry.path());
    }
  }
  return files;
}

std::size_t ReadPlainly(const std::vector<std::filesystem::path>& files) {
  std::size_t bytes = 0;
  for (const auto& file : files) {
    if (file.extension() == ".xml") {
      pugi::xml_document document;
      document.load_file(file.c_str(), pugi::parse_default | pugi::parse_comments);
      bytes += static_cast<std::size_t>(!document.document_element().empty());
    } else {
      std::ifstream in(file, std::ios::binary);
      std::ostringstream text;
      text << in.rdbuf();
      bytes += text.str().size();
    }
  }
  return bytes;
}

void BM_PackageStart(benchmark::State& state) {
  const EngineHost engine = EngineBenchHost();
  const auto files = ConfigurationFiles();
  TPairedTimes times;
  std::size_t bytes = 0;
  bool started = true;
  bool baselineFirst = true;
  const auto restart = [&](auto&& timed) {
    engine.host.StopPackage();
    timed([&] { started = engine.host.StartPackage() && started; });
    engine.host.Speed()->SyncNow();  // the engine hears of the package from its own thread
    engine.host.Loop().RunUntilIdle();
  };
  // Both sides once untimed first: a figure should not depend on whether this process's first start and
  // first reads (page faults, the heap's growth, cold caches) fall in it or in an earlier benchmark.
  bytes += ReadPlainly(files);
  restart([](auto&& start) { start(); });
  const auto restartTimed = [&] { restart([&](auto&& start) { times.Measured(start); }); };
  for (auto _ : state) {
    if (baselineFirst) {
      times.Baseline([&] { bytes += ReadPlainly(files); });
      restartTimed();
    } else {
      restartTimed();
      times.Baseline([&] { bytes += ReadPlainly(files); });
    }
    baselineFirst = !baselineFirst;
  }
  if (!started) state.SkipWithError("the package did not start");
  benchmark::DoNotOptimize(bytes);
  times.Report(state);
  state.counters["files"] = static_cast<double>(files.size());
}
BENCHMARK(BM_PackageStart)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();

}  // namespace
}  // namespace kdp::bench
