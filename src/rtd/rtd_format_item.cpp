#include "rtd/rtd_format_item.h"

#include "core/package_lookup.h"
#include "core/service_catalog.h"
#include "fields/hq_dictionary.h"
#include "kdp/fields/hq_field_types.h"

namespace kdp {

TKrRTDFormatItem::TKrRTDFormatItem(std::shared_ptr<IRTDItem> item) : FRTDItem(std::move(item)) {}

TKrRTDFormatItem::NameInfo& TKrRTDFormatItem::Info(const std::string& name) {
  auto it = FDataFormatDict.find(name);
  if (it != FDataFormatDict.end()) return it->second;
  NameInfo info;
  info.id = KrHQDictionaryImpl().GetIDByName(name);
  return FDataFormatDict.emplace(name, std::move(info)).first->second;
}

const std::shared_ptr<IKrHQFormatItem>& TKrRTDFormatItem::Format(NameInfo& info, const std::string& name) {
  if (!info.formatAsked) {
    info.formatAsked = true;
    // "StockCode" is the code itself, which no format describes.
    if (name != "StockCode" && FRTDItem) {
      ++FLookups;
      if (auto manager = G_FormatManager()) {
        info.format = manager->GetDataFormatObjByName(FRTDItem->GetIKrSecurity(), name);
      }
    }
  }
  return info.format;
}

std::shared_ptr<IKrHQFormatItem> TKrRTDFormatItem::GetFormatItemByName(const std::string& name) {
  return Format(Info(name), name);
}

int TKrRTDFormatItem::TypeOf(NameInfo& info, const std::string& name) {
  if (!info.typeKnown) {
    info.typeKnown = true;
    info.typeID = info.id;
    if (info.typeID == 0) {
      // A computed field takes the type of the first field it reads.
      if (const auto& format = Format(info, name)) {
        const auto ids = format->GetDataList();
        info.typeID = ids.empty() ? 0 : ids.front();
      }
    }
  }
  return KrHQDictionaryImpl().GetTypeByID(info.typeID);
}

int TKrRTDFormatItem::GetHQDictIDByName(const std::string& name) {
  NameInfo& info = Info(name);
  TypeOf(info, name);
  return info.typeID;
}

bool TKrRTDFormatItem::IsNull(const NameInfo& info, const std::string& name) {
  return info.id != 0 ? FRTDItem->IsNullByID(static_cast<std::uint32_t>(info.id)) : FRTDItem->IsNullByName(name);
}

double TKrRTDFormatItem::Number(const NameInfo& info, const std::string& name) {
  return info.id != 0 ? FRTDItem->GetDoubleDataByID(static_cast<std::uint32_t>(info.id))
                      : FRTDItem->GetDoubleDataByName(name);
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
  if (!FRTDItem) return {};
  NameInfo& info = Info(name);
  if (IsNull(info, name)) return {};
  switch (TypeOf(info, name)) {
    case HQDICDATA_TYPE_DOUBLE:
      return FormatDoubleValue(info, name, checkNull);
    case HQDICDATA_TYPE_STRING:
      return FormatStringValue(info, name, checkNull);
    default:
      return {};
  }
}

std::string TKrRTDFormatItem::FormatStringValue(NameInfo& info, const std::string& name, bool checkNull) {
  const std::string text = info.id != 0 ? FRTDItem->GetStringDataByID(static_cast<std::uint32_t>(info.id))
                                        : FRTDItem->GetStringDataByName(name);
  if (checkNull && text.empty()) return "-";
  const auto& format = Format(info, name);
  return format ? format->FormatSpecString(text) : text;
}

std::string TKrRTDFormatItem::FormatDoubleValue(NameInfo& info, const std::string& name, bool checkNull) {
  const double value = Number(info, name);
  if (checkNull && IsNullValue(value)) return "-";
  const auto& format = Format(info, name);
  if (!format) return {};
  try {
    return format->CalcAndFormat(value, std::string(), format->GetUsePriceStep() ? PriceStep() : 0.0);
  } catch (const std::exception&) {
    return "-";  // a broken number instruction shows no number rather than a wrong one
  }
}

std::string TKrRTDFormatItem::GetDateTimeFormatValueByName(const std::string& name, bool checkNull) {
  if (!FRTDItem) return {};
  NameInfo& info = Info(name);
  // A date or time never delivered is an empty value like a zero one.
  if (IsNull(info, name)) return checkNull ? "-" : "";
  const double value = Number(info, name);
  if (checkNull && (value == 0 || IsNullValue(value))) return "-";
  const auto& format = Format(info, name);
  return format ? format->CalcAndFormat(value, false) : std::string();
}

std::string TKrRTDFormatItem::GetFormatColorNameByName(const std::string& name, bool /*checkNull*/) {
  if (!FRTDItem) return {};
  NameInfo& info = Info(name);
  if (IsNull(info, name)) return {};
  const auto& format = Format(info, name);
  if (!format) return {};
  switch (TypeOf(info, name)) {
    case HQDICDATA_TYPE_DOUBLE:
      return format->GetDoubleFormatColorName(Number(info, name), FieldReader());
    case HQDICDATA_TYPE_STRING:
      return format->GetColorName(0, true);
    default:
      return {};
  }
}

std::uint32_t TKrRTDFormatItem::GetFormatColorByName(const std::string& name, bool /*checkNull*/,
                                                     const std::shared_ptr<IKrHQStyle>& style) {
  if (!FRTDItem) return 0;
  NameInfo& info = Info(name);
  if (IsNull(info, name)) return 0;
  const auto& format = Format(info, name);
  if (!format) return 0;
  switch (TypeOf(info, name)) {
    case HQDICDATA_TYPE_DOUBLE:
      return format->GetDoubleFormatColor(style, Number(info, name), FieldReader());
    case HQDICDATA_TYPE_STRING:
      return format->GetColor(style, 0, true);
    default:
      return 0;
  }
}

std::shared_ptr<IRTDFormatItem> CreateRTDFormatItem(std::shared_ptr<IRTDItem> item) {
  return std::make_shared<TKrRTDFormatItem>(std::move(item));
}

}  // namespace kdp
