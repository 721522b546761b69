// Starts the installed stand-in host on the installed sample configuration, subscribes two codes through the
// package's real-time model as a widget does, and prints every push for five seconds. The first delivery of
// a code is its snapshot, which comes even when its market is closed; a code counts once a push moved its
// volume, that is, brought a trade.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "kdp/rtd/rtd_model.h"
#include "mini_host.h"

int main() {
  std::string error;
  auto settings = kdp::minihost::LoadHostSettings(KDP_SAMPLE_ETC_DIR, error);
  std::unique_ptr<kdp::minihost::MiniHost> host;
  if (settings) {
    settings->serverTimeStart = "2026-12-04 10:30:00";  // a Friday morning: both markets trade at any hour
    host = kdp::minihost::MiniHost::Create(std::move(*settings), {}, error);
  }
  if (!host || !host->StartPackage()) {  // why: the error, or the host's log
    std::fprintf(stderr, "no host: %s\n", host ? host->Logger().FilePath().c_str() : error.c_str());
    return 2;
  }

  const std::vector<std::string> codes{"600000.SH", "00700.HK"};
  constexpr std::uint32_t kLast = 3, kVolume = 8;  // field IDs of the sample's dictionary
  kdp::TKrRealTimeParamStructure params(static_cast<int>(codes.size()));
  for (int i = 0; i < params.GetCount(); ++i) {
    params.SetKoraCode(i, codes[static_cast<std::size_t>(i)]);
    params.SetItemArray(i, {kLast, kVolume});
  }
  kdp::TKrRTDModel model;
  std::map<std::string, double> snapshotVolume;
  std::set<std::string> traded;
  model.SetUpdateNotify([&] {
    for (const std::string& code : model.GetUpdateSecurityList()) {
      const double volume = model.GetDoubleVal(code, kVolume, 0);
      std::printf("%s %s volume %.0f\n", code.c_str(), model.GetFormatVal(code, "NewPrice").c_str(), volume);
      const auto [snapshot, first] = snapshotVolume.try_emplace(code, volume);
      if (!first && volume != snapshot->second) traded.insert(code);
    }
  });
  model.Subscrible(params);
  host->Loop().Run(std::chrono::seconds(5));
  model.UnSubscrible();
  return traded.size() == codes.size() ? 0 : 1;
}
