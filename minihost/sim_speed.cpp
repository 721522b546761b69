#include "sim_speed.h"

#include <algorithm>
#include <cstring>

namespace kdp::minihost {

SimSpeed::SimSpeed(std::shared_ptr<const MarketRules> rules) : rules_(std::move(rules)) {}

std::shared_ptr<host::ISpeedDataRequest> SimSpeed::CreateDataRequest(const std::shared_ptr<host::IObserver>&) {
  return nullptr;  // this engine serves market rules only so far: no real-time or history data
}

std::shared_ptr<host::ISpeedDataRequestGroup> SimSpeed::CreateDataRequestGroup() { return nullptr; }

void SimSpeed::SetCallBack(const std::shared_ptr<host::ICallBack>& callback) {
  std::lock_guard lock(mutex_);
  callback_ = callback;
}

std::shared_ptr<host::ICallBack> SimSpeed::CallBack() const {
  std::lock_guard lock(mutex_);
  return callback_;
}

int SimSpeed::QueryMarketInfo(int kind, const std::string& argument, host::TMarketInfoBuffer& buffer) {
  const MarketRule* rule = rules_->Find(argument);
  switch (kind) {
    case host::kMarketInfoSessions:
      if (rule == nullptr) return 0;
      buffer.values.assign(rule->sessions.begin(), rule->sessions.end());
      return static_cast<int>(buffer.values.size());
    case host::kMarketInfoExchange: {
      if (rule == nullptr) return -1;
      std::memset(buffer.text, 0, sizeof buffer.text);
      const std::size_t n = std::min(rule->exchange.size(), sizeof buffer.text - 1);
      std::memcpy(buffer.text, rule->exchange.data(), n);
      return 0;
    }
    case host::kMarketInfoTimeZone:
      // Unknown spans trade on the host's home market time.
      return rule == nullptr ? 8 : rule->zone;
    default:
      return -1;
  }
}

void SimSpeed::FreeMarketInfo(int /*kind*/, host::TMarketInfoBuffer& buffer) {
  buffer.values.clear();
  buffer.values.shrink_to_fit();
}

}  // namespace kdp::minihost
