// TMainThreadMark: "does the caller run on the host's main thread?" for a path that asks on every call.
//
// host::IsMainThread asks the installed host's loop through two virtual calls. A mark made on the main
// thread remembers that thread and the host installed then, and answers a call from that thread under that
// host with two comparisons; any other call (another thread, another host, a mark made off the main thread
// or before a host was installed) is answered by host::IsMainThread, so a "no" is always the host's own.
// The host's main thread is the terminal's GUI thread, which does not move while the host is installed;
// the object holding a mark is the package's and does not outlive the host it was made under.
// Any thread: the mark is written only when it is made.
#pragma once

#include <thread>

#include "kdp/host/host_environment.h"
#include "kdp/host/main_loop.h"

namespace kdp {

class TMainThreadMark {
 public:
  TMainThreadMark() {
    if (host::IsMainThread()) {
      FHost = host::InstalledHostEnvironment();
      FThread = std::this_thread::get_id();
    }
  }

  // Whether the caller runs on the main thread of `installed`, the host installed now (the caller looks
  // it up once, here and for what it asks the host next).
  bool IsMainThread(const host::IHostEnvironment* installed) const {
    return (std::this_thread::get_id() == FThread && installed == FHost) || host::IsMainThread();
  }

 private:
  const host::IHostEnvironment* FHost = nullptr;
  std::thread::id FThread;  // no thread's: the mark was made off the main thread
};

}  // namespace kdp
