// Zones of the time-zone database: offsets at transitions worked out by hand from the published rules, wall
// times a transition skips or repeats, years past the database's listed transitions, and names it refuses.
#include "refdata/iana_zone.h"

#include <cmath>
#include <limits>
#include <map>

#include <gtest/gtest.h>

namespace kdp {
namespace {

using host::DateTime;

std::unique_ptr<TIanaZone> Zone(const std::string& name) {
  std::string error;
  auto zone = TIanaZone::Locate(name, error);
  EXPECT_NE(zone, nullptr) << error;
  return zone;
}

// Offsets worked out by hand at universal times, or with `local` at wall-clock times.
TEST(IanaZoneTest, OffsetsAtTransitionsAtSkippedAndRepeatedWallTimesAndPastTheListedYears) {
  struct Case {
    const char* zone;
    DateTime at;
    bool local;
    int hours;  // east of UTC
    bool summer;
  };
  const char* newYork = "America/New_York";
  const char* london = "Europe/London";
  const char* sydney = "Australia/Sydney";
  const Case cases[] = {
      // New York 2026: daylight time from 8 March 02:00 EST (07:00 UTC) to 1 November 02:00 EDT (06:00 UTC).
      {newYork, DateTime::FromParts(2026, 3, 8, 6, 59, 59), false, -5, false},
      {newYork, DateTime::FromParts(2026, 3, 8, 7, 0, 0), false, -4, true},
      {newYork, DateTime::FromParts(2026, 11, 1, 5, 59, 59), false, -4, true},
      {newYork, DateTime::FromParts(2026, 11, 1, 6, 0, 0), false, -5, false},
      {newYork, DateTime::FromParts(2026, 12, 31, 23, 0, 0), false, -5, false},  // the year's edges
      {newYork, DateTime::FromParts(2027, 1, 1, 3, 0, 0), false, -5, false},
      // London 2026: summer time from 29 March 01:00 UTC to 25 October 01:00 UTC.
      {london, DateTime::FromParts(2026, 3, 29, 0, 59, 59), false, 0, false},
      {london, DateTime::FromParts(2026, 3, 29, 1, 0, 0), false, 1, true},
      {london, DateTime::FromParts(2026, 10, 25, 0, 59, 59), false, 1, true},
      {london, DateTime::FromParts(2026, 10, 25, 1, 0, 0), false, 0, false},
      // Sydney keeps summer time across the new year: it ends 5 April 03:00 AEDT (4 April 16:00 UTC) and
      // starts again 4 October 02:00 AEST (3 October 16:00 UTC).
      {sydney, DateTime::FromParts(2026, 1, 15, 0, 0, 0), false, 11, true},
      {sydney, DateTime::FromParts(2026, 4, 4, 15, 59, 59), false, 11, true},
      {sydney, DateTime::FromParts(2026, 4, 4, 16, 0, 0), false, 10, false},
      {sydney, DateTime::FromParts(2026, 10, 3, 15, 59, 59), false, 10, false},
      {sydney, DateTime::FromParts(2026, 10, 3, 16, 0, 0), false, 11, true},
      {sydney, DateTime::FromParts(2026, 12, 31, 20, 0, 0), false, 11, true},  // 1 January 07:00 there
      {sydney, DateTime::FromParts(2027, 1, 1, 7, 0, 0), true, 11, true},
      {sydney, DateTime::FromParts(2026, 1, 1, 0, 30, 0), true, 11, true},
      // Wall times a transition skips or repeats read with the offset before it.
      {newYork, DateTime::FromParts(2026, 3, 8, 1, 59, 59), true, -5, false},
      {newYork, DateTime::FromParts(2026, 3, 8, 2, 0, 0), true, -5, false},  // skipped: 03:00 EDT
      {newYork, DateTime::FromParts(2026, 3, 8, 2, 30, 0), true, -5, false},
      {newYork, DateTime::FromParts(2026, 3, 8, 2, 59, 59), true, -5, false},
      {newYork, DateTime::FromParts(2026, 3, 8, 3, 0, 0), true, -4, true},  // the first valid time
      {newYork, DateTime::FromParts(2026, 11, 1, 0, 59, 59), true, -4, true},
      {newYork, DateTime::FromParts(2026, 11, 1, 1, 0, 0), true, -4, true},  // repeated: the first one
      {newYork, DateTime::FromParts(2026, 11, 1, 1, 59, 59), true, -4, true},
      {newYork, DateTime::FromParts(2026, 11, 1, 2, 0, 0), true, -5, false},  // after the repeat
      {london, DateTime::FromParts(2026, 3, 29, 1, 30, 0), true, 0, false},
      {london, DateTime::FromParts(2026, 3, 29, 2, 0, 0), true, 1, true},
      {london, DateTime::FromParts(2026, 10, 25, 1, 30, 0), true, 1, true},
      {london, DateTime::FromParts(2026, 10, 25, 2, 0, 0), true, 0, false},
      // The database's files list transitions up to 2037; later years follow the rule at the end of the
      // file: in New York the second Sunday of March and the first Sunday of November (2040: the 11th and
      // the 4th).
      {newYork, DateTime::FromParts(2037, 11, 1, 5, 59, 59), false, -4, true},
      {newYork, DateTime::FromParts(2037, 11, 1, 6, 0, 0), false, -5, false},
      {newYork, DateTime::FromParts(2038, 3, 14, 7, 0, 0), false, -4, true},
      {newYork, DateTime::FromParts(2040, 3, 11, 6, 59, 59), false, -5, false},
      {newYork, DateTime::FromParts(2040, 3, 11, 7, 0, 0), false, -4, true},
      {newYork, DateTime::FromParts(2040, 11, 4, 5, 59, 59), false, -4, true},
      {newYork, DateTime::FromParts(2040, 11, 4, 6, 0, 0), false, -5, false},
      {newYork, DateTime::FromParts(2150, 7, 1), false, -4, true},  // past the cached years
      {newYork, DateTime::FromParts(2150, 12, 1), false, -5, false},
      {newYork, DateTime::FromParts(2040, 3, 11, 2, 30, 0), true, -5, false},
      {"Asia/Tokyo", DateTime::FromParts(2045, 7, 1), false, 9, false},  // no summer time: its one offset
  };
  std::map<std::string, std::unique_ptr<TIanaZone>> zones;  // each zone's cache serves all its rows
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.zone) + (c.local ? " at local " : " at UTC ") + c.at.ToString());
    std::unique_ptr<TIanaZone>& zone = zones[c.zone];
    if (!zone) zone = Zone(c.zone);
    ASSERT_NE(zone, nullptr);
    const TIanaZone::Offset offset = c.local ? zone->AtLocal(c.at) : zone->AtUtc(c.at);
    EXPECT_EQ(offset.seconds, c.hours * 3600);
    EXPECT_EQ(offset.summer, c.summer);
  }
}

TEST(IanaZoneTest, UnknownNamesAreRefusedWithAReason) {
  for (const char* name : {"America/Nowhere", "", "New York", "../../../etc/passwd", "America/New_York "}) {
    SCOPED_TRACE(name);
    std::string error;
    EXPECT_EQ(TIanaZone::Locate(name, error), nullptr);
    EXPECT_FALSE(error.empty());
  }
  // A link name of the database is a zone too.
  std::string error;
  auto eastern = TIanaZone::Locate("US/Eastern", error);
  ASSERT_NE(eastern, nullptr) << error;
  EXPECT_EQ(eastern->Name(), "US/Eastern");
  EXPECT_EQ(eastern->AtUtc(DateTime::FromParts(2026, 7, 1)).seconds, -4 * 3600);
}

TEST(IanaZoneTest, DateTimesOutsideTheCalendarReadAsItsEnds) {
  auto newYork = Zone("America/New_York");
  ASSERT_NE(newYork, nullptr);
  const int lastDay = newYork->AtUtc(DateTime::FromParts(9999, 12, 31)).seconds;
  EXPECT_EQ(lastDay, -5 * 3600);
  EXPECT_EQ(newYork->AtUtc(DateTime(1e300)).seconds, lastDay);
  EXPECT_EQ(newYork->AtLocal(DateTime(std::numeric_limits<double>::infinity())).seconds, lastDay);
  const int firstDay = newYork->AtUtc(DateTime::FromParts(1, 1, 1)).seconds;
  EXPECT_EQ(newYork->AtUtc(DateTime(-1e300)).seconds, firstDay);
  EXPECT_EQ(newYork->AtLocal(DateTime(std::nan(""))).seconds, firstDay);
  // Back in the calendar the cache answers as before.
  EXPECT_EQ(newYork->AtUtc(DateTime::FromParts(2026, 7, 1)).seconds, -4 * 3600);
}

}  // namespace
}  // namespace kdp
