// Number texts of the format items: the number instruction ("[FORMATNUMBER:...]"), the Chinese and
// English unit ladders, percentages, decimals by price step. Every text is locale-independent ("." as the
// decimal separator whatever the process locale).
//
// The unit ladders:
//   Chinese: 万 (10^4), 亿 (10^8), 万亿 (10^12) - the words are the string catalogue's texts 38701-38703;
//   English: K (10^3), M (10^6), B (10^9), T (10^12).
// Thread-safe except CurrentUnitWords (main thread).
#pragma once

#include <string>
#include <string_view>
#include <vector>
#include "kdp/error.h"

namespace kdp {

// Parameters of "[FORMATNUMBER:CalcType:CalcNumber:Point:Suffix:UnitOnly:UnitLevel:PointRef]".
struct TKrFormatNumberParams {
  int CalcType = 0;         // 0 add, 1 subtract, 2 multiply, 3 divide (only by a non-zero number)
  double CalcNumber = 0.0;  // an integer in the instruction
  int Point = 0;            // decimals; -1: the shortest text
  int Suffix = 0;           // 0 none, 1-3 unit ladder (1, 2, 3 are the first levels for a unit-only text), 4 "%"
  int UnitOnly = 0;         // with Suffix 1-3: always that level's unit
  int UnitLevel = 0;        // 0 automatic; 1-4 force K/万, M/亿...; 5 automatic with the point; 6 always 亿/B
  double PointRef = 0.0;    // scaled values at least this large drop their decimals (0: never)
  int ReturnTo = 0;
};

enum class eUnitType { utNone, utTenKilo, utHundredMillion, utPercent };

// Fills the parameters from the instruction's arguments, in order; missing or empty parts stay 0.
// Throws EHQFormatError for a part that is not a number of its kind.
TKrFormatNumberParams ParseFormatNumberParams(const std::vector<std::string>& args);

// The ladder to use and the Chinese ladder's words (the English ladder's are fixed).
struct TUnitWords {
  bool chinese = true;
  std::string tenThousand = "万";
  std::string hundredMillion = "亿";
  std::string trillion = "万亿";
};
// The ladder of the user's language ("CHS": Chinese, any other: English) with the catalogue's words.
const TUnitWords& CurrentUnitWords();
const TUnitWords& EnglishUnitWords();
// The Chinese ladder whatever the language.
const TUnitWords& ChineseUnitWords();

// Decimals are capped at this many.
inline constexpr int kMaxDecimals = 20;

// "%.<point>f" of the value; `point` below 0 gives the shortest text.
std::string FixedText(double value, int point);
// The number FixedText shows, as a double: `value` rounded at `point` decimals (0 to kMaxDecimals), ties
// away from zero. FORMATNUMBER chooses its unit by it.
double RoundedAt(double value, int point);
// The number instruction on `value`.
std::string FormatNumber(double value, const TKrFormatNumberParams& params, const TUnitWords& words);
// The value with the unit the ladder and the parameters choose.
std::string FormatNumberUnit(double value, const TKrFormatNumberParams& params, const TUnitWords& words);
// A scaled value: the shortest text for point -1, no decimals from |value| >= pointRef (when pointRef > 0),
// else `point` decimals.
std::string FormatPointByNum(double value, int point, double pointRef);
// A value already in percent: no decimals above 100, one above 10, else two; "%" appended.
std::string RoundPercent(double value);

// The decimals a price step needs (0.01: 2, 0.5: 1, 5: 0, 1E-5: 5); -1 for a step <= 0.
int PriceStepDecimals(double step);
// "%.<decimals>f" for the step; "" for a step <= 0.
std::string PriceStepFormat(double step);

}  // namespace kdp
