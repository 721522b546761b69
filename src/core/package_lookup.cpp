#include "core/package_lookup.h"

#include "kdp/host/log.h"
#include "kdp/host/main_loop.h"

namespace kdp {
namespace {

std::shared_ptr<host::IKrIntfRegistry> NameRegistry() {
  auto context = GetHQContext();
  return context ? context->GetIntfRegistry() : nullptr;
}

}  // namespace

void G_Add(const std::string& name, InterfacePtr service) {
  if (name.empty() || !service) return;
  if (auto registry = NameRegistry()) registry->AddIntf(name, std::move(service));
}

void G_Add(const std::string& name, host::IInterface* plainObject) { GetHQCach().AddPlainObject(name, plainObject); }

InterfacePtr G_QueryInterface(const std::string& name) {
  if (!host::IsMainThread()) {
    host::AddHQLog("G_QueryInterface " + name + ": refused off the main thread", "uKrHQDataCache",
                   host::LogSeverity::kError);
    return nullptr;
  }
  if (auto registry = NameRegistry()) {
    if (InterfacePtr published = registry->GetIntf(name)) return published;
  }
  return GetHQCach().GetDataItem(name);
}

void G_Remove(const std::string& name) {
  auto registry = NameRegistry();
  if (registry && registry->GetIntf(name)) {
    registry->RemoveIntf(name);
    return;
  }
  // Withdrawing from the plain objects must not re-create a cache already freed at shut-down.
  if (HQCacheExists()) GetHQCach().RemovePlainObject(name);
}

void G_RegisterDataIntf(TKrDataInterfaceRecord record) { GetHQCach().RegisterDataIntf(std::move(record)); }

std::shared_ptr<host::IComm> G_GetIComm() {
  auto context = GetHQContext();
  auto provider = context ? context->GetServiceProvider() : nullptr;
  return provider ? host::Query<host::IComm>(provider->QueryService(host::IComm::IID)) : nullptr;
}

}  // namespace kdp
