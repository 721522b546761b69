// The user-configuration listener manager and the delay-load event.
#pragma once

#include <map>
#include <vector>

#include "kdp/messaging/messaging.h"
#include "kdp/host/main_loop.h"

namespace kdp {

class TKrHQUserConfigListenerMgr final : public host::Implements<IKrHQUserConfigListenerMgr> {
 public:
  int AddListener(Listener listener) override;
  void RemoveListener(int id) override;
  void Broadcast(const std::string& key, const std::string& value) override;

 private:
  void Deliver(const std::string& key, const std::string& value);

  int FLastID = 0;
  std::map<int, Listener> FListeners;
  // Broadcasts are delivered on the main loop, as the user-configuration window did; dropped once the
  // manager is gone.
  host::MessageWindow FWindow;
};

class TKrHQDelayLoadEvent final : public host::Implements<IKrHQDelayLoadEvent> {
 public:
  void AddDelayLoad(Action action) override;
  void Fire() override;
  bool HasFired() override { return FFired; }

 private:
  bool FFired = false;
  std::vector<Action> FPending;
  host::MessageWindow FWindow;
};

}  // namespace kdp
