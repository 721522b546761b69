// MiniContext: the stand-in host's session context: the name registry, the context's own service
// provider (framework log, multi-language service, IComm), the user's identity and rights, and the
// server clock. The accessors for identity, rights, language and time are safe from any thread.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "kdp/host/main_loop.h"
#include "kdp/host/services.h"
#include "registries.h"
#include "settings.h"

namespace kdp::minihost {

class MiniContext final : public host::Implements<host::IKrContext> {
 public:
  // The server clock starts at the settings' start time (or, without one, at `utcNow` in the server's zone,
  // UTC+8), plus the offset, and advances with `clock`, so a ManualClock moves server time too.
  MiniContext(const HostSettings& settings, std::shared_ptr<host::IClock> clock,
              std::chrono::system_clock::time_point utcNow);

  std::shared_ptr<host::IKrIntfRegistry> GetIntfRegistry() override { return names_; }
  std::shared_ptr<host::IKrServiceProvider> GetServiceProvider() override { return provider_; }
  std::shared_ptr<host::ISpeed> GetSpeed() override;
  std::shared_ptr<host::IBaseLuxClient> GetLuxClient() override;
  bool HasRight(std::string_view right) override;
  host::DateTime GetServerDateTime() override;
  std::string GetLanguage() override { return language_; }
  std::string GetUserID() override { return user_id_; }
  std::string GetAccountID() override { return account_id_; }
  // The stand-in back office numbers its users as the terminal does: "U" and the user ID.
  std::string GetInternalUserID() override { return "U" + user_id_; }
  // The stand-in session: the account and the login region.
  std::string GetReportContextText() override { return account_id_; }
  std::uint32_t GetReportContextNumber() override { return static_cast<std::uint32_t>(login_region_); }
  int GetLoginRegion() override { return login_region_; }
  std::string GetServerAddressByName(std::string_view name) override;

  // The host's quote engine; nullptr runs the host without one.
  void SetSpeed(std::shared_ptr<host::ISpeed> speed);
  // Answers the server time from `clock` instead (a replayed engine's); any thread may call it then.
  void SetServerClock(std::function<host::DateTime()> clock);
  // The host's Lux client; none until one is set.
  void SetLuxClient(std::shared_ptr<host::IBaseLuxClient> client);

  NameRegistry& Names() { return *names_; }
  MiniServiceProvider& Provider() { return *provider_; }
  // How many times the package said it is going away (IComm).
  int UnloadNotifications() const { return unload_notifications_->load(); }

 private:
  std::shared_ptr<NameRegistry> names_;
  std::shared_ptr<MiniServiceProvider> provider_;
  const std::string user_id_;
  const std::string account_id_;
  const std::string language_;
  const std::set<std::string, std::less<>> rights_;
  const int login_region_;
  const std::map<std::string, std::string, std::less<>> servers_;
  const std::shared_ptr<host::IClock> clock_;
  const host::Clock::time_point clock_at_start_;
  const host::DateTime server_time_at_start_;
  std::shared_ptr<std::atomic<int>> unload_notifications_;
  mutable std::mutex speed_mutex_;  // guards speed_, lux_client_ and server_clock_: other threads read them
  std::shared_ptr<host::ISpeed> speed_;
  std::shared_ptr<host::IBaseLuxClient> lux_client_;
  std::function<host::DateTime()> server_clock_;
};

}  // namespace kdp::minihost
