// The stand-in host's registries: the GUID registry modules publish into, the context's name registry,
// and the service providers that answer by Guid. Entries keep their registration order, so the host can
// list what a package published in the order it was published.
//
// Thread-safe, as a real host's registries are: an engine's or a service's thread may look services up
// while the main thread publishes and withdraws them. Each registry guards its entries with its own mutex
// and calls no service while holding it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "kdp/host/services.h"

namespace kdp::minihost {

// A registration and its place in the host-wide order of publications (both registries share it).
template <class Key>
struct Publication {
  Key first;
  host::InterfacePtr second;
  std::uint64_t sequence;
};

class GuidRegistry final : public host::Implements<host::IKrServiceRegistry> {
 public:
  bool RegisterService(const host::Guid& iid, int reserved, host::InterfacePtr service) override;
  bool UnregisterService(const host::Guid& iid, int reserved) override;

  host::InterfacePtr Find(const host::Guid& iid) const;
  // A copy of the entries, in registration order.
  std::vector<Publication<host::Guid>> Entries() const;
  // Counts the registrations and withdrawals.
  std::uint64_t Revision() const { return revision_.load(std::memory_order_acquire); }

 private:
  mutable std::mutex mutex_;  // guards entries_
  std::vector<Publication<host::Guid>> entries_;
  std::atomic<std::uint64_t> revision_{0};
};

class NameRegistry final : public host::Implements<host::IKrIntfRegistry> {
 public:
  void AddIntf(const std::string& name, host::InterfacePtr service) override;
  void RemoveIntf(const std::string& name) override;
  host::InterfacePtr GetIntf(const std::string& name) override;

  // A copy of the entries, in registration order.
  std::vector<Publication<std::string>> Entries() const;

  // Called with each name and service as it is added, before anybody can look it up (tests watch what a
  // service looks like at the moment it becomes visible). Set it before anything is published.
  using AddObserver = std::function<void(const std::string& name, const host::InterfacePtr& service)>;
  void SetAddObserver(AddObserver observer) { add_observer_ = std::move(observer); }

 private:
  mutable std::mutex mutex_;  // guards entries_
  std::vector<Publication<std::string>> entries_;
  AddObserver add_observer_;
};

// A provider with a fixed set of services, falling back to a GUID registry when one is given.
class MiniServiceProvider final : public host::Implements<host::IKrServiceProvider> {
 public:
  explicit MiniServiceProvider(const GuidRegistry* fallback = nullptr) : fallback_(fallback) {}

  // Publishes `service` under `iid`. The service must answer `iid`.
  void Add(const host::Guid& iid, host::InterfacePtr service);
  void Remove(const host::Guid& iid);
  host::InterfacePtr QueryService(const host::Guid& iid) override;
  // Counts the services added, replaced and removed.
  std::uint64_t Revision() const { return revision_.load(std::memory_order_acquire); }

 private:
  std::atomic<std::uint64_t> revision_{0};
  std::mutex mutex_;  // guards services_
  std::vector<std::pair<host::Guid, host::InterfacePtr>> services_;
  const GuidRegistry* fallback_;
};

}  // namespace kdp::minihost
