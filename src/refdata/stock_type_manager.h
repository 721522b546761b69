// TKrHQStockTypeManagerImpl: the stock type map and the world clock (IKrHQSecurityManager and
// IKrWorldClock, kdp/refdata/security_manager.h).
//
// The map file ("HQ/Base/StockTypeMap.xml") has up to four kinds of elements under its root:
//   <worldclock>   zones: <zone city="New York" gmt="-5" tz="America/New_York" summerdiff="1"
//                           summerstart="2016-03-13 02:00:00" summerend="2016-11-06 02:00:00"/>
//                  (then the supplementary file "TimzZone.dat" adds or replaces zones: city, gmt,
//                  summerdiff, summer start and end as yyyymmdd, and optionally the IANA zone)
//   <globalindex>  per-code overrides: <index code="DJI.GI" StockType=".." Suffix=".." IndexCode=".."
//                           defaultSector=".." HisDir=".." MarketClean=".." MarketTimeSep=".." clock=".."/>
//   <HardCodes>    codes the host does not know: <code name="USDCNY.FX" MapStockType="FX" MapSuffix=".FX"/>
//   <StockTypeMap> entries: <type id="1" StockType="A" Suffix=".SH" HQType="A.SH" MarketTimeSep="930,1130,.."
//                           clock="Beijing" ...><F5Page permission="default">F5_A</F5Page>...</type>
//                  or by quote category: <type id="60" Category="300" HQType="I.KI" .../>
// Loading is done once, before the object is published; the maps are read-only afterwards.
//
// A security resolves through: user-defined codes (".UD") -> the "S..SH" entry; the quote category; the
// stock type and the code's suffix ("A..SH"); the stock type alone ("A."); "A..SH". Codes the host does
// not know are looked up in the hard codes; quote prefixes (FP_, NP_, YTM_) are stripped first; a global
// index entry overrides the result.
//
// A zone whose IANA name the time-zone database knows takes its offset and summer time at every instant from
// the database (TIanaZone, with its transitions cached by year); the others keep the month-and-day rule.
// A missing or unknown name is logged once, when the zone is loaded. Zones are also found by their gmt
// offset (ShiftDateTimeEx, KoraCodeNow): the offset's zone converts with its own rules.
//
// Answers are kept: GetSecurityInfo asked on the main thread again for the same code (exactly as written)
// or the same security object hands back the info it made before, without allocating, as long as the
// host's securities revision (host::GetSecuritiesRevision) and the map are those it was made with and no
// caller used its setters. Other threads resolve afresh and never touch the kept answers. At most
// kMaxAnswers are kept per kind; past that the manager starts afresh.
//
// Main thread only (the zones' year caches and the kept answers are unlocked), except GetSecurityInfo,
// which the quote engine's configuration calls from the engine's threads: there it reads only the maps,
// loaded before publication, and asks nothing but the host (see kdp/refdata/security_manager.h).
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "kdp/error.h"
#include "kdp/refdata/security_manager.h"
#include "refdata/iana_zone.h"
#include "util/case_less.h"

namespace pugi {
class xml_document;
class xml_node;
}  // namespace pugi

namespace kdp {

class TKrHQStockTypeInfoImpl;

struct TKrStockHardCode {
  std::string Code;
  std::string MapStockType;
  std::string MapSuffix;
};

class TKrHQStockTypeManagerImpl final : public host::Implements<IKrHQSecurityManager, IKrWorldClock> {
 public:
  // The machine's standard zone comes from the operating system.
  TKrHQStockTypeManagerImpl();
  // The machine's standard zone given in whole hours east of UTC.
  explicit TKrHQStockTypeManagerImpl(int localTimeZone);

  // Loads the map file. A missing file loads nothing, silently. Throws EStockTypeMapError for the errors
  // that end the load (a file that is not XML is one).
  void LoadStockTypeMap(const std::string& path);
  // The same from XML text.
  void LoadStockTypeMapXml(std::string_view xml);

  // IKrHQSecurityManager
  std::shared_ptr<IKrHQSecurityInfo> GetSecurityInfo(const std::string& code) override;
  std::shared_ptr<IKrHQSecurityInfo> GetSecurityInfo(const std::shared_ptr<host::IKrSecurity>& security) override;
  std::string GetHQTypeByID(int id) override;
  int GetHQTypeIDByName(const std::string& name) override;
  int GetHQMarketOpenByID(int id) override;
  int GetHQMarketCleanByID(int id) override;
  int GetHQMarketCloseByID(int id) override;
  int GetCount() override;
  TKrStockTypeDataItem GetItem(int index) override;
  bool IsHardCode(const std::string& code) override;

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

  static constexpr std::size_t kMaxAnswers = 65536;

  // Not published: the current time of a security object's market.
  bool KoraCodeNow(const std::shared_ptr<host::IKrSecurity>& security, host::DateTime& now);
  int GetLocalTimeZone() const { return FLocalTimeZone; }

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
  // The database zone of a zone handed back by a caller, when the world clock loaded it.
  TIanaZone* LoadedIanaZone(const TTimeZoneInfo& zone) const;
  // A wall-clock date-time of the zone as UTC, and back.
  static host::DateTime ToUtc(const TClockZone& zone, host::DateTime local);
  static host::DateTime FromUtc(const TClockZone& zone, host::DateTime utc);

  // One loader per section of the map; each replaces what its section held.
  void LoadDocument(const pugi::xml_document& document);
  void LoadWorldClock(const pugi::xml_node& element);
  void LoadGlobalIndexes(const pugi::xml_node& element);
  void LoadHardCodes(const pugi::xml_node& element);
  void LoadMapEntries(const pugi::xml_node& element);
  static TKrStockTypeDataItem ReadMapEntry(const pugi::xml_node& node);
  void AddMapEntry(TKrStockTypeDataItem entry);
  void LoadTimeZoneFile();
  std::shared_ptr<TKrHQStockTypeInfoImpl> Resolve(const std::string& code, std::shared_ptr<host::IKrSecurity> security);
  // Forgets the kept answers when the host's securities changed since they were made.
  void CheckAnswers();
  void ForgetAnswers();
  const TKrStockTypeDataItem* FindMapEntry(std::string_view key) const;

  std::map<std::string, TKrStockTypeDataItem> FMapList;  // upper-case "StockType.Suffix"
  std::map<int, TKrStockTypeDataItem> FMapListCategory;
  int FLocalTimeZone = 8;
  std::map<std::string, TClockZone, CaseLess> FDicCityTimeZone;
  std::map<double, TClockZone> FDicGmtTimeZone;
  std::map<std::string, std::unique_ptr<TIanaZone>> FIanaZones;  // by IANA name; kept for the object's life
  std::map<std::string, TKrStockTypeDataItem> FDicIndexCode;     // upper-case code
  std::map<std::string, TKrStockHardCode> FDicHardCodes;         // upper-case code

  // Kept answers (main thread): by the code as asked, and by security object (the object held, so its
  // address names it while it is kept); made at host securities revision FAnswersRevision.
  std::unordered_map<std::string, std::shared_ptr<TKrHQStockTypeInfoImpl>> FAnswersByCode;
  std::unordered_map<const host::IKrSecurity*,
                     std::pair<std::shared_ptr<host::IKrSecurity>, std::shared_ptr<TKrHQStockTypeInfoImpl>>>
      FAnswersBySecurity;
  std::uint64_t FAnswersRevision = 0;
};

// The map key of the fallback entry and of user-defined codes.
inline constexpr const char* kDefaultMapKey = "A..SH";
inline constexpr const char* kUserDefinedMapKey = "S..SH";
inline constexpr const char* kDefaultSecurityCode = "600000.SH";
// The supplementary zone file.
inline constexpr const char* kTimeZoneFileName = "TimzZone.dat";

// One record of the supplementary zone file ("city,hours,summer hours,yyyymmdd start,yyyymmdd end", and
// optionally ",IANA zone") as a zone, TzName holding the sixth field as written. nullopt, with `why`, for a
// record that is none: another field count, a field that is not plain text, an empty city, hours that are
// not a number from -12 to 14, summer hours not from 0 to 2.
std::optional<TTimeZoneInfo> TimeZoneFromRecord(const std::vector<std::string>& record, std::string& why);

}  // namespace kdp
