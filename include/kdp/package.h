// The package's entry points, as the host calls them.
//
// Life cycle: the host installs its environment, calls Initialize (module start steps, then the
// publication of the package's services), serves widgets, calls UnRegisterHQPubIntf before it unloads the
// package, then Finalize. A host may start and stop the package several times in one process.
// All entry points run on the host's main thread.
#pragma once

#include <memory>
#include <string>

#include "kdp/host/host_environment.h"
#include "kdp/host/interface.h"

namespace kdp {

// Runs the module start steps in module order. Returns false when a step failed (the failure is logged;
// what was published before it stays published until UnRegisterHQPubIntf).
bool Initialize();
// Withdraws everything the package published and frees its module singletons.
void UnRegisterHQPubIntf();
// Runs the module stop steps in reverse order; tolerates a package already withdrawn.
void Finalize();

// A service by its interface name, found as the package's own widgets find it: the host's name registry
// first, then the services the package creates on their first look-up (published then). nullptr for a
// name nobody answers. Main thread.
host::InterfacePtr QueryPackageInterface(const std::string& name);

template <class I>
std::shared_ptr<I> QueryPackageInterface(const std::string& name) {
  return host::Query<I>(QueryPackageInterface(name));
}

// The interface name of a GUID the package publishes or knows ("IKrHQStyleMgr"); "" for any other.
std::string InterfaceNameOf(const host::Guid& iid);

}  // namespace kdp

#define KDP_EXPORT extern "C" __attribute__((visibility("default")))

// The same entry points for a host that loads the package as a shared library.
KDP_EXPORT void KdpInstallHost(kdp::host::IHostEnvironment* environment);
KDP_EXPORT int KdpInitialize(void);
KDP_EXPORT void UnRegisterHQPubIntf(void);
KDP_EXPORT void KdpFinalize(void);
