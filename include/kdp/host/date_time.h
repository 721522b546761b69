// DateTime: a calendar date and time of day as one number, days since 1899-12-30 (fractions are the time
// of day), the unit in which the terminal computes zone shifts ("value - TimeZone/24") and date arithmetic.
//
// Values carry no zone: a DateTime is read in whatever zone its producer says (local, server, market).
// Dates and times that travel as integers use the yyyymmdd and hhmmss helpers.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace kdp::host {

struct DateTime {
  double value = 0.0;

  constexpr DateTime() = default;
  constexpr explicit DateTime(double days) : value(days) {}

  // Encodes a civil date and time. Out-of-range fields are not normalised; callers pass valid values.
  static DateTime FromParts(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
                            int millisecond = 0);
  // 20240315 -> 2024-03-15 00:00; nullopt for a value that is not a valid date.
  static std::optional<DateTime> FromYyyymmdd(std::int64_t yyyymmdd);
  // 20240315 and 93015 -> 2024-03-15 09:30:15; nullopt for an invalid date or time.
  static std::optional<DateTime> FromYyyymmddHhmmss(std::int64_t yyyymmdd, std::int64_t hhmmss);
  // A date-time as a user or a settings file writes it: "2026-12-04", "2026-12-04 10:30" or
  // "2026-12-04 10:30:00" (a "T" may stand for the blank; blanks around the text are allowed). nullopt for
  // any other text and for an impossible date or time.
  static std::optional<DateTime> Parse(std::string_view text);
  // The machine's local wall clock now.
  static DateTime Now();
  // Seconds since the Unix epoch, read as a local wall-clock time.
  static DateTime FromTimeT(std::time_t t);

  // Whole-day part (the date at midnight) and fraction (the time of day).
  DateTime DatePart() const;
  double TimeOfDay() const;

  struct Parts {
    int year, month, day, hour, minute, second, millisecond;
  };
  Parts Decode() const;

  int Yyyymmdd() const;   // 20240315
  int Hhmmss() const;     // 93015 for 09:30:15
  int Hhmm() const;       // 930 for 09:30
  int DayOfWeek() const;  // 1 = Sunday ... 7 = Saturday

  DateTime AddDays(double days) const { return DateTime(value + days); }
  DateTime AddSeconds(double seconds) const { return DateTime(value + seconds / 86400.0); }

  // "2024-03-15 09:30:15".
  std::string ToString() const;

  friend constexpr bool operator==(DateTime a, DateTime b) = default;
  friend constexpr auto operator<=>(DateTime a, DateTime b) = default;
};

// A time of day as a fraction of a day.
double EncodeTime(int hour, int minute, int second = 0, int millisecond = 0);

}  // namespace kdp::host
