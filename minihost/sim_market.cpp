#include "sim_market.h"

#include <algorithm>
#include <cmath>
#include <set>

#include <nlohmann/json.hpp>

#include "kdp/host/ansi.h"
#include "kdp/host/display_text.h"
#include "text_files.h"

namespace kdp::minihost {
namespace {

// The draw of a trade's extra lots (a geometric count): 12.5 lots a trade on average.
constexpr double kLotDraw = 0.08;

constexpr std::pair<const char*, QuoteRole> kRoleNames[] = {
    {"tradeDate", QuoteRole::kTradeDate},
    {"time", QuoteRole::kTime},
    {"last", QuoteRole::kLast},
    {"prevClose", QuoteRole::kPrevClose},
    {"open", QuoteRole::kOpen},
    {"high", QuoteRole::kHigh},
    {"low", QuoteRole::kLow},
    {"volume", QuoteRole::kVolume},
    {"amount", QuoteRole::kAmount},
    {"change", QuoteRole::kChange},
    {"bid1", QuoteRole::kBid1},
    {"ask1", QuoteRole::kAsk1},
    {"bidVolume1", QuoteRole::kBidVolume1},
    {"askVolume1", QuoteRole::kAskVolume1},
    {"averagePrice", QuoteRole::kAveragePrice},
    {"amplitude", QuoteRole::kAmplitude},
    {"limitUp", QuoteRole::kLimitUp},
    {"limitDown", QuoteRole::kLimitDown},
    {"changeRatio", QuoteRole::kChangeRatio},
    {"turnoverRate", QuoteRole::kTurnoverRate},
    {"suspensionFlag", QuoteRole::kSuspensionFlag},
    {"openTime", QuoteRole::kOpenTime},
    {"lastTradeTime", QuoteRole::kLastTradeTime},
    {"quoteTime", QuoteRole::kQuoteTime},
    {"name", QuoteRole::kName},
    {"tradingStatus", QuoteRole::kTradingStatus},
    {"floatShares", QuoteRole::kFloatShares},
};

std::uint64_t Fnv1a(const std::string& s) {
  std::uint64_t h = 1469598103934665603ull;
  for (unsigned char c : s) h = (h ^ c) * 1099511628211ull;
  return h;
}

bool IsWeekday(host::DateTime day) {
  const int dow = day.DayOfWeek();  // 1 Sunday .. 7 Saturday
  return dow >= 2 && dow <= 6;
}

host::DateTime NextWeekday(host::DateTime day) {
  do {
    day = day.AddDays(1);
  } while (!IsWeekday(day));
  return day;
}

host::DateTime PreviousWeekday(host::DateTime day) {
  do {
    day = day.AddDays(-1);
  } while (!IsWeekday(day));
  return day;
}

bool CrossesMidnight(const std::vector<int>& sessions) {
  for (std::size_t i = 1; i < sessions.size(); ++i) {
    if (sessions[i] <= sessions.front()) return true;
  }
  return false;
}

// The end of the part of a cross-midnight list that runs after midnight (the first value not after the
// first start), or -1.
int AfterMidnightEnd(const std::vector<int>& sessions) {
  for (std::size_t i = 1; i < sessions.size(); i += 2) {
    if (sessions[i] <= sessions.front()) return sessions[i];
  }
  return -1;
}

// Daily price limit as a fraction of the previous close, by the host's stock type; 0 for none.
double DailyLimit(const std::string& stockType) {
  if (stockType == "A" || stockType == "ETF" || stockType == "LOF" || stockType == "FUT") return 0.10;
  if (stockType == "KCB" || stockType == "CYB" || stockType == "BOND" || stockType == "CB") return 0.20;
  return 0.0;
}

int LotSize(const std::string& stockType) {
  if (stockType == "FUT") return 1;
  if (stockType == "US" || stockType == "BOND" || stockType == "CB") return 10;
  if (stockType == "IDX" || stockType == "GIDX") return 10000;
  return 100;
}

// Whether a market of `rule` trades at its own wall-clock time `local`: inside a session on a weekday; a
// night session runs Monday to Friday evenings and on into the next morning.
bool RuleTrades(const MarketRule& rule, host::DateTime local) {
  const int hhmmss = local.Hhmmss();
  if (!InSessions(rule.sessions, hhmmss)) return false;
  const int dow = local.DatePart().DayOfWeek();
  if (CrossesMidnight(rule.sessions)) {
    if (hhmmss >= rule.sessions.front() * 100) return dow >= 2 && dow <= 6;
    if (hhmmss <= AfterMidnightEnd(rule.sessions) * 100) return dow >= 3 && dow <= 7;
  }
  return dow >= 2 && dow <= 6;
}

}  // namespace

bool QuoteFieldMap::LoadText(const std::string& json, std::string& error) {
  std::map<std::uint32_t, QuoteRole> by_id;
  std::map<QuoteRole, std::uint32_t> by_role;
  try {
    const nlohmann::json j = nlohmann::json::parse(json);
    if (!j.is_object() || !j.contains("fields") || !j.at("fields").is_object()) {
      error = "expected an object with \"fields\" by role";
      return false;
    }
    for (const auto& item : j.at("fields").items()) {
      const std::string name = item.key();
      const auto& id = item.value();
      auto known = std::find_if(std::begin(kRoleNames), std::end(kRoleNames),
                                [&name](const auto& r) { return name == r.first; });
      if (known == std::end(kRoleNames)) {
        error = "unknown quote field role " + host::EscapeControlChars(name);
        return false;
      }
      const std::uint64_t field_id = id.is_number_unsigned() ? id.get<std::uint64_t>() : 0;
      if (field_id == 0 || field_id > 9999 ||
          !by_id.emplace(static_cast<std::uint32_t>(field_id), known->second).second) {
        error = "bad or repeated field ID for " + name + " (a whole number from 1 to 9999, once each)";
        return false;
      }
      by_role.emplace(known->second, static_cast<std::uint32_t>(field_id));
    }
  } catch (const nlohmann::json::exception& e) {
    error = e.what();
    return false;
  }
  by_id_ = std::move(by_id);
  by_role_ = std::move(by_role);
  return true;
}

bool QuoteFieldMap::Load(const std::string& path, std::string& error) {
  return LoadTextFile(path, "quote fields", error,
                      [this](const std::string& text, std::string& e) { return LoadText(text, e); });
}

std::optional<QuoteRole> QuoteFieldMap::RoleOf(std::uint32_t id) const {
  auto it = by_id_.find(id);
  return it == by_id_.end() ? std::nullopt : std::optional(it->second);
}

std::optional<std::uint32_t> QuoteFieldMap::IdOf(QuoteRole role) const {
  auto it = by_role_.find(role);
  return it == by_role_.end() ? std::nullopt : std::optional(it->second);
}

bool InSessions(const std::vector<int>& sessions, int hhmmss) {
  for (std::size_t i = 0; i + 1 < sessions.size(); i += 2) {
    const int start = sessions[i] * 100, end = sessions[i + 1] * 100;
    if (start == end) return true;  // trades around the clock
    if (start < end ? (hhmmss >= start && hhmmss <= end) : (hhmmss >= start || hhmmss <= end)) return true;
  }
  return false;
}

int TradeDateOf(const MarketRule& rule, host::DateTime marketTime) {
  const host::DateTime day = marketTime.DatePart();
  const int hhmm = marketTime.Hhmm();
  if (CrossesMidnight(rule.sessions)) {
    if (hhmm >= rule.sessions.front()) return NextWeekday(day).Yyyymmdd();
    if (hhmm <= AfterMidnightEnd(rule.sessions) && !IsWeekday(day)) return NextWeekday(day).Yyyymmdd();
  }
  return IsWeekday(day) ? day.Yyyymmdd() : PreviousWeekday(day).Yyyymmdd();
}

SimMarket::SimMarket(const MiniSecurityMaster& securities, const MarketRules& rules, QuoteFieldMap fields,
                     std::uint64_t seed, double updatesPerSecond)
    : fields_(std::move(fields)), tick_days_(1.0 / std::clamp(updatesPerSecond, kMinRate, kMaxRate) / 86400.0) {
  for (const auto& security : securities.All()) {
    const SecurityRecord& r = security->Record();
    Quote q;
    q.scale = 1;
    q.code = r.koraCode;
    q.nameAnsi = host::Utf8ToAnsi(r.name);
    q.rule = rules.Find(r.tradeSpan);
    q.step = r.priceStep > 0 ? r.priceStep : 0.01;
    while (q.scale < 1e6 && std::fabs(q.step * q.scale - std::round(q.step * q.scale)) > 1e-9) q.scale *= 10;
    q.prevCloseTicks = std::max<std::int64_t>(1, std::llround(r.lastClose / q.step));
    q.lastTicks = q.prevCloseTicks;
    q.lotSize = LotSize(r.stockType);
    q.suspended = r.listStatus != host::kListStatusListed;
    q.rng.seed(seed ^ Fnv1a(r.koraCode));
    const double limit = DailyLimit(r.stockType);
    q.limitFraction = limit > 0 ? limit : 0.5;  // markets without limits still stay in a sane band
    SetLimits(q);
    if (r.stockType != "IDX" && r.stockType != "GIDX" && r.stockType != "FUT") {
      q.floatShares = 1e8 * static_cast<double>(1 + q.rng() % 50);
    }
    index_.emplace(UpperAscii(r.koraCode), quotes_.size());
    quotes_.push_back(std::move(q));
  }
}

host::DateTime SimMarket::MarketTime(const Quote& q, host::DateTime serverTime) {
  return q.rule ? q.rule->LocalTime(serverTime) : serverTime;
}

bool SimMarket::IsKnownCode(const std::string& code) const { return index_.contains(UpperAscii(code)); }

bool SimMarket::IsTrading(const std::string& code, host::DateTime now) const {
  auto it = index_.find(UpperAscii(code));
  if (it == index_.end()) return false;
  const Quote& q = quotes_[it->second];
  return !q.suspended && q.rule != nullptr && RuleTrades(*q.rule, MarketTime(q, now));
}

void SimMarket::RollTradeDate(Quote& q, int tradeDate) {
  if (q.volume > 0) q.prevCloseTicks = q.lastTicks;
  q.lastTicks = q.prevCloseTicks;
  q.openTicks = q.highTicks = q.lowTicks = 0;
  q.volume = 0;
  q.amount = 0;
  q.openTime = q.lastTradeTime = 0;
  q.minutes.clear();
  SetLimits(q);
  q.tradeDate = tradeDate;
}

void SimMarket::SetLimits(Quote& q) {
  const auto prev = static_cast<double>(q.prevCloseTicks);
  q.limitUpTicks = static_cast<std::int64_t>(std::floor(prev * (1 + q.limitFraction) + 1e-9));
  q.limitDownTicks =
      std::max<std::int64_t>(1, static_cast<std::int64_t>(std::ceil(prev * (1 - q.limitFraction) - 1e-9)));
}

void SimMarket::Walk(Quote& q) {
  static constexpr int kMoves[] = {-3, -2, -1, 0, 1, 2, 3};
  static constexpr double kWeights[] = {1, 3, 8, 10, 8, 3, 1};
  // Built once per thread: building one allocates, and a walk takes thousands of steps a second.
  static thread_local std::discrete_distribution<int> move(std::begin(kWeights), std::end(kWeights));
  int k = kMoves[move(q.rng)];
  // Pull back towards the previous close once the price has run far, so the walk stays plausible.
  const double run = static_cast<double>(q.lastTicks - q.prevCloseTicks) / static_cast<double>(q.prevCloseTicks);
  if ((run > 0.03 && k > 0) || (run < -0.03 && k < 0)) {
    if (std::uniform_real_distribution<double>(0, 1)(q.rng) < std::min(0.9, std::fabs(run) * 10)) k = -k;
  }
  q.lastTicks = std::clamp<std::int64_t>(q.lastTicks + k, q.limitDownTicks, q.limitUpTicks);
}

void SimMarket::Record(Quote& q, int hhmmss, std::int64_t volume) {
  if (q.volume == 0) {
    q.openTicks = q.highTicks = q.lowTicks = q.lastTicks;
    q.openTime = hhmmss;
  }
  q.highTicks = std::max(q.highTicks, q.lastTicks);
  q.lowTicks = std::min(q.lowTicks, q.lastTicks);
  q.volume += volume;
  q.amount += static_cast<double>(volume) * Price(q, q.lastTicks);
  q.time = q.lastTradeTime = hhmmss;
  const int minute = hhmmss / 100;
  if (q.minutes.empty() || q.minutes.back().hhmm != minute) q.minutes.push_back({minute, 0, 0, 0});
  q.minutes.back() = {minute, Price(q, q.lastTicks), q.volume, q.amount};
}

void SimMarket::Trade(Quote& q, host::DateTime marketTime) {
  Walk(q);
  const std::int64_t lots = 1 + static_cast<std::int64_t>(std::geometric_distribution<int>(kLotDraw)(q.rng));
  Record(q, marketTime.Hhmmss(), lots * q.lotSize);
}

void SimMarket::TradeMinute(Quote& q, host::DateTime marketTime, double trades) {
  if (trades < 1 && !std::bernoulli_distribution(trades)(q.rng)) return;
  const int moves = static_cast<int>(std::clamp(std::round(trades), 1.0, 3.0));
  for (int i = 0; i < moves; ++i) Walk(q);
  // A trade's lots are 1 plus a geometric count: mean 1 / p, variance (1 - p) / p^2. A minute of
  // `trades` of them adds up to about a normal spread around `trades` times the mean.
  const double n = std::max(trades, 1.0);
  const double mean = n / kLotDraw, spread = std::sqrt(n * (1 - kLotDraw)) / kLotDraw;
  const double lots = std::max(n, std::round(std::normal_distribution<double>(mean, spread)(q.rng)));
  Record(q, marketTime.Hhmmss(), static_cast<std::int64_t>(lots) * q.lotSize);
}

std::vector<std::pair<int, double>> SimMarket::MinuteSeries(const std::string& code, std::uint32_t id, int startHhmm,
                                                            int endHhmm) const {
  std::vector<std::pair<int, double>> series;
  auto it = index_.find(UpperAscii(code));
  const auto role = fields_.RoleOf(id);
  if (it == index_.end() || !role) return series;
  const Quote& q = quotes_[it->second];
  const double prev = Price(q, q.prevCloseTicks);
  for (const auto& p : q.minutes) {
    if (p.hhmm < startHhmm || p.hhmm > endHhmm) continue;
    switch (*role) {
      case QuoteRole::kLast:
        series.emplace_back(p.hhmm, p.last);
        break;
      case QuoteRole::kVolume:
        series.emplace_back(p.hhmm, static_cast<double>(p.volume));
        break;
      case QuoteRole::kAmount:
        series.emplace_back(p.hhmm, p.amount);
        break;
      case QuoteRole::kChange:
        series.emplace_back(p.hhmm, p.last - prev);
        break;
      case QuoteRole::kChangeRatio:
        series.emplace_back(p.hhmm, (p.last - prev) / prev);
        break;
      default:
        return {};
    }
  }
  return series;
}

void SimMarket::FillLatestTradeDay(host::DateTime until) {
  constexpr double kMinute = 1.0 / 1440;
  constexpr int kLookBackMinutes = 8 * 1440;  // a weekend and a few holidays
  struct Minute {
    host::DateTime local;
    int tradeDate;
  };
  // Per market rule, its trading minutes (in its own time) of the latest trade date that traded before
  // `until`, oldest first.
  std::map<const MarketRule*, std::vector<Minute>> minutesOf;
  for (const Quote& q : quotes_) {
    if (q.rule != nullptr) minutesOf.try_emplace(q.rule);
  }
  const double first = std::floor(until.value * 1440 + 1e-6) / 1440;  // the minute `until` is in
  for (auto& [rule, minutes] : minutesOf) {
    for (int k = 1; k <= kLookBackMinutes; ++k) {
      const host::DateTime local = rule->LocalTime(host::DateTime(first - k * kMinute));
      if (!RuleTrades(*rule, local)) continue;
      const int date = TradeDateOf(*rule, local);
      if (!minutes.empty() && date != minutes.front().tradeDate) break;
      minutes.push_back({local, date});
    }
    std::reverse(minutes.begin(), minutes.end());
  }
  const double tradesPerMinute = 60.0 / (tick_days_ * 86400);
  for (Quote& q : quotes_) {
    if (q.rule == nullptr || q.suspended) continue;
    for (const Minute& m : minutesOf[q.rule]) {
      if (m.tradeDate != q.tradeDate) RollTradeDate(q, m.tradeDate);
      TradeMinute(q, m.local, tradesPerMinute);
    }
  }
}

std::vector<std::string> SimMarket::AdvanceTo(host::DateTime now) {
  std::vector<std::string> changed;
  if (!started_) {
    started_ = true;
    now_ = origin_ = now;
    last_tick_ = 0;
    for (Quote& q : quotes_) {
      // A market with its day behind it keeps that day's date and last trade's time.
      if (q.rule != nullptr && q.tradeDate == 0) q.tradeDate = TradeDateOf(*q.rule, MarketTime(q, now));
      if (q.volume == 0) q.time = MarketTime(q, now).Hhmmss();
    }
    return changed;
  }
  if (now.value <= now_.value) return changed;
  now_ = now;
  // Counting trades on the grid rather than adding steps to a date keeps every trade, however small the
  // step is against the date's own precision. A millionth of a step absorbs the rounding of a date that
  // lies on the grid.
  const double due = std::floor((now.value - origin_.value) / tick_days_ + 1e-6);
  if (!(due > static_cast<double>(last_tick_))) return changed;
  // After a long pause (a suspended laptop, a test jumping hours) only the last stretch is simulated.
  constexpr std::int64_t kMaxTicks = 3600;
  const auto target = static_cast<std::int64_t>(std::min(due, 9e15));
  std::int64_t tick = std::max(last_tick_, target - kMaxTicks);
  last_tick_ = target;

  std::vector<bool> touched(quotes_.size(), false);
  while (++tick <= target) {
    const host::DateTime at(origin_.value + static_cast<double>(tick) * tick_days_);
    for (std::size_t i = 0; i < quotes_.size(); ++i) {
      Quote& q = quotes_[i];
      if (q.rule == nullptr) continue;
      const host::DateTime local = MarketTime(q, at);
      const bool trades = !q.suspended && RuleTrades(*q.rule, local);
      // A new trade date starts with its first trade: until then the last one stands, as a board shows
      // yesterday's close before the open. A suspended security only moves on to the date.
      if (const int trade_date = TradeDateOf(*q.rule, local); trade_date != q.tradeDate && (trades || q.suspended)) {
        RollTradeDate(q, trade_date);
        touched[i] = true;
      }
      if (trades) {
        Trade(q, local);
        touched[i] = true;
      }
    }
  }
  for (std::size_t i = 0; i < quotes_.size(); ++i) {
    if (touched[i]) changed.push_back(quotes_[i].code);
  }
  return changed;
}

std::optional<QuoteValue> SimMarket::Value(const std::string& code, std::uint32_t id) const {
  auto it = index_.find(UpperAscii(code));
  const auto role = fields_.RoleOf(id);
  if (it == index_.end() || !role) return std::nullopt;
  const Quote& q = quotes_[it->second];
  const bool traded = q.volume > 0;
  const double last = Price(q, q.lastTicks);
  const double prev = Price(q, q.prevCloseTicks);
  switch (*role) {
    case QuoteRole::kTradeDate:
      return static_cast<double>(q.tradeDate);
    case QuoteRole::kTime:
      return static_cast<double>(q.time);
    case QuoteRole::kLast:
      return last;
    case QuoteRole::kPrevClose:
      return prev;
    case QuoteRole::kOpen:
      return traded ? std::optional<QuoteValue>(Price(q, q.openTicks)) : std::nullopt;
    case QuoteRole::kHigh:
      return traded ? std::optional<QuoteValue>(Price(q, q.highTicks)) : std::nullopt;
    case QuoteRole::kLow:
      return traded ? std::optional<QuoteValue>(Price(q, q.lowTicks)) : std::nullopt;
    case QuoteRole::kVolume:
      return q.volume;
    case QuoteRole::kAmount:
      return q.amount;
    case QuoteRole::kChange:
      return last - prev;
    case QuoteRole::kChangeRatio:
      return (last - prev) / prev;
    case QuoteRole::kBid1:
      return Price(q, std::max<std::int64_t>(1, q.lastTicks - 1));
    case QuoteRole::kAsk1:
      return Price(q, q.lastTicks + 1);
    case QuoteRole::kBidVolume1:
      return static_cast<std::int64_t>(q.lotSize * (1 + q.volume % 97));
    case QuoteRole::kAskVolume1:
      return static_cast<std::int64_t>(q.lotSize * (1 + q.volume % 89));
    case QuoteRole::kAveragePrice:
      return traded ? std::optional<QuoteValue>(q.amount / static_cast<double>(q.volume)) : std::nullopt;
    case QuoteRole::kAmplitude:
      return traded ? std::optional<QuoteValue>(Price(q, q.highTicks - q.lowTicks) / prev) : std::nullopt;
    case QuoteRole::kLimitUp:
      return Price(q, q.limitUpTicks);
    case QuoteRole::kLimitDown:
      return Price(q, q.limitDownTicks);
    case QuoteRole::kTurnoverRate:
      return q.floatShares > 0 ? std::optional<QuoteValue>(static_cast<double>(q.volume) / q.floatShares)
                               : std::nullopt;
    case QuoteRole::kSuspensionFlag:
      // Date part (mmdd of the trade date) and the suspension digit; 0 while trading.
      return q.suspended ? static_cast<double>((q.tradeDate % 10000) * 10 + 1) : 0.0;
    case QuoteRole::kOpenTime:
      return traded ? std::optional<QuoteValue>(static_cast<double>(q.openTime)) : std::nullopt;
    case QuoteRole::kLastTradeTime:
      return traded ? std::optional<QuoteValue>(static_cast<double>(q.lastTradeTime)) : std::nullopt;
    case QuoteRole::kQuoteTime:
      return static_cast<double>(q.time);
    case QuoteRole::kName:
      return q.nameAnsi;
    case QuoteRole::kTradingStatus:
      // 0 trading, 1 suspended, 2 outside the sessions.
      return static_cast<std::int64_t>(q.suspended ? 1 : IsTrading(q.code, now_) ? 0 : 2);
    case QuoteRole::kFloatShares:
      return q.floatShares > 0 ? std::optional<QuoteValue>(q.floatShares) : std::nullopt;
  }
  return std::nullopt;
}

}  // namespace kdp::minihost
