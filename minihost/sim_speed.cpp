#include "sim_speed.h"

#include <algorithm>
#include <future>

#include <fmt/format.h>

#include "kdp/host/data_table.h"
#include "kdp/host/log.h"
#include "kdp/host/param_serial_set.h"
#include "kdp/host/reply_packet.h"
#include "sim_commands.h"
#include "text_files.h"

namespace kdp::minihost {
namespace {

constexpr std::string_view kLogSource = "SimSpeed";
constexpr int kDisconnectCode = 10054;  // the code a dropped connection reports
constexpr int kLedConnected = 1;
constexpr int kLedDisconnected = -1;
// Server times computed along different paths differ in their last bits; a schedule is due within this.
constexpr double kScheduleSlackDays = 0.001 / 86400;

bool Due(const std::optional<host::DateTime>& at, host::DateTime now) {
  return at && now.value + kScheduleSlackDays >= at->value;
}

}  // namespace

class SimRequestGroup final : public host::Implements<host::ISpeedDataRequestGroup> {
 public:
  explicit SimRequestGroup(std::weak_ptr<SimSpeed> engine) : engine_(std::move(engine)) {}

  void Queue(SimSpeed::HistoryJob job) {
    std::lock_guard lock(mutex_);
    queued_.push_back(std::move(job));
  }

  int Send() override {
    auto engine = engine_.lock();
    if (!engine) return -1;
    std::vector<SimSpeed::HistoryJob> jobs;
    {
      std::lock_guard lock(mutex_);
      jobs.swap(queued_);
    }
    for (auto& job : jobs) engine->SubmitHistory(std::move(job));
    return static_cast<int>(jobs.size());
  }

 private:
  std::weak_ptr<SimSpeed> engine_;
  std::mutex mutex_;
  std::vector<SimSpeed::HistoryJob> queued_;
};

SimSpeed::SimSpeed(host::IMainLoop& loop, Options options)
    : loop_(loop),
      options_(std::move(options)),
      market_answers_(options_.rules),
      market_(*options_.securities, *options_.rules, options_.fields, options_.seed, options_.updatesPerSecond) {}

SimSpeed::~SimSpeed() { Stop(); }

void SimSpeed::Start() {
  std::lock_guard lock(mutex_);
  if (thread_.joinable()) return;
  stopping_ = false;
  const host::DateTime now = options_.serverTime();
  if (options_.warmUp.count() > 0) {
    const host::DateTime warm_up_start = now.AddSeconds(-static_cast<double>(options_.warmUp.count()));
    market_.FillLatestTradeDay(warm_up_start);
    market_.AdvanceTo(warm_up_start);
  } else {
    market_.AdvanceTo(now);
  }
  market_.AdvanceTo(now);
  thread_ = std::thread([this] { Run(); });
}

void SimSpeed::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void SimSpeed::Enqueue(std::function<void()> job) {
  {
    std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
  }
  wake_.notify_all();
}

void SimSpeed::Run() {
  while (true) {
    std::function<void()> job;
    {
      std::unique_lock lock(mutex_);
      wake_.wait_for(lock, options_.poll, [this] { return stopping_ || !jobs_.empty(); });
      if (stopping_) return;
      if (!jobs_.empty()) {
        job = std::move(jobs_.front());
        jobs_.pop_front();
      }
    }
    if (job) {
      job();
    } else {
      CatchUp();
    }
  }
}

void SimSpeed::FollowDropSchedule() {
  bool drop = false;
  bool reconnect = false;
  {
    std::lock_guard lock(mutex_);
    const host::DateTime now = options_.serverTime();
    if (Due(drop_at_, now)) {
      reconnect_at_ = drop_at_->AddSeconds(static_cast<double>(drop_for_.count()));
      drop_at_.reset();
      drop = true;
    }
    if (Due(reconnect_at_, now)) {
      reconnect_at_.reset();
      reconnect = true;
    }
  }
  if (drop) NotifyConnection(false);
  if (reconnect) NotifyConnection(true);
}

void SimSpeed::CatchUp() {
  FollowDropSchedule();
  std::vector<std::string> changed;
  {
    std::lock_guard lock(mutex_);
    changed = market_.AdvanceTo(options_.serverTime());
    if (!connected_) return;  // the market moves on while nobody hears of it
  }
  if (!changed.empty()) PushChanges(changed);
}

void SimSpeed::SyncNow() {
  auto done = std::make_shared<std::promise<void>>();
  auto finished = done->get_future();
  Enqueue([this, done] {
    CatchUp();
    done->set_value();
  });
  finished.wait();
}

int SimSpeed::NextPid() { return ++last_pid_; }

std::shared_ptr<host::IDataSet> SimSpeed::BuildQuotes(
    int pid, const std::vector<std::pair<std::string, std::vector<std::uint32_t>>>& rows) const {
  auto body = host::MakeQuoteBody();
  std::shared_ptr<host::TDataTable> previous;  // rows of one layout share their field infos
  for (const auto& [code, ids] : rows) {
    auto values = std::make_shared<host::TDataTable>();
    values->AddRow();
    for (std::uint32_t id : ids) {
      const auto value = market_.Value(code, id);
      if (!value) continue;
      const std::string name = std::to_string(id);
      if (const auto* d = std::get_if<double>(&*value)) {
        values->Set(0, values->AddField(name, "double"), *d);
      } else if (const auto* n = std::get_if<std::int64_t>(&*value)) {
        values->Set(0, values->AddField(name, "int64"), *n);
      } else {
        values->Set(0, values->AddField(name, "string"), std::get<std::string>(*value));
      }
    }
    if (values->GetFieldCount() == 0) continue;
    if (previous) values->ShareFieldsWith(*previous);
    host::AddQuoteBodyRow(*body, code, values);
    previous = std::move(values);
  }
  const int count = body->GetRowCount();
  return host::MakeReplyPacket({{"CmdID", kQuoteCommand}, {"PID", pid}, {"Count", count}}, std::move(body));
}

void SimSpeed::Post(const std::shared_ptr<SimDataRequest>& request, const std::shared_ptr<host::IDataSet>& data) {
  if (data->GetAsDataSet(0, 1)->GetRowCount() == 0) return;
  std::weak_ptr<SimDataRequest> weak = request;
  std::uint64_t generation;
  {
    std::lock_guard lock(mutex_);
    generation = request->Generation();
  }
  std::weak_ptr<SimSpeed> engine = weak_from_this();
  loop_.Post([weak, engine, generation, data] {
    auto r = weak.lock();
    auto e = engine.lock();
    if (!r || !e) return;
    PushWatcher watcher;
    {
      std::lock_guard lock(e->mutex_);
      if (r->Generation() != generation || !e->connected_) return;  // resubscribed or disconnected since
      watcher = e->push_watcher_;
    }
    if (watcher) watcher(r->Serial(), data);
    r->Observer()->SaveQuoteData(data);
  });
}

void SimSpeed::PushSnapshot(const std::shared_ptr<SimDataRequest>& request) {
  std::shared_ptr<host::IDataSet> data;
  {
    std::lock_guard lock(mutex_);
    if (!connected_) return;
    std::vector<std::pair<std::string, std::vector<std::uint32_t>>> rows(request->Subscription().begin(),
                                                                         request->Subscription().end());
    data = BuildQuotes(request->Serial(), rows);
  }
  Post(request, data);
}

void SimSpeed::PushChanges(const std::vector<std::string>& changed) {
  std::vector<std::pair<std::shared_ptr<SimDataRequest>, std::shared_ptr<host::IDataSet>>> pushes;
  {
    std::lock_guard lock(mutex_);
    std::erase_if(requests_, [](const auto& w) { return w.expired(); });
    for (const auto& weak : requests_) {
      auto request = weak.lock();
      if (!request || request->Subscription().empty()) continue;
      std::vector<std::pair<std::string, std::vector<std::uint32_t>>> rows;
      for (const std::string& code : changed) {
        auto it = request->Subscription().find(UpperAscii(code));
        if (it != request->Subscription().end()) rows.emplace_back(it->first, it->second);
      }
      if (!rows.empty()) pushes.emplace_back(request, BuildQuotes(request->Serial(), rows));
    }
  }
  for (const auto& [request, data] : pushes) Post(request, data);
}

void SimSpeed::AskConfigAbout(const std::vector<std::string>& codes) {
  std::shared_ptr<host::IConfig> config;
  {
    std::lock_guard lock(mutex_);
    config = callback_ ? callback_->GetIConfig() : nullptr;
  }
  if (!config) return;
  for (const std::string& code : codes) {
    const std::string stockType = config->GetStockType(code);
    const std::string sessions = config->GetTradeTime(code);
    std::lock_guard lock(mutex_);
    config_calls_ += 2;
    config_on_main_thread_ = config_on_main_thread_ || loop_.IsMainThread();
    sessions_[UpperAscii(code)] = sessions;
    if (host::IsNeedWriteHQLog()) {
      host::AddHQLog(fmt::format("config for {}: stock type \"{}\", sessions \"{}\"", code, stockType, sessions),
                     kLogSource, host::LogSeverity::kInfo);
    }
  }
  LetGoOnMainThread(std::move(config));
}

void SimSpeed::OnSubscribe(const std::shared_ptr<SimDataRequest>& request) {
  std::weak_ptr<SimDataRequest> weak = request;
  Enqueue([this, weak] {
    auto r = weak.lock();
    if (!r) return;
    std::vector<std::string> fresh;
    {
      std::lock_guard lock(mutex_);
      market_.AdvanceTo(options_.serverTime());
      for (const auto& [code, ids] : r->Subscription()) {
        if (asked_codes_.insert(code).second) fresh.push_back(code);
      }
    }
    AskConfigAbout(fresh);
    PushSnapshot(r);
  });
}

std::shared_ptr<host::ISpeedDataRequest> SimSpeed::CreateDataRequest(const std::shared_ptr<host::IObserver>& observer) {
  if (!observer) return nullptr;
  std::lock_guard lock(mutex_);
  auto request = std::make_shared<SimDataRequest>(weak_from_this(), observer, NextPid());
  std::erase_if(requests_, [](const auto& w) { return w.expired(); });
  requests_.push_back(request);
  return request;
}

std::shared_ptr<host::ISpeedDataRequestGroup> SimSpeed::CreateDataRequestGroup() {
  return std::make_shared<SimRequestGroup>(weak_from_this());
}

void SimSpeed::SetCallBack(const std::shared_ptr<host::ICallBack>& callback) {
  {
    std::lock_guard lock(mutex_);
    callback_ = callback;
  }
  if (!callback) return;
  // The engine reads its configuration and reports its connection from its own thread.
  Enqueue([this] {
    std::shared_ptr<host::ICallBack> cb;
    {
      std::lock_guard lock(mutex_);
      cb = callback_;
    }
    if (!cb) return;
    if (auto config = cb->GetIConfig()) {
      const std::string user = config->GetSpeedUserID();
      std::lock_guard lock(mutex_);
      ++config_calls_;
      config_on_main_thread_ = config_on_main_thread_ || loop_.IsMainThread();
      host::AddHQLog("quote engine login as " + user, kLogSource, host::LogSeverity::kInfo);
      LetGoOnMainThread(std::move(config));
    }
    LetGoOnMainThread(std::move(cb));
    NotifyConnection(true);
  });
}

void SimSpeed::NotifyConnection(bool connected) {
  std::shared_ptr<host::ICallBack> cb;
  std::vector<std::shared_ptr<SimDataRequest>> waiting;  // subscribed before the first login
  {
    std::lock_guard lock(mutex_);
    if (connected_ == connected) return;
    connected_ = connected;
    cb = callback_;
    for (const auto& weak : requests_) {
      auto r = weak.lock();
      if (!r) continue;
      if (!connected) {
        r->Forget();
      } else if (!logged_in_) {
        waiting.push_back(std::move(r));
      }
    }
    logged_in_ = true;
  }
  host::AddHQLog(connected ? "quote engine connected" : "quote engine disconnected", kLogSource,
                 connected ? host::LogSeverity::kInfo : host::LogSeverity::kWarning);
  if (cb) {
    cb->NotifyConnect(connected ? 0 : kDisconnectCode);
    cb->NotifyLEDChange(connected ? kLedConnected : kLedDisconnected);
  }
  for (const auto& r : waiting) PushSnapshot(r);
  LetGoOnMainThread(std::move(cb));
}

void SimSpeed::SimulateDisconnect() {
  Enqueue([this] { NotifyConnection(false); });
}

void SimSpeed::SimulateReconnect() {
  Enqueue([this] { NotifyConnection(true); });
}

void SimSpeed::DropConnection(std::chrono::seconds after, std::chrono::seconds duration) {
  std::lock_guard lock(mutex_);
  drop_at_ = options_.serverTime().AddSeconds(static_cast<double>(after.count()));
  drop_for_ = duration;
}

void SimSpeed::SetPushWatcher(PushWatcher watcher) {
  std::lock_guard lock(mutex_);
  push_watcher_ = std::move(watcher);
}

bool SimSpeed::Connected() const {
  std::lock_guard lock(mutex_);
  return connected_;
}

std::string SimSpeed::SessionsOf(const std::string& code) const {
  std::lock_guard lock(mutex_);
  auto it = sessions_.find(UpperAscii(code));
  return it == sessions_.end() ? std::string() : it->second;
}

int SimSpeed::ConfigCalls() const {
  std::lock_guard lock(mutex_);
  return config_calls_;
}

bool SimSpeed::ConfigCalledOnlyOffMainThread() const {
  std::lock_guard lock(mutex_);
  return !config_on_main_thread_;
}

std::optional<QuoteValue> SimSpeed::CurrentValue(const std::string& code, std::uint32_t id) const {
  std::lock_guard lock(mutex_);
  return market_.Value(code, id);
}

void SimSpeed::SubmitHistory(HistoryJob job) {
  Enqueue([this, job] { AnswerHistory(job); });
}

void SimSpeed::AnswerHistory(const HistoryJob& job) {
  auto request = job.request.lock();
  if (!request) return;
  std::shared_ptr<host::IDataSet> reply;
  int error = 0;
  {
    std::lock_guard lock(mutex_);
    market_.AdvanceTo(options_.serverTime());
    reply = BuildHistoryReply(market_, *options_.sectors, job.commandID, job.pid, *job.params, error);
  }
  // History replies arrive on the engine's thread.
  request->Observer()->NotifyReqResponse(error, job.pid, job.commandID);
  if (reply) request->Observer()->SetData(reply);
}

int SimSpeed::QueryMarketInfo(int kind, const std::string& argument, host::TMarketInfoBuffer& buffer) {
  return market_answers_.Query(kind, argument, buffer);
}

void SimSpeed::FreeMarketInfo(int /*kind*/, host::TMarketInfoBuffer& buffer) { market_answers_.Free(buffer); }

std::size_t SimSpeed::TrackedRequests() const {
  std::lock_guard lock(mutex_);
  return requests_.size();
}

std::size_t SimSpeed::LentMarketInfoBuffers() const { return market_answers_.LentBuffers(); }

int SimDataRequest::Subscribe(const host::TKrSpeedSymbolDataList& symbols) {
  auto engine = engine_.lock();
  if (!engine) return -1;
  {
    std::lock_guard lock(engine->mutex_);
    if (engine->logged_in_ && !engine->connected_) return -1;  // the connection is down: nobody takes it
    subscription_.clear();
    for (const auto& symbol : symbols) {
      if (symbol.KoraCode.empty() || symbol.ItemIDs.empty()) continue;
      auto& ids = subscription_[UpperAscii(symbol.KoraCode)];
      ids.insert(ids.end(), symbol.ItemIDs.begin(), symbol.ItemIDs.end());
    }
    ++generation_;
  }
  engine->OnSubscribe(shared_from_this());
  return 0;
}

int SimDataRequest::UnSubscribe() {
  auto engine = engine_.lock();
  if (!engine) return -1;
  std::lock_guard lock(engine->mutex_);
  subscription_.clear();
  ++generation_;
  return 0;
}

int SimDataRequest::GetParamSerialSet(int commandID, std::shared_ptr<host::IParamSerialSet>& paramSet) {
  if (!IsHistoryCommand(commandID)) return 0;
  paramSet = std::make_shared<host::TParamSerialSet>(commandID);
  return 1;
}

int SimDataRequest::Request(const std::shared_ptr<host::IParamSerialSet>& paramSet,
                            const std::shared_ptr<host::ISpeedDataRequestGroup>& group) {
  auto engine = engine_.lock();
  auto params = std::dynamic_pointer_cast<host::TParamSerialSet>(paramSet);
  if (!engine || !params) return 0;
  const int command = params->Command();
  int pid;
  {
    std::lock_guard lock(engine->mutex_);
    pid = engine->NextPid();
  }
  SimSpeed::HistoryJob job{weak_from_this(), params->Copy(), command, pid};
  if (auto g = std::dynamic_pointer_cast<SimRequestGroup>(group)) {
    g->Queue(std::move(job));
  } else {
    engine->SubmitHistory(std::move(job));
  }
  return pid;
}

}  // namespace kdp::minihost
