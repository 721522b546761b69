// TKrWorldClock: the terminal's world clock (IKrWorldClock, kdp/refdata/security_manager.h): the zones of
// the cities and markets, and conversions of date-times between them, the machine's zone and the server's.
//
// Its zones come from the <worldclock> section of the stock type map ("HQ/Base/StockTypeMap.xml"), which
// the stock type manager hands over while it loads the map (an error there ends the map's load):
//   <worldclock><zone city="New York" gmt="-5" tz="America/New_York" summerdiff="1"
//                     summerstart="2016-03-13 02:00:00" summerend="2016-11-06 02:00:00"/>...</worldclock>
// then the supplementary file "TimzZone.dat" adds or replaces zones: city, gmt, summerdiff, summer start and
// end as yyyymmdd, and optionally the IANA zone.
//
// A zone whose IANA name the time-zone database knows takes its offset and summer time at every instant from
// the database (TIanaZone, with its transitions cached by year); the others keep the month-and-day rule.
// A missing or unknown name is logged once, when the zone is loaded. Zones are also found by their gmt
// offset (ShiftDateTimeEx, KoraCodeNow): the offset's zone converts with its own rules.
//
// The machine's zone is the one the operating system keeps: TZ when it names a database zone, else
// /etc/localtime, read through the time-zone database, so ShiftDateTime gives the machine's wall clock
// with its own summer time. A world clock made for a given whole-hour zone (tests, other hosts) uses the
// world-clock zone of that offset instead. The server's clock is Beijing time (UTC+8, no summer time).
//
// Main thread only: the zones' year caches are unlocked. Loaded before it is published.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kdp/error.h"
#include "kdp/refdata/security_manager.h"
#include "refdata/iana_zone.h"
#include "util/case_less.h"

namespace pugi {
class xml_node;
}  // namespace pugi

namespace kdp {

class TKrWorldClock final : public host::Implements<IKrWorldClock> {
 public:
  // The machine's zone comes from the operating system. `securities` resolves codes for KoraCodeNow; it
  // must outlive the clock (the stock type manager owns its clock).
  explicit TKrWorldClock(IKrHQSecurityManager& securities);
  // The machine's standard zone given in whole hours east of UTC.
  TKrWorldClock(IKrHQSecurityManager& securities, int localTimeZone);

  // Replaces the zones with those of a <worldclock> element, then reads the zone file. Throws
  // EStockTypeMapError for a zone that cannot be read (what was read before it stays).
  void LoadSection(const pugi::xml_node& element);

  // IKrWorldClock
  bool GetTimeZoneInfoByCity(const std::string& city, TTimeZoneInfo& info) override;
  bool ShiftDateTime(const std::string& city, host::DateTime& dateTime) override;
  bool ShiftDateTimeEx(double fromZone, double toZone, host::DateTime& dateTime) override;
  bool KoraCodeNow(const std::string& code, host::DateTime& now) override;
  bool IsNeedShowDate(const std::string& code, host::DateTime dateTime) override;
  bool IsNeedShowDate(const std::shared_ptr<host::IKrSecurity>& security, host::DateTime dateTime) override;
  bool GetLocalTimeZoneInfo(TTimeZoneInfo& info) override;
  std::vector<TTimeZoneInfo> GetCityTimeZones() override;
  bool IsInSummerTime(const TTimeZoneInfo& zone, host::DateTime dateTime) override;
  bool ShiftCityDateTime(const std::string& fromCity, const std::string& toCity, host::DateTime& dateTime) override;
  double GetZoneOffset(const TTimeZoneInfo& zone, host::DateTime dateTime) override;

  // Not published: the current time of a security object's market.
  bool KoraCodeNow(const std::shared_ptr<host::IKrSecurity>& security, host::DateTime& now);
  int GetLocalTimeZone() const { return FLocalTimeZone; }
  // The database zone the machine keeps; "" when it could not be found (the whole-hour zone serves then).
  std::string MachineZoneName() const;

  // True when the date falls in the zone's summer period (months and days only).
  static bool IsInSummerTimeZone(host::DateTime dateTime, const TTimeZoneInfo& zone);

 private:
  // A zone of the world clock with the database zone it follows (owned by FIanaZones), if any.
  struct TClockZone {
    TTimeZoneInfo info;
    TIanaZone* iana = nullptr;
  };
  // Finds the database zone a loaded zone names; nullptr (logged) when the name is missing or unknown.
  TIanaZone* LocateIanaZone(const std::string& city, const std::string& name);
  void AddZone(TTimeZoneInfo zone, const std::string& tzName);
  void LoadTimeZoneFile();
  // The database zone of a zone handed back by a caller, when the world clock loaded it.
  TIanaZone* LoadedIanaZone(const TTimeZoneInfo& zone) const;
  // The server's time now in the zone of a trade span.
  host::DateTime MarketNow(const std::string& tradeSpan);
  // A wall-clock date-time of the zone as UTC, and back.
  static host::DateTime ToUtc(const TClockZone& zone, host::DateTime local);
  static host::DateTime FromUtc(const TClockZone& zone, host::DateTime utc);

  IKrHQSecurityManager& FSecurities;
  int FLocalTimeZone = 8;
  std::unique_ptr<TIanaZone> FMachineZone;  // null: the machine's zone is the world-clock zone of FLocalTimeZone
  std::map<std::string, TClockZone, CaseLess> FDicCityTimeZone;
  std::map<double, TClockZone> FDicGmtTimeZone;
  std::map<std::string, std::unique_ptr<TIanaZone>> FIanaZones;  // by IANA name; kept for the object's life
};

// The supplementary zone file.
inline constexpr const char* kTimeZoneFileName = "TimzZone.dat";

// One record of the supplementary zone file ("city,hours,summer hours,yyyymmdd start,yyyymmdd end", and
// optionally ",IANA zone") as a zone, TzName holding the sixth field as written. nullopt, with `why`, for a
// record that is none: another field count, a field that is not plain text, an empty city, hours that are
// not a number from -12 to 14, summer hours not from 0 to 2.
std::optional<TTimeZoneInfo> TimeZoneFromRecord(const std::vector<std::string>& record, std::string& why);

}  // namespace kdp
