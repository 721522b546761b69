// The tables of services the package knows by name: those it creates on demand, and those that the
// host context's provider or the host service provider answer. The data cache reads them; they are
// defined with the publication tables (frame/service_tables.cpp), the one place that knows every
// subsystem, so that this layer depends on none of them. Each subsystem that provides an on-demand
// service adds one line there.
#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "core/data_cache.h"

namespace kdp {

struct NamedGuid {
  std::string_view name;
  Guid guid;
};

// Data interfaces created on their first look-up, in insertion order.
std::vector<TKrDataInterfaceRecord> OnDemandServices();
// Names answered by the host context's service provider.
std::span<const NamedGuid> ContextProviderServices();
// Names answered by the host service provider (KrIntfService).
std::span<const NamedGuid> HostProviderServices();

}  // namespace kdp
