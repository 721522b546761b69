// The tables of services the package knows by name: those it creates on demand, and those that the
// host context's provider or the host service provider answer. The data cache reads them; they are
// defined with the publication tables (frame/service_tables.cpp), the one place that knows every
// subsystem, so that this layer depends on none of them. Each subsystem that provides an on-demand
// service adds one line there.
#pragma once

#include <memory>
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

class IKrHQSecurityManager;
class IKrHQFormatManager;
class IKrHQStyleMgr;
class IKrWorldClock;
class IURLMgr;
class IRelatedSymbol;
class ITradeDateMgr;
class IKrLuxDataManager;
class IKrLuxIndexNameTable;
class IKrCloudIndexsMgr;
class ICloudDataMgr;

// The services subsystems ask each other for, typed: each answers what G_QueryInterface answers under the
// service's published name, as that interface (nullptr when nothing is published under the name). Main
// thread only. Defined beside the publication tables (frame/service_lookups.cpp), so each name is written
// in one place and a subsystem names no other subsystem's service by text.
std::shared_ptr<IKrHQSecurityManager> G_SecurityManager();
std::shared_ptr<IKrHQFormatManager> G_FormatManager();
std::shared_ptr<IKrHQStyleMgr> G_StyleManager();
// Published by the security manager's object under its own name.
std::shared_ptr<IKrWorldClock> G_WorldClock();
std::shared_ptr<IURLMgr> G_URLManager();
std::shared_ptr<IRelatedSymbol> G_RelatedSymbol();
std::shared_ptr<ITradeDateMgr> G_TradeDateManager();
std::shared_ptr<IKrLuxDataManager> G_LuxDataManager();
std::shared_ptr<IKrLuxIndexNameTable> G_LuxIndexNameTable();
std::shared_ptr<IKrCloudIndexsMgr> G_CloudIndexsManager();
std::shared_ptr<ICloudDataMgr> G_CloudDataManager();

}  // namespace kdp
