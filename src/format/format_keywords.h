// The format keywords: one row per keyword with the family it belongs to and the function that formats a
// value by it. Adding a keyword is adding a row here and, when no family formatter fits, its formatter.
// The parser (format_instruction.h) reads keywords through this table and the format items dispatch
// through it. Thread-safe (the table is constant); formatters that read the string catalogue or the
// server time are main thread, as the format items are.
#pragma once

#include <string>
#include <string_view>

#include "format/format_instruction.h"
#include "format/format_number.h"

namespace kdp {

enum class TFormatFamily {
  kPlain,       // no keyword: the shortest float text or a printf pattern
  kNumber,      // numbers by fixed decimals, grouping, padding, limits, periods
  kUnits,       // numbers on the unit ladders
  kDate,        // dates, times and report periods
  kEnumerated,  // codes shown as texts
};

// What a formatter is given: the item's parsed instruction and the caller's request.
struct TFormatCall {
  const TFormatInstruction& instruction;
  const TKrFormatNumberParams* numberParams;  // FORMATNUMBER's arguments; nullptr when they do not read
  const std::string& numberError;             // why they do not read
  std::string_view param;                     // the caller's parameter (a currency for ROUNDUNITSYMBOL)
  double priceStep = 0.0;                     // > 0: the item formats by the security's price step
  bool needYear = false;

  // The first argument as a decimal count; `fallback` when absent or unreadable.
  int PointArg(int fallback) const;
};

using TFormatter = std::string (*)(double value, const TFormatCall& call);

struct TFormatKeywordRow {
  std::string_view name;  // upper case, as written inside "[...]" (empty for kNone and kPattern)
  TFormatKeyword keyword;
  TFormatFamily family;
  TFormatter format;
  bool bracketless = false;  // written without brackets ("NEEDYEAR"), never inside them
  bool showsRange = false;   // CalcAndFormat(value, otherValue) shows "value~otherValue"
};

// The row of a keyword name (upper case); nullptr for an unknown name.
const TFormatKeywordRow* FindFormatKeyword(std::string_view upperName);
// The row of a keyword; nullptr for kUnknown.
const TFormatKeywordRow* FormatKeywordRow(TFormatKeyword keyword);

}  // namespace kdp
