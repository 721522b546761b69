// The markets of a board, each once, and what the lines under its rows say of them: what each is doing
// now (trading, lunch break, closed until its next session, night session) from its sessions and its
// exchange's calendar, whose wall clock its rows' times are, and its volume unit.
// Main thread.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "command.h"
#include "kdp/host/date_time.h"
#include "kdp/refdata/market_time.h"
#include "kdp/refdata/security_manager.h"
#include "kdp/rtd/rtd_model.h"
#include "kdp/tradedate/trade_date.h"

namespace kdp::app {

inline constexpr std::uint32_t kTradeDateField = 1;
inline constexpr std::uint32_t kLastTradeTimeField = 1027;

// A time of day, hhmmss, as "10:30:00".
std::string ClockText(long long hhmmss);

class BoardMarkets {
 public:
  BoardMarkets(Session& s, const std::vector<std::string>& codes);

  // Works out every market's state at the server's time now; the lines and cells below read it.
  void Refresh();
  // The last trade's time of a row (hhmmss, from the engine) against its market's trade date.
  std::string TimeCell(const std::string& code, TKrRTDModel& model) const;
  // One line per market: its state, whose clock its times are, its volume unit.
  std::string Lines() const;

 private:
  struct Market {
    std::string exchange;
    std::string code;  // the board's first security of the market: its sessions, zone and calendar
    std::string city;  // whose wall clock the market keeps
    std::string unit;
    host::DateTime now;  // the server's time in the market's zone, at the last refresh
    TMarketState state{};
  };

  // The exchange the host's market rules name for the security's trade span; its suffix otherwise.
  static std::string ExchangeOf(Session& s, const std::string& code);
  // The security type's volume unit (手 lots, 股 shares, 张 bonds) in the edition's words.
  std::string VolumeUnit(const std::string& code) const;
  // The market's state at the server's time now, in its own zone, from its sessions and its exchange's
  // calendar (weekdays while the calendar is not there or does not reach the day).
  TMarketState StateNow(const std::string& code, host::DateTime now) const;
  std::string StateText(const TMarketState& state, host::DateTime now) const;

  Session& s_;
  std::shared_ptr<IKrWorldClock> clock_;
  std::shared_ptr<ITradeDateMgr> dates_;
  std::shared_ptr<IKrStockTypeVariable> variables_;
  std::vector<Market> markets_;
  std::map<std::string, std::size_t> marketOf_;  // code -> index into markets_
};

}  // namespace kdp::app
