// The package's name look-up and its access to the host context.
//
// G_Add publishes an interface under a name in the host context's name registry; G_QueryInterface
// answers from that registry first and from the package data cache second (which may create the
// service on demand); G_Remove withdraws a name.
//
// Main thread only: services are created and published there. G_QueryInterface called on another thread
// answers nullptr and logs the refusal; such a thread works with services handed to it on the main thread.
#pragma once

#include <memory>
#include <string>

#include "core/data_cache.h"
#include "kdp/host/services.h"

namespace kdp {

// The host context (nullptr when the host has none) is host::GetHQContext().
using host::GetHQContext;

// Publishes `service` under `name`; does nothing for an empty name or a null service.
void G_Add(const std::string& name, InterfacePtr service);
// Publishes a plain object (not reference-counted, owned elsewhere) inside the package.
void G_Add(const std::string& name, host::IInterface* plainObject);

InterfacePtr G_QueryInterface(const std::string& name);

template <class I>
std::shared_ptr<I> G_QueryInterface(const std::string& name) {
  return host::Query<I>(G_QueryInterface(name));
}

void G_Remove(const std::string& name);
void G_RegisterDataIntf(TKrDataInterfaceRecord record);

// The host communication interface, from the context's service provider; nullptr when absent.
std::shared_ptr<host::IComm> G_GetIComm();

}  // namespace kdp
