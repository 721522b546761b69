#include "mini_host.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include <fmt/format.h>

#include "kdp/host/async_runner.h"
#include "kdp/host/display_text.h"
#include "kdp/package.h"

namespace kdp::minihost {
namespace {

constexpr std::string_view kLogSource = "MiniHost";

std::string ProgramDirectory() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string("./") : exe.parent_path().string() + "/";
}

std::string Join(const std::string& dir, const std::string& relative) {
  return (std::filesystem::path(dir) / relative).string();
}

}  // namespace

MiniHost::MiniHost(HostSettings settings, Options options)
    : settings_(std::move(settings)),
      paths_{settings_.etcRoot, Join(settings_.dataDir, "users/" + settings_.userId),
             settings_.binDir.empty() ? ProgramDirectory() : settings_.binDir, Join(settings_.dataDir, "tmp"),
             Join(settings_.dataDir, "log")},
      clock_(options.clock ? options.clock : std::make_shared<host::SteadyClock>()),
      logger_(paths_.log, settings_.detailedLog, options.logEchoLevel),
      loop_(clock_),
      guid_registry_(std::make_shared<GuidRegistry>()),
      provider_(std::make_shared<MiniServiceProvider>(guid_registry_.get())),
      context_(std::make_shared<MiniContext>(settings_, clock_,
                                             options.utcAtStart.value_or(std::chrono::system_clock::now()))),
      securities_(std::make_shared<MiniSecurityMaster>()),
      sectors_(std::make_shared<MiniSectorMaster>()),
      downloads_(std::make_shared<MiniDownloadService>()),
      audit_(std::make_shared<MiniAuditTrail>(paths_.log)) {
  loop_.SetErrorHandler([this](const std::string& what) { Log("main loop task failed: " + what, kLogSource, 3); });
  provider_->Add(host::IKrContext::IID, context_);
  provider_->Add(host::IKrServiceRegistry::IID, guid_registry_);
  provider_->Add(host::IKrSecurityMgrHQ::IID, securities_);
  provider_->Add(host::IKrSectorMgrHQ::IID, sectors_);
  provider_->Add(host::IKrExpressionEngine::IID, std::make_shared<MiniExpressionEngine>());
  provider_->Add(host::IKrDownloadService::IID, downloads_);
  provider_->Add(host::IKrBAuditWriter::IID, audit_);
}

std::unique_ptr<MiniHost> MiniHost::Create(HostSettings settings, Options options, std::string& error) {
  if (host::InstalledHostEnvironment() != nullptr) {
    error = "another host is already installed";
    return nullptr;
  }
  if (!CheckHostSettings(settings, error)) return nullptr;
  const std::string recordTo = options.recordTo, replayFrom = options.replayFrom;
  const double replaySpeed = options.replaySpeed;
  std::unique_ptr<MiniHost> h(new MiniHost(std::move(settings), std::move(options)));
  host::InstallHostEnvironment(h.get());
  h->runner_ = std::make_shared<MiniAsyncRunner>(h->loop_);
  h->provider_->Add(host::IKrAsyncRunner::IID, h->runner_);

  std::shared_ptr<MarketRules> rules = h->LoadReferenceData(error);
  if (!rules) return nullptr;
  if (!h->StartQuoteEngine(std::move(rules), recordTo, replayFrom, replaySpeed, error)) return nullptr;
  if (!h->StartLuxClient(error)) return nullptr;
  // Every name is among the servers (CheckHostSettings). The cloud service's reports of the HTTP road: the
  // download service calls this on its worker thread.
  for (const std::string& name : h->settings_.standInServers) {
    h->downloads_->ServeLocally(h->settings_.servers.at(name), [host = h.get()](const std::string& path) {
      return host->CloudService().AnswerHttp(path, host->context_->GetServerDateTime().Yyyymmdd());
    });
  }
  for (const std::string& code : h->sectors_->AllMemberCodes()) {
    if (!h->securities_->GetSecurity(code)) h->Log("sector member without a security: " + code, kLogSource, 2);
  }
  h->Log(fmt::format("host started on {}: {} securities, {} system sectors, user {}", h->settings_.etcRoot,
                     h->securities_->Count(), h->sectors_->SystemSectorCount(), h->settings_.userId),
         kLogSource, 0);
  return h;
}

std::shared_ptr<MarketRules> MiniHost::LoadReferenceData(std::string& error) {
  if (!securities_->Load(Join(settings_.etcRoot, settings_.securitiesFile), error)) return nullptr;
  if (!sectors_->Load(Join(settings_.etcRoot, settings_.sectorsFile), error)) return nullptr;
  // The market rules answer the quote engine's trade-rule questions and the securities' trading hours.
  auto rules = std::make_shared<MarketRules>();
  if (!rules->Load(Join(settings_.etcRoot, settings_.tradeSpansFile), error)) return nullptr;
  for (const std::string& code : securities_->AttachMarketRules(rules)) {
    Log("security with an unknown trade span: " + code, kLogSource, 2);
  }
  const std::string extensions = Join(settings_.etcRoot, settings_.securityExtensionsFile);
  if (std::error_code ec; std::filesystem::exists(extensions, ec)) {
    if (!securities_->LoadExtensions(extensions, error)) return nullptr;
  }
  return rules;
}

bool MiniHost::StartQuoteEngine(std::shared_ptr<MarketRules> rules, const std::string& recordTo,
                                const std::string& replayFrom, double replaySpeed, std::string& error) {
  std::shared_ptr<host::ISpeed> engine;
  if (!replayFrom.empty()) {
    replay::ReplaySpeed::Options play;
    play.speed = replaySpeed;
    play.clock = clock_;
    play.poll = std::chrono::milliseconds(std::max(1, settings_.quotePollMs));
    play.startTime = context_->GetServerDateTime();
    auto answers = std::make_shared<MarketRuleAnswers>(std::move(rules));
    play.queryMarketInfo = [answers](int kind, const std::string& argument, host::TMarketInfoBuffer& buffer) {
      return answers->Query(kind, argument, buffer);
    };
    play.freeMarketInfo = [answers](int, host::TMarketInfoBuffer& buffer) { answers->Free(buffer); };
    replay_ = replay::ReplaySpeed::Open(replayFrom, loop_, std::move(play), error);
    if (!replay_) return false;
    context_->SetServerClock([replay = replay_.get()] { return replay->ServerTime(); });
    replay_->Start();
    engine = replay_;
  } else if (settings_.quoteEngine) {
    SimSpeed::Options sim;
    if (!sim.fields.Load(Join(settings_.etcRoot, settings_.quoteFieldsFile), error)) return false;
    sim.seed = settings_.quoteSeed;
    sim.updatesPerSecond = settings_.quoteRate;
    sim.poll = std::chrono::milliseconds(std::max(1, settings_.quotePollMs));
    sim.warmUp = std::chrono::seconds(std::max(0, settings_.quoteWarmUpSeconds));
    sim.serverTime = [context = context_.get()] { return context->GetServerDateTime(); };
    sim.securities = securities_.get();
    sim.sectors = sectors_.get();
    sim.rules = std::move(rules);
    speed_ = std::make_shared<SimSpeed>(loop_, std::move(sim));
    speed_->Start();
    engine = speed_;
  }
  if (engine && !recordTo.empty()) {
    auto writer = replay::RecordingWriter::Create(recordTo, {}, error);
    if (!writer) return false;
    recorder_ = std::make_shared<replay::RecordingSpeed>(
        std::move(engine), std::move(writer), [context = context_.get()] { return context->GetServerDateTime(); });
    engine = recorder_;
  }
  context_->SetSpeed(std::move(engine));
  return true;
}

bool MiniHost::StartLuxClient(std::string& error) {
  const std::string luxScenario = Join(settings_.etcRoot, settings_.luxScenarioDir);
  if (std::error_code ec; settings_.luxClient && !std::filesystem::exists(Join(luxScenario, "index.json"), ec)) {
    // The settings ask for a Lux client: running without one is said where the user sees it.
    Log("no Lux scenario, the host runs without a Lux client: " + luxScenario, kLogSource, 3);
  } else if (settings_.luxClient) {
    auto scenario = std::make_shared<LuxScenario>();
    if (!scenario->Load(luxScenario, error)) {
      error = "Lux scenario: " + error;
      return false;
    }
    SimLuxClient::Options lux;
    lux.scenario = std::move(scenario);
    lux.clock = clock_;
    lux.serverTime = [context = context_.get()] { return context->GetServerDateTime(); };
    lux.latency = std::chrono::milliseconds(std::max(0, settings_.luxLatencyMs));
    lux.pushInterval = std::chrono::milliseconds(std::max(0, settings_.luxPushIntervalMs));
    lux.poll = std::chrono::milliseconds(std::max(1, settings_.luxPollMs));
    lux.connected = settings_.luxConnected;
    lux.connectAfter = std::chrono::milliseconds(std::max(0, settings_.luxConnectAfterMs));
    lux.reports = [host = this](const std::string& command, bool& answered) {
      // Cloud indicators and generated reports first; the sample report data answers the rest.
      if (auto stream = host->CloudService().Answer(command, host->context_->GetServerDateTime().Yyyymmdd())) {
        answered = true;
        return std::move(*stream);
      }
      return host->Reports().Answer(command, answered);
    };
    lux_ = std::make_shared<SimLuxClient>(std::move(lux));
    lux_->Start();
    context_->SetLuxClient(lux_);
    provider_->Add(host::ILuxClientWrapper::IID, lux_);
  }
  return true;
}

MiniHost::~MiniHost() {
  StopPackage();
  if (runner_) runner_->Stop();
  downloads_->Stop();
  context_->SetSpeed(nullptr);
  if (speed_) speed_->Stop();
  if (replay_) {
    replay_->Stop();
    context_->SetServerClock(nullptr);  // the clock asked the replay, which goes first
  }
  if (recorder_) recorder_->Writer().Close();  // after the engines: nothing more arrives
  context_->SetLuxClient(nullptr);
  if (lux_) lux_->Stop();
  logger_.Flush();
  if (host::InstalledHostEnvironment() == this) host::InstallHostEnvironment(nullptr);
}

bool MiniHost::StartPackage() {
  if (package_running_) return true;
  package_running_ = true;  // a failed start still has to be withdrawn
  const bool started = Initialize();
  Log(started ? "package started" : "package start-up failed", kLogSource, started ? 0 : 3);
  return started;
}

void MiniHost::StopPackage() {
  if (!package_running_) return;
  UnRegisterHQPubIntf();
  Finalize();
  package_running_ = false;
  Log(fmt::format("package stopped; registries hold {} names and {} services", Names().Entries().size(),
                  guid_registry_->Entries().size()),
      kLogSource, 0);
  logger_.Flush();
}

template <class Data>
const Data& MiniHost::LoadOnce(std::once_flag& once, const std::string& file, std::string_view what, Data& data) {
  std::call_once(once, [&] {
    const std::string path = Join(settings_.etcRoot, file);
    std::string error;
    if (std::error_code ec; !std::filesystem::exists(path, ec)) {
      Log(fmt::format("no {}: {}", what, path), kLogSource, 1);
    } else if (!data.Load(path, error)) {
      Log(fmt::format("{} not loaded: {}", what, error), kLogSource, 3);
    }
  });
  return data;
}

const SampleReportData& MiniHost::Reports() {
  return LoadOnce(reports_loaded_, settings_.reportsFile, "report data", reports_);
}

const SimCloudService& MiniHost::CloudService() {
  return LoadOnce(cloud_service_loaded_, settings_.cloudServiceFile, "cloud data service", cloud_service_);
}

void MiniHost::Log(std::string_view message, std::string_view source, int level) {
  logger_.Log(message, source, level);
}

void MiniHost::ShowErrorMessage(std::string_view caption, std::string_view text) {
  error_messages_.emplace_back(caption, text);
  logger_.Log(fmt::format("{}: {}", caption, text), "MessageBox", 3);
  if (logger_.EchoLevel() > 3) {
    fmt::print(stderr, "{}: {}\n", host::EscapeControlChars(caption), host::EscapeControlChars(text));
  }
}

}  // namespace kdp::minihost
