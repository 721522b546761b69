// kdp-host tradedate CODE [--back N] [--period N]: the security's current trade date, the trading day N
// days before it, the last N trading days, and its time zone and sessions, as the trade date manager
// answers them. Under --format json|csv a row per trading day of the period and the day --back names, newest
// first: the code, the date, how many trading days back it is (0 the trade date), the zone's offset in
// minutes and the sessions.
#include <cmath>
#include <map>

#include <fmt/format.h>
#include <fmt/ostream.h>

#include "command.h"
#include "kdp/package.h"
#include "kdp/tradedate/trade_date.h"

namespace kdp::app {
namespace {

constexpr auto kCalendarWait = std::chrono::seconds(15);

constexpr Texts kSecurity{"证券", "證券", "security"};
constexpr Texts kTradeDate{"交易日", "交易日", "trade date"};
constexpr Texts kDaysBack[] = {{"{} 个交易日前", "{} 個交易日前", "{} trading day back"},
                               {"{} 个交易日前", "{} 個交易日前", "{} trading days back"}};
constexpr Texts kLastDays[] = {{"最近 {} 个交易日", "最近 {} 個交易日", "last {} trading day"},
                               {"最近 {} 个交易日", "最近 {} 個交易日", "last {} trading days"}};
constexpr Texts kOutside{"（超出交易日历）", "（超出交易日曆）", "(outside the calendar)"};
constexpr Texts kTimeZone{"时区", "時區", "time zone"};

std::string Sessions(Session& s, const std::vector<int>& hhmm) {
  std::string text;
  for (std::size_t i = 0; i + 1 < hhmm.size(); i += 2) {
    text += fmt::format("{}{:02}:{:02}-{:02}:{:02}", text.empty() ? "" : ", ", hhmm[i] / 100, hhmm[i] % 100,
                        hhmm[i + 1] / 100, hhmm[i + 1] % 100);
  }
  return text.empty() ? Text(s, words::kNone) : text;
}

int TradeDate(Session& s, const std::string& code, int back, int period) {
  auto manager = QueryPackageInterface<ITradeDateMgr>("ITradeDateMgr");
  if (!manager) {
    fmt::print(s.err, "kdp-host: the package published no trade date manager\n");
    return 2;
  }
  auto item = manager->GetTradeDateIntf(code);
  if (!item) {
    fmt::print(s.err, "kdp-host: unknown security code {}\n", code);
    return 1;
  }
  // The first query of at least a day asks for the calendar; wait for it.
  bool arrived = false;
  auto observer = std::make_shared<TTradeDateObserver>([&](bool) { arrived = true; });
  manager->SetTradeDateNotify(observer);
  item->GetLatestDateBef(1);
  if (!item->GetLoadState()) s.host.Loop().RunUntil([&] { return arrived; }, kCalendarWait);
  manager->DelTradeDateNotify(observer->GetReqSerialID());
  const int nthBack = item->GetLatestDateBef(back);
  if (!item->GetLoadState()) fmt::print(s.err, "kdp-host: no calendar arrived for {}: calendar days\n", code);

  if (s.format != OutputFormat::Table) {
    std::map<int, int, std::greater<>> daysBack;  // date -> trading days back, newest first
    const std::vector<int> periodDays = item->GetLatestDatePeriod(period);
    for (std::size_t i = 0; i < periodDays.size(); ++i) daysBack.emplace(periodDays[i], static_cast<int>(i));
    if (nthBack >= 0) daysBack.emplace(nthBack, back);
    if (nthBack < 0) fmt::print(s.err, "kdp-host: {} trading days back from {} is outside the calendar\n", back, code);
    const long zone = std::lround(manager->GetTradeZoneByKoraCode(code) * 60);
    const std::string sessions = Sessions(s, manager->GetMarketTime(code));
    Listing rows{{"code", "date", "trading_days_back", "utc_offset_minutes", "sessions"}, {}};
    for (const auto& [date, n] : daysBack) rows.rows.push_back({code, IsoDate(std::to_string(date)), n, zone, sessions});
    WriteListing(s.out, s.terminal, rows, s.format);
    return 0;
  }
  const auto line = [&](const std::string& label, const std::string& value) {
    fmt::print(s.out, "{}{}\n", Pad(label, 22, false), value);
  };
  line(Text(s, kSecurity), code);
  line(Text(s, kTradeDate), DateText(item->GetLatestDate()));
  line(TextFormat(s, kDaysBack[back == 1 ? 0 : 1], back),
       nthBack < 0 ? std::string(Text(s, kOutside)) : DateText(nthBack));
  std::string days;
  for (int day : item->GetLatestDatePeriod(period)) days += (days.empty() ? "" : " ") + DateText(day);
  line(TextFormat(s, kLastDays[period == 1 ? 0 : 1], period), days);
  line(Text(s, kTimeZone), fmt::format("UTC{:+g}", manager->GetTradeZoneByKoraCode(code)));
  line(Text(s, words::kSessions), Sessions(s, manager->GetMarketTime(code)));
  return 0;
}

}  // namespace

void AddTradeDateCommand(CLI::App& app, Action& chosen) {
  auto* command =
      app.add_subcommand("tradedate", "show a security's trade date, trading days before it, zone and sessions");
  command->footer(
      "Under --format json|csv: a row per trading day of the period and the --back day, newest first (code, date, "
      "trading_days_back, utc_offset_minutes, sessions).");
  auto code = std::make_shared<std::string>();
  auto back = std::make_shared<int>(1);
  auto period = std::make_shared<int>(5);
  command->add_option("CODE", *code, "a security code, e.g. 600000.SH")->required();
  command->add_option("--back", *back, "the trading day this many days before the trade date")
      ->capture_default_str()
      ->check(CLI::Range(0, 10000));
  command->add_option("--period", *period, "list this many trading days up to the trade date")
      ->capture_default_str()
      ->check(CLI::Range(1, 10000));
  command->callback([&chosen, code, back, period] {
    chosen = [code, back, period](Session& s) { return TradeDate(s, *code, *back, *period); };
  });
}

}  // namespace kdp::app
