#include "kdp/host/date_time.h"

#include <gtest/gtest.h>

namespace kdp::host {
namespace {

TEST(DateTimeTest, YyyymmddAndHhmmssRoundTrip) {
  auto t = DateTime::FromYyyymmddHhmmss(20240229, 235959);
  ASSERT_TRUE(t.has_value());
  EXPECT_EQ(t->Yyyymmdd(), 20240229);
  EXPECT_EQ(t->Hhmmss(), 235959);
  EXPECT_EQ(t->ToString(), "2024-02-29 23:59:59");
  // One second later is the next day.
  EXPECT_EQ(t->AddSeconds(1).Yyyymmdd(), 20240301);
  EXPECT_EQ(t->AddSeconds(1).Hhmmss(), 0);

  EXPECT_FALSE(DateTime::FromYyyymmdd(20230229).has_value());
  EXPECT_FALSE(DateTime::FromYyyymmdd(0).has_value());
  EXPECT_FALSE(DateTime::FromYyyymmddHhmmss(20240101, 240000).has_value());
  EXPECT_FALSE(DateTime::FromYyyymmddHhmmss(20240101, 126000).has_value());
  EXPECT_FALSE(DateTime::FromYyyymmddHhmmss(20240101, 120060).has_value());
  EXPECT_FALSE(DateTime::FromYyyymmdd(100000101).has_value());  // a year of five digits
}

TEST(DateTimeTest, TimeOfDayAndRoundingToTheMillisecond) {
  EXPECT_NEAR(DateTime::FromYyyymmddHhmmss(20261204, 103000)->TimeOfDay(), 10.5 / 24, 1e-12);
  // A value a hair below midnight decodes as midnight of the next day, not 23:59:60.
  const DateTime almost(DateTime::FromParts(2026, 12, 5).value - 1e-10);
  EXPECT_EQ(almost.Yyyymmdd(), 20261205);
  EXPECT_EQ(almost.Hhmmss(), 0);
}

TEST(DateTimeTest, ParsesTheDateTimesAUserTypes) {
  struct Case {
    const char* text;
    const char* parsed;  // nullptr: refused
  };
  const Case cases[] = {
      {"2026-12-04 10:30:00", "2026-12-04 10:30:00"},
      {"2026-12-04T10:30", "2026-12-04 10:30:00"},
      {"  2026-7-1 9:05  ", "2026-07-01 09:05:00"},
      {"2026-12-04", "2026-12-04 00:00:00"},
      {"2024-02-29 23:59:59", "2024-02-29 23:59:59"},
      {"2023-02-29", nullptr},  // not a leap year
      {"2026-13-01", nullptr},
      {"2026-12-04 24:00", nullptr},
      {"2026-12-04 10:60", nullptr},
      {"2026-12-04 10:30:00 junk", nullptr},
      {"2026-12-04 10", nullptr},
      {"2026-12-04 10:3", nullptr},
      {"26-12-04", nullptr},
      {"0000-01-01", nullptr},
      {"tomorrow", nullptr},
      {"", nullptr},
      {"2026-12-04\n10:30", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const auto parsed = DateTime::Parse(c.text);
    if (c.parsed == nullptr) {
      EXPECT_FALSE(parsed.has_value());
    } else {
      ASSERT_TRUE(parsed.has_value());
      EXPECT_EQ(parsed->ToString(), c.parsed);
    }
  }
}

}  // namespace
}  // namespace kdp::host
