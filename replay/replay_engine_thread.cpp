// ReplaySpeed's engine thread (reading, pacing, playing records) and the main thread's delivery of pushes.
#include "replay_speed.h"

#include "replay_speed_detail.h"

namespace kdp::replay {

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
  const bool numbered = record.request > 0 && record.request <= kMaxRecordedRequests;
  switch (record.kind) {
    case RecordKind::kQuotes:
      PlayQuotes(record, numbered, lock);
      return;
    case RecordKind::kSubscribe:
    case RecordKind::kUnsubscribe:
    case RecordKind::kRequest:
      PlayRequestChange(record, numbered);
      return;
    case RecordKind::kResponse:
    case RecordKind::kHistoryData:
    case RecordKind::kHisData:
      PlayReply(record, numbered, lock);
      return;
    case RecordKind::kConnect:
    case RecordKind::kLedChange:
      PlayConnectionNotice(record, lock);
      return;
  }
}

void ReplaySpeed::PlayQuotes(Record& record, bool numbered, std::unique_lock<std::mutex>& lock) {
  Delivery delivery;
  delivery.time = record.serverTime.value;
  if (const auto target = numbered ? TargetOf(record.request) : std::nullopt) {
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
}

void ReplaySpeed::PlayRequestChange(Record& record, bool numbered) {
  const double time = record.serverTime.value;
  if (numbered) {
    const std::uint32_t number = record.request;
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
}

void ReplaySpeed::PlayReply(Record& record, bool numbered, std::unique_lock<std::mutex>& lock) {
  const std::uint32_t number = record.request;
  auto request = numbered ? BoundTo(number) : nullptr;
  batch_.deliveries.emplace_back().time = record.serverTime.value;
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
}

void ReplaySpeed::PlayConnectionNotice(const Record& record, std::unique_lock<std::mutex>& lock) {
  (record.kind == RecordKind::kConnect ? connect_code_ : led_status_) = record.numbers[0];
  auto callback = callback_;
  if (!DrainPushes(lock)) return;
  Delivered(record.serverTime.value);
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

}  // namespace kdp::replay
