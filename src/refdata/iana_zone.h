// TIanaZone: one zone of the machine's time-zone database, named as the IANA database names it
// ("America/New_York"), read through Howard Hinnant's date/tz. It answers the offset from UTC, and whether
// summer time is in effect, at a UTC instant or at a wall-clock time of the zone, for any year.
//
// Each year's transitions are worked out once, on first use, and kept: a conversion is then a scan of the
// two or three spans of one year. After the last transition the database lists (the files stop at 2037)
// the zone follows the rule for later years written at the end of its file.
//
// Wall-clock times that a transition skips or repeats are read with the offset in effect before the
// transition. In New York, 02:30 on the spring-forward night is read as 02:30 standard time (07:30 UTC,
// which is 03:30 daylight time), and 01:30 on the fall-back night as the first 01:30, still daylight time
// (05:30 UTC). So a skipped time moves forward by the length of the gap, and a repeated one names the
// earlier of its two instants, as calendar programs do.
//
// Not thread-safe: the year cache is unlocked. The world clock that owns these objects is main-thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kdp/host/date_time.h"

namespace date {
class time_zone;
}

namespace kdp {

class TIanaZone {
 public:
  // The zone of that name; nullptr with the reason in `error` when the database does not know the name or
  // cannot be read.
  static std::unique_ptr<TIanaZone> Locate(const std::string& name, std::string& error);
  ~TIanaZone();
  TIanaZone(const TIanaZone&) = delete;
  TIanaZone& operator=(const TIanaZone&) = delete;

  const std::string& Name() const { return FName; }

  struct Offset {
    int seconds = 0;      // east of UTC, summer time included
    bool summer = false;  // summer (daylight saving) time is in effect
  };
  // At an instant given as a UTC date-time.
  Offset AtUtc(host::DateTime utc);
  // At a wall-clock date-time of the zone (skipped and repeated times as above).
  Offset AtLocal(host::DateTime local);

 private:
  class LaterYearsRule;
  // Milliseconds since 1970-01-01, the unit in which spans are compared (exact at transitions).
  using Millis = std::int64_t;
  // One stretch of constant offset, cut to the year it was built for.
  struct Span {
    Millis begin, end;  // UTC
    Offset offset;
  };
  // The spans covering one calendar year with a day to spare at each end, so wall-clock times of the year
  // (up to a day from UTC) find theirs too.
  struct Year {
    Millis first = 0, last = 0;  // the calendar year itself: [first, last)
    std::vector<Span> spans;
  };

  TIanaZone(std::string name, const date::time_zone* zone, std::unique_ptr<LaterYearsRule> laterYears,
            Millis lastListed);
  const Year& YearOf(Millis at);
  Year BuildYear(int year) const;
  // The offset and the span it holds for, from the database, or from the later-years rule after the last
  // listed transition.
  Span SpanAt(Millis at) const;

  std::string FName;
  const date::time_zone* FZone;
  std::unique_ptr<LaterYearsRule> FLaterYears;  // null when the file has none
  Millis FLastListed;                           // the last transition the database lists
  std::vector<Year> FYears;                     // the year cache, by year from 1900; unbuilt years have no spans
  Year FOutsideYear;                            // the last year asked for outside the cached years
  const Year* FLastYear = nullptr;              // the year used last, checked first
};

}  // namespace kdp
