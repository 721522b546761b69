#include "context.h"

#include <optional>

#include "kdp/host/context_services.h"
#include "kdp/host/log.h"
#include "kdp/host/server_clock.h"
#include "kdp/host/speed.h"

namespace kdp::minihost {
namespace {

class BaseLog final : public host::Implements<host::IBaseLog> {
 public:
  void WriteLog(std::string_view message, std::string_view source, int level) override {
    host::AddHQLog(message, source, level);
  }
};

class MultiLanguage final : public host::Implements<host::IKrMultiLanguage> {
 public:
  explicit MultiLanguage(std::string language) : language_(std::move(language)) {}
  std::string GetLanguage() override { return language_; }

 private:
  std::string language_;
};

class Comm final : public host::Implements<host::IComm> {
 public:
  explicit Comm(std::shared_ptr<std::atomic<int>> counter) : counter_(std::move(counter)) {}
  void NotifyPackageUnloading() override {
    ++*counter_;
    host::AddHQLog("IComm: the package is going away", "MiniHost", host::LogSeverity::kInfo);
  }

 private:
  std::shared_ptr<std::atomic<int>> counter_;
};

}  // namespace

namespace {

// The settings are checked before the context is made: a start time given is a date-time (server time).
// Otherwise the server's wall clock follows from the machine's UTC clock, never from its zone.
host::DateTime ServerTimeAtStart(const HostSettings& settings, std::chrono::system_clock::time_point utcNow) {
  const auto fixed = settings.serverTimeStart.empty() ? std::nullopt : host::DateTime::Parse(settings.serverTimeStart);
  return fixed.value_or(host::ServerTimeAt(utcNow)).AddSeconds(settings.serverTimeOffsetSeconds);
}

}  // namespace

MiniContext::MiniContext(const HostSettings& settings, std::shared_ptr<host::IClock> clock,
                         std::chrono::system_clock::time_point utcNow)
    : names_(std::make_shared<NameRegistry>()),
      provider_(std::make_shared<MiniServiceProvider>()),
      user_id_(settings.userId),
      account_id_(settings.accountId),
      language_(settings.language),
      rights_(settings.rights.begin(), settings.rights.end()),
      login_region_(settings.loginRegion),
      servers_(settings.servers),
      clock_(std::move(clock)),
      clock_at_start_(clock_->Now()),
      server_time_at_start_(ServerTimeAtStart(settings, utcNow)),
      unload_notifications_(std::make_shared<std::atomic<int>>(0)) {
  provider_->Add(host::IBaseLog::IID, std::make_shared<BaseLog>());
  provider_->Add(host::IKrMultiLanguage::IID, std::make_shared<MultiLanguage>(language_));
  provider_->Add(host::IComm::IID, std::make_shared<Comm>(unload_notifications_));
}

std::shared_ptr<host::ISpeed> MiniContext::GetSpeed() {
  std::lock_guard lock(speed_mutex_);
  return speed_;
}

void MiniContext::SetSpeed(std::shared_ptr<host::ISpeed> speed) {
  std::lock_guard lock(speed_mutex_);
  speed_ = std::move(speed);
}

std::shared_ptr<host::IBaseLuxClient> MiniContext::GetLuxClient() {
  std::lock_guard lock(speed_mutex_);
  return lux_client_;
}

void MiniContext::SetLuxClient(std::shared_ptr<host::IBaseLuxClient> client) {
  std::lock_guard lock(speed_mutex_);
  lux_client_ = std::move(client);
}

std::string MiniContext::GetServerAddressByName(std::string_view name) {
  auto it = servers_.find(name);
  return it == servers_.end() ? std::string() : it->second;
}

bool MiniContext::HasRight(std::string_view right) { return rights_.contains(right); }

void MiniContext::SetServerClock(std::function<host::DateTime()> clock) {
  std::lock_guard lock(speed_mutex_);
  server_clock_ = std::move(clock);
}

host::DateTime MiniContext::GetServerDateTime() {
  {
    std::lock_guard lock(speed_mutex_);
    if (server_clock_) return server_clock_();
  }
  const auto elapsed = std::chrono::duration<double>(clock_->Now() - clock_at_start_).count();
  return server_time_at_start_.AddSeconds(elapsed);
}

}  // namespace kdp::minihost
