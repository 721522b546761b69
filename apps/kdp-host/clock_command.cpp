// kdp-host clock CITY DATETIME: one instant in the machine's zone and in every world-clock city, with the
// offset from UTC each keeps at that instant and the markets that keep each city's time. A wall time that
// the city's summer time skips or repeats is said to be one, with the instant the table shows. Under
// --format json|csv a row per zone: the city ("machine" for this machine's), its offset from UTC in minutes,
// the instant as ISO 8601 with that offset, and the markets that keep its time.
#include <chrono>
#include <cmath>
#include <map>
#include <set>

#include <date/tz.h>

#include <fmt/format.h>
#include <fmt/ostream.h>

#include "command.h"
#include "kdp/package.h"
#include "kdp/refdata/security_manager.h"
#include "util/case_less.h"
#include "util/strings.h"

namespace kdp::app {
namespace {

// The heading: the instant, the city, its offset and the summer-time note.
constexpr Texts kHeading{"{1} {0}（{2}{3}）", "{1} {0}（{2}{3}）", "{0} in {1} ({2}{3})"};
constexpr Texts kSummerTime{"，夏令时", "，夏令時", ", summer time"};
constexpr Texts kSkipped{"{1}没有 {0} 这一时刻（夏令时跳过）；按 {2}（{3}）显示",
                         "{1}沒有 {0} 這一時刻（夏令時跳過）；按 {2}（{3}）顯示",
                         "{0} does not exist in {1} (summer time skips it); read as {2} ({3})"};
constexpr Texts kRepeated{"{1}的 {0} 出现两次（先 {2}，后 {3}）；显示第一次", "{1}的 {0} 出現兩次（先 {2}，後 {3}）；顯示第一次",
                          "{0} occurs twice in {1} ({2}, then {3}); the first is shown"};
constexpr Texts kThisMachine{"本机", "本機", "this machine"};
constexpr Texts kMachineZoneUnknown{"（本机时区不在世界时钟中）", "（本機時區不在世界時鐘中）",
                                    "(its zone is not in the world clock)"};
constexpr Texts kZoneUnknown{"（时区未知）", "（時區未知）", "(zone unknown)"};

std::string Offset(double hours) {
  hours = std::round(hours * 60) / 60;  // whole minutes: offsets worked out from two date-times carry noise
  const double whole = std::trunc(hours);
  const int minutes = static_cast<int>(std::lround(std::fabs(hours - whole) * 60));
  std::string text = fmt::format("UTC{}{}", hours < 0 ? "-" : "+", static_cast<int>(std::fabs(whole)));
  if (minutes != 0) text += fmt::format(":{:02}", minutes);
  return text;
}

// The instant's wall time as the city's zone reads it. The database says whether its summer time skips that
// wall time (the clock reads it with the offset before the change, so the table shows it an hour on) or
// repeats it (the table shows the first of the two).
std::string Heading(Session& s, IKrWorldClock& clock, const TTimeZoneInfo& zone, host::DateTime instant,
                    const std::string& offset) {
  const std::string city = CityName(s, zone.City);
  const std::string plain = TextFormat(s, kHeading, instant.ToString(), city, offset,
                                       clock.IsInSummerTime(zone, instant) ? Text(s, kSummerTime) : "");
  if (zone.TzName.empty()) return plain;
  date::local_info info;
  try {
    const auto seconds = std::llround((instant.value - 25569.0) * 86400.0);  // 1970-01-01 is day 25569
    info = date::locate_zone(zone.TzName)->get_info(date::local_seconds(std::chrono::seconds(seconds)));
  } catch (const std::exception&) {
    return plain;
  }
  const auto hours = [](std::chrono::seconds offset) { return static_cast<double>(offset.count()) / 3600.0; };
  if (info.result == date::local_info::nonexistent) {
    host::DateTime shown = instant;
    clock.ShiftCityDateTime(zone.City, zone.City, shown);
    return TextFormat(s, kSkipped, instant.ToString(), city, shown.ToString(), Offset(hours(info.second.offset)));
  }
  if (info.result == date::local_info::ambiguous) {
    return TextFormat(s, kRepeated, instant.ToString(), city, Offset(hours(info.first.offset)),
                      Offset(hours(info.second.offset)));
  }
  return plain;
}

// "2026-12-04 10:30:00" at UTC+8 as "2026-12-04T10:30:00+08:00".
std::string IsoInstant(host::DateTime wall, double offsetHours) {
  const long minutes = std::lround(offsetHours * 60);
  const long whole = std::labs(minutes);
  std::string text = wall.ToString();
  text[10] = 'T';
  return fmt::format("{}{}{:02}:{:02}", text, minutes < 0 ? '-' : '+', whole / 60, whole % 60);
}

int Clock(Session& s, const std::string& city, const std::string& when) {
  auto manager = SecurityManager(s);
  auto clock = QueryPackageInterface<IKrWorldClock>("IKrWorldClock");
  if (!manager || !clock) return 2;
  TTimeZoneInfo from;
  if (!clock->GetTimeZoneInfoByCity(city, from) || SameTextAscii(city, "Local")) {
    fmt::print(s.err, "kdp-host: unknown city {}; the world clock knows:", city);
    for (const TTimeZoneInfo& zone : clock->GetCityTimeZones()) fmt::print(s.err, " \"{}\"", zone.City);
    fmt::print(s.err, "\n");
    return 1;
  }
  const auto instant = host::DateTime::Parse(when);
  if (!instant) {
    fmt::print(s.err, "kdp-host: {} is not a date-time (write 2026-12-04 10:30:00)\n", when);
    return 1;
  }
  // Every other zone's offset follows from how far its time is from this one's.
  const double fromOffset = clock->GetZoneOffset(from, *instant);
  const auto offsetOf = [&](host::DateTime there) { return fromOffset + (there.value - instant->value) * 24.0; };
  const bool tabular = s.format == OutputFormat::Table;
  Listing rows{{"city", "utc_offset_minutes", "time", "markets"}, {}};
  const auto addRow = [&rows](const std::string& name, bool known, host::DateTime there, double offset,
                              const std::string& types) {
    if (known) {
      rows.rows.push_back({name, std::lround(offset * 60), IsoInstant(there, offset), types});
    } else {
      rows.rows.push_back({name, nullptr, nullptr, types});
    }
  };
  if (tabular) fmt::print(s.out, "{}\n\n", Heading(s, *clock, from, *instant, Offset(fromOffset)));

  host::DateTime local = *instant;
  const bool shifted = clock->ShiftDateTime(from.City, local);
  if (tabular) {
    fmt::print(s.out, "{}{:<10}{}\n", Pad(Text(s, kThisMachine), 22, false), shifted ? Offset(offsetOf(local)) : "?",
               shifted ? local.ToString() : Text(s, kMachineZoneUnknown));
  }
  addRow("machine", shifted, local, shifted ? offsetOf(local) : 0, "");

  // The markets that keep each city's time.
  std::map<std::string, std::set<std::string>, CaseLess> markets;
  for (int i = 0; i < manager->GetCount(); ++i) {
    const TKrStockTypeDataItem entry = manager->GetItem(i);
    if (!entry.HQType.empty()) markets[entry.clock].insert(entry.HQType);
  }
  std::vector<TTimeZoneInfo> zones = clock->GetCityTimeZones();
  std::stable_sort(zones.begin(), zones.end(),
                   [](const TTimeZoneInfo& a, const TTimeZoneInfo& b) { return a.TimeZone > b.TimeZone; });
  for (const TTimeZoneInfo& zone : zones) {
    host::DateTime there = *instant;
    const bool ok = clock->ShiftCityDateTime(from.City, zone.City, there);
    std::string types;
    if (auto it = markets.find(zone.City); it != markets.end()) {
      for (const std::string& type : it->second) types += (types.empty() ? "" : ", ") + type;
    }
    if (tabular) {
      fmt::print(s.out, "{}{:<10}{}{}\n", Pad(CityName(s, zone.City), 22, false), ok ? Offset(offsetOf(there)) : "?",
                 Pad(ok ? there.ToString() : Text(s, kZoneUnknown), 21, false), types);
    }
    addRow(zone.City, ok, there, ok ? offsetOf(there) : 0, types);
  }
  if (!tabular) WriteListing(s.out, s.terminal, rows, s.format);
  return 0;
}

}  // namespace

void AddClockCommand(CLI::App& app, Action& chosen) {
  auto* clock = app.add_subcommand("clock", "show one instant in the machine's zone and every market's zone");
  clock->footer(
      "Under --format json|csv: a row per zone (city, \"machine\" for this machine's; utc_offset_minutes; time "
      "as ISO 8601 with its offset; markets).");
  auto city = std::make_shared<std::string>();
  auto when = std::make_shared<std::string>();
  clock->add_option("CITY", *city, "the city whose time DATETIME is, e.g. \"New York\"")->required();
  clock->add_option("DATETIME", *when, "e.g. \"2026-12-04 10:30:00\"")->required();
  clock->callback([&chosen, city, when] { chosen = [city, when](Session& s) { return Clock(s, *city, *when); }; });
}

}  // namespace kdp::app
