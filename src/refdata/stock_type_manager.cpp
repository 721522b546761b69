#include "refdata/stock_type_manager.h"

#include <cmath>
#include <ctime>
#include <filesystem>
#include <limits>
#include <tuple>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "core/host_lookups.h"
#include "core/security_fake.h"
#include "core/string_catalog.h"
#include "kdp/host/dialogs.h"
#include "kdp/host/display_text.h"
#include "kdp/host/log.h"
#include "kdp/host/main_loop.h"
#include "kdp/host/security.h"
#include "kdp/host/speed.h"
#include "kdp/host/xml.h"
#include "refdata/stock_type_info.h"
#include "refdata/trade_rules.h"
#include "util/csv_file.h"
#include "util/strings.h"
#include "util/tools.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "uKrHQStockTypeManagerImpl";

// The machine's standard offset (without summer time), in whole hours east of UTC.
int MachineStandardZone() {
  tzset();
  return static_cast<int>(std::lround(-static_cast<double>(timezone) / 3600.0));
}

// The machine's offset now (with summer time when it is in effect), in hours east of UTC.
double MachineCurrentZone() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return static_cast<double>(local.tm_gmtoff) / 3600.0;
}

std::string Attr(const pugi::xml_node& node, const char* name) { return node.attribute(name).value(); }

int ToInteger(const std::string& text) {
  const auto value = ParseInt64(text);
  if (!value || *value < INT32_MIN || *value > INT32_MAX) {
    throw EStockTypeMapError(fmt::format("'{}' is not a valid integer value", text));
  }
  return static_cast<int>(*value);
}

double ToFloat(const std::string& text) {
  const auto value = ParseDouble(text);
  if (!value) throw EStockTypeMapError(fmt::format("'{}' is not a valid floating point value", text));
  return *value;
}

TArrayMarketTimeSep DecodeMarketTimeSep(const std::string& text) {
  TArrayMarketTimeSep sep;
  if (TrimView(text).empty()) return sep;
  for (const std::string& piece : SplitString(text, ',')) {
    const auto value = ParseInt64(piece);
    if (!value || *value < INT32_MIN || *value > INT32_MAX) {
      throw EStockTypeMapError("DecodeMarketTimeSep error. MarketTime=" + text);
    }
    sep.push_back(static_cast<int>(*value));
  }
  return sep;
}

struct SummerPoint {
  int month = 0;
  int day = 0;
  double time = 0.0;
};

// "2016-03-13 02:00:00" (the time may be "02:00" or left out).
SummerPoint TransSummerStr(const std::string& text) {
  const auto fail = [&]() { return EStockTypeMapError("TransSummerStr error. summerstr=" + text); };
  const std::string trimmed = Trim(text);
  const std::size_t blank = trimmed.find(' ');
  const std::vector<std::string> date = SplitString(trimmed.substr(0, blank), '-');
  if (date.size() != 3) throw fail();
  const auto year = ParseInt64(date[0]);
  const auto month = ParseInt64(date[1]);
  const auto day = ParseInt64(date[2]);
  if (!year || !month || !day || !host::DateTime::FromYyyymmdd(*year * 10000 + *month * 100 + *day)) throw fail();
  SummerPoint point{static_cast<int>(*month), static_cast<int>(*day), 0.0};
  if (blank != std::string::npos) {
    const std::vector<std::string> clock = SplitString(Trim(trimmed.substr(blank + 1)), ':');
    if (clock.size() < 2 || clock.size() > 3) throw fail();
    const auto h = ParseInt64(clock[0]);
    const auto m = ParseInt64(clock[1]);
    const auto s = clock.size() == 3 ? ParseInt64(clock[2]) : std::optional<std::int64_t>(0);
    if (!h || !m || !s || *h < 0 || *h > 23 || *m < 0 || *m > 59 || *s < 0 || *s > 59) throw fail();
    point.time = host::EncodeTime(static_cast<int>(*h), static_cast<int>(*m), static_cast<int>(*s));
  }
  return point;
}

// Month and day of a yyyymmdd text of the zone file; 0 and 0 for a text shorter than 8 characters.
std::pair<int, int> MonthDayOf(const std::string& text) {
  if (text.size() < 8) return {0, 0};
  return {StrToIntDef(text.substr(4, 2), 0), StrToIntDef(text.substr(6, 2), 0)};
}

}  // namespace

TKrHQStockTypeManagerImpl::TKrHQStockTypeManagerImpl() : FLocalTimeZone(MachineStandardZone()) {}

TKrHQStockTypeManagerImpl::TKrHQStockTypeManagerImpl(int localTimeZone) : FLocalTimeZone(localTimeZone) {}

void TKrHQStockTypeManagerImpl::LoadStockTypeMap(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return;
  pugi::xml_document document;
  std::string error;
  if (!host::LoadXmlFile(document, path, &error)) {
    throw EStockTypeMapError("StockTypeMap.xml is not a readable XML document: " + error);
  }
  host::AddHQLog("LoadStockTypeMap " + path, kLogSource, host::LogSeverity::kInfo);
  LoadDocument(document);
}

void TKrHQStockTypeManagerImpl::LoadStockTypeMapXml(std::string_view xml) {
  pugi::xml_document document;
  const pugi::xml_parse_result result =
      document.load_buffer(xml.data(), xml.size(), pugi::parse_default | pugi::parse_comments, pugi::encoding_auto);
  if (!result) {
    throw EStockTypeMapError(fmt::format("StockTypeMap.xml is not a readable XML document: {} at offset {}",
                                         result.description(), result.offset));
  }
  LoadDocument(document);
}

void TKrHQStockTypeManagerImpl::LoadDocument(const pugi::xml_document& document) {
  ForgetAnswers();  // also when the load ends in an error: what was read before stays
  using SectionLoader = void (TKrHQStockTypeManagerImpl::*)(const pugi::xml_node&);
  static constexpr std::pair<std::string_view, SectionLoader> kSections[] = {
      {"worldclock", &TKrHQStockTypeManagerImpl::LoadWorldClock},
      {"globalindex", &TKrHQStockTypeManagerImpl::LoadGlobalIndexes},
      {"HardCodes", &TKrHQStockTypeManagerImpl::LoadHardCodes},
      {"StockTypeMap", &TKrHQStockTypeManagerImpl::LoadMapEntries},
  };
  for (const pugi::xml_node& element : document.document_element().children()) {
    if (element.type() == pugi::node_comment) continue;
    for (const auto& [name, load] : kSections) {
      if (name == element.name()) (this->*load)(element);
    }
  }
}

void TKrHQStockTypeManagerImpl::LoadWorldClock(const pugi::xml_node& element) {
  FDicCityTimeZone.clear();
  for (const pugi::xml_node& node : element.children()) {  // every child: a stray node is an error
    TTimeZoneInfo zone;
    zone.City = Attr(node, "city");
    zone.TimeZone = ToFloat(Attr(node, "gmt"));
    zone.SummerDiff = StrToIntDef(Attr(node, "summerdiff"), 0);
    const std::string start = Attr(node, "summerstart");
    if (!start.empty()) {
      const SummerPoint from = TransSummerStr(start);
      const SummerPoint to = TransSummerStr(Attr(node, "summerend"));
      zone.SummerStartMon = from.month;
      zone.SummerStartDay = from.day;
      zone.SummerStartTime = from.time;
      zone.SummerEndMon = to.month;
      zone.SummerEndDay = to.day;
      zone.SummerEndTime = to.time;
    } else {
      zone.SummerDiff = 0;
    }
    AddZone(std::move(zone), Trim(Attr(node, "tz")));
  }
  LoadTimeZoneFile();
}

TIanaZone* TKrHQStockTypeManagerImpl::LocateIanaZone(const std::string& city, const std::string& name) {
  if (name.empty()) {
    host::AddHQLog(fmt::format("worldclock: {} names no IANA time zone; its summer time follows the month-and-day "
                               "rule",
                               city),
                   kLogSource, host::LogSeverity::kNotice);
    return nullptr;
  }
  if (auto known = FIanaZones.find(name); known != FIanaZones.end()) return known->second.get();
  std::string error;
  std::unique_ptr<TIanaZone> zone = TIanaZone::Locate(name, error);
  if (!zone) {
    host::AddHQLog(fmt::format("worldclock: unknown IANA time zone \"{}\" for {} ({}); its summer time follows "
                               "the month-and-day rule",
                               name, city, error),
                   kLogSource, host::LogSeverity::kWarning);
    return nullptr;
  }
  return FIanaZones.emplace(name, std::move(zone)).first->second.get();
}

void TKrHQStockTypeManagerImpl::AddZone(TTimeZoneInfo zone, const std::string& tzName) {
  TIanaZone* iana = LocateIanaZone(zone.City, tzName);
  TClockZone entry{std::move(zone), iana};
  entry.info.TzName = entry.iana != nullptr ? tzName : std::string();
  FDicGmtTimeZone[entry.info.TimeZone] = entry;
  FDicCityTimeZone[entry.info.City] = std::move(entry);
}

void TKrHQStockTypeManagerImpl::LoadGlobalIndexes(const pugi::xml_node& element) {
  FDicIndexCode.clear();
  for (const pugi::xml_node& node : element.children()) {
    const std::string code = ToUpperAscii(Attr(node, "code"));
    TKrStockTypeDataItem entry;
    entry.StockType = Attr(node, "StockType");
    entry.ExChange = Attr(node, "Suffix");
    entry.IndexCode = Attr(node, "IndexCode");
    entry.defaultSector = Attr(node, "defaultSector");
    entry.HisDir = Attr(node, "HisDir");
    entry.MarketClean = StrToIntDef(Attr(node, "MarketClean"), 0);
    entry.MarketTimeSep = DecodeMarketTimeSep(Attr(node, "MarketTimeSep"));
    entry.clock = Attr(node, "clock");
    if (!FDicIndexCode.emplace(code, std::move(entry)).second) {
      throw EStockTypeMapError("Duplicates not allowed: global index " + code);
    }
  }
}

void TKrHQStockTypeManagerImpl::LoadHardCodes(const pugi::xml_node& element) {
  FDicHardCodes.clear();
  for (const pugi::xml_node& node : element.children()) {
    if (node.type() != pugi::node_element) continue;
    TKrStockHardCode code{Attr(node, "name"), Attr(node, "MapStockType"), Attr(node, "MapSuffix")};
    FDicHardCodes[ToUpperAscii(code.Code)] = std::move(code);
  }
}

void TKrHQStockTypeManagerImpl::LoadMapEntries(const pugi::xml_node& element) {
  for (const pugi::xml_node& node : element.children()) {
    if (node.type() != pugi::node_element) continue;
    AddMapEntry(ReadMapEntry(node));
  }
}

TKrStockTypeDataItem TKrHQStockTypeManagerImpl::ReadMapEntry(const pugi::xml_node& node) {
  TKrStockTypeDataItem entry;
  entry.StockID = ToInteger(Attr(node, "id"));
  entry.HQTypeID = entry.StockID;
  if (node.attribute("StockType") && node.attribute("Suffix")) {
    entry.StockType = Attr(node, "StockType");
    entry.ExChange = Attr(node, "Suffix");
  } else if (node.attribute("Category")) {
    entry.Category = ToInteger(Attr(node, "Category"));
  }
  entry.HQType = Attr(node, "HQType");
  for (const pugi::xml_node& page : node.children("F5Page")) {
    const std::string permission = Attr(page, "permission");
    std::string text = Trim(page.text().get());
    if (text.empty()) text = "F5_A";
    if (permission.empty() || permission == "default") {
      entry.F5Page = text;
    } else {
      entry.F5PageNamesStr += ";" + text;
      entry.F5PermissionsStr += ";" + permission;
    }
  }
  entry.IndexCode = Attr(node, "IndexCode");
  entry.defaultSector = Attr(node, "defaultSector");
  entry.MenuState = StrToIntDef(Attr(node, "menuState"), std::numeric_limits<int>::max());
  entry.AllowTrade = host::GetNodeAttributeBoolean(node, "AllowTrade", false);
  entry.HisDir = Attr(node, "HisDir");
  entry.MarketTimeSep = DecodeMarketTimeSep(Attr(node, "MarketTimeSep"));
  entry.defaultSectorName = Attr(node, "defaultSectorName");
  if (node.attribute("defaultCode")) entry.DefaultCode = Attr(node, "defaultCode");
  entry.MarketClean = GenMarketCleanTime(entry.MarketTimeSep);
  entry.clock = Attr(node, "clock");
  if (entry.clock.empty()) entry.clock = "Beijing";
  const std::string hisDiv = Attr(node, "KLineHisVolumeDiv");
  entry.klinehisvolumediv = hisDiv.empty() ? 1.0 : ToFloat(hisDiv);
  const std::string realTimeDiv = Attr(node, "KLineRealTimeVolumeDiv");
  entry.klinerealtimevolumediv = realTimeDiv.empty() ? 1.0 : ToFloat(realTimeDiv);
  return entry;
}

void TKrHQStockTypeManagerImpl::AddMapEntry(TKrStockTypeDataItem entry) {
  if (entry.Category == 0) {
    const std::string key = ToUpperAscii(entry.StockType + "." + entry.ExChange);
    if (!FMapList.emplace(key, std::move(entry)).second) {
      throw EStockTypeMapError("Duplicates not allowed: stock type map key " + key);
    }
  } else {
    try {
      if (!FMapListCategory.contains(entry.Category)) FMapListCategory.emplace(entry.Category, std::move(entry));
    } catch (const std::exception&) {
      host::ShowErrorMessage(GetLanguageStrDef(20531, "发生错误"), "stocktypemap category duplicate.");
    }
  }
}

std::optional<TTimeZoneInfo> TimeZoneFromRecord(const std::vector<std::string>& record, std::string& why) {
  if (record.size() != 5 && record.size() != 6) {
    why = fmt::format("{} fields instead of 5 or 6", record.size());
    return std::nullopt;
  }
  for (const std::string& field : record) {
    if (!host::IsPlainText(field)) {
      why = "a field is not text: " + host::EscapeControlChars(field);
      return std::nullopt;
    }
  }
  TTimeZoneInfo zone;
  zone.City = Trim(record[0]);
  const auto hours = ParseDouble(record[1]);
  const auto summer = Trim(record[2]).empty() ? std::optional<double>(0.0) : ParseDouble(record[2]);
  if (zone.City.empty()) {
    why = "the city is empty";
  } else if (!hours || *hours < -12 || *hours > 14) {
    why = "the offset is not a number of hours from -12 to 14";
  } else if (!summer || *summer < 0 || *summer > 2) {
    why = "the summer difference is not a number of hours from 0 to 2";
  }
  if (!why.empty()) return std::nullopt;
  zone.TimeZone = *hours;
  zone.SummerDiff = static_cast<int>(std::lround(*summer));
  const std::string start = Trim(record[3]);
  if (start.empty()) {
    zone.SummerDiff = 0;
  } else {
    std::tie(zone.SummerStartMon, zone.SummerStartDay) = MonthDayOf(start);
    std::tie(zone.SummerEndMon, zone.SummerEndDay) = MonthDayOf(Trim(record[4]));
  }
  if (record.size() == 6) zone.TzName = Trim(record[5]);
  return zone;
}

void TKrHQStockTypeManagerImpl::LoadTimeZoneFile() {
  std::error_code ec;
  std::string path = GetHQBasePath() + kTimeZoneFileName;
  if (!std::filesystem::exists(path, ec)) path = GetEtcBaseFilePath(kTimeZoneFileName);
  if (!std::filesystem::exists(path, ec)) return;
  TCsvFile file;
  if (!file.OpenFile(path)) return;
  std::vector<std::string> record;
  for (int line = 1; file.GetRecord(record); ++line) {
    if (record.size() == 1 && Trim(record[0]).empty()) continue;  // a blank line
    std::string why;
    auto zone = TimeZoneFromRecord(record, why);
    if (!zone) {
      host::AddHQLog(fmt::format("{}:{}: zone record skipped: {}", path, line, why), kLogSource,
                     host::LogSeverity::kNotice);
      continue;
    }
    const std::string tzName = zone->TzName;
    AddZone(std::move(*zone), tzName);
  }
}

// ---- resolution ----

const TKrStockTypeDataItem* TKrHQStockTypeManagerImpl::FindMapEntry(std::string_view key) const {
  auto it = FMapList.find(ToUpperAscii(key));
  return it == FMapList.end() ? nullptr : &it->second;
}

void TKrHQStockTypeManagerImpl::ForgetAnswers() {
  FAnswersByCode.clear();
  FAnswersBySecurity.clear();
}

void TKrHQStockTypeManagerImpl::CheckAnswers() {
  const std::uint64_t revision = host::GetSecuritiesRevision();
  if (revision == FAnswersRevision) return;
  ForgetAnswers();
  FAnswersRevision = revision;
}

std::shared_ptr<IKrHQSecurityInfo> TKrHQStockTypeManagerImpl::GetSecurityInfo(const std::string& code) {
  if (!host::IsMainThread()) return Resolve(Trim(code), G_GetSecurity(code));
  CheckAnswers();
  if (auto kept = FAnswersByCode.find(code); kept != FAnswersByCode.end() && !kept->second->ChangedByCaller()) {
    return kept->second;
  }
  auto info = Resolve(Trim(code), G_GetSecurity(code));
  if (FAnswersByCode.size() >= kMaxAnswers) FAnswersByCode.clear();
  FAnswersByCode.insert_or_assign(code, info);
  return info;
}

std::shared_ptr<IKrHQSecurityInfo> TKrHQStockTypeManagerImpl::GetSecurityInfo(
    const std::shared_ptr<host::IKrSecurity>& security) {
  const auto resolve = [&] {
    return Resolve(security ? security->GetKoraCode() : std::string(kDefaultSecurityCode), security);
  };
  if (!host::IsMainThread()) return resolve();
  CheckAnswers();
  if (auto kept = FAnswersBySecurity.find(security.get());
      kept != FAnswersBySecurity.end() && !kept->second.second->ChangedByCaller()) {
    return kept->second.second;
  }
  auto info = resolve();
  if (FAnswersBySecurity.size() >= kMaxAnswers) FAnswersBySecurity.clear();
  FAnswersBySecurity.insert_or_assign(security.get(), std::pair(security, info));
  return info;
}

std::shared_ptr<TKrHQStockTypeInfoImpl> TKrHQStockTypeManagerImpl::Resolve(
    const std::string& code, std::shared_ptr<host::IKrSecurity> security) {
  // User-defined codes all share one classification.
  if (SameTextAscii(GetAfterString(".", code), "UD") && code.find('.') != std::string::npos) {
    auto info = std::make_shared<TKrHQStockTypeInfoImpl>(std::move(security));
    info->SetISecurity(std::make_shared<TKrSecurityFake>());
    if (const TKrStockTypeDataItem* entry = FindMapEntry(kUserDefinedMapKey)) info->FillFrom(*entry);
    info->MarkResolved();
    return info;
  }

  const std::string stripped = StripQuotePrefix(code);
  auto info = std::make_shared<TKrHQStockTypeInfoImpl>(security);
  bool hardCoded = false;
  if (!security) {
    if (auto hard = FDicHardCodes.find(ToUpperAscii(stripped)); hard != FDicHardCodes.end()) {
      auto fake = std::make_shared<TKrSecurityFake>();
      fake->SetStockCode(stripped);
      info->SetISecurity(fake);
      if (const TKrStockTypeDataItem* entry = FindMapEntry(hard->second.MapStockType + "." + hard->second.MapSuffix)) {
        info->FillFrom(*entry);
      }
      hardCoded = true;
    } else {
      info = std::make_shared<TKrHQStockTypeInfoImpl>(G_GetHostSecurity(kDefaultSecurityCode));
    }
  }

  if (!hardCoded) {
    const TKrStockTypeDataItem* entry = nullptr;
    if (auto category = FMapListCategory.find(info->GetCategory()); category != FMapListCategory.end()) {
      entry = &category->second;
    }
    const std::string stockType = info->GetStockType();
    if (entry == nullptr) entry = FindMapEntry(stockType + "." + GetSuffixString(stripped));
    if (entry == nullptr) entry = FindMapEntry(stockType + ".");
    if (entry == nullptr) entry = FindMapEntry(kDefaultMapKey);
    if (entry != nullptr) info->FillFrom(*entry);
  }

  if (auto index = FDicIndexCode.find(ToUpperAscii(stripped)); index != FDicIndexCode.end()) {
    const TKrStockTypeDataItem& over = index->second;
    if (!over.ExChange.empty()) info->SetExchange(over.ExChange);
    if (!over.IndexCode.empty()) info->SetIndexCode(over.IndexCode);
    if (!over.defaultSector.empty()) info->SetdefaultSector(over.defaultSector);
    if (!over.HisDir.empty()) info->SetHisDir(over.HisDir);
    if (!over.clock.empty()) info->SetCity(over.clock);
    if (!over.MarketTimeSep.empty()) info->SetMarketTimeSep(over.MarketTimeSep);
    info->SetMarketClean(GenMarketCleanTime(over.MarketTimeSep));
    info->SetUseOwnMarketTimeSep(true);
  }
  info->MarkResolved();
  return info;
}

bool TKrHQStockTypeManagerImpl::IsHardCode(const std::string& code) {
  return FDicHardCodes.contains(ToUpperAscii(StripQuotePrefix(code)));
}

// ---- map queries ----

std::string TKrHQStockTypeManagerImpl::GetHQTypeByID(int id) {
  for (const auto& [key, entry] : FMapList) {
    if (entry.StockID == id) return entry.HQType;
  }
  for (const auto& [category, entry] : FMapListCategory) {
    if (entry.StockID == id) return entry.HQType;
  }
  return {};
}

int TKrHQStockTypeManagerImpl::GetHQTypeIDByName(const std::string& name) {
  for (const auto& [category, entry] : FMapListCategory) {
    if (entry.HQType == name) return entry.StockID;
  }
  int found = 0;
  for (const auto& [key, entry] : FMapList) {
    if (entry.HQType == name) found = entry.StockID;
  }
  return found;
}

int TKrHQStockTypeManagerImpl::GetHQMarketOpenByID(int id) {
  for (const auto& [key, entry] : FMapList) {
    if (entry.StockID == id && !entry.MarketTimeSep.empty()) return entry.MarketTimeSep.front();
  }
  return 0;
}

int TKrHQStockTypeManagerImpl::GetHQMarketCleanByID(int id) {
  for (const auto& [key, entry] : FMapList) {
    if (entry.StockID == id) return entry.MarketClean;
  }
  return 0;
}

int TKrHQStockTypeManagerImpl::GetHQMarketCloseByID(int id) {
  for (const auto& [key, entry] : FMapList) {
    if (entry.StockID == id && !entry.MarketTimeSep.empty()) return entry.MarketTimeSep.back();
  }
  return 0;
}

int TKrHQStockTypeManagerImpl::GetCount() { return static_cast<int>(FMapList.size() + FMapListCategory.size()); }

TKrStockTypeDataItem TKrHQStockTypeManagerImpl::GetItem(int index) {
  if (index < 0 || index >= GetCount()) return {};
  auto position = static_cast<std::size_t>(index);
  if (position < FMapListCategory.size()) return std::next(FMapListCategory.begin(), index)->second;
  position -= FMapListCategory.size();
  return std::next(FMapList.begin(), static_cast<std::ptrdiff_t>(position))->second;
}

// ---- world clock ----

bool TKrHQStockTypeManagerImpl::GetTimeZoneInfoByCity(const std::string& city, TTimeZoneInfo& info) {
  if (city == "Local") {
    info.TimeZone = MachineCurrentZone();
    return true;
  }
  auto it = FDicCityTimeZone.find(city);
  if (it == FDicCityTimeZone.end()) return false;
  info = it->second.info;
  return true;
}

bool TKrHQStockTypeManagerImpl::ShiftDateTime(const std::string& city, host::DateTime& dateTime) {
  auto it = FDicCityTimeZone.find(city);
  if (it == FDicCityTimeZone.end() || !FDicGmtTimeZone.contains(FLocalTimeZone)) return false;
  return ShiftDateTimeEx(it->second.info.TimeZone, FLocalTimeZone, dateTime);
}

bool TKrHQStockTypeManagerImpl::IsInSummerTimeZone(host::DateTime dateTime, const TTimeZoneInfo& zone) {
  const host::DateTime::Parts p = dateTime.Decode();
  if (zone.SummerStartMon < p.month && p.month < zone.SummerEndMon) return true;
  if (p.month == zone.SummerStartMon && p.day >= zone.SummerStartDay) return true;
  if (p.month == zone.SummerEndMon && p.day <= zone.SummerEndDay) return true;
  return false;
}

// The month-and-day rule tests the given date on the way in, and the date in standard time on the way out.
host::DateTime TKrHQStockTypeManagerImpl::ToUtc(const TClockZone& zone, host::DateTime local) {
  if (zone.iana != nullptr) return local.AddSeconds(-zone.iana->AtLocal(local).seconds);
  double utc = local.value - zone.info.TimeZone / 24.0;
  if (IsInSummerTimeZone(local, zone.info)) utc -= zone.info.SummerDiff / 24.0;
  return host::DateTime(utc);
}

host::DateTime TKrHQStockTypeManagerImpl::FromUtc(const TClockZone& zone, host::DateTime utc) {
  if (zone.iana != nullptr) return utc.AddSeconds(zone.iana->AtUtc(utc).seconds);
  host::DateTime result(utc.value + zone.info.TimeZone / 24.0);
  if (IsInSummerTimeZone(result, zone.info)) result.value += zone.info.SummerDiff / 24.0;
  return result;
}

bool TKrHQStockTypeManagerImpl::ShiftDateTimeEx(double fromZone, double toZone, host::DateTime& dateTime) {
  if (fromZone == toZone) return true;
  auto from = FDicGmtTimeZone.find(fromZone);
  auto to = FDicGmtTimeZone.find(toZone);
  if (from == FDicGmtTimeZone.end() || to == FDicGmtTimeZone.end()) return false;
  dateTime = FromUtc(to->second, ToUtc(from->second, dateTime));
  return true;
}

bool TKrHQStockTypeManagerImpl::ShiftCityDateTime(const std::string& fromCity, const std::string& toCity,
                                                  host::DateTime& dateTime) {
  auto from = FDicCityTimeZone.find(fromCity);
  auto to = FDicCityTimeZone.find(toCity);
  if (from == FDicCityTimeZone.end() || to == FDicCityTimeZone.end()) return false;
  dateTime = FromUtc(to->second, ToUtc(from->second, dateTime));
  return true;
}

TIanaZone* TKrHQStockTypeManagerImpl::LoadedIanaZone(const TTimeZoneInfo& zone) const {
  if (zone.TzName.empty()) return nullptr;
  auto it = FIanaZones.find(zone.TzName);
  return it == FIanaZones.end() ? nullptr : it->second.get();
}

bool TKrHQStockTypeManagerImpl::IsInSummerTime(const TTimeZoneInfo& zone, host::DateTime dateTime) {
  if (TIanaZone* iana = LoadedIanaZone(zone)) return iana->AtLocal(dateTime).summer;
  return IsInSummerTimeZone(dateTime, zone);
}

double TKrHQStockTypeManagerImpl::GetZoneOffset(const TTimeZoneInfo& zone, host::DateTime dateTime) {
  if (TIanaZone* iana = LoadedIanaZone(zone)) return iana->AtLocal(dateTime).seconds / 3600.0;
  return zone.TimeZone + (IsInSummerTimeZone(dateTime, zone) ? zone.SummerDiff : 0);
}

bool TKrHQStockTypeManagerImpl::KoraCodeNow(const std::string& code, host::DateTime& now) {
  const std::string tradeSpan = GetSecurityInfo(code)->GetTradeSpan();
  now = GetServerDateTime();
  ShiftDateTimeEx(FLocalTimeZone, GetStockTimeZone_New(host::kMarketInfoTimeZone, tradeSpan), now);
  return true;
}

bool TKrHQStockTypeManagerImpl::KoraCodeNow(const std::shared_ptr<host::IKrSecurity>& security, host::DateTime& now) {
  const std::string tradeSpan = GetSecurityInfo(security)->GetTradeSpan();
  now = GetServerDateTime();
  ShiftDateTimeEx(FLocalTimeZone, GetStockTimeZone_New(host::kMarketInfoTimeZone, tradeSpan), now);
  return true;
}

bool TKrHQStockTypeManagerImpl::IsNeedShowDate(const std::string& code, host::DateTime dateTime) {
  host::DateTime now;
  KoraCodeNow(code, now);
  return std::floor(dateTime.value) != std::floor(now.value);
}

bool TKrHQStockTypeManagerImpl::IsNeedShowDate(const std::shared_ptr<host::IKrSecurity>& security,
                                               host::DateTime dateTime) {
  host::DateTime now;
  KoraCodeNow(security, now);
  return std::floor(dateTime.value) != std::floor(now.value);
}

bool TKrHQStockTypeManagerImpl::GetLocalTimeZoneInfo(TTimeZoneInfo& info) {
  auto it = FDicGmtTimeZone.find(FLocalTimeZone);
  if (it == FDicGmtTimeZone.end()) return false;
  info = it->second.info;
  return true;
}

std::vector<TTimeZoneInfo> TKrHQStockTypeManagerImpl::GetCityTimeZones() {
  std::vector<TTimeZoneInfo> zones;
  for (const auto& [city, zone] : FDicCityTimeZone) zones.push_back(zone.info);
  return zones;
}

}  // namespace kdp
