#include "bench_host.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace kdp::bench {
namespace {

struct HostAndDir {
  std::string dir;
  std::unique_ptr<minihost::MiniHost> host;
  ~HostAndDir() {
    host.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

}  // namespace

minihost::MiniHost& BenchHost() {
  static HostAndDir instance;
  if (!instance.host) {
    std::string pattern = (std::filesystem::temp_directory_path() / "kdp-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    instance.dir = pattern;
    std::string error;
    auto settings = minihost::LoadHostSettings(KDP_SAMPLE_ETC, error);
    if (!settings) throw std::runtime_error(error);
    settings->dataDir = instance.dir;
    settings->quoteEngine = false;  // no engine thread competing with the measurements
    instance.host = minihost::MiniHost::Create(std::move(*settings), {}, error);
    if (!instance.host || !instance.host->StartPackage())
      throw std::runtime_error("the bench host did not start: " + error);
  }
  return *instance.host;
}

}  // namespace kdp::bench
