// The host's service look-up: the service provider, the GUID registry, the context and its name registry.
//
// `KrIntfService()` answers services by Guid (the context, the GUID registry, the security master, the
// style and skin managers and whatever a module registered). The context (`IKrContext`) hands out the
// name registry, where services are published under interface names ("IKrHQSecurityManager"), and the
// per-session facts the package needs: the quote engine, the Lux client, the user's rights, the server
// time, the language and the user's identity.
//
// Thread-safety: the service provider, the GUID registry and the name registry may be used from any
// thread (the host guards them), so an engine's thread may look services up while the main thread
// publishes; the package itself publishes and withdraws on the main thread only. The context's accessors
// (server time, language, rights, user IDs, the engine) may be called from any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "kdp/host/date_time.h"
#include "kdp/host/interface.h"

namespace kdp::host {

class ISpeed;          // the quote engine
class IBaseLuxClient;  // the Lux information-service client

// Answers services by interface Guid.
class IKrServiceProvider : public virtual IInterface {
 public:
  static constexpr Guid IID = "649B13C8-E282-4BF1-8C46-D3FEEB4A46E8";
  // The service published under `iid`, or nullptr.
  virtual InterfacePtr QueryService(const Guid& iid) = 0;
};

// The host's GUID registry. Registered services are found through KrIntfService by their Guid.
class IKrServiceRegistry : public virtual IInterface {
 public:
  static constexpr Guid IID = "07404A91-4A9A-410E-89E2-070B1A86E440";
  // `reserved` is always 0. A later registration under the same Guid replaces the earlier one.
  virtual bool RegisterService(const Guid& iid, int reserved, InterfacePtr service) = 0;
  // Withdraws the service; false when nothing was registered under `iid`.
  virtual bool UnregisterService(const Guid& iid, int reserved) = 0;
};

// The context's name registry: exact, case-sensitive names, one interface per name, a later add replaces.
class IKrIntfRegistry : public virtual IInterface {
 public:
  static constexpr Guid IID = "F21FC28E-B9F1-42C8-AC46-834409704C5C";
  virtual void AddIntf(const std::string& name, InterfacePtr service) = 0;
  virtual void RemoveIntf(const std::string& name) = 0;
  virtual InterfacePtr GetIntf(const std::string& name) = 0;
};

class IKrContext : public virtual IInterface {
 public:
  static constexpr Guid IID = "8B9F69FD-5B6B-4084-895E-857831063132";

  virtual std::shared_ptr<IKrIntfRegistry> GetIntfRegistry() = 0;
  // The context's own provider: host services such as the log, the multi-language service and IComm.
  virtual std::shared_ptr<IKrServiceProvider> GetServiceProvider() = 0;
  // The quote engine; nullptr when the host runs without one.
  virtual std::shared_ptr<ISpeed> GetSpeed() = 0;
  // The Lux client; nullptr when the host runs without one.
  virtual std::shared_ptr<IBaseLuxClient> GetLuxClient() = 0;
  // Whether the user holds the data right `right` (exact name, as the host's rights are written).
  virtual bool HasRight(std::string_view right) = 0;
  // The server's date-time, Beijing wall time (UTC+8): the machine's UTC clock corrected by the login offset.
  virtual DateTime GetServerDateTime() = 0;
  // The user's language code: "CHS", "CHT" or "ENG".
  virtual std::string GetLanguage() = 0;
  virtual std::string GetUserID() = 0;
  virtual std::string GetAccountID() = 0;
  // The user's ID inside the terminal's back office, which report requests carry ("internalUserID=[...]").
  virtual std::string GetInternalUserID() = 0;
  // The session's text and number that "B1" report requests carry before their command.
  virtual std::string GetReportContextText() = 0;
  virtual std::uint32_t GetReportContextNumber() = 0;
  // The region the user logged in from; 0 is the mainland.
  virtual int GetLoginRegion() = 0;
  // The address of a server of the terminal's server list by its name ("korareportserver"), as the
  // host keeps it ("10.1.2.3:8080" or a URL); "" when the host knows no such server.
  virtual std::string GetServerAddressByName(std::string_view name) = 0;
};

// The host notification channel, answered by the context's service provider.
class IComm : public virtual IInterface {
 public:
  static constexpr Guid IID = "76FA95F5-E6A4-4B74-8634-472BE3F429ED";
  // Called once when the package withdraws its services at shut-down.
  virtual void NotifyPackageUnloading() = 0;
};

// The host service provider; nullptr before a host is installed.
std::shared_ptr<IKrServiceProvider> KrIntfService();

// The provider's service `I`, or nullptr.
template <class I>
std::shared_ptr<I> KrIntfService() {
  auto provider = KrIntfService();
  return provider ? Query<I>(provider->QueryService(I::IID)) : nullptr;
}

// The host context, or nullptr.
std::shared_ptr<IKrContext> GetHQContext();

// The named server's address as a URL: "http://" is put in front unless the address already names a
// scheme ("http://", "https://"); "" when there is no context or no such server.
std::string GetServerAddressByNameWithHttpPrefix(std::string_view name);

// Asks the host's registered services (those other modules registered at run time) for `iid`.
InterfacePtr QueryServiceIntf(const Guid& iid);

template <class I>
std::shared_ptr<I> QueryServiceIntf() {
  return Query<I>(QueryServiceIntf(I::IID));
}

}  // namespace kdp::host
