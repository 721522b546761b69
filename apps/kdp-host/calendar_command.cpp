// kdp-host calendar CODE [--from DATE --to DATE]: the trading days of the security's exchange as the
// trade date manager holds them (25 days before the server date to 5 days after), one a line with its
// weekday; a gap of more than a weekend is marked.
#include <fmt/format.h>
#include <fmt/ostream.h>

#include "command.h"
#include "kdp/package.h"
#include "kdp/tradedate/trade_date.h"
#include "util/strings.h"

namespace kdp::app {
namespace {

constexpr auto kCalendarWait = std::chrono::seconds(15);

int Calendar(Session& s, const std::string& code, const std::string& fromText, const std::string& toText) {
  auto manager = QueryPackageInterface<ITradeDateMgr>("ITradeDateMgr");
  if (!manager) {
    fmt::print(s.err, "kdp-host: the package published no trade date manager\n");
    return 3;
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
    return 4;
  }
  int shown = 0;
  std::optional<host::DateTime> previous;
  std::string lines;
  for (const std::string& entry : SplitString(calendar, ',')) {
    const auto day = host::DateTime::FromYyyymmdd(StrToIntDef(entry, 0));
    if (!day) {
      lines += fmt::format("{} (not a date)\n", entry);
      continue;
    }
    const int yyyymmdd = day->Yyyymmdd();
    if (yyyymmdd < from || yyyymmdd > to) continue;
    const int gap = previous ? static_cast<int>(day->value - previous->value) : 1;
    lines += fmt::format("{}  {}{}\n", day->ToString().substr(0, 10), WeekdayName(s, day->DayOfWeek()),
                         gap > 3 ? fmt::format("   ({} days after the trading day before)", gap) : "");
    previous = day;
    ++shown;
  }
  fmt::print(s.out, "trading calendar of {}: {} trading days shown\n{}", code, shown, lines);
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
  command->callback(
      [&chosen, code, from, to] { chosen = [code, from, to](Session& s) { return Calendar(s, *code, *from, *to); }; });
}

}  // namespace kdp::app
