// MiniHost: a small but real host for the package. It implements the host API (service provider and
// registries, context, logger, paths, main loop, asynchronous runner, download service, security and sector
// masters, quote engine, Lux client),
// installs itself as the host environment, and starts and stops the package.
//
// The quote engine is the simulated one, or a recording played back (Options::replayFrom); either may be
// recorded (Options::recordTo) by a recorder that sits between it and the package.
//
// One MiniHost may be installed at a time. Construct it, StartPackage, drive Loop(), StopPackage;
// destruction stops the package if it still runs and uninstalls the host. Main thread only.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "async_runner.h"
#include "audit_trail.h"
#include "cloud_service.h"
#include "context.h"
#include "download_service.h"
#include "expression_engine.h"
#include "kdp/host/host_environment.h"
#include "logger.h"
#include "main_loop.h"
#include "recording_speed.h"
#include "registries.h"
#include "replay_speed.h"
#include "report_data.h"
#include "sector_master.h"
#include "security_master.h"
#include "settings.h"
#include "sim_lux.h"
#include "sim_speed.h"

namespace kdp::minihost {

class MiniHost final : public host::IHostEnvironment {
 public:
  struct Options {
    std::shared_ptr<host::IClock> clock;  // default: the real steady clock
    // The machine's UTC clock at start, from which the server clock starts without a start time in the
    // settings; default: the system clock now.
    std::optional<std::chrono::system_clock::time_point> utcAtStart;
    int logEchoLevel = 4;  // lines at or above this level also go to stderr; 4 = none
    // Records what the quote engine delivers to the package into this file; empty: no recording.
    std::string recordTo;
    // Plays this recording instead of the simulated engine; empty: the simulated engine (when the
    // settings ask for one). The server clock then follows the recording.
    std::string replayFrom;
    double replaySpeed = 1.0;  // times the recorded pace; 0 plays as fast as possible
  };

  // Builds and installs a host. nullptr, with `error`, when the securities or sectors file cannot be read,
  // the recording cannot be replayed or the recording file cannot be created.
  static std::unique_ptr<MiniHost> Create(HostSettings settings, Options options, std::string& error);
  ~MiniHost() override;
  MiniHost(const MiniHost&) = delete;
  MiniHost& operator=(const MiniHost&) = delete;

  // Starts the package (Initialize). False when its start-up failed; the reason is in the log.
  bool StartPackage();
  // Withdraws and stops the package (UnRegisterHQPubIntf, Finalize) and logs what the registries still
  // hold. Does nothing when the package is not running.
  void StopPackage();
  bool PackageRunning() const { return package_running_; }

  // host::IHostEnvironment
  std::shared_ptr<host::IKrServiceProvider> ServiceProvider() override { return provider_; }
  host::InterfacePtr QueryRegisteredService(const host::Guid& iid) override { return guid_registry_->Find(iid); }
  void Log(std::string_view message, std::string_view source, int level) override;
  bool IsDetailedLogOn() const override { return logger_.IsDetailed(); }
  void FlushLog() override { logger_.Flush(); }
  const host::HostPaths& Paths() const override { return paths_; }
  MiniMainLoop& Loop() override { return loop_; }
  // The stand-in host has no windows: an error box is logged at level 3 and printed on stderr (unless the
  // log already echoes errors there), and remembered for tests.
  void ShowErrorMessage(std::string_view caption, std::string_view text) override;
  // Changes with the GUID registry, the service provider and the security master.
  std::uint64_t SecuritiesRevision() const override {
    return guid_registry_->Revision() + provider_->Revision() + securities_->Revision();
  }

  const HostSettings& Settings() const { return settings_; }
  MiniLogger& Logger() { return logger_; }
  GuidRegistry& Registry() { return *guid_registry_; }
  // The host service provider (KrIntfService); tests may replace a host facility in it.
  MiniServiceProvider& Provider() { return *provider_; }
  NameRegistry& Names() { return context_->Names(); }
  MiniContext& Context() { return *context_; }
  MiniSecurityMaster& Securities() { return *securities_; }
  MiniSectorMaster& Sectors() { return *sectors_; }
  MiniAsyncRunner& Runner() { return *runner_; }
  MiniDownloadService& Downloads() { return *downloads_; }
  // The report data the host answers report commands from, loaded on the first call (from any thread);
  // empty, with a log line, when the configuration has none or it does not load.
  const SampleReportData& Reports();
  // The cloud data service (loaded on first use); any thread.
  const SimCloudService& CloudService();
  // The simulated quote engine; nullptr when the host runs without one or replays a recording.
  SimSpeed* Speed() { return speed_.get(); }
  // The engine playing a recording; nullptr unless Options::replayFrom names one.
  replay::ReplaySpeed* Replay() { return replay_.get(); }
  // The recorder between the engine and the package; nullptr unless Options::recordTo names a file.
  replay::RecordingSpeed* Recorder() { return recorder_.get(); }
  // The Lux client; nullptr when the settings run the host without one.
  SimLuxClient* Lux() { return lux_.get(); }
  // The business audit trail (IKrBAuditWriter).
  MiniAuditTrail& AuditTrail() { return *audit_; }
  // Every error box shown so far: (caption, text), oldest first.
  const std::vector<std::pair<std::string, std::string>>& ErrorMessages() const { return error_messages_; }

 private:
  MiniHost(HostSettings settings, Options options);
  // The stages of Create, in order; each false (or nullptr) with `error` when it cannot finish.
  // The securities, sectors, trade spans and security extensions; the market rules made from the spans.
  std::shared_ptr<MarketRules> LoadReferenceData(std::string& error);
  // The replayed or simulated quote engine (or none), behind a recorder when asked, set in the context.
  bool StartQuoteEngine(std::shared_ptr<MarketRules> rules, const std::string& recordTo,
                        const std::string& replayFrom, double replaySpeed, std::string& error);
  // The simulated Lux client when the settings ask for one and its scenario exists.
  bool StartLuxClient(std::string& error);
  // A description file of the stand-in's services, read on first use; a missing or unreadable one is logged.
  template <class Data>
  const Data& LoadOnce(std::once_flag& once, const std::string& file, std::string_view what, Data& data);

  HostSettings settings_;
  host::HostPaths paths_;
  std::shared_ptr<host::IClock> clock_;
  MiniLogger logger_;
  MiniMainLoop loop_;
  std::shared_ptr<GuidRegistry> guid_registry_;
  std::shared_ptr<MiniServiceProvider> provider_;
  std::shared_ptr<MiniContext> context_;
  std::shared_ptr<MiniSecurityMaster> securities_;
  std::shared_ptr<MiniSectorMaster> sectors_;
  std::shared_ptr<MiniAsyncRunner> runner_;
  std::shared_ptr<MiniDownloadService> downloads_;
  std::once_flag reports_loaded_;
  SampleReportData reports_;  // written once, under reports_loaded_
  std::once_flag cloud_service_loaded_;
  SimCloudService cloud_service_;  // written once, under cloud_service_loaded_
  std::shared_ptr<SimSpeed> speed_;
  std::shared_ptr<replay::ReplaySpeed> replay_;
  std::shared_ptr<replay::RecordingSpeed> recorder_;
  std::shared_ptr<SimLuxClient> lux_;
  std::shared_ptr<MiniAuditTrail> audit_;
  std::vector<std::pair<std::string, std::string>> error_messages_;
  bool package_running_ = false;
};

}  // namespace kdp::minihost
