// Zones of the time-zone database: offsets at transitions worked out by hand from the published rules, wall
// times a transition skips or repeats, years past the database's listed transitions, and names it refuses.
#include "refdata/iana_zone.h"

#include <cmath>
#include <limits>

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

struct Expect {
  DateTime at;
  int hours;  // east of UTC
  bool summer;
};

// Checks the zone's offsets at universal (or, with `local`, wall-clock) times.
void Check(TIanaZone& zone, std::initializer_list<Expect> cases, bool local = false) {
  for (const Expect& c : cases) {
    SCOPED_TRACE(zone.Name() + (local ? " at local " : " at UTC ") + c.at.ToString());
    const TIanaZone::Offset offset = local ? zone.AtLocal(c.at) : zone.AtUtc(c.at);
    EXPECT_EQ(offset.seconds, c.hours * 3600);
    EXPECT_EQ(offset.summer, c.summer);
  }
}

TEST(IanaZoneTest, TransitionsOfNewYorkLondonAndSydneyToTheSecond) {
  // New York 2026: daylight time from 8 March 02:00 EST (07:00 UTC) to 1 November 02:00 EDT (06:00 UTC).
  auto newYork = Zone("America/New_York");
  ASSERT_NE(newYork, nullptr);
  Check(*newYork, {{DateTime::FromParts(2026, 3, 8, 6, 59, 59), -5, false},
                   {DateTime::FromParts(2026, 3, 8, 7, 0, 0), -4, true},
                   {DateTime::FromParts(2026, 11, 1, 5, 59, 59), -4, true},
                   {DateTime::FromParts(2026, 11, 1, 6, 0, 0), -5, false},
                   {DateTime::FromParts(2026, 12, 31, 23, 0, 0), -5, false},  // the year's edges
                   {DateTime::FromParts(2027, 1, 1, 3, 0, 0), -5, false}});
  // London 2026: summer time from 29 March 01:00 UTC to 25 October 01:00 UTC.
  auto london = Zone("Europe/London");
  ASSERT_NE(london, nullptr);
  Check(*london, {{DateTime::FromParts(2026, 3, 29, 0, 59, 59), 0, false},
                  {DateTime::FromParts(2026, 3, 29, 1, 0, 0), 1, true},
                  {DateTime::FromParts(2026, 10, 25, 0, 59, 59), 1, true},
                  {DateTime::FromParts(2026, 10, 25, 1, 0, 0), 0, false}});
  // Sydney keeps summer time across the new year: it ends 5 April 03:00 AEDT (4 April 16:00 UTC) and
  // starts again 4 October 02:00 AEST (3 October 16:00 UTC).
  auto sydney = Zone("Australia/Sydney");
  ASSERT_NE(sydney, nullptr);
  Check(*sydney, {{DateTime::FromParts(2026, 1, 15, 0, 0, 0), 11, true},
                  {DateTime::FromParts(2026, 4, 4, 15, 59, 59), 11, true},
                  {DateTime::FromParts(2026, 4, 4, 16, 0, 0), 10, false},
                  {DateTime::FromParts(2026, 10, 3, 15, 59, 59), 10, false},
                  {DateTime::FromParts(2026, 10, 3, 16, 0, 0), 11, true},
                  {DateTime::FromParts(2026, 12, 31, 20, 0, 0), 11, true}});  // 1 January 07:00 there
  Check(*sydney,
        {{DateTime::FromParts(2027, 1, 1, 7, 0, 0), 11, true}, {DateTime::FromParts(2026, 1, 1, 0, 30, 0), 11, true}},
        true);
}

TEST(IanaZoneTest, SkippedAndRepeatedWallTimesReadWithTheOffsetBeforeTheTransition) {
  auto newYork = Zone("America/New_York");
  ASSERT_NE(newYork, nullptr);
  Check(*newYork,
        {
            {DateTime::FromParts(2026, 3, 8, 1, 59, 59), -5, false},
            {DateTime::FromParts(2026, 3, 8, 2, 0, 0), -5, false},  // skipped: 03:00 EDT
            {DateTime::FromParts(2026, 3, 8, 2, 30, 0), -5, false},
            {DateTime::FromParts(2026, 3, 8, 2, 59, 59), -5, false},
            {DateTime::FromParts(2026, 3, 8, 3, 0, 0), -4, true},  // the first valid time
            {DateTime::FromParts(2026, 11, 1, 0, 59, 59), -4, true},
            {DateTime::FromParts(2026, 11, 1, 1, 0, 0), -4, true},  // repeated: the first one
            {DateTime::FromParts(2026, 11, 1, 1, 59, 59), -4, true},
            {DateTime::FromParts(2026, 11, 1, 2, 0, 0), -5, false},  // after the repeat
        },
        true);
  auto london = Zone("Europe/London");
  ASSERT_NE(london, nullptr);
  Check(*london,
        {{DateTime::FromParts(2026, 3, 29, 1, 30, 0), 0, false},
         {DateTime::FromParts(2026, 3, 29, 2, 0, 0), 1, true},
         {DateTime::FromParts(2026, 10, 25, 1, 30, 0), 1, true},
         {DateTime::FromParts(2026, 10, 25, 2, 0, 0), 0, false}},
        true);
}

TEST(IanaZoneTest, YearsAfterTheListedTransitionsFollowTheZonesRule) {
  // The database's files list transitions up to 2037; later years follow the rule at the end of the file:
  // in New York the second Sunday of March and the first Sunday of November (2040: the 11th and the 4th).
  auto newYork = Zone("America/New_York");
  ASSERT_NE(newYork, nullptr);
  Check(*newYork, {{DateTime::FromParts(2037, 11, 1, 5, 59, 59), -4, true},
                   {DateTime::FromParts(2037, 11, 1, 6, 0, 0), -5, false},
                   {DateTime::FromParts(2038, 3, 14, 7, 0, 0), -4, true},
                   {DateTime::FromParts(2040, 3, 11, 6, 59, 59), -5, false},
                   {DateTime::FromParts(2040, 3, 11, 7, 0, 0), -4, true},
                   {DateTime::FromParts(2040, 11, 4, 5, 59, 59), -4, true},
                   {DateTime::FromParts(2040, 11, 4, 6, 0, 0), -5, false},
                   {DateTime::FromParts(2150, 7, 1), -4, true},  // past the cached years
                   {DateTime::FromParts(2150, 12, 1), -5, false}});
  Check(*newYork, {{DateTime::FromParts(2040, 3, 11, 2, 30, 0), -5, false}}, true);
  // A zone without summer time stays on its offset.
  auto tokyo = Zone("Asia/Tokyo");
  ASSERT_NE(tokyo, nullptr);
  Check(*tokyo, {{DateTime::FromParts(2045, 7, 1), 9, false}});
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
