// A host for the fuzz targets that drive package objects needing the main loop (timers, models, message
// windows): a stand-in loop on a manual clock, a service provider the target fills, and no log. Installed
// for the process on construction.
#pragma once

#include <memory>
#include <string_view>

#include "kdp/host/host_environment.h"
#include "main_loop.h"
#include "registries.h"

namespace kdp::fuzzing {

class LoopHost final : public host::IHostEnvironment {
 public:
  LoopHost() { host::InstallHostEnvironment(this); }
  std::shared_ptr<host::IKrServiceProvider> ServiceProvider() override { return provider; }
  host::InterfacePtr QueryRegisteredService(const host::Guid&) override { return nullptr; }
  void Log(std::string_view, std::string_view, int) override {}
  bool IsDetailedLogOn() const override { return true; }  // the costly diagnostic texts are built too
  void FlushLog() override {}
  const host::HostPaths& Paths() const override { return paths; }
  host::IMainLoop& Loop() override { return loop; }
  void ShowErrorMessage(std::string_view, std::string_view) override {}
  std::uint64_t SecuritiesRevision() const override { return 0; }

  std::shared_ptr<host::ManualClock> clock = std::make_shared<host::ManualClock>();
  minihost::MiniMainLoop loop{clock};
  std::shared_ptr<minihost::MiniServiceProvider> provider = std::make_shared<minihost::MiniServiceProvider>();
  host::HostPaths paths;
};

}  // namespace kdp::fuzzing
