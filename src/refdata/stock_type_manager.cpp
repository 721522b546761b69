#include "refdata/stock_type_manager.h"

#include <filesystem>
#include <limits>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "core/host_lookups.h"
#include "core/security_fake.h"
#include "core/string_catalog.h"
#include "kdp/host/dialogs.h"
#include "kdp/host/display_text.h"
#include "kdp/host/log.h"
#include "kdp/host/security.h"
#include "kdp/host/xml.h"
#include "refdata/stock_type_info.h"
#include "util/strings.h"
#include "util/tools.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "uKrHQStockTypeManagerImpl";

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

}  // namespace

TKrHQStockTypeManagerImpl::TKrHQStockTypeManagerImpl() : FWorldClock(*this) {}

TKrHQStockTypeManagerImpl::TKrHQStockTypeManagerImpl(int localTimeZone) : FWorldClock(*this, localTimeZone) {}

std::shared_ptr<IKrWorldClock> TKrHQStockTypeManagerImpl::WorldClockFace(
    const std::shared_ptr<TKrHQStockTypeManagerImpl>& manager) {
  return std::shared_ptr<IKrWorldClock>(manager, &manager->FWorldClock);
}

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

void TKrHQStockTypeManagerImpl::LoadWorldClock(const pugi::xml_node& element) { FWorldClock.LoadSection(element); }

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

// ---- resolution ----

const TKrStockTypeDataItem* TKrHQStockTypeManagerImpl::FindMapEntry(std::string_view key) const {
  auto it = FMapList.find(ToUpperAscii(key));
  return it == FMapList.end() ? nullptr : &it->second;
}

void TKrHQStockTypeManagerImpl::ForgetAnswers() {
  FAnswersByCode.Clear();
  FAnswersBySecurity.clear();
}

void TKrHQStockTypeManagerImpl::ForgetAnswersOf(std::uint64_t revision) {
  ForgetAnswers();
  FAnswersRevision = revision;
}

std::shared_ptr<IKrHQSecurityInfo> TKrHQStockTypeManagerImpl::GetSecurityInfo(const std::string& code) {
  // The path of a code seen before stays short: what resolves lives in functions of its own.
  host::IHostEnvironment* installed = host::InstalledHostEnvironment();
  if (!FMainThread.IsMainThread(installed)) return ResolveCode(code);
  CheckAnswers(installed);
  if (const auto* kept = FAnswersByCode.Find(code); kept != nullptr && !(*kept)->ChangedByCaller()) return *kept;
  return ResolveAndKeep(code);
}

std::shared_ptr<TKrHQStockTypeInfoImpl> TKrHQStockTypeManagerImpl::ResolveCode(const std::string& code) {
  return Resolve(Trim(code), G_GetSecurity(code));
}

std::shared_ptr<TKrHQStockTypeInfoImpl> TKrHQStockTypeManagerImpl::ResolveAndKeep(const std::string& code) {
  auto info = ResolveCode(code);
  if (FAnswersByCode.Size() >= kMaxAnswers) FAnswersByCode.Clear();
  FAnswersByCode.Keep(code, info);
  return info;
}

std::shared_ptr<IKrHQSecurityInfo> TKrHQStockTypeManagerImpl::GetSecurityInfo(
    const std::shared_ptr<host::IKrSecurity>& security) {
  const auto resolve = [&] {
    return Resolve(security ? security->GetKoraCode() : std::string(kDefaultSecurityCode), security);
  };
  host::IHostEnvironment* installed = host::InstalledHostEnvironment();
  if (!FMainThread.IsMainThread(installed)) return resolve();
  CheckAnswers(installed);
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

}  // namespace kdp
