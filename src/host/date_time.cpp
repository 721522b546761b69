#include "kdp/host/date_time.h"

#include <chrono>
#include <cmath>

#include <fmt/format.h>

namespace kdp::host {
namespace {

// Days between 1899-12-30 and 1970-01-01.
constexpr int kUnixEpochOffsetDays = 25569;
constexpr double kMsPerDay = 86400000.0;

std::int64_t DayNumber(int year, int month, int day) {
  using namespace std::chrono;
  const sys_days d = year_month_day{std::chrono::year{year}, std::chrono::month{static_cast<unsigned>(month)},
                                    std::chrono::day{static_cast<unsigned>(day)}};
  return d.time_since_epoch().count() + kUnixEpochOffsetDays;
}

bool IsValidDate(int year, int month, int day) {
  using namespace std::chrono;
  return year_month_day{std::chrono::year{year}, std::chrono::month{static_cast<unsigned>(month)},
                        std::chrono::day{static_cast<unsigned>(day)}}
      .ok();
}

}  // namespace

double EncodeTime(int hour, int minute, int second, int millisecond) {
  return ((hour * 60.0 + minute) * 60.0 + second + millisecond / 1000.0) / 86400.0;
}

DateTime DateTime::FromParts(int year, int month, int day, int hour, int minute, int second, int millisecond) {
  return DateTime(static_cast<double>(DayNumber(year, month, day)) + EncodeTime(hour, minute, second, millisecond));
}

std::optional<DateTime> DateTime::FromYyyymmdd(std::int64_t yyyymmdd) {
  if (yyyymmdd <= 0) return std::nullopt;
  const int year = static_cast<int>(yyyymmdd / 10000);
  const int month = static_cast<int>(yyyymmdd / 100 % 100);
  const int day = static_cast<int>(yyyymmdd % 100);
  if (year > 9999 || !IsValidDate(year, month, day)) return std::nullopt;
  return FromParts(year, month, day);
}

std::optional<DateTime> DateTime::FromYyyymmddHhmmss(std::int64_t yyyymmdd, std::int64_t hhmmss) {
  auto date = FromYyyymmdd(yyyymmdd);
  if (!date || hhmmss < 0) return std::nullopt;
  const int hour = static_cast<int>(hhmmss / 10000);
  const int minute = static_cast<int>(hhmmss / 100 % 100);
  const int second = static_cast<int>(hhmmss % 100);
  if (hour > 23 || minute > 59 || second > 59) return std::nullopt;
  return DateTime(date->value + EncodeTime(hour, minute, second));
}

namespace {

// Reads between `min` and `max` decimal digits at `i`; -1 when there are fewer.
int ReadDigits(std::string_view text, std::size_t& i, std::size_t min, std::size_t max) {
  int value = 0;
  std::size_t n = 0;
  while (n < max && i < text.size() && text[i] >= '0' && text[i] <= '9') {
    value = value * 10 + (text[i++] - '0');
    ++n;
  }
  return n >= min ? value : -1;
}

bool Expect(std::string_view text, std::size_t& i, char c) {
  if (i >= text.size() || text[i] != c) return false;
  ++i;
  return true;
}

}  // namespace

std::optional<DateTime> DateTime::Parse(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  std::size_t i = 0;
  const int year = ReadDigits(text, i, 4, 4);
  if (year < 0 || !Expect(text, i, '-')) return std::nullopt;
  const int month = ReadDigits(text, i, 1, 2);
  if (month < 0 || !Expect(text, i, '-')) return std::nullopt;
  const int day = ReadDigits(text, i, 1, 2);
  if (day < 0) return std::nullopt;
  int hour = 0, minute = 0, second = 0;
  if (i < text.size()) {
    if (text[i] != ' ' && text[i] != 'T') return std::nullopt;
    ++i;
    hour = ReadDigits(text, i, 1, 2);
    if (hour < 0 || !Expect(text, i, ':')) return std::nullopt;
    minute = ReadDigits(text, i, 2, 2);
    if (minute < 0) return std::nullopt;
    if (i < text.size()) {
      if (!Expect(text, i, ':')) return std::nullopt;
      second = ReadDigits(text, i, 2, 2);
      if (second < 0) return std::nullopt;
    }
  }
  if (i != text.size() || year < 1) return std::nullopt;
  return FromYyyymmddHhmmss(static_cast<std::int64_t>(year) * 10000 + month * 100 + day,
                            hour * 10000 + minute * 100 + second);
}

DateTime DateTime::FromTimeT(std::time_t t) {
  std::tm local{};
  localtime_r(&t, &local);
  return FromParts(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
}

DateTime DateTime::Now() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t seconds = system_clock::to_time_t(now);
  const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  return DateTime(FromTimeT(seconds).value + static_cast<double>(ms) / kMsPerDay);
}

DateTime DateTime::DatePart() const { return DateTime(std::floor(value)); }

double DateTime::TimeOfDay() const { return value - std::floor(value); }

DateTime::Parts DateTime::Decode() const {
  auto days = static_cast<std::int64_t>(std::floor(value));
  auto ms = static_cast<std::int64_t>(std::llround((value - static_cast<double>(days)) * kMsPerDay));
  if (ms >= static_cast<std::int64_t>(kMsPerDay)) {
    ++days;
    ms -= static_cast<std::int64_t>(kMsPerDay);
  }
  using namespace std::chrono;
  const year_month_day ymd{sys_days{std::chrono::days{days - kUnixEpochOffsetDays}}};
  Parts p{};
  p.year = static_cast<int>(ymd.year());
  p.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
  p.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
  p.hour = static_cast<int>(ms / 3600000);
  p.minute = static_cast<int>(ms / 60000 % 60);
  p.second = static_cast<int>(ms / 1000 % 60);
  p.millisecond = static_cast<int>(ms % 1000);
  return p;
}

int DateTime::Yyyymmdd() const {
  const Parts p = Decode();
  return p.year * 10000 + p.month * 100 + p.day;
}

int DateTime::Hhmmss() const {
  const Parts p = Decode();
  return p.hour * 10000 + p.minute * 100 + p.second;
}

int DateTime::Hhmm() const {
  const Parts p = Decode();
  return p.hour * 100 + p.minute;
}

int DateTime::DayOfWeek() const {
  // 1899-12-30 was a Saturday (7).
  const auto days = static_cast<std::int64_t>(std::floor(value));
  return static_cast<int>(((days % 7) + 7 + 6) % 7) + 1;
}

std::string DateTime::ToString() const {
  const Parts p = Decode();
  return fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02}", p.year, p.month, p.day, p.hour, p.minute, p.second);
}

}  // namespace kdp::host
