#include "registries.h"

#include <algorithm>
#include <atomic>

namespace kdp::minihost {
namespace {

template <class Entries, class Key>
auto FindEntry(Entries& entries, const Key& key) {
  return std::find_if(entries.begin(), entries.end(), [&](const auto& e) { return e.first == key; });
}

std::uint64_t NextSequence() {
  static std::atomic<std::uint64_t> counter{0};
  return ++counter;
}

}  // namespace

bool GuidRegistry::RegisterService(const host::Guid& iid, int /*reserved*/, host::InterfacePtr service) {
  if (!service) return false;
  host::InterfacePtr replaced;  // released after the lock: a service's destructor may look services up
  std::lock_guard lock(mutex_);
  if (auto it = FindEntry(entries_, iid); it != entries_.end()) {
    replaced = std::exchange(it->second, std::move(service));
  } else {
    entries_.push_back({iid, std::move(service), NextSequence()});
  }
  revision_.fetch_add(1, std::memory_order_acq_rel);
  return true;
}

bool GuidRegistry::UnregisterService(const host::Guid& iid, int /*reserved*/) {
  host::InterfacePtr withdrawn;  // released after the lock
  std::lock_guard lock(mutex_);
  auto it = FindEntry(entries_, iid);
  if (it == entries_.end()) return false;
  withdrawn = std::move(it->second);
  entries_.erase(it);
  revision_.fetch_add(1, std::memory_order_acq_rel);
  return true;
}

host::InterfacePtr GuidRegistry::Find(const host::Guid& iid) const {
  std::lock_guard lock(mutex_);
  auto it = FindEntry(entries_, iid);
  return it == entries_.end() ? nullptr : it->second;
}

std::vector<Publication<host::Guid>> GuidRegistry::Entries() const {
  std::lock_guard lock(mutex_);
  return entries_;
}

void NameRegistry::AddIntf(const std::string& name, host::InterfacePtr service) {
  if (add_observer_) add_observer_(name, service);
  host::InterfacePtr replaced;  // released after the lock
  std::lock_guard lock(mutex_);
  if (auto it = FindEntry(entries_, name); it != entries_.end()) {
    replaced = std::exchange(it->second, std::move(service));
  } else {
    entries_.push_back({name, std::move(service), NextSequence()});
  }
}

void NameRegistry::RemoveIntf(const std::string& name) {
  host::InterfacePtr withdrawn;  // released after the lock
  std::lock_guard lock(mutex_);
  if (auto it = FindEntry(entries_, name); it != entries_.end()) {
    withdrawn = std::move(it->second);
    entries_.erase(it);
  }
}

host::InterfacePtr NameRegistry::GetIntf(const std::string& name) {
  std::lock_guard lock(mutex_);
  auto it = FindEntry(entries_, name);
  return it == entries_.end() ? nullptr : it->second;
}

std::vector<Publication<std::string>> NameRegistry::Entries() const {
  std::lock_guard lock(mutex_);
  return entries_;
}

void MiniServiceProvider::Add(const host::Guid& iid, host::InterfacePtr service) {
  host::InterfacePtr replaced;  // released after the lock
  std::lock_guard lock(mutex_);
  if (auto it = FindEntry(services_, iid); it != services_.end()) {
    replaced = std::exchange(it->second, std::move(service));
  } else {
    services_.emplace_back(iid, std::move(service));
  }
  revision_.fetch_add(1, std::memory_order_acq_rel);
}

void MiniServiceProvider::Remove(const host::Guid& iid) {
  host::InterfacePtr withdrawn;  // released after the lock
  std::lock_guard lock(mutex_);
  if (auto it = FindEntry(services_, iid); it != services_.end()) {
    withdrawn = std::move(it->second);
    services_.erase(it);
    revision_.fetch_add(1, std::memory_order_acq_rel);
  }
}

host::InterfacePtr MiniServiceProvider::QueryService(const host::Guid& iid) {
  {
    std::lock_guard lock(mutex_);
    if (auto it = FindEntry(services_, iid); it != services_.end()) return it->second;
  }
  return fallback_ ? fallback_->Find(iid) : nullptr;
}

}  // namespace kdp::minihost
