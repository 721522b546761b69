// ReplaySpeed's bindings of replay data requests to recorded ones.
#include "replay_speed.h"

#include "replay_speed_detail.h"

namespace kdp::replay {

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

}  // namespace kdp::replay
