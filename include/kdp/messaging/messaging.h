// Messaging services the package publishes: the user-configuration listener manager (a widget changes a
// user setting, every listening widget hears of it) and the delay-load event (work that widgets defer
// until the terminal has finished starting). Main thread only.
#pragma once

#include <functional>
#include <string>

#include "kdp/host/interface.h"

namespace kdp {

using host::Guid;
using host::IInterface;

class IKrHQUserConfigListenerMgr : public virtual IInterface {
 public:
  static constexpr Guid IID = "774831FE-4B4B-4199-B831-45FC4E1D3666";
  using Listener = std::function<void(const std::string& key, const std::string& value)>;
  // Returns a registration ID for RemoveListener.
  virtual int AddListener(Listener listener) = 0;
  virtual void RemoveListener(int id) = 0;
  // Delivers the change to every listener on the main loop, in registration order.
  virtual void Broadcast(const std::string& key, const std::string& value) = 0;
};

class IKrHQDelayLoadEvent : public virtual IInterface {
 public:
  static constexpr Guid IID = "B5638E80-2799-4393-91B1-A282FFDDC991";
  using Action = std::function<void()>;
  // Runs `action` when the event fires; at once (on the main loop) when it already has.
  virtual void AddDelayLoad(Action action) = 0;
  // Fires the event once; later calls do nothing.
  virtual void Fire() = 0;
  virtual bool HasFired() = 0;
};

}  // namespace kdp
