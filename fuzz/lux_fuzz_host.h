// A host for the Lux fuzz targets: counts the log lines of level 1 and above (what the package logs when
// it refuses outside bytes), notes whether one of them contained the text `watch`, and answers nothing
// else.
#pragma once

#include <cstdlib>
#include <string_view>

#include "kdp/host/host_environment.h"
#include "kdp/host/main_loop.h"

namespace kdp::fuzzing {

class NoticeCountingHost final : public host::IHostEnvironment {
 public:
  std::shared_ptr<host::IKrServiceProvider> ServiceProvider() override { return nullptr; }
  host::InterfacePtr QueryRegisteredService(const host::Guid&) override { return nullptr; }
  void Log(std::string_view message, std::string_view, int level) override {
    if (level < 1) return;
    ++notices;
    if (!watch.empty() && message.find(watch) != std::string_view::npos) watched = true;
  }
  bool IsDetailedLogOn() const override { return true; }  // so the costly diagnostic lines are built too
  void FlushLog() override {}
  const host::HostPaths& Paths() const override { return paths_; }
  host::IMainLoop& Loop() override { std::abort(); }  // the parsers never need the loop
  void ShowErrorMessage(std::string_view, std::string_view) override {}
  std::uint64_t SecuritiesRevision() const override { return 0; }

  int notices = 0;
  std::string_view watch;
  bool watched = false;

 private:
  host::HostPaths paths_;
};

}  // namespace kdp::fuzzing
