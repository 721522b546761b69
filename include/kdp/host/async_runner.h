// The host's asynchronous runner: runs a task off the main thread and reports its end on the main thread.
#pragma once

#include <functional>

#include "kdp/host/interface.h"

namespace kdp::host {

class IKrAsyncRunner : public virtual IInterface {
 public:
  static constexpr Guid IID = "8F9F4F09-90AB-4D81-A596-E7DC7F4D00F9";
  // Runs `run` on a worker thread; afterwards posts `onTerminate` (if set) to the main loop. An exception
  // escaping `run` is logged and `onTerminate` still runs. Returns false when the runner is stopping.
  virtual bool RunAsync(std::function<void()> run, std::function<void()> onTerminate) = 0;
};

}  // namespace kdp::host
