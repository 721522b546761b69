#include "replay_speed.h"

#include <algorithm>
#include <exception>

#include <fmt/format.h>

#include "kdp/host/data_table.h"
#include "kdp/host/log.h"
#include "kdp/host/param_serial_set.h"
#include "replay_speed_detail.h"

namespace kdp::replay {

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
