#include "refdata/world_clock.h"

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <tuple>

#include <date/tz.h>
#include <fmt/format.h>
#include <pugixml.hpp>

#include "core/host_lookups.h"
#include "kdp/host/display_text.h"
#include "kdp/host/log.h"
#include "kdp/host/server_clock.h"
#include "kdp/host/speed.h"
#include "refdata/trade_rules.h"
#include "util/csv_file.h"
#include "util/strings.h"
#include "util/tools.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "uKrHQStockTypeManagerImpl";

// The machine's standard offset (without summer time), in whole hours east of UTC.
int MachineStandardZone() {
  tzset();
  return static_cast<int>(std::lround(-static_cast<double>(timezone) / 3600.0));
}

// The machine's offset now (with summer time when it is in effect), in hours east of UTC.
double MachineCurrentZone() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return static_cast<double>(local.tm_gmtoff) / 3600.0;
}

// The database name of the machine's zone: TZ as the C library reads it (":America/New_York", a path into
// the zone folder, or a name; set but empty is UTC), else the zone /etc/localtime names. "" when unknown.
std::string MachineZoneNameFromSystem() {
  if (const char* tz = std::getenv("TZ"); tz != nullptr) {
    std::string name = tz;
    if (!name.empty() && name.front() == ':') name.erase(0, 1);
    if (const std::size_t at = name.find("zoneinfo/"); at != std::string::npos) name.erase(0, at + 9);
    return name.empty() ? "UTC" : name;
  }
  try {
    return date::current_zone()->name();
  } catch (const std::exception&) {
    return {};
  }
}

std::unique_ptr<TIanaZone> LocateMachineZone() {
  const std::string name = MachineZoneNameFromSystem();
  std::string error;
  std::unique_ptr<TIanaZone> zone = name.empty() ? nullptr : TIanaZone::Locate(name, error);
  if (!zone) {
    host::AddHQLog(fmt::format("worldclock: the machine's zone \"{}\" is not in the time-zone database ({}); the "
                               "machine's standard offset stands for it",
                               host::EscapeControlChars(name), error),
                   kLogSource, host::LogSeverity::kNotice);
  }
  return zone;
}

std::string Attr(const pugi::xml_node& node, const char* name) { return node.attribute(name).value(); }

double ReadGmt(const std::string& text) {
  const auto value = ParseDouble(text);
  if (!value) throw EStockTypeMapError(fmt::format("'{}' is not a valid floating point value", text));
  return *value;
}

struct SummerPoint {
  int month = 0;
  int day = 0;
  double time = 0.0;
};

// "2016-03-13 02:00:00" (the time may be "02:00" or left out).
SummerPoint TransSummerStr(const std::string& text) {
  const auto fail = [&]() { return EStockTypeMapError("TransSummerStr error. summerstr=" + text); };
  const std::string trimmed = Trim(text);
  const std::size_t blank = trimmed.find(' ');
  const std::vector<std::string> date = SplitString(trimmed.substr(0, blank), '-');
  if (date.size() != 3) throw fail();
  const auto year = ParseInt64(date[0]);
  const auto month = ParseInt64(date[1]);
  const auto day = ParseInt64(date[2]);
  if (!year || !month || !day || !host::DateTime::FromYyyymmdd(*year * 10000 + *month * 100 + *day)) throw fail();
  SummerPoint point{static_cast<int>(*month), static_cast<int>(*day), 0.0};
  if (blank != std::string::npos) {
    const std::vector<std::string> clock = SplitString(Trim(trimmed.substr(blank + 1)), ':');
    if (clock.size() < 2 || clock.size() > 3) throw fail();
    const auto h = ParseInt64(clock[0]);
    const auto m = ParseInt64(clock[1]);
    const auto s = clock.size() == 3 ? ParseInt64(clock[2]) : std::optional<std::int64_t>(0);
    if (!h || !m || !s || *h < 0 || *h > 23 || *m < 0 || *m > 59 || *s < 0 || *s > 59) throw fail();
    point.time = host::EncodeTime(static_cast<int>(*h), static_cast<int>(*m), static_cast<int>(*s));
  }
  return point;
}

// Month and day of a yyyymmdd text of the zone file; 0 and 0 for a text shorter than 8 characters.
std::pair<int, int> MonthDayOf(const std::string& text) {
  if (text.size() < 8) return {0, 0};
  return {StrToIntDef(text.substr(4, 2), 0), StrToIntDef(text.substr(6, 2), 0)};
}

}  // namespace

TKrWorldClock::TKrWorldClock(IKrHQSecurityManager& securities)
    : FSecurities(securities), FLocalTimeZone(MachineStandardZone()), FMachineZone(LocateMachineZone()) {}

TKrWorldClock::TKrWorldClock(IKrHQSecurityManager& securities, int localTimeZone)
    : FSecurities(securities), FLocalTimeZone(localTimeZone) {}

std::string TKrWorldClock::MachineZoneName() const { return FMachineZone ? FMachineZone->Name() : std::string(); }

void TKrWorldClock::LoadSection(const pugi::xml_node& element) {
  FDicCityTimeZone.clear();
  for (const pugi::xml_node& node : element.children()) {  // every child: a stray node is an error
    TTimeZoneInfo zone;
    zone.City = Attr(node, "city");
    zone.TimeZone = ReadGmt(Attr(node, "gmt"));
    zone.SummerDiff = StrToIntDef(Attr(node, "summerdiff"), 0);
    const std::string start = Attr(node, "summerstart");
    if (!start.empty()) {
      const SummerPoint from = TransSummerStr(start);
      const SummerPoint to = TransSummerStr(Attr(node, "summerend"));
      zone.SummerStartMon = from.month;
      zone.SummerStartDay = from.day;
      zone.SummerStartTime = from.time;
      zone.SummerEndMon = to.month;
      zone.SummerEndDay = to.day;
      zone.SummerEndTime = to.time;
    } else {
      zone.SummerDiff = 0;
    }
    AddZone(std::move(zone), Trim(Attr(node, "tz")));
  }
  LoadTimeZoneFile();
}

TIanaZone* TKrWorldClock::LocateIanaZone(const std::string& city, const std::string& name) {
  if (name.empty()) {
    host::AddHQLog(fmt::format("worldclock: {} names no IANA time zone; its summer time follows the month-and-day "
                               "rule",
                               city),
                   kLogSource, host::LogSeverity::kNotice);
    return nullptr;
  }
  if (auto known = FIanaZones.find(name); known != FIanaZones.end()) return known->second.get();
  std::string error;
  std::unique_ptr<TIanaZone> zone = TIanaZone::Locate(name, error);
  if (!zone) {
    host::AddHQLog(fmt::format("worldclock: unknown IANA time zone \"{}\" for {} ({}); its summer time follows "
                               "the month-and-day rule",
                               name, city, error),
                   kLogSource, host::LogSeverity::kWarning);
    return nullptr;
  }
  return FIanaZones.emplace(name, std::move(zone)).first->second.get();
}

void TKrWorldClock::AddZone(TTimeZoneInfo zone, const std::string& tzName) {
  TIanaZone* iana = LocateIanaZone(zone.City, tzName);
  TClockZone entry{std::move(zone), iana};
  entry.info.TzName = entry.iana != nullptr ? tzName : std::string();
  FDicGmtTimeZone[entry.info.TimeZone] = entry;
  FDicCityTimeZone[entry.info.City] = std::move(entry);
}

std::optional<TTimeZoneInfo> TimeZoneFromRecord(const std::vector<std::string>& record, std::string& why) {
  if (record.size() != 5 && record.size() != 6) {
    why = fmt::format("{} fields instead of 5 or 6", record.size());
    return std::nullopt;
  }
  for (const std::string& field : record) {
    if (!host::IsPlainText(field)) {
      why = "a field is not text: " + host::EscapeControlChars(field);
      return std::nullopt;
    }
  }
  TTimeZoneInfo zone;
  zone.City = Trim(record[0]);
  const auto hours = ParseDouble(record[1]);
  const auto summer = Trim(record[2]).empty() ? std::optional<double>(0.0) : ParseDouble(record[2]);
  if (zone.City.empty()) {
    why = "the city is empty";
  } else if (!hours || *hours < -12 || *hours > 14) {
    why = "the offset is not a number of hours from -12 to 14";
  } else if (!summer || *summer < 0 || *summer > 2) {
    why = "the summer difference is not a number of hours from 0 to 2";
  }
  if (!why.empty()) return std::nullopt;
  zone.TimeZone = *hours;
  zone.SummerDiff = static_cast<int>(std::lround(*summer));
  const std::string start = Trim(record[3]);
  if (start.empty()) {
    zone.SummerDiff = 0;
  } else {
    std::tie(zone.SummerStartMon, zone.SummerStartDay) = MonthDayOf(start);
    std::tie(zone.SummerEndMon, zone.SummerEndDay) = MonthDayOf(Trim(record[4]));
  }
  if (record.size() == 6) zone.TzName = Trim(record[5]);
  return zone;
}

void TKrWorldClock::LoadTimeZoneFile() {
  std::error_code ec;
  std::string path = GetHQBasePath() + kTimeZoneFileName;
  if (!std::filesystem::exists(path, ec)) path = GetEtcBaseFilePath(kTimeZoneFileName);
  if (!std::filesystem::exists(path, ec)) return;
  TCsvFile file;
  if (!file.OpenFile(path)) return;
  std::vector<std::string> record;
  for (int line = 1; file.GetRecord(record); ++line) {
    if (record.size() == 1 && Trim(record[0]).empty()) continue;  // a blank line
    std::string why;
    auto zone = TimeZoneFromRecord(record, why);
    if (!zone) {
      host::AddHQLog(fmt::format("{}:{}: zone record skipped: {}", path, line, why), kLogSource,
                     host::LogSeverity::kNotice);
      continue;
    }
    const std::string tzName = zone->TzName;
    AddZone(std::move(*zone), tzName);
  }
}

bool TKrWorldClock::GetTimeZoneInfoByCity(const std::string& city, TTimeZoneInfo& info) {
  if (city == "Local") {
    info.TimeZone = MachineCurrentZone();
    return true;
  }
  auto it = FDicCityTimeZone.find(city);
  if (it == FDicCityTimeZone.end()) return false;
  info = it->second.info;
  return true;
}

bool TKrWorldClock::ShiftDateTime(const std::string& city, host::DateTime& dateTime) {
  auto it = FDicCityTimeZone.find(city);
  if (it == FDicCityTimeZone.end()) return false;
  if (FMachineZone) {
    dateTime = FromUtc(TClockZone{{}, FMachineZone.get()}, ToUtc(it->second, dateTime));
    return true;
  }
  if (!FDicGmtTimeZone.contains(FLocalTimeZone)) return false;
  return ShiftDateTimeEx(it->second.info.TimeZone, FLocalTimeZone, dateTime);
}

bool TKrWorldClock::IsInSummerTimeZone(host::DateTime dateTime, const TTimeZoneInfo& zone) {
  const host::DateTime::Parts p = dateTime.Decode();
  if (zone.SummerStartMon < p.month && p.month < zone.SummerEndMon) return true;
  if (p.month == zone.SummerStartMon && p.day >= zone.SummerStartDay) return true;
  if (p.month == zone.SummerEndMon && p.day <= zone.SummerEndDay) return true;
  return false;
}

// The month-and-day rule tests the given date on the way in, and the date in standard time on the way out.
host::DateTime TKrWorldClock::ToUtc(const TClockZone& zone, host::DateTime local) {
  if (zone.iana != nullptr) return local.AddSeconds(-zone.iana->AtLocal(local).seconds);
  double utc = local.value - zone.info.TimeZone / 24.0;
  if (IsInSummerTimeZone(local, zone.info)) utc -= zone.info.SummerDiff / 24.0;
  return host::DateTime(utc);
}

host::DateTime TKrWorldClock::FromUtc(const TClockZone& zone, host::DateTime utc) {
  if (zone.iana != nullptr) return utc.AddSeconds(zone.iana->AtUtc(utc).seconds);
  host::DateTime result(utc.value + zone.info.TimeZone / 24.0);
  if (IsInSummerTimeZone(result, zone.info)) result.value += zone.info.SummerDiff / 24.0;
  return result;
}

bool TKrWorldClock::ShiftDateTimeEx(double fromZone, double toZone, host::DateTime& dateTime) {
  if (fromZone == toZone) return true;
  auto from = FDicGmtTimeZone.find(fromZone);
  auto to = FDicGmtTimeZone.find(toZone);
  if (from == FDicGmtTimeZone.end() || to == FDicGmtTimeZone.end()) return false;
  dateTime = FromUtc(to->second, ToUtc(from->second, dateTime));
  return true;
}

bool TKrWorldClock::ShiftCityDateTime(const std::string& fromCity, const std::string& toCity,
                                      host::DateTime& dateTime) {
  auto from = FDicCityTimeZone.find(fromCity);
  auto to = FDicCityTimeZone.find(toCity);
  if (from == FDicCityTimeZone.end() || to == FDicCityTimeZone.end()) return false;
  dateTime = FromUtc(to->second, ToUtc(from->second, dateTime));
  return true;
}

TIanaZone* TKrWorldClock::LoadedIanaZone(const TTimeZoneInfo& zone) const {
  if (zone.TzName.empty()) return nullptr;
  auto it = FIanaZones.find(zone.TzName);
  return it == FIanaZones.end() ? nullptr : it->second.get();
}

bool TKrWorldClock::IsInSummerTime(const TTimeZoneInfo& zone, host::DateTime dateTime) {
  if (TIanaZone* iana = LoadedIanaZone(zone)) return iana->AtLocal(dateTime).summer;
  return IsInSummerTimeZone(dateTime, zone);
}

double TKrWorldClock::GetZoneOffset(const TTimeZoneInfo& zone, host::DateTime dateTime) {
  if (TIanaZone* iana = LoadedIanaZone(zone)) return iana->AtLocal(dateTime).seconds / 3600.0;
  return zone.TimeZone + (IsInSummerTimeZone(dateTime, zone) ? zone.SummerDiff : 0);
}

// The server's clock keeps Beijing time, whatever the machine's zone.
host::DateTime TKrWorldClock::MarketNow(const std::string& tradeSpan) {
  host::DateTime now = GetServerDateTime();
  ShiftDateTimeEx(host::kServerTimeZoneHours, GetStockTimeZone_New(host::kMarketInfoTimeZone, tradeSpan), now);
  return now;
}

bool TKrWorldClock::KoraCodeNow(const std::string& code, host::DateTime& now) {
  now = MarketNow(FSecurities.GetSecurityInfo(code)->GetTradeSpan());
  return true;
}

bool TKrWorldClock::KoraCodeNow(const std::shared_ptr<host::IKrSecurity>& security, host::DateTime& now) {
  now = MarketNow(FSecurities.GetSecurityInfo(security)->GetTradeSpan());
  return true;
}

bool TKrWorldClock::IsNeedShowDate(const std::string& code, host::DateTime dateTime) {
  host::DateTime now;
  KoraCodeNow(code, now);
  return std::floor(dateTime.value) != std::floor(now.value);
}

bool TKrWorldClock::IsNeedShowDate(const std::shared_ptr<host::IKrSecurity>& security, host::DateTime dateTime) {
  host::DateTime now;
  KoraCodeNow(security, now);
  return std::floor(dateTime.value) != std::floor(now.value);
}

bool TKrWorldClock::GetLocalTimeZoneInfo(TTimeZoneInfo& info) {
  auto it = FDicGmtTimeZone.find(FLocalTimeZone);
  if (it == FDicGmtTimeZone.end()) return false;
  info = it->second.info;
  return true;
}

std::vector<TTimeZoneInfo> TKrWorldClock::GetCityTimeZones() {
  std::vector<TTimeZoneInfo> zones;
  for (const auto& [city, zone] : FDicCityTimeZone) zones.push_back(zone.info);
  return zones;
}

}  // namespace kdp
