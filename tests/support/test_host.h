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
  // kReal runs the host on the real steady clock, as kdp-host does: the quote engine then moves by
  // itself, at its poll interval; tests wait for it with Loop().RunUntil and a deadline.
  enum class ClockKind { kManual, kReal };

  // `adjust` may change the settings, and `options` the host's options (the clock aside), before the
  // host is built.
  explicit TestHost(const std::function<void(minihost::HostSettings&)>& adjust = {},
                    ClockKind clock = ClockKind::kManual,
                    const std::function<void(minihost::MiniHost::Options&)>& options = {});
  ~TestHost();
  TestHost(const TestHost&) = delete;
  TestHost& operator=(const TestHost&) = delete;

  minihost::MiniHost& operator*() { return *host_; }
  minihost::MiniHost* operator->() { return host_.get(); }
  // REQUIRES: a host on the manual clock.
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
