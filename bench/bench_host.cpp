#include "bench_host.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace kdp::bench {
namespace {

enum class Kind { kNone, kWithoutEngine, kWithEngine };

struct InstalledHost {
  Kind kind = Kind::kNone;
  std::string dir;
  std::shared_ptr<host::ManualClock> clock;
  std::unique_ptr<minihost::MiniHost> host;

  ~InstalledHost() { Release(); }

  void Release() {
    host.reset();
    clock.reset();
    if (!dir.empty()) {
      std::error_code ec;
      std::filesystem::remove_all(dir, ec);
      dir.clear();
    }
    kind = Kind::kNone;
  }

  void Install(Kind wanted) {
    if (kind == wanted) return;
    Release();
    std::string pattern = (std::filesystem::temp_directory_path() / "kdp-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    dir = pattern;
    std::string error;
    auto settings = minihost::LoadHostSettings(KDP_SAMPLE_ETC, error);
    if (!settings) throw std::runtime_error(error);
    settings->dataDir = dir;
    minihost::MiniHost::Options options;
    if (wanted == Kind::kWithEngine) {
      settings->serverTimeStart = "2026-12-04 10:30:00";
      settings->quotePollMs = 3'600'000;  // the engine moves when a benchmark syncs it
      settings->quoteRate = 1.0;
      settings->quoteWarmUpSeconds = 1800;
      clock = std::make_shared<host::ManualClock>();
      options.clock = clock;
    } else {
      settings->quoteEngine = false;
    }
    host = minihost::MiniHost::Create(std::move(*settings), options, error);
    if (!host || !host->StartPackage()) throw std::runtime_error("the bench host did not start: " + error);
    kind = wanted;
  }
};

InstalledHost& Installed() {
  static InstalledHost instance;
  return instance;
}

}  // namespace

minihost::MiniHost& BenchHost() {
  Installed().Install(Kind::kWithoutEngine);
  return *Installed().host;
}

EngineHost EngineBenchHost() {
  InstalledHost& installed = Installed();
  installed.Install(Kind::kWithEngine);
  installed.host->Speed()->SyncNow();  // the engine connects once the package's session attached
  installed.host->Loop().RunUntilIdle();
  return {*installed.host, *installed.clock};
}

}  // namespace kdp::bench
