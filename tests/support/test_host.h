// TestHost: a stand-in host for tests, on the built sample configuration, with a ManualClock (tests move
// time with Loop().AdvanceBy), a server clock fixed at 2026-12-04 10:30:00 (a Friday, in the morning
// session), a quote engine that moves only when a test calls Speed()->SyncNow(), a Lux client that answers
// without latency and pushes only when a test calls Lux()->PushNow(), and a fresh data directory that is
// removed afterwards.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "mini_host.h"

namespace kdp::testing {

class TestHost {
 public:
  // `adjust` may change the settings before the host is built.
  explicit TestHost(const std::function<void(minihost::HostSettings&)>& adjust = {});
  ~TestHost();
  TestHost(const TestHost&) = delete;
  TestHost& operator=(const TestHost&) = delete;

  minihost::MiniHost& operator*() { return *host_; }
  minihost::MiniHost* operator->() { return host_.get(); }
  host::ManualClock& Clock() { return *clock_; }
  const std::string& DataDir() const { return data_dir_; }

 private:
  std::string data_dir_;
  std::shared_ptr<host::ManualClock> clock_;
  std::unique_ptr<minihost::MiniHost> host_;
};

// A fresh, empty directory under the system's temporary directory.
std::string MakeTempDir();

}  // namespace kdp::testing
