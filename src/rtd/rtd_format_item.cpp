#include "rtd/rtd_format_item.h"

#include "frame/package_lookup.h"
#include "kdp/rtd/hq_field_types.h"
#include "rtd/hq_dictionary.h"

namespace kdp {

TKrRTDFormatItem::TKrRTDFormatItem(std::shared_ptr<IRTDItem> item) : FRTDItem(std::move(item)) {}

std::shared_ptr<IKrHQFormatItem> TKrRTDFormatItem::GetFormatItemByName(const std::string& name) {
  auto it = FDataFormatDict.find(name);
  if (it != FDataFormatDict.end()) return it->second;
  std::shared_ptr<IKrHQFormatItem> found;
  // "StockCode" is the code itself, which no format describes.
  if (name != "StockCode" && FRTDItem) {
    ++FLookups;
    if (auto manager = G_QueryInterface<IKrHQFormatManager>("IKrHQFormatManager")) {
      found = manager->GetDataFormatObjByName(FRTDItem->GetIKrSecurity(), name);
    }
  }
  FDataFormatDict.emplace(name, found);
  return found;
}

int TKrRTDFormatItem::GetHQDictIDByName(const std::string& name) {
  if (const int id = KrHQDictionaryImpl().GetIDByName(name); id != 0) return id;
  auto item = GetFormatItemByName(name);
  if (!item) return 0;
  const auto ids = item->GetDataList();
  return ids.empty() ? 0 : ids.front();
}

double TKrRTDFormatItem::PriceStep() {
  if (FPriceStep == 0 && FRTDItem) {
    if (auto security = FRTDItem->GetIKrSecurity()) FPriceStep = security->GetPriceStep();
  }
  return FPriceStep;
}

IKrHQFormatItem::FieldValueReader TKrRTDFormatItem::FieldReader() {
  return [item = FRTDItem](const std::string& field) { return item ? item->GetDoubleDataByName(field) : 0.0; };
}

std::string TKrRTDFormatItem::GetFormatValueByName(const std::string& name, bool checkNull) {
  if (!FRTDItem || FRTDItem->IsNullByName(name)) return {};
  switch (KrHQDictionaryImpl().GetTypeByID(GetHQDictIDByName(name))) {
    case HQDICDATA_TYPE_DOUBLE: return FormatDoubleValue(name, checkNull);
    case HQDICDATA_TYPE_STRING: return FormatStringValue(name, checkNull);
    default: return {};
  }
}

std::string TKrRTDFormatItem::FormatStringValue(const std::string& name, bool checkNull) {
  const std::string text = FRTDItem->GetStringDataByName(name);
  if (checkNull && text.empty()) return "-";
  auto item = GetFormatItemByName(name);
  return item ? item->FormatSpecString(text) : text;
}

std::string TKrRTDFormatItem::FormatDoubleValue(const std::string& name, bool checkNull) {
  const double value = FRTDItem->GetDoubleDataByName(name);
  if (checkNull && IsNullValue(value)) return "-";
  auto item = GetFormatItemByName(name);
  if (!item) return {};
  try {
    return item->CalcAndFormat(value, std::string(), item->GetUsePriceStep() ? PriceStep() : 0.0);
  } catch (const std::exception&) {
    return "-";  // a broken number instruction shows no number rather than a wrong one
  }
}

std::string TKrRTDFormatItem::GetDateTimeFormatValueByName(const std::string& name, bool checkNull) {
  if (!FRTDItem || FRTDItem->IsNullByName(name)) return {};
  const double value = FRTDItem->GetDoubleDataByName(name);
  if (checkNull && (value == 0 || IsNullValue(value))) return "-";
  auto item = GetFormatItemByName(name);
  return item ? item->CalcAndFormat(value, false) : std::string();
}

std::string TKrRTDFormatItem::GetFormatColorNameByName(const std::string& name, bool /*checkNull*/) {
  if (!FRTDItem || FRTDItem->IsNullByName(name)) return {};
  auto item = GetFormatItemByName(name);
  if (!item) return {};
  switch (KrHQDictionaryImpl().GetTypeByID(GetHQDictIDByName(name))) {
    case HQDICDATA_TYPE_DOUBLE: return item->GetDoubleFormatColorName(FRTDItem->GetDoubleDataByName(name), FieldReader());
    case HQDICDATA_TYPE_STRING: return item->GetColorName(0, true);
    default: return {};
  }
}

std::uint32_t TKrRTDFormatItem::GetFormatColorByName(const std::string& name, bool /*checkNull*/,
                                                     const std::shared_ptr<IKrHQStyle>& style) {
  if (!FRTDItem || FRTDItem->IsNullByName(name)) return 0;
  auto item = GetFormatItemByName(name);
  if (!item) return 0;
  switch (KrHQDictionaryImpl().GetTypeByID(GetHQDictIDByName(name))) {
    case HQDICDATA_TYPE_DOUBLE:
      return item->GetDoubleFormatColor(style, FRTDItem->GetDoubleDataByName(name), FieldReader());
    case HQDICDATA_TYPE_STRING: return item->GetColor(style, 0, true);
    default: return 0;
  }
}

std::shared_ptr<IRTDFormatItem> CreateRTDFormatItem(std::shared_ptr<IRTDItem> item) {
  return std::make_shared<TKrRTDFormatItem>(std::move(item));
}

}  // namespace kdp
