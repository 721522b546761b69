// The terminal's classification of securities and its world clock.
//
// IKrHQSecurityManager resolves any security code (or host security object) to an IKrHQSecurityInfo: the
// quote type (HQ type) and its numeric ID, the exchange suffix, the trading sessions, the history
// directory, the time zone city, the K-line volume divisors, the F5 detail page and a few flags, as the
// stock type map ("HQ/Base/StockTypeMap.xml") classifies it. IKrWorldClock converts date-times between the
// zones of cities and markets: a zone that names an IANA zone follows the machine's time-zone database in
// every year, the others a simple month-and-day summer-time rule. One object implements both; the package
// publishes it at start-up under the names "IKrHQSecurityManager" and "IKrWorldClock".
// IKrStockTypeVariable answers named per-HQ-type variables ("HQ/Base/StockTypeVariables.xml").
//
// All of these are used on the main thread, except GetSecurityInfo of a security object, which the quote
// engine's configuration calls from the engine's threads: it reads only what the manager loaded before it
// was published, and asks nothing but the host. Info objects are made fresh per resolution and belong to
// the caller.
#pragma once

#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "kdp/host/date_time.h"
#include "kdp/host/interface.h"
#include "kdp/host/security.h"
#include "kdp/refdata/market_time.h"

namespace kdp {

using host::Guid;

// A time zone of the world clock. A zone without summer time has all summer fields 0. A zone with TzName
// takes its offset and summer time at every instant from the time-zone database; its summer fields are then
// not consulted.
struct TTimeZoneInfo {
  std::string City;
  double TimeZone = 0.0;  // hours east of UTC
  int SummerStartMon = 0;
  int SummerStartDay = 0;
  double SummerStartTime = 0.0;  // time of day (fraction of a day); not consulted by the shifts
  int SummerEndMon = 0;
  int SummerEndDay = 0;
  int SummerDiff = 0;  // hours
  double SummerEndTime = 0.0;
  std::string TzName;  // the IANA zone ("America/New_York"); "" when the zone follows the month-and-day rule
};

// One entry of the stock type map.
struct TKrStockTypeDataItem {
  int StockID = 0;
  std::string StockType;
  std::string ExChange;  // the suffix with its leading point: ".SH"
  std::string HQType;
  std::string IndexCode;
  std::string defaultSector;
  int MarketClean = 0;  // HHMM
  TArrayMarketTimeSep MarketTimeSep;
  std::string HisDir;
  std::string clock;
  double klinehisvolumediv = 1.0;
  double klinerealtimevolumediv = 1.0;
  int MenuState = std::numeric_limits<int>::max();
  bool AllowTrade = false;
  int Category = 0;
  std::string F5Page;
  std::string F5PageNamesStr;    // ";" + page, per extra F5 page
  std::string F5PermissionsStr;  // ";" + permission, per extra F5 page
  std::string F5PermissionsStrFreePad;
  std::string DefaultCode;
  int HQTypeID = 0;
  std::string defaultSectorName;
  std::string SectorID;
  std::string F5SectorPage;
  std::string SpecialCodes;
  std::string F5PageSpecialCode;
};

class IKrHQSecurityInfo : public virtual host::IInterface {
 public:
  static constexpr Guid IID = "FC7CEF6C-795B-499A-9CA4-1C04BDAC46A4";

  // From the security object; "" without one.
  virtual std::string GetKoraCode() = 0;
  virtual std::string GetStockCode() = 0;
  virtual std::string GetStockName() = 0;
  // The map's stock type when set, else the security object's.
  virtual std::string GetStockType() = 0;
  // The security object's listing status; ' ' (32) without one.
  virtual char GetListStatus() = 0;
  virtual std::string GetExchange() = 0;  // the suffix, ".SH"
  virtual std::string GetHQType() = 0;
  virtual int GetHQTypeID() = 0;
  virtual std::string GetIndexCode() = 0;
  virtual std::string GetdefaultSector() = 0;
  virtual int GetMarketClean() = 0;
  virtual int GetMarketOpen() = 0;
  virtual int GetMarketClose() = 0;
  virtual std::string GetHisDir() = 0;
  virtual void SetHisDir(const std::string& value) = 0;
  virtual std::string GetCity() = 0;
  virtual void SetCity(const std::string& value) = 0;
  // The F5 detail page for the current user's rights.
  virtual std::string GetF5Page() = 0;
  virtual std::string GetF5PageFreePad(const std::string& padKey) = 0;
  virtual TArrayMarketTimeSep GetMarketTimeSep() = 0;
  virtual void SetMarketTimeSep(const TArrayMarketTimeSep& value) = 0;
  virtual bool GetUseOwnMarketTimeSep() = 0;
  virtual void SetUseOwnMarketTimeSep(bool value) = 0;
  // The sessions as date-times (TransMarketTimeSepToDate).
  virtual std::vector<host::DateTime> GetMarketTimeSepDate() = 0;
  virtual void SetKLineHisVolumeDiv(double value) = 0;
  virtual double GetKLineHisVolumeDiv() = 0;
  virtual void SetKLineRealTimeVolumeDiv(double value) = 0;
  virtual double GetKLineRealTimeVolumeDiv() = 0;
  virtual void SetMenuState(int value) = 0;
  virtual int GetMenuState() = 0;
  virtual void SetAllowTrade(bool value) = 0;
  virtual bool GetAllowTrade() = 0;
  // Does nothing: the category is the security object's.
  virtual void SetCategory(int value) = 0;
  // The security object's quote category (kind 3); 0 without one.
  virtual int GetCategory() = 0;
  virtual std::shared_ptr<host::IKrSecurity> GetISecurity() = 0;
  // The security object's trade span; "" without one.
  virtual std::string GetTradeSpan() = 0;
};

class IKrHQSecurityManager : public virtual host::IInterface {
 public:
  static constexpr Guid IID = "0BC3C9B5-7E1C-4A61-A81C-6111644D68E7";
  // Resolves the code (also codes the host does not know: user-defined, hard-coded, quote prefixes).
  virtual std::shared_ptr<IKrHQSecurityInfo> GetSecurityInfo(const std::string& code) = 0;
  // Resolves a security object; nullptr resolves "600000.SH".
  virtual std::shared_ptr<IKrHQSecurityInfo> GetSecurityInfo(const std::shared_ptr<host::IKrSecurity>& security) = 0;
  // "" when no entry has that ID.
  virtual std::string GetHQTypeByID(int id) = 0;
  // 0 when no entry has that HQ type (compared exactly).
  virtual int GetHQTypeIDByName(const std::string& name) = 0;
  virtual int GetHQMarketOpenByID(int id) = 0;
  virtual int GetHQMarketCleanByID(int id) = 0;
  virtual int GetHQMarketCloseByID(int id) = 0;
  virtual int GetCount() = 0;
  // Category entries first (by category), then the others (by map key); an empty record out of range.
  virtual TKrStockTypeDataItem GetItem(int index) = 0;
  // True for a code the map classifies by its hard-code list (after any quote prefix).
  virtual bool IsHardCode(const std::string& code) = 0;
};

// Wall-clock date-times that a zone's transition skips (02:30 on a spring-forward night) or repeats (01:30 on
// a fall-back night) are read with the offset in effect before the transition: a skipped time moves forward
// by the length of the gap, a repeated one names the earlier instant.
class IKrWorldClock : public virtual host::IInterface {
 public:
  static constexpr Guid IID = "F56CA3B3-546E-48CB-9ADE-C893237F05F3";
  // The zone of a city (compared without regard to case); "Local" answers the machine's current offset.
  virtual bool GetTimeZoneInfoByCity(const std::string& city, TTimeZoneInfo& info) = 0;
  // Converts a date-time of the city's zone into the machine's zone; false (value unchanged) when the city
  // or the machine's zone is unknown.
  virtual bool ShiftDateTime(const std::string& city, host::DateTime& dateTime) = 0;
  // Converts a date-time between two zones given by their offsets (the last zone listed with an offset
  // answers for it); false (value unchanged) when either zone is unknown. Equal offsets leave the value
  // unchanged and answer true.
  virtual bool ShiftDateTimeEx(double fromZone, double toZone, host::DateTime& dateTime) = 0;
  // The server's current date-time in the security's own zone. Always true.
  virtual bool KoraCodeNow(const std::string& code, host::DateTime& now) = 0;
  // True when the day of `dateTime` differs from the security's current day.
  virtual bool IsNeedShowDate(const std::string& code, host::DateTime dateTime) = 0;
  virtual bool IsNeedShowDate(const std::shared_ptr<host::IKrSecurity>& security, host::DateTime dateTime) = 0;
  // The zone of the machine's standard offset; false when the world clock has none.
  virtual bool GetLocalTimeZoneInfo(TTimeZoneInfo& info) = 0;
  // Every zone of the world clock, by city (for a clock pane that lists them).
  virtual std::vector<TTimeZoneInfo> GetCityTimeZones() = 0;
  // True when `dateTime`, a date-time of the zone, falls in its summer time.
  virtual bool IsInSummerTime(const TTimeZoneInfo& zone, host::DateTime dateTime) = 0;
  // Converts a date-time of one city's zone into another city's; false (value unchanged) when either city
  // is unknown.
  virtual bool ShiftCityDateTime(const std::string& fromCity, const std::string& toCity, host::DateTime& dateTime) = 0;
  // The zone's offset in hours east of UTC at `dateTime`, a date-time of the zone: the standard offset,
  // plus the summer difference while summer time is in effect.
  virtual double GetZoneOffset(const TTimeZoneInfo& zone, host::DateTime dateTime) = 0;
};

class IKrStockTypeVariable : public virtual host::IInterface {
 public:
  static constexpr Guid IID = "C43CD842-9496-40E2-8B45-4257326F02B7";
  // The variable of the code's HQ type.
  virtual std::string GetVariableByStockType(const std::string& code, const std::string& name) = 0;
  // The variable of the HQ type, else the "default" one, else "".
  virtual std::string GetVariableByHQType(const std::string& hqType, const std::string& name) = 0;
  virtual std::shared_ptr<IKrHQSecurityManager> GetHQSecurityManager() = 0;
  virtual void SetHQSecurityManager(std::shared_ptr<IKrHQSecurityManager> manager) = 0;
  // "" for a null info.
  virtual std::string GetVariableByStockType(const std::shared_ptr<IKrHQSecurityInfo>& info,
                                             const std::string& name) = 0;
};

}  // namespace kdp
