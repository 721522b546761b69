#include "refdata/iana_zone.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>

#include <date/tz.h>

// date 3.0.1's ptz.h writes hh_mm_ss unqualified under using-directives for both date and std::chrono,
// which C++20's <chrono> makes ambiguous. A name only date has stands in for it while the header is read.
namespace date {
template <class Duration>
using ptz_hh_mm_ss = hh_mm_ss<Duration>;
}  // namespace date
#define hh_mm_ss ptz_hh_mm_ss
#include <date/ptz.h>
#undef hh_mm_ss

namespace kdp {
namespace {

using Millis = std::int64_t;
using std::chrono::milliseconds;

constexpr double kUnixEpochDays = 25569.0;  // 1970-01-01 as a DateTime
constexpr double kMillisPerDay = 86400000.0;
constexpr Millis kDay = 86400000;
// Date-times outside years 1 to 9999 are read as the nearest end of that range.
constexpr double kFirstDay = -693593.0;  // 0001-01-01
constexpr double kLastDay = 2958465.0;   // 9999-12-31
// Years kept in the cache; others are worked out again when asked (one at a time), so odd values from
// outside cannot grow the cache.
constexpr int kFirstCachedYear = 1900;
constexpr int kLastCachedYear = 2200;
// More spans than this in a year and two days means a database that makes no sense; stop there.
constexpr std::size_t kMaxSpansPerYear = 64;
// Where Debian's tzdata keeps the files the database reads (date/tz reads the same folder).
constexpr const char* kZoneInfoDir = "/usr/share/zoneinfo/";
constexpr std::uintmax_t kMaxZoneFileSize = 1 << 20;

Millis ToMillis(host::DateTime t) {
  double days = t.value;
  if (!(days >= kFirstDay)) days = kFirstDay;  // NaN too
  if (days > kLastDay) days = kLastDay;
  return std::llround((days - kUnixEpochDays) * kMillisPerDay);
}

template <class Duration>
Millis ToMillis(date::sys_time<Duration> t) {
  return std::chrono::duration_cast<milliseconds>(t.time_since_epoch()).count();
}

date::sys_seconds ToSysSeconds(Millis at) {
  return date::floor<std::chrono::seconds>(date::sys_time<milliseconds>(milliseconds(at)));
}

int CalendarYearOf(Millis at) {
  const auto day = date::floor<date::days>(date::sys_time<milliseconds>(milliseconds(at)));
  return static_cast<int>(date::year_month_day(day).year());
}

Millis YearStart(int year) { return ToMillis(date::sys_days(date::year(year) / date::January / 1)); }

// The rule for times after the last listed transition: the POSIX TZ text on the last line of a zone file
// of format version 2 or later ("EST5EDT,M3.2.0,M11.1.0"); "" when the file has none or cannot be read.
std::string LaterYearsRuleText(const std::string& zoneName) {
  const std::string path = kZoneInfoDir + zoneName;
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec || size < 6 || size > kMaxZoneFileSize) return {};
  std::ifstream file(path, std::ios::binary);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  file.read(bytes.data(), static_cast<std::streamsize>(size));  // whole, not a character at a time
  bytes.resize(static_cast<std::size_t>(file.gcount()));
  if (bytes.size() < 6 || bytes.compare(0, 4, "TZif") != 0 || bytes[4] < '2' || bytes.back() != '\n') return {};
  const std::size_t lineBreak = bytes.rfind('\n', bytes.size() - 2);
  if (lineBreak == std::string::npos) return {};
  return bytes.substr(lineBreak + 1, bytes.size() - lineBreak - 2);
}

}  // namespace

class TIanaZone::LaterYearsRule {
 public:
  explicit LaterYearsRule(const std::string& text) : FRule(text) {}
  date::sys_info At(date::sys_seconds t) const { return FRule.get_info(t); }

 private:
  Posix::time_zone FRule;
};

std::unique_ptr<TIanaZone> TIanaZone::Locate(const std::string& name, std::string& error) {
  const date::time_zone* zone = nullptr;
  Millis lastListed = 0;
  try {
    zone = date::locate_zone(name);
    lastListed = ToMillis(zone->get_info(date::sys_days(date::year(9999) / date::January / 1)).begin);
  } catch (const std::exception& e) {
    error = e.what();
    return nullptr;
  }
  std::unique_ptr<LaterYearsRule> laterYears;
  // Only a rule with transitions (",start,end") adds anything: otherwise the last listed span runs on.
  if (const std::string text = LaterYearsRuleText(zone->name()); text.find(',') != std::string::npos) {
    try {
      laterYears = std::make_unique<LaterYearsRule>(text);
    } catch (const std::exception&) {
      // An unreadable rule leaves the zone as the database lists it.
    }
  }
  return std::unique_ptr<TIanaZone>(new TIanaZone(name, zone, std::move(laterYears), lastListed));
}

TIanaZone::TIanaZone(std::string name, const date::time_zone* zone, std::unique_ptr<LaterYearsRule> laterYears,
                     Millis lastListed)
    : FName(std::move(name)), FZone(zone), FLaterYears(std::move(laterYears)), FLastListed(lastListed) {}

TIanaZone::~TIanaZone() = default;

TIanaZone::Span TIanaZone::SpanAt(Millis at) const {
  const date::sys_seconds t = ToSysSeconds(at);
  const bool later = FLaterYears && at >= FLastListed;
  const date::sys_info info = later ? FLaterYears->At(t) : FZone->get_info(t);
  Span span{ToMillis(info.begin), ToMillis(info.end),
            Offset{static_cast<int>(info.offset.count()), info.save != std::chrono::minutes(0)}};
  if (later) span.begin = std::max(span.begin, FLastListed);
  return span;
}

TIanaZone::Year TIanaZone::BuildYear(int year) const {
  Year built;
  built.first = YearStart(year);
  built.last = YearStart(year + 1);
  const Millis from = built.first - kDay;
  const Millis to = built.last + kDay;
  for (Millis t = from; t < to && built.spans.size() < kMaxSpansPerYear;) {
    Span span = SpanAt(t);
    span.begin = std::max(span.begin, from);
    span.end = std::min(span.end, to);
    if (span.end <= t) span.end = to;  // a span that does not move forward ends the year
    built.spans.push_back(span);
    t = span.end;
  }
  return built;
}

const TIanaZone::Year& TIanaZone::YearOf(Millis at) {
  if (FLastYear != nullptr && at >= FLastYear->first && at < FLastYear->last) return *FLastYear;
  const int year = CalendarYearOf(at);
  Year* found = &FOutsideYear;
  if (year >= kFirstCachedYear && year <= kLastCachedYear) {
    if (FYears.empty()) FYears.resize(kLastCachedYear - kFirstCachedYear + 1);
    found = &FYears[static_cast<std::size_t>(year - kFirstCachedYear)];
    if (found->spans.empty()) *found = BuildYear(year);
  } else if (found->spans.empty() || found->first != YearStart(year)) {
    *found = BuildYear(year);
  }
  FLastYear = found;
  return *found;
}

TIanaZone::Offset TIanaZone::AtUtc(host::DateTime utc) {
  const Millis at = ToMillis(utc);
  const std::vector<Span>& spans = YearOf(at).spans;
  for (const Span& span : spans) {
    if (at < span.end) return span.offset;
  }
  return spans.back().offset;
}

TIanaZone::Offset TIanaZone::AtLocal(host::DateTime local) {
  const Millis at = ToMillis(local);
  const std::vector<Span>& spans = YearOf(at).spans;
  for (std::size_t i = 0; i < spans.size(); ++i) {
    const Millis shift = Millis{spans[i].offset.seconds} * 1000;
    if (at < spans[i].end + shift) {
      // A wall-clock time before this span's first one was skipped by the transition into it.
      if (i > 0 && at < spans[i].begin + shift) return spans[i - 1].offset;
      return spans[i].offset;
    }
  }
  return spans.back().offset;
}

}  // namespace kdp
