// kdp-host calendar CODE [--from DATE --to DATE]: the trading days of the security's exchange as the
// trade date manager holds them (25 days before the server date to 5 days after), one a line with its
// weekday; every weekday without trading is marked on the trading day after it.
#include <fmt/format.h>
#include <fmt/ostream.h>

#include "command.h"
#include "kdp/package.h"
#include "kdp/tradedate/trade_date.h"
#include "util/strings.h"

namespace kdp::app {
namespace {

constexpr auto kCalendarWait = std::chrono::seconds(15);

std::string ShortDate(const host::DateTime& day) { return day.ToString().substr(0, 10); }

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
      lines += fmt::format("{} (not a date)\n", entry);
    }
  }
  if (days.empty()) {
    fmt::print(s.err, "kdp-host: the calendar of {} holds no dates (see the log)\n", code);
    return 1;
  }
  const std::string held = fmt::format("the calendar holds {} to {} (25 days before the server date to 5 after)",
                                       ShortDate(days.front()), ShortDate(days.back()));
  int shown = 0;
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
      note = fmt::format("   (no trading on {} {})", ShortDate(missing.front()),
                         WeekdayName(s, missing.front().DayOfWeek()));
    } else if (!missing.empty()) {
      note = fmt::format("   (no trading on the {} weekdays {} to {})", missing.size(), ShortDate(missing.front()),
                         ShortDate(missing.back()));
    }
    lines += fmt::format("{}  {}{}\n", ShortDate(days[i]), WeekdayName(s, days[i].DayOfWeek()), note);
    ++shown;
  }
  const bool outside = (from != 0 && from < days.front().Yyyymmdd()) || (to != 99991231 && to > days.back().Yyyymmdd());
  if (shown == 0) {
    fmt::print(s.err, "kdp-host: no trading day of {} from {} to {}: {}\n", code,
               fromText.empty() ? "the start" : fromText, toText.empty() ? "the end" : toText, held);
    return 1;
  }
  fmt::print(s.out, "trading calendar of {}: {} trading days shown\n{}", code, shown, lines);
  if (outside) fmt::print(s.out, "(--from/--to reach outside the calendar: {})\n", held);
  return 0;
}

}  // namespace

void AddCalendarCommand(CLI::App& app, Action& chosen) {
  auto* command = app.add_subcommand("calendar", "list the trading days of a security's exchange");
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
