#include "format/format_item.h"

#include <cmath>

#include <fmt/format.h>

#include "core/host_lookups.h"
#include "core/package_lookup.h"
#include "core/service_catalog.h"
#include "format/format_keywords.h"
#include "format/format_texts.h"
#include "kdp/fields/hq_field_types.h"
#include "kdp/host/log.h"
#include "kdp/host/services.h"
#include "util/float_text.h"
#include "util/hq_format.h"
#include "util/strings.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "uKrHQFormatItem";

bool IsShowable(double value) { return std::isfinite(value) && !IsNullValue(value); }

}  // namespace

std::shared_ptr<IKrHQStyle> ResolveStyle(const std::shared_ptr<IKrHQStyle>& style) {
  if (style) return style;
  auto manager = host::KrIntfService<IKrHQStyleMgr>();
  if (!manager) manager = G_StyleManager();
  return manager ? manager->GetCurrentStyle() : nullptr;
}

void TKrHQFormatItem::SetFormatText(const std::string& text) {
  FFormatText = text;
  FInstruction = ParseFormatInstruction(text);
  FNumberParams.reset();
  FNumberError.clear();
  if (FInstruction.keyword == TFormatKeyword::kPattern && !IsBoundedPattern(FInstruction.pattern)) {
    host::AddHQLog(fmt::format("{}: the pattern {} asks for too wide a text; the value is shown as it is", FIndexId,
                               FInstruction.pattern),
                   kLogSource, host::LogSeverity::kNotice);
    FInstruction.keyword = TFormatKeyword::kNone;
  }
  FRow = FormatKeywordRow(FInstruction.keyword);
  if (FInstruction.keyword == TFormatKeyword::kFormatNumber) {
    try {
      FNumberParams = ParseFormatNumberParams(FInstruction.args);
    } catch (const EHQFormatError& e) {
      FNumberError = e.what();
    }
  }
}

void TKrHQFormatItem::SetColors(std::string greater, std::string less, std::string equal, std::string fallback) {
  sHColor = std::move(greater);
  sLColor = std::move(less);
  sEqColor = std::move(equal);
  sDefColor = std::move(fallback);
}

// ---- formatting ----

std::string TKrHQFormatItem::CalcAndFormat(double value, const std::string& param, double priceStep) {
  return Format(value, Request{param, priceStep, false});
}

std::string TKrHQFormatItem::CalcAndFormat(double value, double otherValue) {
  const TFormatKeywordRow* row = FRow;
  if (row && row->showsRange) return Format(value, Request{}) + "~" + Format(otherValue, Request{});
  return Format(value, Request{});
}

std::string TKrHQFormatItem::CalcAndFormat(double value, bool needYear) {
  return Format(value, Request{{}, 0.0, needYear});
}

std::string TKrHQFormatItem::CalcAndFormatByKoraCode(double value, const std::string& param, const std::string& code) {
  return CalcAndFormatBySecurity(value, param, G_GetSecurity(code));
}

std::string TKrHQFormatItem::CalcAndFormatBySecurity(double value, const std::string& param,
                                                     const std::shared_ptr<host::IKrSecurity>& security) {
  return Format(value, Request{param, security ? security->GetPriceStep() : 0.0, false});
}

std::string TKrHQFormatItem::Format(double value, const Request& request) {
  if (!IsShowable(value)) return "-";
  const TFormatKeywordRow* row = FRow;
  if (!row) {
    if (host::IsNeedWriteHQLog()) {
      host::AddHQLog(fmt::format("{}: unknown format instruction {}", FIndexId, FFormatText), kLogSource,
                     host::LogSeverity::kNotice);
    }
    return FloatToText(value);
  }
  const TFormatCall call{FInstruction,
                         FNumberParams ? &*FNumberParams : nullptr,
                         FNumberError,
                         request.param,
                         FUsePriceStep && request.priceStep > 0 ? request.priceStep : 0.0,
                         request.needYear};
  return row->format(value, call);
}

std::string TKrHQFormatItem::FormatSpecString(const std::string& text) {
  if (FInstruction.keyword == TFormatKeyword::kPattern) {
    return FInstruction.pattern.find("%s") != std::string::npos ? HQFormat(FInstruction.pattern, text) : text;
  }
  const TFormatKeywordRow* row = FRow;
  if (row && row->family == TFormatFamily::kEnumerated) {
    if (const auto number = ParseDouble(text)) return Format(*number, Request{});
  }
  return text;
}

bool TKrHQFormatItem::IsOnlyShowYearMonth() {
  return (FInstruction.keyword == TFormatKeyword::kFormatDate ||
          FInstruction.keyword == TFormatKeyword::kFormatDateTime) &&
         PatternIsYearMonth(FInstruction.argumentText);
}

// ---- colours ----

std::string TKrHQFormatItem::ColorNameOf(double difference, bool useDefault) const {
  if (useDefault || !std::isfinite(difference)) return sDefColor;
  if (std::fabs(difference) < 1e-8) return sEqColor;
  return difference < 0 ? sLColor : sHColor;
}

std::string TKrHQFormatItem::GetColorName(double value, bool useDefault) { return ColorNameOf(value, useDefault); }

std::string TKrHQFormatItem::GetColorName(double value, double compareValue, bool useDefault) {
  return ColorNameOf(value - compareValue, useDefault);
}

namespace {

std::uint32_t StyleColor(const std::shared_ptr<IKrHQStyle>& given, const std::string& name) {
  auto style = ResolveStyle(given);
  if (!style) return 0;
  const std::uint32_t fallback = style->GetColor("DefaultColor", 0);
  return name.empty() ? fallback : style->GetColor(name, fallback);
}

}  // namespace

std::uint32_t TKrHQFormatItem::GetColor(const std::shared_ptr<IKrHQStyle>& style, double value, bool useDefault) {
  return StyleColor(style, GetColorName(value, useDefault));
}

std::uint32_t TKrHQFormatItem::GetColor(const std::shared_ptr<IKrHQStyle>& style, double value, double compareValue,
                                        bool useDefault) {
  return StyleColor(style, GetColorName(value, compareValue, useDefault));
}

std::uint32_t TKrHQFormatItem::GetColor(const std::shared_ptr<IKrHQStyle>& style, double value,
                                        const std::string& compareField, const FieldValueReader& fieldValue,
                                        bool useDefault) {
  const double compare = fieldValue && !compareField.empty() ? fieldValue(compareField) : 0.0;
  return StyleColor(style, GetColorName(value, compare, useDefault));
}

std::string TKrHQFormatItem::GetDoubleFormatColorName(double value, const FieldValueReader& fieldValue) {
  if (!IsShowable(value)) return sDefColor;
  const std::string placeholder = ParseText(FCompareTo);
  const std::string field = placeholder.empty() ? Trim(FCompareTo) : placeholder;
  if (field.empty()) return sDefColor;
  if (SameTextAscii(field, "ZERO")) return ColorNameOf(value, false);
  if (!fieldValue) return sDefColor;
  const double compare = fieldValue(field);
  if (!IsShowable(compare)) return sDefColor;
  return ColorNameOf(value - compare, false);
}

std::uint32_t TKrHQFormatItem::GetDoubleFormatColor(const std::shared_ptr<IKrHQStyle>& style, double value,
                                                    const FieldValueReader& fieldValue) {
  return StyleColor(style, GetDoubleFormatColorName(value, fieldValue));
}

// ---- computed fields ----

void TKrHQFormatItem::AppendDataList(int fieldID) {
  if (std::find(FDataList.begin(), FDataList.end(), fieldID) == FDataList.end()) FDataList.push_back(fieldID);
}

void TKrHQFormatItem::AppendDataList(const std::vector<int>& fieldIDs) {
  for (int id : fieldIDs) AppendDataList(id);
}

void TKrHQFormatItem::AppendSecondDataList(int fieldID) {
  if (std::find(FSecondDataList.begin(), FSecondDataList.end(), fieldID) == FSecondDataList.end()) {
    FSecondDataList.push_back(fieldID);
  }
}

void TKrHQFormatItem::SetExpressions(const std::string& text) {
  FExpressions = text;
  FHQFormatExp.reset();
  if (Trim(text).empty()) return;
  FHQFormatExp = std::make_unique<TKrHQFormatExp>();
  if (!FHQFormatExp->ParserHQExp(text)) {
    host::AddHQLog(fmt::format("{}: the expression does not parse: {}", FIndexId, text), kLogSource,
                   host::LogSeverity::kNotice);
  }
}

}  // namespace kdp
