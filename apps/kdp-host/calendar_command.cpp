// kdp-host calendar CODE [--from DATE --to DATE]: the trading days of the security's exchange as the
// trade date manager holds them (25 days before the server date to 5 days after), one a line with its
// weekday; every weekday without trading is marked on the trading day after it. Under --format json|csv a
// row per trading day: the code, the date, its ISO weekday (1 Monday to 7 Sunday) and how many weekdays
// before it had no trading.
#include <fmt/format.h>
#include <fmt/ostream.h>

#include "command.h"
#include "kdp/package.h"
#include "kdp/tradedate/trade_date.h"
#include "util/strings.h"

namespace kdp::app {
namespace {

constexpr auto kCalendarWait = std::chrono::seconds(15);

constexpr Texts kNotADate{"{}（不是日期）", "{}（不是日期）", "{} (not a date)"};
constexpr Texts kHeld{"交易日历涵盖 {} 至 {}（服务器日期前 25 天至后 5 天）", "交易日曆涵蓋 {} 至 {}（伺服器日期前 25 天至後 5 天）",
                      "the calendar holds {} to {} (25 days before the server date to 5 after)"};
constexpr Texts kNoTradingOn{"   （{} {} 休市）", "   （{} {} 休市）", "   (no trading on {} {})"};
constexpr Texts kNoTradingFromTo{"   （{1} 至 {2} 共 {0} 个工作日休市）", "   （{1} 至 {2} 共 {0} 個工作日休市）",
                                 "   (no trading on the {0} weekdays {1} to {2})"};
constexpr Texts kHeading{"{} 的交易日历：显示 {} 个交易日", "{} 的交易日曆：顯示 {} 個交易日",
                         "trading calendar of {}: {} trading days shown"};
constexpr Texts kOutsideTheCalendar{"（--from/--to 超出交易日历：{}）", "（--from/--to 超出交易日曆：{}）",
                                    "(--from/--to reach outside the calendar: {})"};

std::string ShortDate(const host::DateTime& day) { return day.ToString().substr(0, 10); }

// DateTime counts weekdays from Sunday (1) to Saturday (7).
int IsoWeekday(const host::DateTime& day) { return (day.DayOfWeek() + 5) % 7 + 1; }

int Calendar(Session& s, const std::string& code, const std::string& fromText, const std::string& toText) {
  auto manager = QueryPackageInterface<ITradeDateMgr>("ITradeDateMgr");
  if (!manager) {
    fmt::print(s.err, "kdp-host: the package published no trade date manager\n");
    return 2;
  }
  if (manager->GetTradeDateIntf(code) == nullptr) {
    fmt::print(s.err, "kdp-host: unknown security code {}\n", code);
    return 1;
  }
  const int from = fromText.empty() ? 0 : host::DateTime::Parse(fromText)->Yyyymmdd();
  const int to = toText.empty() ? 99991231 : host::DateTime::Parse(toText)->Yyyymmdd();
  std::string calendar = manager->GetTradeDateAll(code);
  if (calendar.empty()) {
    bool arrived = false;
    auto observer = std::make_shared<TTradeDateObserver>([&](bool) { arrived = true; });
    manager->SetTradeDateNotify(observer);
    s.host.Loop().RunUntil([&] { return arrived; }, kCalendarWait);
    manager->DelTradeDateNotify(observer->GetReqSerialID());
    calendar = manager->GetTradeDateAll(code);
  }
  if (calendar.empty()) {
    fmt::print(s.err, "kdp-host: no calendar arrived for {} (see the log)\n", code);
    return 1;
  }
  std::vector<host::DateTime> days;
  std::string lines;
  for (const std::string& entry : SplitString(calendar, ',')) {
    if (const auto day = host::DateTime::FromYyyymmdd(StrToIntDef(entry, 0))) {
      days.push_back(*day);
    } else {
      lines += TextFormat(s, kNotADate, entry) + '\n';
    }
  }
  if (days.empty()) {
    fmt::print(s.err, "kdp-host: the calendar of {} holds no dates (see the log)\n", code);
    return 1;
  }
  // Said on the standard output in the edition's language, in a message on the error output in English.
  const auto held = [&](const char* format) {
    return fmt::format(fmt::runtime(format), ShortDate(days.front()), ShortDate(days.back()));
  };
  int shown = 0;
  Listing rows{{"code", "date", "weekday", "weekdays_closed_before"}, {}};
  for (std::size_t i = 0; i < days.size(); ++i) {
    const int yyyymmdd = days[i].Yyyymmdd();
    if (yyyymmdd < from || yyyymmdd > to) continue;
    // Every weekday between the trading day before and this one had no trading.
    std::vector<host::DateTime> missing;
    if (i > 0) {
      for (host::DateTime d = days[i - 1].AddDays(1); d.value < days[i].value; d = d.AddDays(1)) {
        if (d.DayOfWeek() != 1 && d.DayOfWeek() != 7) missing.push_back(d);
      }
    }
    std::string note;
    if (missing.size() == 1) {
      note = TextFormat(s, kNoTradingOn, ShortDate(missing.front()), WeekdayName(s, missing.front().DayOfWeek()));
    } else if (!missing.empty()) {
      note = TextFormat(s, kNoTradingFromTo, missing.size(), ShortDate(missing.front()), ShortDate(missing.back()));
    }
    lines += fmt::format("{}  {}{}\n", ShortDate(days[i]), WeekdayName(s, days[i].DayOfWeek()), note);
    rows.rows.push_back({code, ShortDate(days[i]), IsoWeekday(days[i]), missing.size()});
    ++shown;
  }
  const bool outside = (from != 0 && from < days.front().Yyyymmdd()) || (to != 99991231 && to > days.back().Yyyymmdd());
  if (shown == 0) {
    fmt::print(s.err, "kdp-host: no trading day of {} from {} to {}: {}\n", code,
               fromText.empty() ? "the start" : fromText, toText.empty() ? "the end" : toText, held(kHeld.eng));
    return 1;
  }
  if (s.format != OutputFormat::Table) {
    if (outside) fmt::print(s.err, "kdp-host: --from/--to reach outside the calendar: {}\n", held(kHeld.eng));
    WriteListing(s.out, s.terminal, rows, s.format);
    return 0;
  }
  fmt::print(s.out, "{}\n{}", TextFormat(s, kHeading, code, shown), lines);
  if (outside) fmt::print(s.out, "{}\n", TextFormat(s, kOutsideTheCalendar, held(Text(s, kHeld))));
  return 0;
}

}  // namespace

void AddCalendarCommand(CLI::App& app, Action& chosen) {
  auto* command = app.add_subcommand("calendar", "list the trading days of a security's exchange");
  command->footer(
      "Under --format json|csv: a row per trading day (code, date, weekday 1 Monday to 7 Sunday, "
      "weekdays_closed_before: the weekdays without trading just before it).");
  auto code = std::make_shared<std::string>();
  auto from = std::make_shared<std::string>();
  auto to = std::make_shared<std::string>();
  command->add_option("CODE", *code, "a security code, e.g. 600000.SH")->required();
  command->add_option("--from", *from, "first day shown, e.g. 2026-11-20")->check(DateTimeText());
  command->add_option("--to", *to, "last day shown")->check(DateTimeText());
  command->callback([&chosen, code, from, to] {
    if (!from->empty() && !to->empty() &&
        host::DateTime::Parse(*from)->Yyyymmdd() > host::DateTime::Parse(*to)->Yyyymmdd()) {
      throw CLI::ValidationError("--from", "--from " + *from + " comes after --to " + *to + "; give --from <= --to");
    }
    chosen = [code, from, to](Session& s) { return Calendar(s, *code, *from, *to); };
  });
}

}  // namespace kdp::app
