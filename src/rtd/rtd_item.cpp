#include "rtd/rtd_item.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "core/data_cache.h"
#include "core/host_lookups.h"
#include "core/package_lookup.h"
#include "core/service_catalog.h"
#include "fields/format_exp.h"
#include "fields/hq_dictionary.h"
#include "kdp/fields/hq_field_types.h"
#include "kdp/format/hq_format_manager.h"
#include "kdp/host/ansi.h"
#include "kdp/host/log.h"
#include "kdp/host/mem_count.h"
#include "refdata/trade_rules.h"
#include "rtd/rtd_quote_layouts.h"
#include "util/case_less.h"
#include "util/float_text.h"
#include "util/strings.h"
#include "util/tools.h"

namespace kdp {
namespace {

constexpr std::uint8_t kDeliveredBits =
    GLOBALRT_DATA_FLAGS_SUBSCRIBE | GLOBALRT_DATA_FLAGS_LASTUPDATE | GLOBALRT_DATA_FLAGS_HASVALUE;
constexpr std::uint32_t kTradeDateField = 1;
constexpr std::uint32_t kTradeTimeField = 2;
constexpr int kMaxExpressionDepth = 8;  // computed fields built on computed fields, with a guard against cycles

bool IsShiftedTimeField(std::uint32_t id) { return id == 1 || id == 2 || id == 1027 || id == 1028; }

std::shared_ptr<IKrHQFormatItem> FormatItemFor(const std::shared_ptr<host::IKrSecurity>& security,
                                               const std::string& name) {
  auto manager = G_FormatManager();
  return manager ? manager->GetDataFormatObjByName(security, name) : nullptr;
}

}  // namespace

void TRealTimeDrops::AddFields(std::size_t count, std::uint32_t firstID) {
  if (count == 0) return;
  if (fields == 0) firstField = firstID;
  fields += count;
}

TRealTimeDrops& TRealTimeDrops::operator+=(const TRealTimeDrops& other) {
  if (fields == 0) firstField = other.firstField;
  fields += other.fields;
  unpaired += other.unpaired;
  rowsWithoutCode += other.rowsWithoutCode;
  return *this;
}

std::string TRealTimeDrops::Describe() const {
  std::vector<std::string> parts;
  if (fields > 0) {
    parts.push_back(
        fmt::format("{} {} not in the dictionary (first ID {})", fields, fields == 1 ? "field" : "fields", firstField));
  }
  if (unpaired > 0) {
    parts.push_back(fmt::format("{} {} without a pair", unpaired, unpaired == 1 ? "ID or value" : "IDs or values"));
  }
  if (rowsWithoutCode > 0) {
    parts.push_back(fmt::format("{} {} without a usable code", rowsWithoutCode, rowsWithoutCode == 1 ? "row" : "rows"));
  }
  return fmt::format("{}", fmt::join(parts, ", "));
}

int SuspensionMinuteOf(const std::string& flag, const std::string& tradeDate) {
  if (flag.empty()) return 0;
  const std::string datePart = flag.substr(0, flag.size() - 1);
  if (!datePart.empty()) {
    auto tail = [&](std::size_t from, std::size_t count) {
      return tradeDate.size() >= from + count ? tradeDate.substr(from, count) : std::string();
    };
    if (datePart.size() == 3 && datePart != tail(5, 3)) return 0;
    if (datePart.size() == 4 && datePart != tail(4, 4)) return 0;
    if (datePart.size() == 8 && datePart != tradeDate) return 0;
  }
  return StrToIntDef(flag.substr(flag.size() - 1), 0);
}

TKrRTDItem::TKrRTDItem() {
  const TKrHQDictionaryImpl& dictionary = KrHQDictionaryImpl();
  FSuspensionFlagID = static_cast<std::uint32_t>(dictionary.GetIDByName("SuspensionFlag"));
  FTradeDateID = static_cast<std::uint32_t>(dictionary.GetIDByName("TradeDate"));
  host::IncMem("TKrRTDItem");
}

TKrRTDItem::~TKrRTDItem() {
  FDeferred = {};  // its push may be gone
  ClearAllData();
  host::DecMem("TKrRTDItem");
}

std::shared_ptr<host::IKrSecurity> TKrRTDItem::GetIKrSecurity() {
  if (!FISecurity) FISecurity = G_GetSecurity(FKoraCode);
  return FISecurity;
}

bool TKrRTDItem::HasPermissionByID(std::uint32_t id) {
  Settle();
  const TFieldStore::Cell* cell = FStore.Find(id);
  return !(cell && (cell->present & TFieldStore::kHasFlag) && (cell->flags & GLOBALRT_DATA_FLAGS_NORIGHT));
}

bool TKrRTDItem::HasPermissionByName(const std::string& name) {
  const int id = KrHQDictionaryImpl().GetIDByName(name);
  return id == 0 || HasPermissionByID(static_cast<std::uint32_t>(id));
}

void TKrRTDItem::SetHasPermissionByID(std::uint32_t id, bool allowed) {
  Settle();
  std::size_t cursor = 0;
  TFieldStore::Cell* made = CellFor(id, KrHQDictionaryImpl().GetDictionaryItem(static_cast<int>(id)), cursor);
  if (!made) return;
  TFieldStore::Cell& cell = *made;
  if (!(cell.present & TFieldStore::kHasFlag)) {
    cell.flags = 0;
    cell.present |= TFieldStore::kHasFlag;
  }
  if (allowed) {
    cell.flags &= static_cast<std::uint8_t>(~GLOBALRT_DATA_FLAGS_NORIGHT);
  } else {
    cell.flags |= GLOBALRT_DATA_FLAGS_NORIGHT;
  }
}

void TKrRTDItem::SetHasPermissionByName(const std::string& name, bool allowed) {
  if (const int id = KrHQDictionaryImpl().GetIDByName(name); id != 0) {
    SetHasPermissionByID(static_cast<std::uint32_t>(id), allowed);
  }
}

double TKrRTDItem::GetDoubleDataByID(std::uint32_t id) {
  // A board reads many fields of many items many times a second: the plain read makes no call.
  if (FDeferred.push == nullptr && !FIsHisPlay && !IsShiftedTimeField(id)) [[likely]]
    return StoredDouble(id, 0.0);
  return ReadDoubleAsShown(id);
}

double TKrRTDItem::ReadDoubleAsShown(std::uint32_t id) {
  Settle();
  const double value = InHistoryMode() ? FIKrHisPlayDataProvider->GetDoubleValue(id, FKoraCode, FPlayType)
                                       : StoredDouble(id, 0.0);
  return IsShiftedTimeField(id) ? ShiftTimeZone(id, value) : value;
}

double TKrRTDItem::GetDoubleDataByID2(std::uint32_t id) {
  Settle();
  if (InHistoryMode()) return FIKrHisPlayDataProvider->GetDoubleValue(id, FKoraCode, FPlayType);
  return StoredDouble(id, kHQNullValue);
}

std::int32_t TKrRTDItem::GetIntDataByID(std::uint32_t id) {
  Settle();
  if (InHistoryMode()) return FIKrHisPlayDataProvider->GetIntValue(id, FKoraCode, FPlayType);
  const TFieldStore::Cell* cell = FStore.Find(id);
  return cell && (cell->present & TFieldStore::kHasInteger) ? cell->integer : 0;
}

std::string TKrRTDItem::GetStringDataByID(std::uint32_t id) {
  Settle();
  if (InHistoryMode()) return FIKrHisPlayDataProvider->GetStringValue(id, FKoraCode, FPlayType);
  const std::string* text = FStore.Text(id);
  return text ? *text : std::string();
}

double TKrRTDItem::GetDoubleDataByName(const std::string& name) {
  const int id = KrHQDictionaryImpl().GetIDByName(name);
  return id != 0 ? GetDoubleDataByID(static_cast<std::uint32_t>(id)) : ExpGetDoubleDataByName(name, 0);
}

std::string TKrRTDItem::GetStringDataByName(const std::string& name) {
  const int id = KrHQDictionaryImpl().GetIDByName(name);
  return id != 0 ? GetStringDataByID(static_cast<std::uint32_t>(id)) : std::string();
}

bool TKrRTDItem::IsNullByID(std::uint32_t id) {
  Settle();
  if (InHistoryMode()) return id >= static_cast<std::uint32_t>(kFirstCloudFieldID);
  const TFieldStore::Cell* cell = FStore.Find(id);
  constexpr std::uint8_t kDeliveredWithValue = GLOBALRT_DATA_FLAGS_SUBSCRIBE | GLOBALRT_DATA_FLAGS_HASVALUE;
  return !(cell && (cell->present & TFieldStore::kHasFlag) &&
           (cell->flags & kDeliveredWithValue) == kDeliveredWithValue);
}

bool TKrRTDItem::IsNullByName(const std::string& name) {
  if (const int id = KrHQDictionaryImpl().GetIDByName(name); id != 0) {
    return IsNullByID(static_cast<std::uint32_t>(id));
  }
  auto item = FormatItemFor(GetIKrSecurity(), name);
  if (!item) return true;
  for (int id : item->GetDataList()) {
    if (IsNullByID(static_cast<std::uint32_t>(id))) return true;
  }
  return false;
}

void TKrRTDItem::ClearLastUpdate() {
  FStore.ForEachCell(
      [](TFieldStore::Cell& cell) { cell.flags &= static_cast<std::uint8_t>(~GLOBALRT_DATA_FLAGS_LASTUPDATE); });
}

inline void TKrRTDItem::Deliver(TFieldStore::Cell& cell, const TKrQuoteValue& value, std::string_view text) {
  switch (value.kind) {
    case TKrQuoteValue::kNumber:
      cell.SetNumber(value.number);
      break;
    case TKrQuoteValue::kInteger:
      cell.SetInteger(value.integer);
      break;
    case TKrQuoteValue::kText:
      FStore.SetText(cell, text);
      cell.present |= TFieldStore::kHasText;
      break;
    case TKrQuoteValue::kNothing:
      break;
  }
  cell.flags = static_cast<std::uint8_t>(((cell.present & TFieldStore::kHasFlag) ? cell.flags : 0) | kDeliveredBits);
  cell.present |= TFieldStore::kHasFlag;
}

TFieldStore::Cell* TKrRTDItem::CellFor(std::uint32_t id, const TKrHQDictionaryItem* field, std::size_t& cursor) {
  if (field) return &FStore.Get(id, field->FType, cursor);
  if (FStore.Has(id)) return &FStore.Get(id, HQDICDATA_TYPE_INTEGER, cursor);
  if (FUndefinedFields < kMaxUndefinedFields) {
    ++FUndefinedFields;
    return &FStore.Get(id, HQDICDATA_TYPE_INTEGER, cursor);
  }
  if (!FUndefinedDropLogged) {
    FUndefinedDropLogged = true;
    host::AddHQLog(fmt::format("{} keeps {} fields not in the dictionary; further ones (first ID {}) are dropped",
                               FKoraCode, kMaxUndefinedFields, id),
                   "TKrRTDItem", host::LogSeverity::kWarning);
  }
  return nullptr;
}

TRealTimeDrops TKrRTDItem::WriteRealTimeData(const TSpeedQuoteData& quoteData) {
  Settle();
  TRealTimeDrops drops;
  const std::size_t n = std::min(quoteData.FItemArray.size(), quoteData.FValueArray.size());
  drops.unpaired = std::max(quoteData.FItemArray.size(), quoteData.FValueArray.size()) - n;
  if (quoteData.FItemArray.empty()) return drops;
  ClearLastUpdate();
  const TKrHQDictionaryImpl& dictionary = KrHQDictionaryImpl();
  if (FStore.IsEmpty()) {
    // Room for the cells the first update makes, and no more (a reply may hold any number of IDs).
    std::size_t defined = 0;
    for (std::size_t i = 0; i < n; ++i)
      defined += dictionary.GetDictionaryItem(static_cast<int>(quoteData.FItemArray[i])) != nullptr;
    FStore.ReserveFirst(defined + std::min(n - defined, kMaxUndefinedFields));
  }
  std::string text;
  std::size_t cursor = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint32_t id = quoteData.FItemArray[i];
    // An update of the fields the item holds, in their order, finds each cell at the cursor, and its type
    // in it; other fields are looked up in the dictionary.
    TFieldStore::Cell* cell = FStore.AtCursor(id, cursor);
    if (!cell) cell = CellFor(id, dictionary.GetDictionaryItem(static_cast<int>(id)), cursor);
    if (!cell) {
      drops.AddField(id);
      continue;
    }
    const QuoteVariant& sent = quoteData.FValueArray[i];
    const double* number = std::get_if<double>(&sent);
    const int type = cell->Type();
    const TKrQuoteValue value = number ? StoredNumber(type, *number) : StoredValue(type, id, sent, text);
    Deliver(*cell, value, text);  // the text is stored above, before it is read here
  }
  return drops;
}

void TKrRTDItem::WriteQuoteRow(const TKrQuotePush& push, const TKrQuoteRow& row, const TKrQuoteShape& shape) {
  Settle();
  if (!row.touchesFlags) return;
  const auto textOf = [&push](const TKrQuoteValue& value) {
    return value.kind == TKrQuoteValue::kText ? std::string_view(push.Text(value)) : std::string_view();
  };
  if (FStore.Holds(shape)) {
    // Every cell is one of the shape's fields and gets its last-update bit back: no clearing first.
    // Numbers, nearly every field of a quote, take the short way.
    TFieldStore::Cell* const cells = FStore.Cells();
    const TKrQuoteValue* const values = push.Values(row);
    for (const TKrQuoteField& field : shape.fields) {
      TFieldStore::Cell& cell = cells[field.rank];
      const TKrQuoteValue& value = values[field.value];
      if (value.kind == TKrQuoteValue::kNumber && (cell.present & TFieldStore::kHasFlag)) {
        cell.number = value.number;
        cell.present = static_cast<std::uint8_t>((cell.present & ~TFieldStore::kHasInteger) | TFieldStore::kHasNumber);
        cell.flags |= kDeliveredBits;
      } else {
        Deliver(cell, value, textOf(value));
      }
    }
    return;
  }
  ClearLastUpdate();
  FStore.ReserveFirst(shape.fields.size());
  std::size_t cursor = 0;
  for (const TKrQuoteField& field : shape.fields) {
    const TKrQuoteValue& value = push.Value(row, field);
    Deliver(FStore.Get(field.id, field.type, cursor), value, textOf(value));
  }
  FStore.NoteShape(shape);
}

bool TKrRTDItem::DeferQuoteRow(const TKrQuotePush& push, const TKrQuoteRow& row, const TKrQuoteShape& shape) {
  const bool idle = FDeferred.push == nullptr;
  Settle();  // rows are written in the order they came
  FDeferred = {&push, &row, &shape};
  return idle;
}

void TKrRTDItem::WriteDeferred() {
  const TDeferredRow deferred = std::exchange(FDeferred, {});
  WriteQuoteRow(*deferred.push, *deferred.row, *deferred.shape);
}

std::vector<std::uint32_t> TKrRTDItem::GetUpdateIndexList() {
  Settle();
  std::vector<std::uint32_t> ids;
  FStore.ForEach([&ids](TFieldStore::Cell& cell) {
    if ((cell.present & TFieldStore::kHasFlag) && (cell.flags & GLOBALRT_DATA_FLAGS_LASTUPDATE)) ids.push_back(cell.id);
  });
  return ids;
}

void TKrRTDItem::ClearSpecialData(std::uint32_t id) {
  Settle();
  TFieldStore::Cell* cell = FStore.Find(id);
  if (!cell) return;
  switch (cell->Type()) {
    case HQDICDATA_TYPE_DOUBLE:
      cell->present &= static_cast<std::uint8_t>(~TFieldStore::kHasNumber);
      break;
    case HQDICDATA_TYPE_STRING:
      FStore.EraseText(*cell);
      cell->present &= static_cast<std::uint8_t>(~TFieldStore::kHasText);
      break;
    case HQDICDATA_TYPE_INTEGER:
      cell->present &= static_cast<std::uint8_t>(~TFieldStore::kHasInteger);
      break;
    default:
      break;
  }
  cell->present &= static_cast<std::uint8_t>(~TFieldStore::kHasFlag);
  cell->flags = 0;
}

void TKrRTDItem::ClearAllData() {
  Settle();
  std::vector<std::uint32_t> ids;
  FStore.ForEach([&](TFieldStore::Cell& cell) {
    const bool keeps_trade_date = cell.id == FTradeDateID && (cell.present & TFieldStore::kHasNumber);
    if (cell.present & (TFieldStore::kHasNumber | TFieldStore::kHasText | TFieldStore::kHasInteger) &&
        !keeps_trade_date) {
      ids.push_back(cell.id);
    }
  });
  for (std::uint32_t id : ids) ClearSpecialData(id);
}

void TKrRTDItem::Reset() {
  Settle();
  ClearAllData();
  FStore.Clear();
  FUndefinedFields = 0;
}

double TKrRTDItem::GetDoubleSpecialDataByID(int id) {
  Settle();
  if (id != REALTIME_SPECIALDATA_SUSPENSIONMINUTE || FTradeDateID == 0 || FSuspensionFlagID == 0) return 0;
  if (IsNullByID(FTradeDateID) || IsNullByID(FSuspensionFlagID)) return 0;
  return SuspensionMinuteOf(FloatToText(StoredDouble(FSuspensionFlagID, 0)),
                            FloatToText(StoredDouble(FTradeDateID, 0)));
}

double TKrRTDItem::ShiftTimeZone(std::uint32_t id, double value) {
  const std::string& zoneName = GetHQCach().GetTimeZoneEnName();
  if (zoneName == "Default") return value;
  auto clock = G_WorldClock();
  TTimeZoneInfo target;
  if (!clock || !clock->GetTimeZoneInfoByCity(zoneName, target)) return value;
  auto security = GetIKrSecurity();
  const int marketZone = GetStockTimeZone_New(host::kMarketInfoTimeZone, security ? security->GetTradeSpan() : "");

  if (id == kTradeDateField) {
    const TFieldStore::Cell* time = FStore.Find(kTradeTimeField);
    if (!time || !(time->present & TFieldStore::kHasNumber) || value == 0) return value;
    auto at = host::DateTime::FromYyyymmddHhmmss(std::llround(value), std::llround(time->number));
    if (!at || !clock->ShiftDateTimeEx(marketZone, target.TimeZone, *at)) return value;
    return at->Yyyymmdd();
  }
  double date = StoredDouble(kTradeDateField, 0);
  if (date == 0) date = GetServerDateTime().Yyyymmdd();
  auto at = host::DateTime::FromYyyymmddHhmmss(std::llround(date), std::llround(value));
  if (!at || !clock->ShiftDateTimeEx(marketZone, target.TimeZone, *at)) return value;
  return at->Hhmmss();
}

double TKrRTDItem::ExpGetDoubleDataByName(const std::string& name, int depth) {
  auto item = FormatItemFor(GetIKrSecurity(), name);
  TKrHQFormatExp* expression = item ? item->GetHQFormatExp() : nullptr;
  if (!expression || depth > kMaxExpressionDepth) return 0;
  const TKrHQDictionaryImpl& dictionary = KrHQDictionaryImpl();
  for (int i = 1; i < expression->GetVarCount(); ++i) {
    const std::string variable = expression->GetVarName(i);
    const int id = dictionary.GetIDByName(TrimSecondGuide(variable));
    expression->SetVarValue(
        i, id != 0 ? GetDoubleDataByID(static_cast<std::uint32_t>(id)) : ExpGetDoubleDataByName(variable, depth + 1));
  }
  try {
    return expression->Exec() ? expression->ResultValue() : 0;
  } catch (const std::exception&) {
    return 0;  // a computed field that cannot run has no value
  }
}

namespace {

// The caches holding deferred rows. Main thread only, like the caches.
std::vector<TKrRTDCache*>& UnsettledCaches() {
  static std::vector<TKrRTDCache*> caches;
  return caches;
}

}  // namespace

TKrRTDCache::~TKrRTDCache() { Settle(); }  // the items may live on in a widget's hands

void TKrRTDCache::HoldForDeferred(const TKrRTDQuoteRows& rows) {
  if (FDeferredRows.empty()) UnsettledCaches().push_back(this);
  FDeferredRows.push_back(rows);
}

void TKrRTDCache::Settle() {
  if (FDeferredRows.empty()) return;
  // Items are written in the order their rows came; an item read meanwhile is written already.
  for (TKrRTDItem* item : FDeferredItems) item->Settle();
  FDeferredItems.clear();
  FDeferredRows.clear();
  std::erase(UnsettledCaches(), this);
}

bool AnyDeferredQuoteRows() { return !UnsettledCaches().empty(); }

void SettleDeferredQuoteRows() {
  for (TKrRTDCache* cache : std::exchange(UnsettledCaches(), {})) cache->Settle();
}

std::shared_ptr<IRTDItem> TKrRTDCache::GetRealTimeItem(const std::string& code) {
  return GetRealTimeItemByUpperCode(ToUpperAscii(code));
}

std::shared_ptr<TKrRTDItem> TKrRTDCache::GetRealTimeItemByUpperCode(const std::string& upperCode) {
  auto it = FRTDItemDict.find(upperCode);
  return it == FRTDItemDict.end() ? nullptr : it->second;
}

std::shared_ptr<TKrRTDItem> TKrRTDCache::AddItem(const std::string& code, std::shared_ptr<host::IKrSecurity> security) {
  auto item = std::make_shared<TKrRTDItem>();
  item->SetHQSecurityManager(FHQSecurityManager);
  item->SetIKrSecurity(std::move(security));
  item->SetKoraCode(code);
  item->SetIsValid(true);
  auto [at, fresh] = FRTDItemDict.try_emplace(code, item);
  if (!fresh) {
    Settle();  // the item replaced may be waiting for a row
    at->second = item;
  }
  ++FGeneration;
  auto pos = std::lower_bound(FKoraCodeList.begin(), FKoraCodeList.end(), code, CaseLess{});
  if (pos == FKoraCodeList.end() || !SameTextAscii(*pos, code)) FKoraCodeList.insert(pos, code);
  return item;
}

void TKrRTDCache::RemoveRealTimeItem(const std::shared_ptr<IRTDItem>& item) {
  if (!item) return;
  const std::string code = item->GetKoraCode();
  auto pos = std::lower_bound(FKoraCodeList.begin(), FKoraCodeList.end(), code, CaseLess{});
  if (pos != FKoraCodeList.end() && SameTextAscii(*pos, code)) FKoraCodeList.erase(pos);
  auto it = FRTDItemDict.find(code);
  if (it != FRTDItemDict.end() && it->second.get() == item.get()) {
    Settle();  // the item may be waiting for a row
    FRTDItemDict.erase(it);
    ++FGeneration;
  }
}

void TKrRTDCache::ClearDiffCodes(const std::vector<std::string>& codes, const TKrRealTimeParamStructure& wanted) {
  for (const std::string& code : codes) {
    const bool still_wanted = std::any_of(wanted.Symbols().begin(), wanted.Symbols().end(),
                                          [&](const TKrRealTimeSymbolData& s) { return s.FKoraCode == code; });
    if (!still_wanted) RemoveRealTimeItem(GetRealTimeItem(code));
  }
}

std::shared_ptr<IRTDCache> CreateRTDCache() { return std::make_shared<TKrRTDCache>(); }

}  // namespace kdp
