// SimSpeed: the stand-in host's quote engine. It answers market-rule questions (sessions, exchange and
// time zone of a trade span) from MarketRules and keeps the package's call-back.
//
// Thread-safe: the package may call it from the main thread and its own call-backs' threads.
#pragma once

#include <memory>
#include <mutex>

#include "kdp/host/speed.h"
#include "market_rules.h"

namespace kdp::minihost {

class SimSpeed final : public host::Implements<host::ISpeed> {
 public:
  explicit SimSpeed(std::shared_ptr<const MarketRules> rules);

  std::shared_ptr<host::ISpeedDataRequest> CreateDataRequest(const std::shared_ptr<host::IObserver>& observer) override;
  void SetCallBack(const std::shared_ptr<host::ICallBack>& callback) override;
  int QueryMarketInfo(int kind, const std::string& argument, host::TMarketInfoBuffer& buffer) override;
  void FreeMarketInfo(int kind, host::TMarketInfoBuffer& buffer) override;
  std::shared_ptr<host::ISpeedDataRequestGroup> CreateDataRequestGroup() override;

  std::shared_ptr<host::ICallBack> CallBack() const;
  const MarketRules& Rules() const { return *rules_; }

 private:
  std::shared_ptr<const MarketRules> rules_;
  mutable std::mutex mutex_;  // guards callback_
  std::shared_ptr<host::ICallBack> callback_;
};

}  // namespace kdp::minihost
