// TKrHQStockTypeManagerImpl: the stock type map (IKrHQSecurityManager, kdp/refdata/security_manager.h),
// and the owner of the world clock (TKrWorldClock, refdata/world_clock.h), whose zones the map carries.
//
// The map file ("HQ/Base/StockTypeMap.xml") has up to four kinds of elements under its root:
//   <worldclock>   zones, loaded by the world clock (refdata/world_clock.h)
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
// Answers are kept: GetSecurityInfo asked on the main thread again for the same code (exactly as written)
// or the same security object hands back the info it made before, without allocating, as long as the
// host's securities revision (host::GetSecuritiesRevision) and the map are those it was made with and no
// caller used its setters. Other threads resolve afresh and never touch the kept answers. At most
// kMaxAnswers are kept per kind; past that the manager starts afresh. Which thread is the main one the
// manager knows from where it was made (core/main_thread_mark.h), else asks the host.
//
// Main thread only (the kept answers are unlocked), except GetSecurityInfo,
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

#include "core/main_thread_mark.h"
#include "kdp/error.h"
#include "kdp/refdata/security_manager.h"
#include "refdata/answers_by_code.h"
#include "refdata/world_clock.h"
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

class TKrHQStockTypeManagerImpl final : public host::Implements<IKrHQSecurityManager> {
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

  static constexpr std::size_t kMaxAnswers = 65536;

  // The world clock, whose zones the map's <worldclock> section gave. It lives as long as the manager:
  // publish it as WorldClockFace does, sharing the manager's ownership.
  TKrWorldClock& WorldClock() { return FWorldClock; }
  // The world clock as a published face that keeps `manager` alive.
  static std::shared_ptr<IKrWorldClock> WorldClockFace(const std::shared_ptr<TKrHQStockTypeManagerImpl>& manager);

 private:
  // One loader per section of the map; each replaces what its section held.
  void LoadDocument(const pugi::xml_document& document);
  void LoadWorldClock(const pugi::xml_node& element);
  void LoadGlobalIndexes(const pugi::xml_node& element);
  void LoadHardCodes(const pugi::xml_node& element);
  void LoadMapEntries(const pugi::xml_node& element);
  static TKrStockTypeDataItem ReadMapEntry(const pugi::xml_node& node);
  void AddMapEntry(TKrStockTypeDataItem entry);
  std::shared_ptr<TKrHQStockTypeInfoImpl> Resolve(const std::string& code, std::shared_ptr<host::IKrSecurity> security);
  // The code's answer made afresh (trimmed, its host security looked up); the kept answers untouched.
  [[gnu::noinline]] std::shared_ptr<TKrHQStockTypeInfoImpl> ResolveCode(const std::string& code);
  // The code's answer made afresh and kept for the code as asked.
  [[gnu::noinline]] std::shared_ptr<TKrHQStockTypeInfoImpl> ResolveAndKeep(const std::string& code);
  // Forgets the kept answers when the host's securities changed since they were made: `installed` is the
  // installed host (host::GetSecuritiesRevision, the host looked up once per call).
  void CheckAnswers(const host::IHostEnvironment* installed) {
    const std::uint64_t revision = installed != nullptr ? installed->SecuritiesRevision() : 0;
    if (revision != FAnswersRevision) ForgetAnswersOf(revision);
  }
  [[gnu::noinline]] void ForgetAnswersOf(std::uint64_t revision);
  void ForgetAnswers();
  const TKrStockTypeDataItem* FindMapEntry(std::string_view key) const;

  std::map<std::string, TKrStockTypeDataItem> FMapList;  // upper-case "StockType.Suffix"
  std::map<int, TKrStockTypeDataItem> FMapListCategory;
  TKrWorldClock FWorldClock;
  std::map<std::string, TKrStockTypeDataItem> FDicIndexCode;  // upper-case code
  std::map<std::string, TKrStockHardCode> FDicHardCodes;      // upper-case code

  // Kept answers (main thread): by the code as asked, and by security object (the object held, so its
  // address names it while it is kept); made at host securities revision FAnswersRevision.
  TAnswersByCode FAnswersByCode;
  std::unordered_map<const host::IKrSecurity*,
                     std::pair<std::shared_ptr<host::IKrSecurity>, std::shared_ptr<TKrHQStockTypeInfoImpl>>>
      FAnswersBySecurity;
  std::uint64_t FAnswersRevision = 0;
  // Made with the manager, on the main thread: whether a call may use the kept answers.
  TMainThreadMark FMainThread;
};

// The map key of the fallback entry and of user-defined codes.
inline constexpr const char* kDefaultMapKey = "A..SH";
inline constexpr const char* kUserDefinedMapKey = "S..SH";
inline constexpr const char* kDefaultSecurityCode = "600000.SH";

}  // namespace kdp
