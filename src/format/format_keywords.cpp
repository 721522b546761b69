#include "format/format_keywords.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

#include <fmt/format.h>

#include "core/host_lookups.h"
#include "format/format_texts.h"
#include "util/float_text.h"
#include "util/hq_format.h"
#include "util/strings.h"

namespace kdp {
namespace {

constexpr int kDefaultPoint = 2;

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

// ---- plain texts ----

std::string FormatShortest(double value, const TFormatCall&) { return FloatToText(value); }

std::string FormatPattern(double value, const TFormatCall& call) {
  return HQFormat(call.priceStep > 0 ? PriceStepFormat(call.priceStep) : call.instruction.pattern, value);
}

std::string FormatChar8Date(double value, const TFormatCall&) { return HQFormat("%.0f", value); }

// ---- numbers ----

std::string FormatNumberInstruction(double value, const TFormatCall& call) {
  if (!call.numberParams) throw EHQFormatError(call.numberError);
  if (call.priceStep <= 0) return FormatNumber(value, *call.numberParams, CurrentUnitWords());
  TKrFormatNumberParams params = *call.numberParams;
  params.Point = PriceStepDecimals(call.priceStep);
  return FormatNumber(value, params, CurrentUnitWords());
}

std::string FormatRoundUPercent(double value, const TFormatCall&) { return RoundPercent(value); }

std::string FormatGroupedFloat(double value, const TFormatCall& call) {
  return GroupThousands(FixedText(value, call.PointArg(kDefaultPoint)));
}

std::string FormatZeroPadded(double value, const TFormatCall& call) {
  const auto whole = WholeNumber(value);
  if (!whole || *whole < 0) return "-";
  const int width = std::clamp(call.PointArg(6), 0, kMaxDecimals);
  return fmt::format("{:0{}d}", *whole, width);
}

std::string FormatLimitedValue(double value, const TFormatCall& call) {
  return value <= 0 ? LimitFreeText() : FixedText(value, call.PointArg(kDefaultPoint));
}

std::string FormatBbqField(double value, const TFormatCall& call) {
  return value <= 0 ? "--" : FixedText(value, call.PointArg(4));
}

std::string FormatUnmatched(double value, const TFormatCall& call) {
  const auto& args = call.instruction.args;
  if (std::fabs(value) < 1e-8) return args.empty() || Trim(args[0]).empty() ? UnmatchedText() : args[0];
  const int point = args.size() > 1 ? StrToIntDef(args[1], kDefaultPoint) : kDefaultPoint;
  return FixedText(value, std::clamp(point, -1, kMaxDecimals));
}

std::string FormatSwapPeriod(double value, const TFormatCall&) {
  const auto days = WholeNumber(value);
  if (!days || *days <= 0) return "-";
  if (*days % 365 == 0) return std::to_string(*days / 365) + "Y";
  if (*days % 30 == 0) return std::to_string(*days / 30) + "M";
  if (*days % 7 == 0) return std::to_string(*days / 7) + "W";
  return std::to_string(*days) + "D";
}

std::string FormatTermNote(double value, const TFormatCall&) {
  if (value <= 0) return "-";
  if (value < 1) return std::to_string(std::lround(value * 365)) + "D";
  return FixedText(value, 2) + "Y";
}

// ---- unit ladders ----

std::string FormatUnits(double value, const TFormatCall& call) {
  const TFormatKeyword keyword = call.instruction.keyword;
  const TUnitWords* words = &CurrentUnitWords();
  if (keyword == TFormatKeyword::kCalcUnitE || keyword == TFormatKeyword::kRoundUnitE ||
      keyword == TFormatKeyword::kRoundUnitSEx) {
    words = &EnglishUnitWords();
  } else if (keyword == TFormatKeyword::kRoundUnitC) {
    words = &ChineseUnitWords();
  }
  TKrFormatNumberParams params;
  params.Point = call.PointArg(kDefaultPoint);
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
      const auto& args = call.instruction.args;
      const std::string_view currency =
          args.size() > 1 && !Trim(args[1]).empty() ? std::string_view(args[1]) : call.param;
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

// ---- dates, times and periods ----

std::string FormatTimeOfDay(double value, const TFormatCall& call) {
  const auto time = QuoteTime(value);
  const std::string& pattern = call.instruction.argumentText;
  return time ? FormatQuoteDateTime(*time, pattern.empty() ? "HH:NN:SS" : pattern) : "-";
}

// A year ("2026") or a date whose year counts.
std::optional<int> YearOf(double value) {
  if (const auto year = WholeNumber(value); year && *year >= 1900 && *year <= 9999) return *year;
  const auto date = QuoteDate(value);
  return date ? std::optional<int>(date->year) : std::nullopt;
}

std::string FormatEstimateYear(double value, const TFormatCall&) {
  const auto year = YearOf(value);
  return year ? std::to_string(*year) + "E" : "-";
}

std::string FormatFiscalYear(double value, const TFormatCall&) {
  const auto year = YearOf(value);
  return year ? FiscalYearText(*year) : "-";
}

std::string FormatDate(double value, const TFormatCall& call) {
  const auto date = QuoteDate(value);
  if (!date) return "-";
  const std::string& argument = call.instruction.argumentText;
  const auto withYear = [&](std::string pattern) {
    return call.needYear && !PatternHasYear(pattern) ? "YYYY-" + pattern : pattern;
  };
  switch (call.instruction.keyword) {
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
      return FormatQuoteDateTime(*date, thisYear && !call.needYear ? "MM-DD" : "YYYY-MM-DD");
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

// ---- enumerated texts ----

std::string FormatCodeString(double value, const TFormatCall& call) {
  const auto& args = call.instruction.args;
  return FormatStringText(args.empty() ? std::string_view() : std::string_view(args[0]), value);
}

template <std::string (*Text)(double)>
std::string FormatEnumerated(double value, const TFormatCall&) {
  return Text(value);
}

using K = TFormatKeyword;
using F = TFormatFamily;

constexpr std::array kRows{
    TFormatKeywordRow{"", K::kNone, F::kPlain, FormatShortest},
    TFormatKeywordRow{"", K::kPattern, F::kPlain, FormatPattern},
    TFormatKeywordRow{"CHAR8DATE", K::kChar8Date, F::kPlain, FormatChar8Date, true},
    // numbers
    TFormatKeywordRow{"FORMATNUMBER", K::kFormatNumber, F::kNumber, FormatNumberInstruction},
    TFormatKeywordRow{"ROUNDUPERCENT", K::kRoundUPercent, F::kNumber, FormatRoundUPercent},
    TFormatKeywordRow{"FORMATFLOAT", K::kFormatFloat, F::kNumber, FormatGroupedFloat},
    TFormatKeywordRow{"LFADDZERO", K::kLfAddZero, F::kNumber, FormatZeroPadded},
    TFormatKeywordRow{"FORMAT_LIMITED_VALUE", K::kLimitedValue, F::kNumber, FormatLimitedValue},
    TFormatKeywordRow{"BBQHQFIELD", K::kBbqHqField, F::kNumber, FormatBbqField},
    TFormatKeywordRow{"UNMATCHEDSTR", K::kUnmatchedStr, F::kNumber, FormatUnmatched},
    TFormatKeywordRow{"SWAPPERIOD", K::kSwapPeriod, F::kNumber, FormatSwapPeriod},
    TFormatKeywordRow{"TERMNOTE", K::kTermNote, F::kNumber, FormatTermNote},
    // unit ladders
    TFormatKeywordRow{"CALCUNIT", K::kCalcUnit, F::kUnits, FormatUnits},
    TFormatKeywordRow{"CALCUNITE", K::kCalcUnitE, F::kUnits, FormatUnits},
    TFormatKeywordRow{"ROUNDUNIT", K::kRoundUnit, F::kUnits, FormatUnits},
    TFormatKeywordRow{"ROUNDUNITC", K::kRoundUnitC, F::kUnits, FormatUnits},
    TFormatKeywordRow{"ROUNDUNITE", K::kRoundUnitE, F::kUnits, FormatUnits},
    TFormatKeywordRow{"ROUNDUNITS", K::kRoundUnitS, F::kUnits, FormatUnits},
    TFormatKeywordRow{"ROUNDUNITSEX", K::kRoundUnitSEx, F::kUnits, FormatUnits},
    TFormatKeywordRow{"ROUNDUNITSYMBOL", K::kRoundUnitSymbol, F::kUnits, FormatUnits},
    TFormatKeywordRow{"ROUNDUNITPLUS", K::kRoundUnitPlus, F::kUnits, FormatUnits},
    TFormatKeywordRow{"ROUNDINCOME", K::kRoundIncome, F::kUnits, FormatUnits},
    TFormatKeywordRow{"FORMAT_RANGE_VALUE_UNIT", K::kRangeValueUnit, F::kUnits, FormatUnits, false, true},
    TFormatKeywordRow{"FORMAT_RANGE_VALUE_UNIT_MARKETVALUE", K::kRangeValueUnitMarketValue, F::kUnits, FormatUnits,
                      false, true},
    TFormatKeywordRow{"FORMAT_RANGE_VALUE_UNIT_STOCKVOL", K::kRangeValueUnitStockVol, F::kUnits, FormatUnits, false,
                      true},
    // dates, times and periods
    TFormatKeywordRow{"NEEDYEAR", K::kNeedYear, F::kDate, FormatDate, true},
    TFormatKeywordRow{"NEEDYEAR2", K::kNeedYear2, F::kDate, FormatDate, true},
    TFormatKeywordRow{"FORMATDATE", K::kFormatDate, F::kDate, FormatDate},
    TFormatKeywordRow{"FORMATDATETIME", K::kFormatDateTime, F::kDate, FormatDate},
    TFormatKeywordRow{"FORMATTIME", K::kFormatTime, F::kDate, FormatTimeOfDay},
    TFormatKeywordRow{"LASTFORMATDATE", K::kLastFormatDate, F::kDate, FormatDate},
    TFormatKeywordRow{"SHSCFORMATDATE", K::kShscFormatDate, F::kDate, FormatDate},
    TFormatKeywordRow{"EPSDATE", K::kEpsDate, F::kDate, FormatDate},
    TFormatKeywordRow{"ESTDATA", K::kEstData, F::kDate, FormatEstimateYear},
    TFormatKeywordRow{"FORMATSEASONRPT", K::kFormatSeasonRpt, F::kDate, FormatDate},
    TFormatKeywordRow{"FORMATYEARRPT", K::kFormatYearRpt, F::kDate, FormatFiscalYear},
    // enumerated texts
    TFormatKeywordRow{"FORMATSTRING", K::kFormatString, F::kEnumerated, FormatCodeString},
    TFormatKeywordRow{"TRADINGSTATUS", K::kTradingStatus, F::kEnumerated, FormatEnumerated<TradingStatusText>},
    TFormatKeywordRow{"FUNDFACES", K::kFundFaces, F::kEnumerated, FormatEnumerated<FundFacesText>},
    TFormatKeywordRow{"MANAGEMENTCOMPANY", K::kManagementCompany, F::kEnumerated,
                      FormatEnumerated<ManagementCompanyText>},
    TFormatKeywordRow{"FORMAT_TRUE_FALSE", K::kTrueFalse, F::kEnumerated, FormatEnumerated<TrueFalseText>},
    TFormatKeywordRow{"NEEQ_ALLOW_STATUS", K::kNeeqAllowStatus, F::kEnumerated, FormatEnumerated<NeeqAllowStatusText>},
    TFormatKeywordRow{"NEEQ_EXT_TYPE", K::kNeeqExtType, F::kEnumerated, FormatEnumerated<NeeqExtTypeText>},
    TFormatKeywordRow{"NEEQ_TRADE_TYPE", K::kNeeqTradeType, F::kEnumerated, FormatEnumerated<NeeqTradeTypeText>},
    TFormatKeywordRow{"PROFIT_EFFECT", K::kProfitEffect, F::kEnumerated, FormatEnumerated<ProfitEffectText>},
};

}  // namespace

int TFormatCall::PointArg(int fallback) const {
  if (instruction.args.empty()) return fallback;
  const int point = StrToIntDef(instruction.args[0], fallback);
  return point < -1 ? fallback : std::min(point, kMaxDecimals);
}

const TFormatKeywordRow* FindFormatKeyword(std::string_view upperName) {
  if (upperName.empty()) return nullptr;
  for (const TFormatKeywordRow& row : kRows) {
    if (row.name == upperName) return &row;
  }
  return nullptr;
}

const TFormatKeywordRow* FormatKeywordRow(TFormatKeyword keyword) {
  for (const TFormatKeywordRow& row : kRows) {
    if (row.keyword == keyword) return &row;
  }
  return nullptr;
}

}  // namespace kdp
