#include "format/format_item.h"

#include <cmath>

#include <fmt/format.h>

#include "core/host_lookups.h"
#include "core/package_lookup.h"
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
constexpr int kDefaultPoint = 2;

bool IsShowable(double value) { return std::isfinite(value) && !IsNullValue(value); }

// Removes the zeros ending the decimals of the number at the start of `text` ("12.30万" -> "12.3万").
std::string TrimZeros(std::string text) {
  const std::size_t dot = text.find('.');
  if (dot == std::string::npos) return text;
  std::size_t end = dot + 1;
  while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
  std::size_t cut = end;
  while (cut > dot + 1 && text[cut - 1] == '0') --cut;
  if (cut == dot + 1) cut = dot;
  return text.erase(cut, end - cut);
}

// Thousands separators in the integer part: "1234567.89" -> "1,234,567.89".
std::string GroupThousands(const std::string& text) {
  std::size_t start = text.empty() || text[0] != '-' ? 0 : 1;
  std::size_t end = text.find('.');
  if (end == std::string::npos) end = text.size();
  std::string out = text.substr(0, start);
  for (std::size_t i = start; i < end; ++i) {
    out += text[i];
    const std::size_t left = end - i - 1;
    if (left > 0 && left % 3 == 0) out += ',';
  }
  return out + text.substr(end);
}

std::string CurrencySymbol(std::string_view code) {
  const std::string upper = ToUpperAscii(TrimView(code));
  if (upper.empty()) return {};
  if (upper == "CNY" || upper == "RMB") return "¥";
  if (upper == "HKD") return "HK$";
  if (upper == "USD") return "$";
  if (upper == "EUR") return "€";
  if (upper == "GBP") return "£";
  if (upper == "JPY") return "JP¥";
  return upper + " ";
}

std::optional<int> WholeNumber(double value) {
  if (std::fabs(value) > 2e9) return std::nullopt;
  return static_cast<int>(std::llround(value));
}

}  // namespace

std::shared_ptr<IKrHQStyle> ResolveStyle(const std::shared_ptr<IKrHQStyle>& style) {
  if (style) return style;
  auto manager = host::KrIntfService<IKrHQStyleMgr>();
  if (!manager) manager = G_QueryInterface<IKrHQStyleMgr>("IKrHQStyleMgr");
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

int TKrHQFormatItem::PointArg(int fallback) const {
  if (FInstruction.args.empty()) return fallback;
  const int point = StrToIntDef(FInstruction.args[0], fallback);
  return point < -1 ? fallback : std::min(point, kMaxDecimals);
}

// ---- formatting ----

std::string TKrHQFormatItem::CalcAndFormat(double value, const std::string& param, double priceStep) {
  return Format(value, Request{param, priceStep, false});
}

std::string TKrHQFormatItem::CalcAndFormat(double value, double otherValue) {
  switch (FInstruction.keyword) {
    case TFormatKeyword::kRangeValueUnit:
    case TFormatKeyword::kRangeValueUnitMarketValue:
    case TFormatKeyword::kRangeValueUnitStockVol:
      return Format(value, Request{}) + "~" + Format(otherValue, Request{});
    default:
      return Format(value, Request{});
  }
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
  const bool byPriceStep = FUsePriceStep && request.priceStep > 0;
  switch (FInstruction.keyword) {
    case TFormatKeyword::kNone:
      return FloatToText(value);
    case TFormatKeyword::kPattern:
      return HQFormat(byPriceStep ? PriceStepFormat(request.priceStep) : FInstruction.pattern, value);
    case TFormatKeyword::kChar8Date:
      return HQFormat("%.0f", value);
    case TFormatKeyword::kFormatNumber: {
      if (!FNumberParams) throw EHQFormatError(FNumberError);
      if (!byPriceStep) return FormatNumber(value, *FNumberParams, CurrentUnitWords());
      TKrFormatNumberParams params = *FNumberParams;
      params.Point = PriceStepDecimals(request.priceStep);
      return FormatNumber(value, params, CurrentUnitWords());
    }
    case TFormatKeyword::kRoundUPercent:
      return RoundPercent(value);
    case TFormatKeyword::kFormatFloat:
      return GroupThousands(FixedText(value, PointArg(kDefaultPoint)));
    case TFormatKeyword::kLfAddZero: {
      const auto whole = WholeNumber(value);
      if (!whole || *whole < 0) return "-";
      const int width = std::clamp(PointArg(6), 0, kMaxDecimals);
      return fmt::format("{:0{}d}", *whole, width);
    }
    case TFormatKeyword::kLimitedValue:
      return value <= 0 ? LimitFreeText() : FixedText(value, PointArg(kDefaultPoint));
    case TFormatKeyword::kBbqHqField:
      return value <= 0 ? "--" : FixedText(value, PointArg(4));
    case TFormatKeyword::kUnmatchedStr: {
      if (std::fabs(value) < 1e-8) {
        return FInstruction.args.empty() || Trim(FInstruction.args[0]).empty() ? UnmatchedText() : FInstruction.args[0];
      }
      const int point = FInstruction.args.size() > 1 ? StrToIntDef(FInstruction.args[1], kDefaultPoint) : kDefaultPoint;
      return FixedText(value, std::clamp(point, -1, kMaxDecimals));
    }
    case TFormatKeyword::kSwapPeriod: {
      const auto days = WholeNumber(value);
      if (!days || *days <= 0) return "-";
      if (*days % 365 == 0) return std::to_string(*days / 365) + "Y";
      if (*days % 30 == 0) return std::to_string(*days / 30) + "M";
      if (*days % 7 == 0) return std::to_string(*days / 7) + "W";
      return std::to_string(*days) + "D";
    }
    case TFormatKeyword::kTermNote:
      if (value <= 0) return "-";
      if (value < 1) return std::to_string(std::lround(value * 365)) + "D";
      return FixedText(value, 2) + "Y";
    case TFormatKeyword::kFormatString:
      return FormatStringText(FInstruction.args.empty() ? std::string_view() : FInstruction.args[0], value);
    case TFormatKeyword::kTradingStatus:
    case TFormatKeyword::kFundFaces:
    case TFormatKeyword::kManagementCompany:
    case TFormatKeyword::kTrueFalse:
    case TFormatKeyword::kNeeqAllowStatus:
    case TFormatKeyword::kNeeqExtType:
    case TFormatKeyword::kNeeqTradeType:
    case TFormatKeyword::kProfitEffect:
      return EnumeratedText(FInstruction.keyword, value);
    case TFormatKeyword::kCalcUnit:
    case TFormatKeyword::kCalcUnitE:
    case TFormatKeyword::kRoundUnit:
    case TFormatKeyword::kRoundUnitC:
    case TFormatKeyword::kRoundUnitE:
    case TFormatKeyword::kRoundUnitS:
    case TFormatKeyword::kRoundUnitSEx:
    case TFormatKeyword::kRoundUnitSymbol:
    case TFormatKeyword::kRoundUnitPlus:
    case TFormatKeyword::kRoundIncome:
    case TFormatKeyword::kRangeValueUnit:
    case TFormatKeyword::kRangeValueUnitMarketValue:
    case TFormatKeyword::kRangeValueUnitStockVol:
      return FormatUnits(value, request);
    case TFormatKeyword::kNeedYear:
    case TFormatKeyword::kNeedYear2:
    case TFormatKeyword::kFormatDate:
    case TFormatKeyword::kFormatDateTime:
    case TFormatKeyword::kFormatTime:
    case TFormatKeyword::kLastFormatDate:
    case TFormatKeyword::kShscFormatDate:
    case TFormatKeyword::kEpsDate:
    case TFormatKeyword::kEstData:
    case TFormatKeyword::kFormatSeasonRpt:
    case TFormatKeyword::kFormatYearRpt:
      return FormatDate(value, request);
    case TFormatKeyword::kUnknown:
      break;
  }
  if (host::IsNeedWriteHQLog()) {
    host::AddHQLog(fmt::format("{}: unknown format instruction {}", FIndexId, FFormatText), kLogSource,
                   host::LogSeverity::kNotice);
  }
  return FloatToText(value);
}

std::string TKrHQFormatItem::FormatUnits(double value, const Request& request) {
  const TFormatKeyword keyword = FInstruction.keyword;
  const TUnitWords* words = &CurrentUnitWords();
  if (keyword == TFormatKeyword::kCalcUnitE || keyword == TFormatKeyword::kRoundUnitE ||
      keyword == TFormatKeyword::kRoundUnitSEx) {
    words = &EnglishUnitWords();
  } else if (keyword == TFormatKeyword::kRoundUnitC) {
    words = &ChineseUnitWords();
  }
  TKrFormatNumberParams params;
  params.Point = PointArg(kDefaultPoint);
  params.Suffix = 1;
  if (keyword == TFormatKeyword::kRangeValueUnitMarketValue) params.UnitLevel = 6;
  const double smallest = words->chinese ? 1e4 : 1e3;
  if (keyword == TFormatKeyword::kRoundIncome && std::fabs(value) < smallest) params.UnitLevel = words->chinese ? 2 : 1;

  std::string text;
  const bool keepsDecimals = keyword != TFormatKeyword::kCalcUnit && keyword != TFormatKeyword::kCalcUnitE;
  const std::string rounded = FixedText(value, params.Point);
  if (keepsDecimals && params.UnitLevel == 0 && std::fabs(StrToFloatDef(rounded, 0.0)) < smallest) {
    text = rounded;  // below the first level the value keeps its decimals
  } else {
    text = FormatNumber(value, params, *words);
  }
  switch (keyword) {
    case TFormatKeyword::kRoundUnitS:
    case TFormatKeyword::kRoundUnitSEx:
      return TrimZeros(text);
    case TFormatKeyword::kRoundUnitPlus:
      return value > 0 && !text.empty() && text[0] != '-' && StrToFloatDef(rounded, 0.0) != 0.0 ? "+" + text : text;
    case TFormatKeyword::kRoundUnitSymbol: {
      const std::string_view currency = FInstruction.args.size() > 1 && !Trim(FInstruction.args[1]).empty()
                                            ? std::string_view(FInstruction.args[1])
                                            : request.param;
      const std::string symbol = CurrencySymbol(currency);
      if (text.starts_with('-')) return "-" + symbol + text.substr(1);
      return symbol + text;
    }
    case TFormatKeyword::kRangeValueUnitStockVol:
      return text + (words->chinese ? ShareWord() : " " + ShareWord());
    default:
      return text;
  }
}

std::string TKrHQFormatItem::FormatDate(double value, const Request& request) {
  const TFormatKeyword keyword = FInstruction.keyword;
  const std::string& argument = FInstruction.argumentText;
  const auto withYear = [&](std::string pattern) {
    return request.needYear && !PatternHasYear(pattern) ? "YYYY-" + pattern : pattern;
  };
  if (keyword == TFormatKeyword::kFormatTime) {
    const auto time = QuoteTime(value);
    return time ? FormatQuoteDateTime(*time, argument.empty() ? "HH:NN:SS" : argument) : "-";
  }
  if (keyword == TFormatKeyword::kEstData) {
    if (const auto year = WholeNumber(value); year && *year >= 1900 && *year <= 9999)
      return std::to_string(*year) + "E";
    const auto date = QuoteDate(value);
    return date ? std::to_string(date->year) + "E" : "-";
  }
  if (keyword == TFormatKeyword::kFormatYearRpt) {
    if (const auto year = WholeNumber(value); year && *year >= 1900 && *year <= 9999) return FiscalYearText(*year);
    const auto date = QuoteDate(value);
    return date ? FiscalYearText(date->year) : "-";
  }
  const auto date = QuoteDate(value);
  if (!date) return "-";
  switch (keyword) {
    case TFormatKeyword::kNeedYear:
      return FormatQuoteDateTime(*date, "YYYY-MM-DD");
    case TFormatKeyword::kNeedYear2:
      return FormatQuoteDateTime(*date, "YYYY/MM/DD");
    case TFormatKeyword::kFormatDate:
      return FormatQuoteDateTime(*date, withYear(argument.empty() ? "YYYY-MM-DD" : argument));
    case TFormatKeyword::kFormatDateTime:
      return FormatQuoteDateTime(*date, withYear(argument.empty() ? "YYYY-MM-DD HH:NN:SS" : argument));
    case TFormatKeyword::kLastFormatDate: {
      const bool thisYear = GetServerDateTime().Decode().year == date->year;
      return FormatQuoteDateTime(*date, thisYear && !request.needYear ? "MM-DD" : "YYYY-MM-DD");
    }
    case TFormatKeyword::kShscFormatDate:
      return FormatQuoteDateTime(*date, "DD/MM/YYYY");
    case TFormatKeyword::kEpsDate: {
      const int mmdd = date->month * 100 + date->day;
      const int quarter = mmdd == 331 ? 1 : mmdd == 630 ? 2 : mmdd == 930 ? 3 : mmdd == 1231 ? 4 : 0;
      return quarter ? fmt::format("{}Q{}", date->year, quarter) : FormatQuoteDateTime(*date, "YYYY-MM-DD");
    }
    case TFormatKeyword::kFormatSeasonRpt:
      return SeasonReportText(*date).value_or(FormatQuoteDateTime(*date, "YYYY-MM-DD"));
    default:
      return FormatQuoteDateTime(*date, "YYYY-MM-DD");
  }
}

std::string TKrHQFormatItem::FormatSpecString(const std::string& text) {
  switch (FInstruction.keyword) {
    case TFormatKeyword::kPattern:
      return FInstruction.pattern.find("%s") != std::string::npos ? HQFormat(FInstruction.pattern, text) : text;
    case TFormatKeyword::kFormatString:
    case TFormatKeyword::kTradingStatus:
    case TFormatKeyword::kFundFaces:
    case TFormatKeyword::kManagementCompany:
    case TFormatKeyword::kTrueFalse:
    case TFormatKeyword::kNeeqAllowStatus:
    case TFormatKeyword::kNeeqExtType:
    case TFormatKeyword::kNeeqTradeType:
    case TFormatKeyword::kProfitEffect:
      if (const auto number = ParseDouble(text)) return Format(*number, Request{});
      return text;
    default:
      return text;
  }
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
