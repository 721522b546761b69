#include <atomic>

#include "kdp/host/main_loop.h"

namespace kdp::host {

struct MessageWindow::Ref::Core {
  explicit Core(IMainLoop& l) : loop(l) {}
  IMainLoop& loop;
  std::atomic<bool> alive{true};
};

bool MessageWindow::Ref::Post(IMainLoop::Task task) const {
  if (!core_ || !core_->alive.load()) return false;
  // The check runs again on the main thread: the window may be released while the task is queued.
  core_->loop.Post([core = core_, task = std::move(task)] {
    if (core->alive.load()) task();
  });
  return true;
}

bool MessageWindow::Ref::IsAlive() const { return core_ && core_->alive.load(); }

MessageWindow::MessageWindow() : MessageWindow(MainLoop()) {}

MessageWindow::MessageWindow(IMainLoop& loop) : ref_(std::make_shared<Ref::Core>(loop)) {}

MessageWindow::~MessageWindow() { Release(); }

void MessageWindow::Release() {
  if (ref_.core_) ref_.core_->alive.store(false);
}

}  // namespace kdp::host
