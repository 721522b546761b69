// IHostEnvironment: the one object an embedding host installs before it starts the package.
//
// The host API's free functions (KrIntfService, GetHQContext, AddHQLog, the path getters, MainLoop, ...)
// are thin glue that forwards to the installed environment. A real terminal and the stand-in host each
// implement this interface; the package never sees which one it runs in.
//
// Install before `Initialize`, uninstall after `Finalize`. The environment must outlive the package's use.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "kdp/host/interface.h"

namespace kdp::host {

class IKrServiceProvider;
class IMainLoop;

struct HostPaths {
  std::string etc;   // configuration root
  std::string user;  // per-user data root (subdirectories are created on demand)
  std::string bin;   // the host's program directory
  std::string tmp;
  std::string log;
};

class IHostEnvironment {
 public:
  virtual ~IHostEnvironment() = default;

  virtual std::shared_ptr<IKrServiceProvider> ServiceProvider() = 0;
  // Services registered at run time by modules (the GUID registry); nullptr when absent.
  virtual InterfacePtr QueryRegisteredService(const Guid& iid) = 0;

  // Writes one log line. Never throws. Callable from any thread.
  virtual void Log(std::string_view message, std::string_view source, int level) = 0;
  virtual bool IsDetailedLogOn() const = 0;
  virtual void FlushLog() = 0;

  virtual const HostPaths& Paths() const = 0;
  virtual IMainLoop& Loop() = 0;

  // Shows a modal error message box (error icon) and returns when the user closed it.
  virtual void ShowErrorMessage(std::string_view caption, std::string_view text) = 0;

  // A number that changes whenever a security look-up may answer differently than before: the host's
  // securities changed, or a module registered or withdrew a service. Callable from any thread, cheap.
  virtual std::uint64_t SecuritiesRevision() const = 0;
};

// Installs the environment the glue forwards to; nullptr uninstalls.
void InstallHostEnvironment(IHostEnvironment* environment);
IHostEnvironment* InstalledHostEnvironment();

}  // namespace kdp::host
