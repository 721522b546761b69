#include "replay_speed.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include <fmt/format.h>

#include "kdp/host/data_table.h"
#include "kdp/host/log.h"
#include "kdp/host/param_serial_set.h"
#include "kdp/host/reply_packet.h"

namespace kdp::replay {
namespace {

constexpr std::string_view kLogSource = "ReplaySpeed";
// Recorded data requests are numbered from 1 by the recorder; a number beyond this is not one it made.
constexpr std::uint32_t kMaxRecordedRequests = 65536;
// The replayed market answering command 3080 keeps at most this much, whatever a recording holds.
constexpr std::size_t kMaxMarketCodes = 65536;
constexpr std::size_t kMaxMarketFields = 1024;
// Replies held for a recorded command nobody has sent yet (a response, its data and notices).
constexpr std::size_t kMaxHeldReplies = 16;
// Pushes gathered before they are posted as one task. Fewer, larger batches cost both threads fewer
// wake-ups, as long as several stay in flight (at the default most in flight, a quarter of it): played as
// fast as possible, 64 took 1.2x-1.3x the main thread's plain delivery, 256 1.14x-1.25x, 512 1.2x-1.3x.
constexpr std::size_t kBatchSize = 256;
constexpr double kSecondsPerDay = 86400.0;
// Server times are days in a double, which near today's dates resolve about a microsecond: a record is
// due this much before its exact time, so one recorded at the moment a clock step ends plays at that step.
constexpr auto kDueSlack = std::chrono::milliseconds(1);

bool SameSubscription(const host::TKrSpeedSymbolDataList& a, const host::TKrSpeedSymbolDataList& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](const auto& x, const auto& y) { return x.KoraCode == y.KoraCode && x.ItemIDs == y.ItemIDs; });
}

// Subscriptions and history commands are what the package does first; the pace starts at the first one.
bool StartsThePace(RecordKind kind) { return kind == RecordKind::kSubscribe || kind == RecordKind::kRequest; }

void UpperAsciiInPlace(std::string& text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
}

std::string UpperAscii(std::string text) {
  UpperAsciiInPlace(text);
  return text;
}

// The table a cell holds, or nullptr.
host::TDataTable* NestedTable(const host::TDataTable& table, int row, int column) {
  const auto* held = std::get_if<std::shared_ptr<host::IDataSet>>(table.CellAt(row, column));
  return held != nullptr ? host::AsDataTable(held->get()) : nullptr;
}

// Whether two tables have the same column names in the same order.
bool SameColumns(host::TDataTable& a, host::TDataTable& b) {
  if (a.GetFieldsIdentity() != nullptr && a.GetFieldsIdentity() == b.GetFieldsIdentity()) return true;
  if (a.GetFieldCount() != b.GetFieldCount()) return false;
  for (int column = 0; column < a.GetFieldCount(); ++column) {
    if (std::memcmp(a.GetFieldInfo(column)->name, b.GetFieldInfo(column)->name, sizeof(host::TFieldInfo::name)) != 0)
      return false;
  }
  return true;
}

int ColumnOf(host::TDataTable& table, const std::string& name) {
  for (int column = 0; column < table.GetFieldCount(); ++column) {
    if (host::FieldName(table, column) == name) return column;
  }
  return -1;
}

// The items of a comma-separated list, blanks around each removed, empty ones left out.
template <class Call>
void CallOutside(const char* what, Call&& call) {
  try {
    call();
  } catch (const std::exception& e) {
    host::AddHQLog(fmt::format("{} failed: {}", what, e.what()), kLogSource, host::LogSeverity::kError);
  } catch (...) {
    host::AddHQLog(fmt::format("{} failed", what), kLogSource, host::LogSeverity::kError);
  }
}

}  // namespace

class ReplayRequestGroup final : public host::Implements<host::ISpeedDataRequestGroup> {
 public:
  explicit ReplayRequestGroup(std::weak_ptr<ReplaySpeed> engine) : engine_(std::move(engine)) {}

  void Queue(ReplaySpeed::Pending pending) {
    std::lock_guard lock(mutex_);
    queued_.push_back(std::move(pending));
  }

  int Send() override {
    auto engine = engine_.lock();
    if (!engine) return -1;
    std::vector<ReplaySpeed::Pending> sending;
    {
      std::lock_guard lock(mutex_);
      sending.swap(queued_);
    }
    for (auto& pending : sending) engine->SubmitHistory(std::move(pending));
    return static_cast<int>(sending.size());
  }

 private:
  const std::weak_ptr<ReplaySpeed> engine_;
  std::mutex mutex_;  // guards queued_
  std::vector<ReplaySpeed::Pending> queued_;
};

std::shared_ptr<ReplaySpeed> ReplaySpeed::Open(const std::string& path, host::IMainLoop& loop, Options options,
                                               std::string& error) {
  if (!options.clock) {
    error = "the replay has no clock";
    return nullptr;
  }
  std::shared_ptr<ReplaySpeed> engine(new ReplaySpeed(loop, std::move(options)));
  if (!engine->reader_.Open(path, error)) return nullptr;
  Record first;
  if (engine->reader_.Next(first)) {
    engine->delivered_time_.store(first.serverTime.value);
    engine->first_ = std::move(first);
  } else {
    engine->delivered_time_.store(engine->options_.startTime.value);
  }
  engine->next_time_ = engine->delivered_time_.load();
  return engine;
}

ReplaySpeed::ReplaySpeed(host::IMainLoop& loop, Options options) : loop_(loop), options_(std::move(options)) {}

ReplaySpeed::~ReplaySpeed() { Stop(); }

void ReplaySpeed::Start() {
  std::lock_guard lock(mutex_);
  if (thread_.joinable() || stopping_) return;
  thread_ = std::thread([this] { Run(); });
}

void ReplaySpeed::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

// ---- the engine's thread ----

void ReplaySpeed::Run() {
  std::optional<Record> next = std::move(first_);
  if (next) UpdateMarket(*next);
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    if (!next) {
      RecycleSpent(lock);
      lock.unlock();
      Record record;
      const bool read = reader_.Next(record);
      if (read) UpdateMarket(record);  // the engine's thread's own: no lock
      lock.lock();
      if (!read) {
        FinishRecording(lock);
        break;
      }
      next = std::move(record);
    }
    if (!WaitUntilDue(*next, lock)) return;
    Play(*next, lock);
    next.reset();
  }
  // Played through: the engine still answers history commands and call-backs until it stops.
  while (!stopping_) {
    const bool ran = !jobs_.empty();
    RunJobs(lock);
    if (ran) PostBatch(true);
    wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
  }
}

void ReplaySpeed::RunJobs(std::unique_lock<std::mutex>& lock) {
  while (!jobs_.empty() && !stopping_) {
    auto job = std::move(jobs_.front());
    jobs_.pop_front();
    running_job_ = true;
    lock.unlock();
    CallOutside("a replay job", job);
    lock.lock();
    running_job_ = false;
  }
}

void ReplaySpeed::RecycleSpent(std::unique_lock<std::mutex>& lock) {
  if (spent_.empty()) return;
  recycling_.swap(spent_);
  lock.unlock();
  for (auto& data : recycling_) reader_.Recycle(std::move(data));
  recycling_.clear();
  lock.lock();
}

bool ReplaySpeed::WaitUntilDue(const Record& record, std::unique_lock<std::mutex>& lock) {
  while (true) {
    RunJobs(lock);
    if (stopping_) return false;
    if (!anchored_) {
      if (!StartsThePace(record.kind)) return true;  // what comes before the package's first act plays at once
      if (!acted_) {
        PostBatch(true);
        waiting_ = true;
        due_ = host::Clock::time_point::max();
        wake_.wait(lock, [this] { return stopping_ || acted_ || !jobs_.empty(); });
        waiting_ = false;
        continue;
      }
      anchored_ = true;
      anchor_clock_ = options_.clock->Now();
      anchor_time_ = record.serverTime.value;
      base_clock_ = anchor_clock_;
      base_time_ = anchor_time_;
    }
    next_time_ = std::max(next_time_, record.serverTime.value);
    if (options_.speed <= 0) return true;
    const double seconds = std::max(0.0, record.serverTime.value - anchor_time_) * kSecondsPerDay / options_.speed;
    const auto due = anchor_clock_ - kDueSlack +
                     std::chrono::duration_cast<host::Clock::duration>(std::chrono::duration<double>(seconds));
    const auto now = options_.clock->Now();
    if (now >= due) return true;
    PostBatch(true);
    waiting_ = true;
    due_ = due;
    wake_.wait_for(lock, std::min<host::Clock::duration>(due - now, options_.poll));
    waiting_ = false;
  }
}

void ReplaySpeed::Play(Record& record, std::unique_lock<std::mutex>& lock) {
  ++counts_.played;
  const double time = record.serverTime.value;
  const std::uint32_t number = record.request;
  const bool numbered = number > 0 && number <= kMaxRecordedRequests;
  switch (record.kind) {
    case RecordKind::kQuotes: {
      Delivery delivery;
      delivery.time = time;
      if (const auto target = numbered ? TargetOf(number) : std::nullopt) {
        delivery.push = true;
        delivery.target = *target;
        delivery.data = std::move(record.data);
      } else {
        ++counts_.skipped;
      }
      batch_.deliveries.push_back(std::move(delivery));
      const std::size_t gathered = batch_.deliveries.size();
      if (in_flight_ + gathered >= options_.maxInFlight) {
        PostBatch();
        wake_.wait(lock, [this] { return stopping_ || in_flight_ <= options_.maxInFlight / 2; });
      } else if (gathered >= kBatchSize) {
        PostBatch();
      }
      return;
    }
    case RecordKind::kSubscribe:
    case RecordKind::kUnsubscribe:
    case RecordKind::kRequest: {
      if (numbered) {
        Recorded& recorded = recorded_[number];
        if (record.kind == RecordKind::kRequest) {
          counts_.skipped += recorded.held.size();  // replies to the command before, never taken
          recorded.held.clear();
          recorded.command = Command{record.numbers[0], std::move(record.params)};
          recorded.claimed = false;
          ClaimPending(number);
        } else {
          recorded.subscription = std::move(record.symbols);
          Rebind(number);
        }
      }
      batch_.deliveries.emplace_back().time = time;
      return;
    }
    case RecordKind::kResponse:
    case RecordKind::kHistoryData:
    case RecordKind::kHisData: {
      auto request = numbered ? BoundTo(number) : nullptr;
      batch_.deliveries.emplace_back().time = time;
      if (numbered) {
        Recorded& recorded = recorded_[number];
        if (recorded.command && !recorded.claimed) {
          if (recorded.held.size() < kMaxHeldReplies) {
            recorded.held.push_back(std::move(record));
          } else {
            ++counts_.skipped;
          }
          return;
        }
      }
      if (!request) {
        ++counts_.skipped;
        return;
      }
      if (!DrainPushes(lock)) return;
      ++counts_.delivered;
      const auto observer = request->observer_;
      lock.unlock();
      CallObserver(*observer, record);
      lock.lock();
      return;
    }
    case RecordKind::kConnect:
    case RecordKind::kLedChange: {
      (record.kind == RecordKind::kConnect ? connect_code_ : led_status_) = record.numbers[0];
      auto callback = callback_;
      if (!DrainPushes(lock)) return;
      Delivered(time);
      if (!callback) return;
      lock.unlock();
      CallOutside("a replayed connection notice", [&] {
        if (record.kind == RecordKind::kConnect) {
          callback->NotifyConnect(record.numbers[0]);
        } else {
          callback->NotifyLEDChange(record.numbers[0]);
        }
      });
      lock.lock();
      return;
    }
  }
}

void ReplaySpeed::FinishRecording(std::unique_lock<std::mutex>& lock) {
  outcome_ = reader_.Describe();
  const bool complete = reader_.GetOutcome().complete;
  lock.unlock();
  host::AddHQLog("replay played through: " + outcome_, kLogSource,
                 complete ? host::LogSeverity::kInfo : host::LogSeverity::kWarning);
  lock.lock();
  read_through_ = true;
  // The recording says nothing of the time after its last record: the clock stays there.
  next_time_ = std::max(next_time_, delivered_time_.load());
  for (Pending& pending : pending_) {
    jobs_.push_back([this, pending = std::move(pending)] { Answer(pending); });
  }
  pending_.clear();
  PostBatch(true);
}

void ReplaySpeed::PostBatch(bool evenIfEmpty) {
  if (batch_.deliveries.empty() && !evenIfEmpty) return;
  in_flight_ += batch_.deliveries.size();
  std::weak_ptr<ReplaySpeed> self = weak_from_this();
  loop_.Post([self, batch = std::move(batch_)]() mutable {
    if (auto engine = self.lock()) engine->Deliver(batch);
  });
  batch_ = Batch{};
  batch_.deliveries.reserve(kBatchSize);
  targeted_.reset();
  targeted_number_ = 0;
}

bool ReplaySpeed::DrainPushes(std::unique_lock<std::mutex>& lock) {
  PostBatch();
  wake_.wait(lock, [this] { return stopping_ || in_flight_ == 0; });
  return !stopping_;
}

bool ReplaySpeed::RaiseDeliveredTime(double time) {
  double seen = delivered_time_.load();
  while (time > seen) {
    if (delivered_time_.compare_exchange_weak(seen, time)) return true;
  }
  return false;
}

void ReplaySpeed::Delivered(double time) {
  if (!RaiseDeliveredTime(time) || !anchored_ || time < base_time_) return;
  base_time_ = time;
  base_clock_ = options_.clock->Now();
}

// ---- the main thread ----

void ReplaySpeed::Deliver(Batch& batch) {
  const bool paced = options_.speed > 0;
  std::uint64_t delivered = 0;
  // The request of the latest push, held across the pushes that follow for it; the package letting it go
  // meanwhile (only this hold left) counts as gone, as when its pointer no longer locks.
  std::shared_ptr<ReplayDataRequest> request;
  std::uint32_t held = 0;
  for (const Delivery& delivery : batch.deliveries) {
    if (paced) {
      std::lock_guard lock(mutex_);
      Delivered(delivery.time);
    } else {
      RaiseDeliveredTime(delivery.time);  // the only clock there is: no lock per push
    }
    if (!delivery.push) continue;
    const Target& target = batch.targets[delivery.target];
    if (!request || held != delivery.target || request.use_count() == 1) {
      request = target.request.lock();
      held = delivery.target;
    }
    if (!request || request.use_count() == 1 || request->generation_.load() != target.generation) continue;
    ++delivered;
    CallOutside("a replayed push", [&] { request->observer_->SaveQuoteData(delivery.data); });
  }
  {
    std::lock_guard lock(mutex_);
    in_flight_ -= batch.deliveries.size();
    counts_.delivered += delivered;
    if (!read_through_) {
      for (Delivery& delivery : batch.deliveries) {
        if (delivery.data) spent_.push_back(std::move(delivery.data));
      }
    }
  }
  wake_.notify_all();
}

// ---- bindings ----

std::vector<std::shared_ptr<ReplayDataRequest>> ReplaySpeed::LiveRequests() {
  std::erase_if(requests_, [](const std::weak_ptr<ReplayDataRequest>& weak) { return weak.expired(); });
  std::vector<std::shared_ptr<ReplayDataRequest>> live;
  for (const auto& weak : requests_) {
    if (auto request = weak.lock()) live.push_back(std::move(request));
  }
  return live;
}

void ReplaySpeed::Bind(std::uint32_t number, const std::shared_ptr<ReplayDataRequest>& request) {
  ++bindings_changed_;
  request->bound_ = number;
  recorded_[number].bound = request;
}

void ReplaySpeed::Unbind(ReplayDataRequest& request) {
  ++bindings_changed_;
  if (request.bound_ == 0) return;
  if (auto it = recorded_.find(request.bound_); it != recorded_.end()) it->second.bound.reset();
  request.bound_ = 0;
}

std::optional<std::uint32_t> ReplaySpeed::TargetOf(std::uint32_t number) {
  if (number == targeted_number_ && bindings_changed_ == targeted_at_change_) return targeted_;
  targeted_.reset();
  if (auto request = BoundTo(number)) {
    targeted_ = static_cast<std::uint32_t>(batch_.targets.size());
    batch_.targets.push_back({request, request->generation_.load()});
  }
  targeted_number_ = number;
  targeted_at_change_ = bindings_changed_;  // after BoundTo, which may bind
  return targeted_;
}

std::shared_ptr<ReplayDataRequest> ReplaySpeed::BoundTo(std::uint32_t number) {
  if (auto it = recorded_.find(number); it != recorded_.end()) {
    auto request = it->second.bound.lock();
    if (request && request->bound_ == number) return request;
  }
  Rebind(number);
  auto request = recorded_[number].bound.lock();
  return request && request->bound_ == number ? request : nullptr;
}

bool ReplaySpeed::Taken(std::uint32_t number) {
  auto it = recorded_.find(number);
  if (it == recorded_.end()) return false;
  auto holder = it->second.bound.lock();
  return holder && holder->bound_ == number;
}

void ReplaySpeed::Rebind(std::uint32_t number) {
  Recorded& recorded = recorded_[number];
  auto request = recorded.bound.lock();
  if (request && request->bound_ != number) request.reset();
  if (request && !SameSubscription(request->subscription_, recorded.subscription)) {
    Unbind(*request);
    request.reset();
  }
  if (request) return;
  recorded.bound.reset();
  if (recorded.subscription.empty()) return;
  for (const auto& candidate : LiveRequests()) {
    if (candidate->bound_ == 0 && SameSubscription(candidate->subscription_, recorded.subscription)) {
      Bind(number, candidate);
      return;
    }
  }
}

void ReplaySpeed::BindBySubscription(const std::shared_ptr<ReplayDataRequest>& request) {
  if (request->subscription_.empty()) return;
  for (auto& [number, recorded] : recorded_) {
    if (!Taken(number) && SameSubscription(recorded.subscription, request->subscription_)) {
      Bind(number, request);
      return;
    }
  }
}

void ReplaySpeed::Claim(std::uint32_t number, const std::shared_ptr<ReplayDataRequest>& request) {
  if (request->bound_ != number) {
    Unbind(*request);
    Bind(number, request);
  }
  Recorded& recorded = recorded_[number];
  recorded.claimed = true;
  if (recorded.held.empty()) return;
  jobs_.push_back([this, weak = std::weak_ptr<ReplayDataRequest>(request), held = std::move(recorded.held)] {
    auto target = weak.lock();
    if (!target) return;
    for (const Record& reply : held) {
      {
        std::lock_guard lock(mutex_);
        ++counts_.delivered;
      }
      CallObserver(*target->observer_, reply);
    }
  });
  recorded.held.clear();
  wake_.notify_all();
}

void ReplaySpeed::ClaimPending(std::uint32_t number) {
  const Command& command = *recorded_[number].command;
  const bool taken = Taken(number);
  for (auto it = pending_.begin(); it != pending_.end(); ++it) {
    auto request = it->request.lock();
    if (!request || it->command != command) continue;
    const bool fits = taken ? request->bound_ == number : request->bound_ == 0 && request->subscription_.empty();
    if (!fits) continue;
    pending_.erase(it);
    Claim(number, request);
    return;
  }
}

void ReplaySpeed::Act() {
  if (acted_) return;
  acted_ = true;
  due_ = host::Clock::time_point::min();  // not caught up until the thread has lined the pace up
  wake_.notify_all();
}

void ReplaySpeed::OnSubscribe(const std::shared_ptr<ReplayDataRequest>& request) {
  Unbind(*request);
  Act();
  BindBySubscription(request);
}

void ReplaySpeed::OnUnsubscribe(ReplayDataRequest& request) { Unbind(request); }

void ReplaySpeed::SubmitHistory(Pending pending) {
  std::lock_guard lock(mutex_);
  auto request = pending.request.lock();
  if (!request) return;
  Act();
  const auto takes = [&](const Recorded& recorded) { return recorded.command == pending.command && !recorded.claimed; };
  if (request->bound_ != 0) {
    if (takes(recorded_[request->bound_])) {
      Claim(request->bound_, request);
      return;
    }
  } else if (request->subscription_.empty()) {
    for (auto& [number, recorded] : recorded_) {
      if (Taken(number) || !recorded.subscription.empty() || !takes(recorded)) continue;
      Claim(number, request);
      return;
    }
  }
  if (read_through_) {
    jobs_.push_back([this, pending = std::move(pending)] { Answer(pending); });
    wake_.notify_all();
    return;
  }
  pending_.push_back(std::move(pending));
}

int ReplaySpeed::NextPid() {
  std::lock_guard lock(mutex_);
  return ++last_pid_;
}

// ---- the engine's own answers ----

void ReplaySpeed::UpdateMarket(const Record& record) {
  if (record.kind != RecordKind::kQuotes || !record.data) return;
  // Read in place, without copying a pointer or a code per push: what the reader decodes is always tables.
  host::TDataTable* packets = host::AsDataTable(record.data.get());
  if (packets == nullptr) return;
  for (int packet = 0; packet < packets->GetRowCount(); ++packet) {
    host::TDataTable* body = NestedTable(*packets, packet, 1);
    if (body == nullptr) continue;
    for (int row = 0; row < body->GetRowCount(); ++row) {
      const auto* code = std::get_if<std::string>(body->CellAt(row, 0));
      host::TDataTable* values = NestedTable(*body, row, 1);
      if (code == nullptr || code->empty() || values == nullptr || values->GetRowCount() == 0) continue;
      market_code_ = *code;
      UpperAsciiInPlace(market_code_);
      auto it = market_.find(market_code_);
      if (it == market_.end()) {
        if (market_.size() >= kMaxMarketCodes) continue;
        it = market_.emplace(market_code_, Quoted{}).first;
      }
      Quoted& quoted = it->second;
      if (quoted.latest && !SameColumns(*quoted.latest, *values)) {
        for (int column = 0; column < quoted.latest->GetFieldCount(); ++column) {
          std::string name = host::FieldName(*quoted.latest, column);
          if (!quoted.earlier.contains(name) && quoted.earlier.size() >= kMaxMarketFields) continue;
          quoted.earlier[std::move(name)] = {host::FieldTypeName(*quoted.latest, column),
                                             *quoted.latest->CellAt(0, column)};
        }
      }
      quoted.latest =
          std::static_pointer_cast<host::TDataTable>(std::get<std::shared_ptr<host::IDataSet>>(*body->CellAt(row, 1)));
    }
  }
}

std::shared_ptr<host::IDataSet> ReplaySpeed::ExportReply(const Params& params, int pid, int& error) const {
  error = 0;
  auto body = host::MakeQuoteBody("Code", "Values");
  const auto codes = params.find("KoraCodeList");
  for (const std::string& code : host::SplitList(codes == params.end() ? std::string() : codes->second)) {
    auto quoted = market_.find(UpperAscii(code));
    if (quoted == market_.end()) {
      error = 1;
      continue;
    }
    auto values = std::make_shared<host::TDataTable>();
    values->AddRow();
    const auto ids = params.find(code);
    for (const std::string& id : host::SplitList(ids == params.end() ? std::string() : ids->second)) {
      host::TDataTable& latest = *quoted->second.latest;
      const int column = ColumnOf(latest, id);
      if (column >= 0) {
        values->Set(0, values->AddField(id, host::FieldTypeName(latest, column)), *latest.CellAt(0, column));
      } else if (auto field = quoted->second.earlier.find(id); field != quoted->second.earlier.end()) {
        values->Set(0, values->AddField(id, field->second.first), field->second.second);
      }
    }
    host::AddQuoteBodyRow(*body, code, values);
  }
  return host::MakeReplyPacket({{"CmdID", kIndicatorExportCommand}, {"PID", pid}, {"ReturnID", pid}}, body);
}

void ReplaySpeed::CallObserver(host::IObserver& observer, const Record& reply) {
  CallOutside("a replayed reply", [&] {
    if (reply.kind == RecordKind::kResponse) {
      observer.NotifyReqResponse(reply.numbers[0], reply.numbers[1], reply.numbers[2]);
    } else if (reply.kind == RecordKind::kHistoryData) {
      observer.SetData(reply.data);
    } else {
      observer.NotifyHisData(reply.numbers[0], reply.numbers[1]);
    }
  });
}

void ReplaySpeed::Answer(const Pending& pending) {
  auto request = pending.request.lock();
  if (!request) return;
  int error = 1;
  std::shared_ptr<host::IDataSet> reply;
  if (pending.command.id == kIndicatorExportCommand) reply = ExportReply(pending.command.params, pending.pid, error);
  {
    std::lock_guard lock(mutex_);
    ++counts_.delivered;
  }
  request->observer_->NotifyReqResponse(error, pending.pid, pending.command.id);
  if (reply) request->observer_->SetData(reply);
}

// ---- the package's calls ----

std::shared_ptr<host::ISpeedDataRequest> ReplaySpeed::CreateDataRequest(
    const std::shared_ptr<host::IObserver>& observer) {
  if (!observer) return nullptr;
  auto request = std::make_shared<ReplayDataRequest>(weak_from_this(), observer);
  std::lock_guard lock(mutex_);
  requests_.push_back(request);
  return request;
}

std::shared_ptr<host::ISpeedDataRequestGroup> ReplaySpeed::CreateDataRequestGroup() {
  return std::make_shared<ReplayRequestGroup>(weak_from_this());
}

void ReplaySpeed::SetCallBack(const std::shared_ptr<host::ICallBack>& callback) {
  std::lock_guard lock(mutex_);
  callback_ = callback;
  if (!callback) return;
  // As a live engine does when the call-back arrives: it hears the connection state, from the engine's thread.
  jobs_.push_back([this, callback] {
    std::optional<int> code, status;
    {
      std::lock_guard lock(mutex_);
      code = connect_code_;
      status = led_status_;
    }
    if (code) callback->NotifyConnect(*code);
    if (status) callback->NotifyLEDChange(*status);
  });
  wake_.notify_all();
}

int ReplaySpeed::QueryMarketInfo(int kind, const std::string& argument, host::TMarketInfoBuffer& buffer) {
  return options_.queryMarketInfo ? options_.queryMarketInfo(kind, argument, buffer) : -1;
}

void ReplaySpeed::FreeMarketInfo(int kind, host::TMarketInfoBuffer& buffer) {
  if (options_.freeMarketInfo) options_.freeMarketInfo(kind, buffer);
}

host::DateTime ReplaySpeed::ServerTime() const {
  std::lock_guard lock(mutex_);
  const double delivered = delivered_time_.load();
  if (!anchored_ || options_.speed <= 0) return host::DateTime(delivered);
  const double elapsed = std::chrono::duration<double>(options_.clock->Now() - base_clock_).count();
  const double paced = base_time_ + elapsed * options_.speed / kSecondsPerDay;
  return host::DateTime(std::max(delivered, std::min(paced, next_time_)));
}

void ReplaySpeed::Wake() { wake_.notify_all(); }

bool ReplaySpeed::CaughtUp() const {
  std::lock_guard lock(mutex_);
  if (in_flight_ != 0 || !batch_.deliveries.empty() || !jobs_.empty() || running_job_) return false;
  return read_through_ || (waiting_ && options_.clock->Now() < due_);
}

bool ReplaySpeed::Finished() const {
  std::lock_guard lock(mutex_);
  return read_through_ && in_flight_ == 0 && batch_.deliveries.empty() && jobs_.empty() && !running_job_;
}

std::string ReplaySpeed::Outcome() const {
  std::lock_guard lock(mutex_);
  return outcome_;
}

ReplaySpeed::Counts ReplaySpeed::GetCounts() const {
  std::lock_guard lock(mutex_);
  return counts_;
}

int ReplayDataRequest::Subscribe(const host::TKrSpeedSymbolDataList& symbols) {
  auto engine = engine_.lock();
  if (!engine) return -1;
  std::lock_guard lock(engine->mutex_);
  // The same subscription again (the package restoring it after a reconnection) keeps the binding and the
  // pushes already on their way.
  if (!subscription_.empty() && SameSubscription(subscription_, symbols)) return 0;
  subscription_ = symbols;
  ++generation_;
  engine->OnSubscribe(shared_from_this());
  return 0;
}

int ReplayDataRequest::UnSubscribe() {
  auto engine = engine_.lock();
  if (!engine) return -1;
  std::lock_guard lock(engine->mutex_);
  subscription_.clear();
  ++generation_;
  engine->OnUnsubscribe(*this);
  return 0;
}

int ReplayDataRequest::GetParamSerialSet(int commandID, std::shared_ptr<host::IParamSerialSet>& paramSet) {
  if (commandID <= 0) return 0;
  paramSet = std::make_shared<host::TParamSerialSet>(commandID);
  return 1;
}

int ReplayDataRequest::Request(const std::shared_ptr<host::IParamSerialSet>& paramSet,
                               const std::shared_ptr<host::ISpeedDataRequestGroup>& group) {
  auto engine = engine_.lock();
  auto params = std::dynamic_pointer_cast<host::TParamSerialSet>(paramSet);
  if (!engine || !params) return 0;
  ReplaySpeed::Pending pending{weak_from_this(), {params->Command(), params->Values()}, engine->NextPid()};
  const int pid = pending.pid;
  if (auto queue = std::dynamic_pointer_cast<ReplayRequestGroup>(group)) {
    queue->Queue(std::move(pending));
  } else {
    engine->SubmitHistory(std::move(pending));
  }
  return pid;
}

}  // namespace kdp::replay
