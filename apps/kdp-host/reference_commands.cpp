// kdp-host resolve CODE | format CODE FIELD VALUE | clock CITY DATETIME
#include <cmath>
#include <cstdio>
#include <map>
#include <set>

#include <fmt/format.h>
#include <fmt/ostream.h>

#include "command.h"
#include "format/format_item.h"
#include "core/package_lookup.h"
#include "kdp/format/hq_format_manager.h"
#include "kdp/refdata/security_manager.h"
#include "refdata/stock_type_manager.h"
#include "util/strings.h"
#include "core/host_lookups.h"
#include "util/tools.h"

namespace kdp::app {
namespace {

std::string HhMm(int hhmm) { return fmt::format("{:02}:{:02}", hhmm / 100 % 100, hhmm % 100); }

std::string Sessions(const TArrayMarketTimeSep& sep) {
  if (sep.empty()) return "(none)";
  std::string text;
  for (std::size_t i = 0; i + 1 < sep.size(); i += 2) {
    if (!text.empty()) text += ", ";
    text += HhMm(sep[i]) + "-" + HhMm(sep[i + 1]);
  }
  if (sep.size() % 2 != 0) text += ", " + HhMm(sep.back()) + "-?";
  if (IsFullDayTrade(sep)) {
    text += " (around the clock)";
  } else if (IsCrossDayTrade(sep)) {
    text += " (crosses midnight)";
  }
  return text;
}

std::string Offset(double hours) {
  const double whole = std::trunc(hours);
  const int minutes = static_cast<int>(std::lround(std::fabs(hours - whole) * 60));
  std::string text = fmt::format("UTC{}{}", hours < 0 ? "-" : "+", static_cast<int>(std::fabs(whole)));
  if (minutes != 0) text += fmt::format(":{:02}", minutes);
  return text;
}

// The security manager's face and implementation, as published.
std::shared_ptr<TKrHQStockTypeManagerImpl> StockTypes(Session& s) {
  auto manager = std::dynamic_pointer_cast<TKrHQStockTypeManagerImpl>(
      G_QueryInterface<IKrHQSecurityManager>("IKrHQSecurityManager"));
  if (!manager) fmt::print(s.err, "kdp-host: the package published no security manager\n");
  return manager;
}

// Codes the stock type map can classify: known to the host, user-defined, hard-coded, or one of those
// behind a quote prefix.
bool IsKnownCode(TKrHQStockTypeManagerImpl& manager, const std::string& code) {
  if (G_GetSecurity(code)) return true;
  if (SameTextAscii(GetAfterString(".", code), "UD") && code.find('.') != std::string::npos) return true;
  const std::string stripped = StripQuotePrefix(code);
  return manager.IsHardCode(stripped) || (stripped != code && G_GetSecurity(stripped));
}

int Resolve(Session& s, const std::string& code) {
  auto manager = StockTypes(s);
  if (!manager) return 3;
  if (!IsKnownCode(*manager, code)) {
    fmt::print(s.err, "kdp-host: unknown security code {}\n", code);
    return 1;
  }
  auto info = manager->GetSecurityInfo(code);
  auto line = [&](std::string_view label, const std::string& value) { fmt::print(s.out, "{:<16}{}\n", label, value); };
  line("code", code);
  line("name", info->GetStockName());
  line("HQ type", info->GetHQType());
  line("HQ type ID", std::to_string(info->GetHQTypeID()));
  line("stock type", info->GetStockType());
  line("suffix", info->GetExchange());
  line("sessions", Sessions(info->GetMarketTimeSep()));
  line("clearing time", HhMm(info->GetMarketClean()));
  line("city", info->GetCity());
  line("F5 page", info->GetF5Page());
  line("history dir", info->GetHisDir());
  return 0;
}

int Format(Session& s, const std::string& code, const std::string& field, const std::string& valueText,
           const std::optional<std::string>& compareText, bool needYear) {
  auto manager = StockTypes(s);
  if (!manager) return 3;
  if (!IsKnownCode(*manager, code)) {
    fmt::print(s.err, "kdp-host: unknown security code {}\n", code);
    return 1;
  }
  const auto value = ParseDouble(valueText);
  if (!value) {
    fmt::print(s.err, "kdp-host: {} is not a number\n", valueText);
    return 1;
  }
  std::optional<double> compare;
  if (compareText) {
    compare = ParseDouble(*compareText);
    if (!compare) {
      fmt::print(s.err, "kdp-host: {} is not a number\n", *compareText);
      return 1;
    }
  }
  auto formats = G_QueryInterface<IKrHQFormatManager>("IKrHQFormatManager");
  if (!formats) {
    fmt::print(s.err, "kdp-host: the package published no format manager\n");
    return 3;
  }
  const auto fieldID = ParseInt64(field);
  auto item = fieldID ? formats->GetDataFormatObjByID(code, static_cast<int>(*fieldID))
                      : formats->GetDataFormatObjByName(code, field);
  if (!item) {
    fmt::print(s.err, "kdp-host: no format for field {} of {}\n", field, code);
    return 1;
  }
  std::string text;
  try {
    text = needYear ? item->CalcAndFormat(*value, true) : item->CalcAndFormatByKoraCode(*value, "", code);
  } catch (const std::exception& e) {
    fmt::print(s.err, "kdp-host: the format of {} is broken: {}\n", field, e.what());
    return 1;
  }
  IKrHQFormatItem::FieldValueReader reader;
  if (compare) reader = [&](const std::string&) { return *compare; };
  std::string colour = item->GetDoubleFormatColorName(*value, reader);
  fmt::print(s.out, "{:<16}{}\n{:<16}{}\n{:<16}{}\n{:<16}{}\n", "field", item->GetIndexName(), "format",
             item->GetFormatText(), "text", text, "colour", colour.empty() ? "(default)" : colour);
  return 0;
}

// "2026-12-04 10:30:00", "2026-12-04T10:30" or "2026-12-04 10:30".
std::optional<host::DateTime> ParseDateTime(const std::string& text) {
  std::string t = Trim(text);
  for (char& c : t) {
    if (c == 'T') c = ' ';
  }
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0;
  char tail = 0;
  const int n = std::sscanf(t.c_str(), "%d-%d-%d %d:%d:%d%c", &y, &mo, &d, &h, &mi, &sec, &tail);
  if (n != 5 && n != 6) return std::nullopt;
  return host::DateTime::FromYyyymmddHhmmss(static_cast<std::int64_t>(y) * 10000 + mo * 100 + d,
                                            h * 10000 + mi * 100 + sec);
}

int Clock(Session& s, const std::string& city, const std::string& when) {
  auto manager = StockTypes(s);
  if (!manager) return 3;
  TTimeZoneInfo from;
  if (!manager->GetTimeZoneInfoByCity(city, from) || SameTextAscii(city, "Local")) {
    fmt::print(s.err, "kdp-host: unknown city {}; the world clock knows:", city);
    for (const TTimeZoneInfo& zone : manager->GetCityTimeZones()) fmt::print(s.err, " \"{}\"", zone.City);
    fmt::print(s.err, "\n");
    return 1;
  }
  const auto instant = ParseDateTime(when);
  if (!instant) {
    fmt::print(s.err, "kdp-host: {} is not a date-time (write 2026-12-04 10:30:00)\n", when);
    return 1;
  }
  const bool summer = TKrHQStockTypeManagerImpl::IsInSummerTimeZone(*instant, from);
  fmt::print(s.out, "{} in {} ({}{})\n\n", instant->ToString(), from.City, Offset(from.TimeZone),
             summer ? fmt::format(", summer time +{}h", from.SummerDiff) : std::string());

  host::DateTime local = *instant;
  const bool shifted = manager->ShiftDateTime(from.City, local);
  fmt::print(s.out, "{:<22}{:<10}{}\n", "this machine", Offset(manager->GetLocalTimeZone()),
             shifted ? local.ToString() : "(its zone is not in the world clock)");

  // The markets that keep each city's time.
  std::map<std::string, std::set<std::string>, CaseLess> markets;
  for (int i = 0; i < manager->GetCount(); ++i) {
    const TKrStockTypeDataItem entry = manager->GetItem(i);
    if (!entry.HQType.empty()) markets[entry.clock].insert(entry.HQType);
  }
  std::vector<TTimeZoneInfo> zones = manager->GetCityTimeZones();
  std::stable_sort(zones.begin(), zones.end(),
                   [](const TTimeZoneInfo& a, const TTimeZoneInfo& b) { return a.TimeZone > b.TimeZone; });
  for (const TTimeZoneInfo& zone : zones) {
    host::DateTime there = *instant;
    const bool ok = manager->ShiftDateTimeEx(from.TimeZone, zone.TimeZone, there);
    std::string types;
    if (auto it = markets.find(zone.City); it != markets.end()) {
      for (const std::string& type : it->second) types += (types.empty() ? "" : ", ") + type;
    }
    fmt::print(s.out, "{:<22}{:<10}{:<21}{}\n", zone.City, Offset(zone.TimeZone),
               ok ? there.ToString() : "(zone unknown)", types);
  }
  return 0;
}

}  // namespace

void AddReferenceCommands(CLI::App& app, Action& chosen) {
  auto* resolve = app.add_subcommand("resolve", "classify a security code: HQ type, sessions, clock city, F5 page");
  auto code = std::make_shared<std::string>();
  resolve->add_option("CODE", *code, "security code, e.g. 600000.SH")->required();
  resolve->callback([&chosen, code] { chosen = [code](Session& s) { return Resolve(s, *code); }; });

  auto* format = app.add_subcommand("format", "format a value of a field for a security: display text and colour");
  struct FormatArgs {
    std::string code, field, value;
    std::string compare;
    bool needYear = false;
  };
  auto args = std::make_shared<FormatArgs>();
  format->add_option("CODE", args->code, "security code")->required();
  format->add_option("FIELD", args->field, "field name (NewPrice) or field ID (3)")->required();
  format->add_option("VALUE", args->value, "the value, a number")->required()->allow_extra_args(false);
  auto* compareOption = format->add_option("--compare", args->compare, "value of the field the colour compares with");
  format->add_flag("--need-year", args->needYear, "dates: always show the year");
  format->callback([&chosen, args, compareOption] {
    const std::optional<std::string> compare =
        compareOption->count() > 0 ? std::optional<std::string>(args->compare) : std::nullopt;
    chosen = [args, compare](Session& s) {
      return Format(s, args->code, args->field, args->value, compare, args->needYear);
    };
  });

  auto* clock = app.add_subcommand("clock", "show one instant in the machine's zone and every market's zone");
  auto city = std::make_shared<std::string>();
  auto when = std::make_shared<std::string>();
  clock->add_option("CITY", *city, "the city whose time DATETIME is, e.g. \"New York\"")->required();
  clock->add_option("DATETIME", *when, "e.g. \"2026-12-04 10:30:00\"")->required();
  clock->callback([&chosen, city, when] { chosen = [city, when](Session& s) { return Clock(s, *city, *when); }; });
}

}  // namespace kdp::app
