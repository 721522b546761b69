// The world clock: zone shifts with the summer rule and with the time-zone database (against the database
// itself around every transition of every sample city), unknown zones, the supplementary zone file, the
// current time of a market; the trade-rule questions; and the stock type variables.
#include <chrono>
#include <map>

#include <date/tz.h>
#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "config_files.h"
#include "core/host_lookups.h"
#include "core/package_lookup.h"
#include "kdp/host/ansi.h"
#include "kdp/host/display_text.h"
#include "refdata/stock_type_manager.h"
#include "refdata/stock_type_variable.h"
#include "refdata/trade_rules.h"
#include "test_host.h"

namespace kdp {
namespace {

using host::DateTime;
using ::testing::ElementsAre;
using testing::ScratchDir;
using testing::TestHost;

constexpr const char* kZonesXml = R"xml(<Map><worldclock>
  <zone city="Beijing" gmt="8"/>
  <zone city="New York" gmt="-5" summerdiff="1" summerstart="2016-03-13 02:00:00" summerend="2016-11-06 02:00:00"/>
  <zone city="London" gmt="0" summerdiff="1" summerstart="2016-03-27 01:00" summerend="2016-10-30 02:00"/>
</worldclock></Map>)xml";

// A zone: city, hours east of UTC, summer hours, summer start and end (month/day and hour), and the
// database zone in brackets.
std::string Zone(const TTimeZoneInfo& z) {
  return fmt::format("{} {} summer {} {}/{} {:g}h to {}/{} {:g}h [{}]", z.City, z.TimeZone, z.SummerDiff,
                     z.SummerStartMon, z.SummerStartDay, z.SummerStartTime * 24, z.SummerEndMon, z.SummerEndDay,
                     z.SummerEndTime * 24, z.TzName);
}

TEST(WorldClockTest, SummerPeriodCountsWholeDaysAtBothEdges) {
  TTimeZoneInfo zone;
  zone.SummerStartMon = 3;
  zone.SummerStartDay = 13;
  zone.SummerEndMon = 11;
  zone.SummerEndDay = 6;
  struct Case {
    DateTime when;
    bool inside;
  };
  for (const Case& c :
       {Case{DateTime::FromParts(2026, 3, 12, 23, 59), false}, Case{DateTime::FromParts(2026, 3, 13), true},
        Case{DateTime::FromParts(2026, 7, 1), true}, Case{DateTime::FromParts(2026, 11, 6, 23, 0), true},
        Case{DateTime::FromParts(2026, 11, 7), false}, Case{DateTime::FromParts(2026, 1, 20), false}}) {
    SCOPED_TRACE(c.when.ToString());
    EXPECT_EQ(TKrWorldClock::IsInSummerTimeZone(c.when, zone), c.inside);
  }
  // A period across the new year never matches in its middle months.
  TTimeZoneInfo south{"Auckland", 12, 9, 25, 0, 4, 3, 1, 0, ""};
  EXPECT_FALSE(TKrWorldClock::IsInSummerTimeZone(DateTime::FromParts(2026, 12, 25), south));
  EXPECT_TRUE(TKrWorldClock::IsInSummerTimeZone(DateTime::FromParts(2026, 9, 30), south));
  EXPECT_FALSE(TKrWorldClock::IsInSummerTimeZone(DateTime::FromParts(2026, 6, 1), TTimeZoneInfo{}));
}

TEST(WorldClockTest, ShiftsBetweenZonesWithSummerTimeAndRefusesUnknownZones) {
  ScratchDir etc;  // no zone file
  TestHost h([&](minihost::HostSettings& s) { testing::UseConfigurationRoot(s, etc.Path()); });
  TKrHQStockTypeManagerImpl map(8);
  map.LoadStockTypeMapXml(kZonesXml);
  TKrWorldClock& clock = map.WorldClock();
  struct Case {
    double from, to;
    DateTime in;
    bool ok;
    const char* out;
  };
  const Case cases[] = {
      {-5, 8, DateTime::FromParts(2026, 12, 3, 21, 30), true, "2026-12-04 10:30:00"},  // New York winter
      {-5, 8, DateTime::FromParts(2026, 7, 1, 9, 30), true, "2026-07-01 21:30:00"},    // New York summer
      {8, -5, DateTime::FromParts(2026, 7, 1, 21, 30), true, "2026-07-01 09:30:00"},
      {8, 0, DateTime::FromParts(2026, 3, 27, 9, 0), true, "2026-03-27 02:00:00"},  // London's first summer day
      {8, 0, DateTime::FromParts(2026, 3, 26, 9, 0), true, "2026-03-26 01:00:00"},
      {8, 8, DateTime::FromParts(2026, 1, 1, 9, 0), true, "2026-01-01 09:00:00"},   // equal offsets
      {7, 7, DateTime::FromParts(2026, 1, 1, 9, 0), true, "2026-01-01 09:00:00"},   // even unknown ones
      {8, 9, DateTime::FromParts(2026, 1, 1, 9, 0), false, "2026-01-01 09:00:00"},  // Tokyo is unknown here
      {9, 8, DateTime::FromParts(2026, 1, 1, 9, 0), false, "2026-01-01 09:00:00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.from) + " -> " + std::to_string(c.to) + " " + c.in.ToString());
    DateTime value = c.in;
    EXPECT_EQ(clock.ShiftDateTimeEx(c.from, c.to, value), c.ok);
    EXPECT_EQ(value.ToString(), c.out);
  }

  TTimeZoneInfo info;
  ASSERT_TRUE(clock.GetTimeZoneInfoByCity("new york", info));  // cities compare without regard to case
  EXPECT_EQ(Zone(info), "New York -5 summer 1 3/13 2h to 11/6 2h []");
  EXPECT_FALSE(clock.GetTimeZoneInfoByCity("Atlantis", info));
  TTimeZoneInfo local;
  local.City = "untouched";
  ASSERT_TRUE(clock.GetTimeZoneInfoByCity("Local", local));
  EXPECT_EQ(local.City, "untouched");

  DateTime value = DateTime::FromParts(2026, 12, 3, 21, 30);
  ASSERT_TRUE(clock.ShiftDateTime("New York", value));  // to the machine's zone (8 here)
  EXPECT_EQ(value.ToString(), "2026-12-04 10:30:00");
  EXPECT_FALSE(clock.ShiftDateTime("Atlantis", value));
  ASSERT_TRUE(clock.GetLocalTimeZoneInfo(info));
  EXPECT_EQ(info.City, "Beijing");

  TKrHQStockTypeManagerImpl elsewhereMap(3);  // a machine whose zone the world clock lacks
  elsewhereMap.LoadStockTypeMapXml(kZonesXml);
  TKrWorldClock& elsewhere = elsewhereMap.WorldClock();
  value = DateTime::FromParts(2026, 12, 3, 21, 30);
  EXPECT_FALSE(elsewhere.ShiftDateTime("New York", value));
  EXPECT_EQ(value.ToString(), "2026-12-03 21:30:00");
  EXPECT_FALSE(elsewhere.GetLocalTimeZoneInfo(info));
}

// Milliseconds since 1970 of a date-time, to compare it with the database's instants exactly.
std::int64_t MillisOf(DateTime t) { return std::llround((t.value - 25569.0) * 86400000.0); }

DateTime DateTimeOf(date::sys_seconds t) {
  return DateTime(25569.0 + static_cast<double>(t.time_since_epoch().count()) / 86400.0);
}

TEST(WorldClockTest, EverySampleCityAgreesWithTheDatabaseAroundEveryTransition) {
  TestHost h;
  TKrHQStockTypeManagerImpl map(8);
  map.LoadStockTypeMap(std::string(KDP_SAMPLE_ETC) + "/HQ/Base/StockTypeMap.xml");
  TKrWorldClock& clock = map.WorldClock();
  const std::vector<TTimeZoneInfo> zones = clock.GetCityTimeZones();
  ASSERT_GE(zones.size(), 12u);
  std::map<double, int> citiesPerOffset;
  for (const TTimeZoneInfo& zone : zones) ++citiesPerOffset[zone.TimeZone];
  const date::time_zone* beijing = date::locate_zone("Asia/Shanghai");

  const auto from = date::sys_seconds(date::sys_days(date::year(2020) / 1 / 1));
  const auto until = date::sys_seconds(date::sys_days(date::year(2036) / 1 / 1));
  int transitions = 0;
  for (const TTimeZoneInfo& zone : zones) {
    SCOPED_TRACE(zone.City);
    ASSERT_FALSE(zone.TzName.empty());  // the sample names the zone of every city
    const date::time_zone* database = date::locate_zone(zone.TzName);
    for (date::sys_info info = database->get_info(from); info.end < until; info = database->get_info(info.end)) {
      ++transitions;
      for (const auto utc : {info.end - std::chrono::hours(1), info.end + std::chrono::hours(1)}) {
        const date::sys_info there = database->get_info(utc);
        const DateTime local = DateTimeOf(utc + there.offset);
        const DateTime inBeijing = DateTimeOf(utc + beijing->get_info(utc).offset);
        SCOPED_TRACE(local.ToString());

        DateTime value = inBeijing;
        ASSERT_TRUE(clock.ShiftCityDateTime("Beijing", zone.City, value));
        EXPECT_EQ(MillisOf(value), MillisOf(local));
        value = local;
        ASSERT_TRUE(clock.ShiftCityDateTime(zone.City, "Beijing", value));
        EXPECT_EQ(MillisOf(value), MillisOf(inBeijing));
        EXPECT_EQ(clock.IsInSummerTime(zone, local), there.save != std::chrono::minutes(0));
        EXPECT_DOUBLE_EQ(clock.GetZoneOffset(zone, local), there.offset.count() / 3600.0);
        // A city alone at its offset is the zone the markets' offsets name.
        if (citiesPerOffset[zone.TimeZone] == 1) {
          value = inBeijing;
          ASSERT_TRUE(clock.ShiftDateTimeEx(8, zone.TimeZone, value));
          EXPECT_EQ(MillisOf(value), MillisOf(local));
          value = local;
          ASSERT_TRUE(clock.ShiftDateTimeEx(zone.TimeZone, 8, value));
          EXPECT_EQ(MillisOf(value), MillisOf(inBeijing));
        }
      }
    }
  }
  // New York, Chicago, London, Frankfurt and Sydney change twice a year.
  EXPECT_EQ(transitions, 5 * 2 * 16);
}

// Between two database zones, into a zone and into the machine's zone, the clock is the previous test's
// and the host's clock command's; what is left are the cities and zone names the clock does not know.
TEST(WorldClockTest, UnknownCitiesAndZoneNamesTheClockNeverLoaded) {
  TestHost h;
  TKrHQStockTypeManagerImpl map(8);
  map.LoadStockTypeMap(std::string(KDP_SAMPLE_ETC) + "/HQ/Base/StockTypeMap.xml");
  TKrWorldClock& clock = map.WorldClock();
  DateTime value = DateTime::FromParts(2026, 7, 1, 9, 0);
  EXPECT_FALSE(clock.ShiftCityDateTime("Beijing", "Atlantis", value));
  EXPECT_FALSE(clock.ShiftCityDateTime("Atlantis", "Beijing", value));
  EXPECT_EQ(value.ToString(), "2026-07-01 09:00:00");

  // A zone naming a database zone the clock never loaded keeps its month-and-day fields.
  TTimeZoneInfo newYork;
  ASSERT_TRUE(clock.GetTimeZoneInfoByCity("New York", newYork));
  EXPECT_EQ(newYork.TzName, "America/New_York");
  TTimeZoneInfo stranger = newYork;
  stranger.TzName = "Europe/Paris";
  EXPECT_FALSE(clock.IsInSummerTime(stranger, DateTime::FromParts(2026, 3, 10, 9, 30)));
  EXPECT_DOUBLE_EQ(clock.GetZoneOffset(stranger, DateTime::FromParts(2026, 3, 10, 9, 30)), -5);
  EXPECT_DOUBLE_EQ(clock.GetZoneOffset(stranger, DateTime::FromParts(2026, 3, 13, 9, 30)), -4);
}

TEST(WorldClockTest, MissingOrUnknownZoneNamesAreLoggedOnceAndKeepTheMonthAndDayRule) {
  ScratchDir etc;  // no zone file
  TestHost h([&](minihost::HostSettings& s) { testing::UseConfigurationRoot(s, etc.Path()); });
  TKrHQStockTypeManagerImpl map(8);
  map.LoadStockTypeMapXml(R"xml(<Map><worldclock>
    <zone city="Beijing" gmt="8" tz="Asia/Shanghai"/>
    <zone city="New York" gmt="-5" tz="America/Nowhere" summerdiff="1" summerstart="2016-03-13 02:00:00"
          summerend="2016-11-06 02:00:00"/>
    <zone city="London" gmt="0" summerdiff="1" summerstart="2016-03-27 01:00" summerend="2016-10-30 02:00"/>
  </worldclock></Map>)xml");
  TKrWorldClock& clock = map.WorldClock();
  for (int i = 0; i < 3; ++i) {
    DateTime value = DateTime::FromParts(2026, 3, 10, 22, 30);
    ASSERT_TRUE(clock.ShiftCityDateTime("Beijing", "New York", value));
    EXPECT_EQ(value.ToString(), "2026-03-10 09:30:00");  // 13 March starts summer time here
    value = DateTime::FromParts(2026, 10, 27, 22, 30);
    ASSERT_TRUE(clock.ShiftCityDateTime("Beijing", "London", value));
    EXPECT_EQ(value.ToString(), "2026-10-27 15:30:00");  // summer time until 30 October here
  }
  EXPECT_EQ(h->Logger().CountContaining("America/Nowhere"), 1u);
  EXPECT_EQ(h->Logger().CountContaining("London names no IANA time zone"), 1u);
  EXPECT_EQ(h->Logger().CountContaining("Beijing"), 0u);
  TTimeZoneInfo info;
  ASSERT_TRUE(clock.GetTimeZoneInfoByCity("New York", info));
  EXPECT_EQ(info.TzName, "");
  ASSERT_TRUE(clock.GetTimeZoneInfoByCity("Beijing", info));
  EXPECT_EQ(info.TzName, "Asia/Shanghai");
}

TEST(WorldClockTest, ZoneFileAddsAndReplacesZones) {
  ScratchDir etc;
  // Code page 936, a record of the wrong length, a short date, a zone replacing a city, and junk: an
  // offset that is no number, binary bytes and control characters never become cities.
  const std::string text = host::Utf8ToAnsi(
                               "孟买,5.5,0,,\r\n"
                               "broken,1,2\r\n"
                               "Santiago,-4,1.4,20160814,2016051\r\n"
                               "New York,-5,2,20160301,20161101\r\n"
                               "Fiji,abc,x,,\r\n"
                               "Atlantis,99,0,,\r\n"
                               "\x1b]0;owned\x07,1,0,,\r\n") +
                           std::string("\x01\x02\x03\0,2,0,,\r\n", 12) +
                           "Sydney,10,1,20161002,20170402,Australia/Sydney\r\n"
                           "Auckland,12,1,20160925,20170402,Pacific/Auckland,extra\r\n";
  testing::WriteTextFile(etc.File("HQ/Base/TimzZone.dat"), text);
  TestHost h([&](minihost::HostSettings& s) { testing::UseConfigurationRoot(s, etc.Path()); });
  TKrHQStockTypeManagerImpl map(8);
  map.LoadStockTypeMapXml(kZonesXml);
  TKrWorldClock& clock = map.WorldClock();

  TTimeZoneInfo info;
  ASSERT_TRUE(clock.GetTimeZoneInfoByCity("孟买", info));
  EXPECT_EQ(Zone(info), "孟买 5.5 summer 0 0/0 0h to 0/0 0h []");
  EXPECT_FALSE(clock.GetTimeZoneInfoByCity("broken", info));
  ASSERT_TRUE(clock.GetTimeZoneInfoByCity("Santiago", info));
  EXPECT_EQ(Zone(info), "Santiago -4 summer 1 8/14 0h to 0/0 0h []");  // "2016051" is too short
  // The five-field New York replaced the XML one: the month-and-day rule, and a note in the log.
  ASSERT_TRUE(clock.GetTimeZoneInfoByCity("New York", info));
  EXPECT_EQ(Zone(info), "New York -5 summer 2 3/1 0h to 11/1 0h []");
  EXPECT_FALSE(clock.GetTimeZoneInfoByCity("Fiji", info));
  EXPECT_FALSE(clock.GetTimeZoneInfoByCity("Atlantis", info));
  EXPECT_EQ(clock.GetCityTimeZones().size(), 6u);  // Beijing, New York, London, 孟买, Santiago, Sydney
  for (const TTimeZoneInfo& zone : clock.GetCityTimeZones()) EXPECT_TRUE(host::IsPlainText(zone.City)) << zone.City;
  const std::string file = etc.File("HQ/Base/TimzZone.dat");
  EXPECT_TRUE(h->Logger().Contains(file + ":2: zone record skipped: 3 fields instead of 5 or 6"));
  EXPECT_TRUE(h->Logger().Contains(file + ":5: zone record skipped: the offset is not a number of hours"));
  EXPECT_TRUE(h->Logger().Contains(file + ":6: zone record skipped: the offset is not a number of hours"));
  EXPECT_TRUE(h->Logger().Contains(file + ":7: zone record skipped: a field is not text: \\e]0;owned\\x07"));
  EXPECT_TRUE(h->Logger().Contains(file + ":8: zone record skipped: a field is not text"));
  EXPECT_TRUE(h->Logger().Contains(file + ":10: zone record skipped: 7 fields instead of 5 or 6"));
  DateTime value = DateTime::FromParts(2026, 7, 1, 8, 0);
  ASSERT_TRUE(clock.ShiftDateTimeEx(8, 0, value));  // London keeps offset 0, with its summer hour
  EXPECT_EQ(value.ToString(), "2026-07-01 01:00:00");
  value = DateTime::FromParts(2026, 7, 1, 8, 0);
  ASSERT_TRUE(clock.ShiftDateTimeEx(8, -5, value));  // the file's New York summer adds 2 hours
  EXPECT_EQ(value.ToString(), "2026-06-30 21:00:00");

  // A sixth field names the database zone, whose summer time runs across the new year.
  ASSERT_TRUE(clock.GetTimeZoneInfoByCity("Sydney", info));
  EXPECT_EQ(Zone(info), "Sydney 10 summer 1 10/2 0h to 4/2 0h [Australia/Sydney]");
  EXPECT_DOUBLE_EQ(clock.GetZoneOffset(info, DateTime::FromParts(2026, 12, 25, 12, 0)), 11);
  EXPECT_DOUBLE_EQ(clock.GetZoneOffset(info, DateTime::FromParts(2026, 6, 25, 12, 0)), 10);
  EXPECT_FALSE(clock.GetTimeZoneInfoByCity("Auckland", info));                     // seven fields: skipped
  EXPECT_EQ(h->Logger().CountContaining("New York names no IANA time zone"), 2u);  // the XML's and the file's
}

TEST(WorldClockTest, ZoneFileInTheBaseFolderIsTheFallback) {
  ScratchDir etc;
  testing::WriteTextFile(etc.File("Base/TimzZone.dat"), "Dubai,4,0,,\r\n");
  TestHost h([&](minihost::HostSettings& s) { testing::UseConfigurationRoot(s, etc.Path()); });
  TKrHQStockTypeManagerImpl map(8);
  map.LoadStockTypeMapXml(kZonesXml);
  TKrWorldClock& clock = map.WorldClock();
  TTimeZoneInfo info;
  EXPECT_TRUE(clock.GetTimeZoneInfoByCity("Dubai", info));
  // Without a worldclock element the file is not read.
  TKrHQStockTypeManagerImpl noneMap(8);
  noneMap.LoadStockTypeMapXml("<Map/>");
  TKrWorldClock& none = noneMap.WorldClock();
  EXPECT_FALSE(none.GetTimeZoneInfoByCity("Dubai", info));
}

// A market's current time is in the zone of its trade span (each market's, as the board shows it, is the
// command-line board tests').
TEST(WorldClockTest, ADateIsShownWhenItIsNotTheMarketsCurrentDate) {
  TestHost h;  // server time 2026-12-04 10:30:00
  auto map = std::make_shared<TKrHQStockTypeManagerImpl>(8);
  map->LoadStockTypeMap(std::string(KDP_SAMPLE_ETC) + "/HQ/Base/StockTypeMap.xml");
  TKrWorldClock& clock = map->WorldClock();
  const DateTime morning = DateTime::FromParts(2026, 12, 4, 9, 0);
  EXPECT_FALSE(clock.IsNeedShowDate("600000.SH", morning));
  EXPECT_TRUE(clock.IsNeedShowDate("AAPL.O", morning));  // still the 3rd in New York
  EXPECT_FALSE(clock.IsNeedShowDate(G_GetSecurity("AAPL.O"), DateTime::FromParts(2026, 12, 3, 23, 0)));
}

TEST(TradeRulesTest, QuestionsToTheQuoteEnginesMarketRules) {
  {
    TestHost h;
    TArrayMarketTimeSep sessions{1};
    EXPECT_TRUE(GetMarketTime_New(602, "SHFE_NIGHT", sessions));
    EXPECT_THAT(sessions, ElementsAre(2100, 230, 900, 1015, 1030, 1130, 1330, 1500));
    EXPECT_FALSE(GetMarketTime_New(602, "NOWHERE", sessions));
    EXPECT_TRUE(sessions.empty());
    std::string exchange = "x";
    EXPECT_TRUE(GetStockExchange_New(604, "HK", exchange));
    EXPECT_EQ(exchange, "HKEX");
    EXPECT_FALSE(GetStockExchange_New(604, "NOWHERE", exchange));
    EXPECT_EQ(exchange, "");
    EXPECT_EQ(GetStockTimeZone_New(606, "US"), -5);
    EXPECT_EQ(GetStockTimeZone_New(606, "GI_TOKYO"), 9);
    EXPECT_EQ(h->Speed()->LentMarketInfoBuffers(), 0u);  // every session array went back
  }
  {
    TestHost h([](minihost::HostSettings& s) { s.quoteEngine = false; });
    TArrayMarketTimeSep sessions{1};
    EXPECT_FALSE(GetMarketTime_New(602, "SH", sessions));
    EXPECT_TRUE(sessions.empty());
    std::string exchange = "x";
    EXPECT_FALSE(GetStockExchange_New(604, "SH", exchange));
    EXPECT_EQ(exchange, "");
    EXPECT_EQ(GetStockTimeZone_New(606, "SH"), kUnknownMarketTimeZone);
    // Without a zone the market's time is the server's.
    TKrHQStockTypeManagerImpl map(8);
    map.LoadStockTypeMap(std::string(KDP_SAMPLE_ETC) + "/HQ/Base/StockTypeMap.xml");
    TKrWorldClock& clock = map.WorldClock();
    DateTime now;
    EXPECT_TRUE(clock.KoraCodeNow("AAPL.O", now));
    EXPECT_EQ(now.ToString(), "2026-12-04 10:30:00");
  }
}

TEST(StockTypeVariableTest, TypeVariablesFallBackToDefault) {
  ScratchDir dir;
  testing::WriteTextFile(dir.File("vars.xml"), R"xml(<Vars>
    <!-- comment -->
    <Types name=" A.SH , A.SZ "><V name=" LotSize " value=" 100 "/><V name="Unit" value="手"/><!-- c --></Types>
    <Types name="a.sh"><V name="LotSize" value="999"/></Types>
    <Types name="default"><V name="LotSize" value="1"/><V name="Currency" value="CNY"/></Types>
    <Types name="HK"><V name="Currency" value="HKD"/></Types>
  </Vars>)xml");
  TestHost h;
  auto manager = std::make_shared<TKrHQStockTypeManagerImpl>(8);
  manager->LoadStockTypeMap(std::string(KDP_SAMPLE_ETC) + "/HQ/Base/StockTypeMap.xml");
  TStockTypeVariable variables(dir.File("vars.xml"), manager);
  EXPECT_EQ(variables.GetVariableByHQType("A.SH", "LotSize"), "100");  // trimmed; the first value stays
  EXPECT_EQ(variables.GetVariableByHQType("a.sz", "lotsize"), "100");
  EXPECT_EQ(variables.GetVariableByHQType("HK", "LotSize"), "1");  // from default
  EXPECT_EQ(variables.GetVariableByHQType("CFE", "Currency"), "CNY");
  EXPECT_EQ(variables.GetVariableByHQType("HK", "Currency"), "HKD");
  EXPECT_EQ(variables.GetVariableByHQType("HK", "Unit"), "");
  EXPECT_EQ(variables.GetVariableByStockType("600000.SH", "Unit"), "手");
  EXPECT_EQ(variables.GetVariableByStockType("00700.HK", "Currency"), "HKD");
  EXPECT_EQ(variables.GetVariableByStockType(std::shared_ptr<IKrHQSecurityInfo>(), "Currency"), "");
  variables.SetHQSecurityManager(nullptr);
  EXPECT_EQ(variables.GetVariableByStockType("00700.HK", "Currency"), "");
}

}  // namespace
}  // namespace kdp
