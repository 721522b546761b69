#include "board_markets.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include <fmt/format.h>

#include "kdp/host/services.h"
#include "kdp/host/speed.h"
#include "kdp/package.h"
#include "util/strings.h"

namespace kdp::app {
namespace {

// What the lines under the rows say.
constexpr Texts kTrading{"交易中", "交易中", "trading"};
constexpr Texts kNightSession{"夜盘", "夜盤", "night session"};
constexpr Texts kLunchBreakUntil{"午间休市至 {}", "午間休市至 {}", "lunch break until {}"};
constexpr Texts kBreakUntil{"盘中休息至 {}", "盤中休息至 {}", "break until {}"};
constexpr Texts kClosed{"休市", "休市", "closed"};
constexpr Texts kClosedUntil{"休市至 {}", "休市至 {}", "closed until {}"};
constexpr Texts kClosedUntilDay{"休市至 {} {}", "休市至 {} {}", "closed until {} {}"};
constexpr Texts kCityTime{"{}时间", "{}時間", "{} time"};
constexpr Texts kVolumeIn{"成交量单位：{}", "成交量單位：{}", "volume in {}"};
// The stock type variables' volume units, as each edition says them; another unit is shown as it is.
constexpr std::pair<std::string_view, Texts> kVolumeUnits[] = {
    {"手", {"手", "手", "lots"}}, {"股", {"股", "股", "shares"}}, {"张", {"张", "張", "bonds"}}};

}  // namespace

std::string ClockText(long long hhmmss) {
  return fmt::format("{:02}:{:02}:{:02}", hhmmss / 10000, hhmmss / 100 % 100, hhmmss % 100);
}

BoardMarkets::BoardMarkets(Session& s, const std::vector<std::string>& codes)
    : s_(s),
      clock_(QueryPackageInterface<IKrWorldClock>("IKrWorldClock")),
      dates_(QueryPackageInterface<ITradeDateMgr>("ITradeDateMgr")),
      variables_(QueryPackageInterface<IKrStockTypeVariable>("IKrStockTypeVariable")) {
  auto securities = SecurityManager(s);
  for (const std::string& code : codes) {
    const std::string exchange = ExchangeOf(s, code);
    auto same =
        std::find_if(markets_.begin(), markets_.end(), [&](const Market& m) { return m.exchange == exchange; });
    if (same == markets_.end()) {
      Market market;
      market.exchange = exchange;
      market.code = code;
      if (securities) market.city = securities->GetSecurityInfo(code)->GetCity();
      market.unit = VolumeUnit(code);
      same = markets_.insert(markets_.end(), std::move(market));
    }
    marketOf_[code] = static_cast<std::size_t>(same - markets_.begin());
  }
}

void BoardMarkets::Refresh() {
  for (Market& market : markets_) {
    if (clock_) clock_->KoraCodeNow(market.code, market.now);
    market.state = StateNow(market.code, market.now);
  }
}

std::string BoardMarkets::TimeCell(const std::string& code, TKrRTDModel& model) const {
  const auto item = model.GetRTDItem(code);
  auto it = marketOf_.find(code);
  if (!item || it == marketOf_.end() || item->IsNullByID(kLastTradeTimeField)) return "-";
  const auto hhmmss = std::llround(item->GetDoubleDataByID(kLastTradeTimeField));
  const auto date = item->IsNullByID(kTradeDateField) ? 0 : std::llround(item->GetDoubleDataByID(kTradeDateField));
  const int current = markets_[it->second].state.tradeDate;
  if (date != 0 && current != 0 && date < current) {
    return fmt::format("{:04}-{:02}-{:02}", date / 10000, date / 100 % 100, date % 100);
  }
  if (date != 0 && current != 0 && date > current) return "-";
  return ClockText(hhmmss);
}

std::string BoardMarkets::Lines() const {
  std::string out;
  for (const Market& m : markets_) {
    out += fmt::format("{}  {}  {}  {}\n", Pad(m.exchange, 8, false), Pad(StateText(m.state, m.now), 26, false),
                       Pad(m.city.empty() ? std::string("-") : TextFormat(s_, kCityTime, CityName(s_, m.city)), 16,
                           false),
                       m.unit.empty() ? std::string() : TextFormat(s_, kVolumeIn, m.unit));
  }
  return out;
}

std::string BoardMarkets::ExchangeOf(Session& s, const std::string& code) {
  auto security = s.host.Securities().GetSecurity(code);
  auto engine = s.host.Context().GetSpeed();
  if (security && engine) {
    host::TMarketInfoBuffer buffer{};
    if (engine->QueryMarketInfo(host::kMarketInfoExchange, security->GetTradeSpan(), buffer) == 0 &&
        buffer.text[0] != '\0') {
      return std::string(buffer.text, strnlen(buffer.text, sizeof buffer.text));
    }
  }
  return GetSuffixString(code).substr(code.find('.') == std::string::npos ? 0 : 1);
}

std::string BoardMarkets::VolumeUnit(const std::string& code) const {
  if (!variables_) return {};
  const std::string unit = variables_->GetVariableByStockType(code, "VolumeUnit");
  for (const auto& [word, texts] : kVolumeUnits) {
    if (unit == word) return Text(s_, texts);
  }
  return unit;
}

TMarketState BoardMarkets::StateNow(const std::string& code, host::DateTime now) const {
  if (!clock_ || !dates_) return {};
  std::vector<int> days;
  for (const std::string& day : SplitString(dates_->GetTradeDateAll(code), ',')) days.push_back(StrToIntDef(day, 0));
  std::sort(days.begin(), days.end());
  const auto tradingDay = [&days](int date) {
    if (days.empty() || date < days.front() || date > days.back()) {
      const int weekday = host::DateTime::FromYyyymmdd(date).value_or(host::DateTime()).DayOfWeek();
      return weekday != 1 && weekday != 7;
    }
    return std::binary_search(days.begin(), days.end(), date);
  };
  return MarketStateAt(dates_->GetMarketTime(code), now, tradingDay);
}

std::string BoardMarkets::StateText(const TMarketState& state, host::DateTime now) const {
  const host::DateTime::Parts next = state.nextOpen.Decode();
  const std::string until = fmt::format("{:02}:{:02}", next.hour, next.minute);
  switch (state.kind) {
    case TMarketState::Kind::kTrading:
      return Text(s_, kTrading);
    case TMarketState::Kind::kNightSession:
      return Text(s_, kNightSession);
    case TMarketState::Kind::kLunchBreak:
      return TextFormat(s_, kLunchBreakUntil, until);
    case TMarketState::Kind::kBreak:
      return TextFormat(s_, kBreakUntil, until);
    case TMarketState::Kind::kClosed:
      break;
  }
  if (state.nextOpen.value == 0) return Text(s_, kClosed);
  // A session on a later day is named by its weekday.
  if (state.nextOpen.Yyyymmdd() == now.Yyyymmdd()) return TextFormat(s_, kClosedUntil, until);
  return TextFormat(s_, kClosedUntilDay, WeekdayName(s_, state.nextOpen.DayOfWeek()), until);
}

}  // namespace kdp::app
