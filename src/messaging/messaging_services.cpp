#include "messaging/messaging_services.h"

namespace kdp {

int TKrHQUserConfigListenerMgr::AddListener(Listener listener) {
  FListeners.emplace(++FLastID, std::move(listener));
  return FLastID;
}

void TKrHQUserConfigListenerMgr::RemoveListener(int id) { FListeners.erase(id); }

void TKrHQUserConfigListenerMgr::Broadcast(const std::string& key, const std::string& value) {
  FWindow.Post([this, key, value] { Deliver(key, value); });
}

void TKrHQUserConfigListenerMgr::Deliver(const std::string& key, const std::string& value) {
  // A listener may remove itself (or another) while being told: look each one up again.
  std::vector<int> ids;
  for (const auto& [id, listener] : FListeners) ids.push_back(id);
  for (int id : ids) {
    auto it = FListeners.find(id);
    if (it != FListeners.end() && it->second) it->second(key, value);
  }
}

void TKrHQDelayLoadEvent::AddDelayLoad(Action action) {
  if (!action) return;
  if (FFired) {
    FWindow.Post(std::move(action));
  } else {
    FPending.push_back(std::move(action));
  }
}

void TKrHQDelayLoadEvent::Fire() {
  if (FFired) return;
  FFired = true;
  for (Action& action : FPending) FWindow.Post(std::move(action));
  FPending.clear();
}

}  // namespace kdp
