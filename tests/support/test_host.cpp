#include "test_host.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "kdp/package.h"

namespace kdp::testing {

std::string MakeTempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "kdp-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  return pattern;
}

TestHost::TestHost(const std::function<void(minihost::HostSettings&)>& adjust, ClockKind clock,
                   const std::function<void(minihost::MiniHost::Options&)>& adjustOptions)
    : data_dir_(MakeTempDir()), clock_(clock == ClockKind::kManual ? std::make_shared<host::ManualClock>() : nullptr) {
  std::string error;
  auto settings = minihost::LoadHostSettings(KDP_SAMPLE_ETC, error);
  if (!settings) throw std::runtime_error(error);
  settings->dataDir = data_dir_;
  settings->serverTimeStart = "2026-12-04 10:30:00";
  settings->quotePollMs = 3'600'000;  // the engine moves only when a test syncs it
  settings->quoteWarmUpSeconds = 0;
  settings->luxLatencyMs = 0;        // Lux replies as soon as the client's thread sees them
  settings->luxPushIntervalMs = 0;   // and pushes only when a test asks for one
  settings->standInServers.clear();  // a test serves HTTP itself, or names what the host plays
  if (adjust) adjust(*settings);
  minihost::MiniHost::Options options;
  if (adjustOptions) adjustOptions(options);
  if (clock_) options.clock = clock_;
  host_ = minihost::MiniHost::Create(std::move(*settings), options, error);
  if (!host_) throw std::runtime_error(error);
}

TestHost::~TestHost() {
  // Tests also call package functions without starting the package; release the module singletons
  // those calls created, as a host's stop entry does.
  if (!host_->PackageRunning()) Finalize();
  host_.reset();
  std::error_code ec;
  std::filesystem::remove_all(data_dir_, ec);
}

}  // namespace kdp::testing
