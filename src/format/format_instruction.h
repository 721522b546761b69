// Format instructions: the text a format item formats its values with.
//
// Bracket form: "[" keyword ":" arguments "]", the arguments separated by ":" ("[FORMATNUMBER:0:0:2:1]",
// "[FORMATSTRING:FUNDRATING]", "[FORMATDATE:YYYY-MM-DD]"). Other texts are "NEEDYEAR", "NEEDYEAR2",
// "CHAR8DATE" (compared in upper case) or a printf-style pattern ("%.2f"). Keywords compare in upper case;
// the keyword and the arguments are each read up to 50 characters. Parsing never fails: an unknown keyword
// is kept as kUnknown. Thread-safe.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kdp {

enum class TFormatKeyword {
  kUnknown,
  // texts without brackets
  kNone,
  kPattern,
  kNeedYear,
  kNeedYear2,
  kChar8Date,
  // numbers and units
  kFormatNumber,
  kCalcUnit,
  kCalcUnitE,
  kRoundUnit,
  kRoundUnitC,
  kRoundUnitE,
  kRoundUnitS,
  kRoundUnitSEx,
  kRoundUnitSymbol,
  kRoundUnitPlus,
  kRoundIncome,
  kRoundUPercent,
  kFormatFloat,
  kLfAddZero,
  kLimitedValue,
  kRangeValueUnit,
  kRangeValueUnitMarketValue,
  kRangeValueUnitStockVol,
  kBbqHqField,
  kUnmatchedStr,
  // dates, times and periods
  kFormatDate,
  kFormatDateTime,
  kFormatTime,
  kLastFormatDate,
  kShscFormatDate,
  kEpsDate,
  kEstData,
  kFormatSeasonRpt,
  kFormatYearRpt,
  kSwapPeriod,
  kTermNote,
  // enumerated texts
  kFormatString,
  kTradingStatus,
  kFundFaces,
  kManagementCompany,
  kTrueFalse,
  kNeeqAllowStatus,
  kNeeqExtType,
  kNeeqTradeType,
  kProfitEffect,
};

// The longest keyword or argument text read.
inline constexpr std::size_t kMaxInstructionPart = 50;

// Splits a bracket instruction into its keyword and its argument text. False for texts shorter than 3
// characters or without a leading "[".
bool ParseFormatFast(std::string_view text, std::string& keyword, std::string& arguments);

struct TFormatInstruction {
  TFormatKeyword keyword = TFormatKeyword::kNone;
  std::string keywordText;        // upper case, as written
  std::string argumentText;       // as written
  std::vector<std::string> args;  // argumentText split at ":"
  std::string pattern;            // the text itself, for kPattern
};

TFormatInstruction ParseFormatInstruction(std::string_view formatText);

}  // namespace kdp
