#include "format/format_instruction.h"

#include <algorithm>
#include <utility>

#include "util/strings.h"

namespace kdp {
namespace {

constexpr std::pair<std::string_view, TFormatKeyword> kKeywords[] = {
    {"FORMATNUMBER", TFormatKeyword::kFormatNumber},
    {"CALCUNIT", TFormatKeyword::kCalcUnit},
    {"CALCUNITE", TFormatKeyword::kCalcUnitE},
    {"ROUNDUNIT", TFormatKeyword::kRoundUnit},
    {"ROUNDUNITC", TFormatKeyword::kRoundUnitC},
    {"ROUNDUNITE", TFormatKeyword::kRoundUnitE},
    {"ROUNDUNITS", TFormatKeyword::kRoundUnitS},
    {"ROUNDUNITSEX", TFormatKeyword::kRoundUnitSEx},
    {"ROUNDUNITSYMBOL", TFormatKeyword::kRoundUnitSymbol},
    {"ROUNDUNITPLUS", TFormatKeyword::kRoundUnitPlus},
    {"ROUNDINCOME", TFormatKeyword::kRoundIncome},
    {"ROUNDUPERCENT", TFormatKeyword::kRoundUPercent},
    {"FORMATFLOAT", TFormatKeyword::kFormatFloat},
    {"FORMATSTRING", TFormatKeyword::kFormatString},
    {"FORMATDATE", TFormatKeyword::kFormatDate},
    {"FORMATDATETIME", TFormatKeyword::kFormatDateTime},
    {"FORMATTIME", TFormatKeyword::kFormatTime},
    {"LASTFORMATDATE", TFormatKeyword::kLastFormatDate},
    {"SHSCFORMATDATE", TFormatKeyword::kShscFormatDate},
    {"EPSDATE", TFormatKeyword::kEpsDate},
    {"ESTDATA", TFormatKeyword::kEstData},
    {"FORMATSEASONRPT", TFormatKeyword::kFormatSeasonRpt},
    {"FORMATYEARRPT", TFormatKeyword::kFormatYearRpt},
    {"SWAPPERIOD", TFormatKeyword::kSwapPeriod},
    {"TERMNOTE", TFormatKeyword::kTermNote},
    {"TRADINGSTATUS", TFormatKeyword::kTradingStatus},
    {"UNMATCHEDSTR", TFormatKeyword::kUnmatchedStr},
    {"BBQHQFIELD", TFormatKeyword::kBbqHqField},
    {"FUNDFACES", TFormatKeyword::kFundFaces},
    {"MANAGEMENTCOMPANY", TFormatKeyword::kManagementCompany},
    {"LFADDZERO", TFormatKeyword::kLfAddZero},
    {"FORMAT_LIMITED_VALUE", TFormatKeyword::kLimitedValue},
    {"FORMAT_RANGE_VALUE_UNIT", TFormatKeyword::kRangeValueUnit},
    {"FORMAT_RANGE_VALUE_UNIT_MARKETVALUE", TFormatKeyword::kRangeValueUnitMarketValue},
    {"FORMAT_RANGE_VALUE_UNIT_STOCKVOL", TFormatKeyword::kRangeValueUnitStockVol},
    {"FORMAT_TRUE_FALSE", TFormatKeyword::kTrueFalse},
    {"NEEQ_ALLOW_STATUS", TFormatKeyword::kNeeqAllowStatus},
    {"NEEQ_EXT_TYPE", TFormatKeyword::kNeeqExtType},
    {"NEEQ_TRADE_TYPE", TFormatKeyword::kNeeqTradeType},
    {"PROFIT_EFFECT", TFormatKeyword::kProfitEffect},
    // keywords a format text may also carry without brackets
    {"NEEDYEAR", TFormatKeyword::kNeedYear},
    {"NEEDYEAR2", TFormatKeyword::kNeedYear2},
    {"CHAR8DATE", TFormatKeyword::kChar8Date},
};

TFormatKeyword KeywordOf(std::string_view upper) {
  if (upper.empty()) return TFormatKeyword::kUnknown;
  for (const auto& [name, keyword] : kKeywords) {
    if (name == upper) return keyword;
  }
  return TFormatKeyword::kUnknown;
}

}  // namespace

bool ParseFormatFast(std::string_view text, std::string& keyword, std::string& arguments) {
  keyword.clear();
  arguments.clear();
  if (text.size() < 3 || text.front() != '[') return false;
  std::string_view rest = text.substr(1);
  const std::size_t keywordEnd = rest.find_first_of(":]");
  keyword = std::string(rest.substr(0, std::min({keywordEnd, rest.size(), kMaxInstructionPart})));
  if (keywordEnd != std::string_view::npos && rest[keywordEnd] == ':') {
    rest = rest.substr(keywordEnd + 1);
    const std::size_t argumentsEnd = rest.find(']');
    arguments = std::string(rest.substr(0, std::min({argumentsEnd, rest.size(), kMaxInstructionPart})));
  }
  return true;
}

TFormatInstruction ParseFormatInstruction(std::string_view formatText) {
  TFormatInstruction instruction;
  const std::string_view text = TrimView(formatText);
  if (text.empty()) return instruction;  // kNone
  std::string keyword, arguments;
  if (ParseFormatFast(text, keyword, arguments)) {
    instruction.keywordText = ToUpperAscii(Trim(keyword));
    instruction.keyword = KeywordOf(instruction.keywordText);
    if (instruction.keyword == TFormatKeyword::kNeedYear || instruction.keyword == TFormatKeyword::kNeedYear2 ||
        instruction.keyword == TFormatKeyword::kChar8Date) {
      instruction.keyword = TFormatKeyword::kUnknown;  // these are written without brackets
    }
    instruction.argumentText = arguments;
    if (!arguments.empty()) instruction.args = SplitString(arguments, ':');
    return instruction;
  }
  const std::string upper = ToUpperAscii(text);
  const TFormatKeyword keywordOnly = KeywordOf(upper);
  if (keywordOnly == TFormatKeyword::kNeedYear || keywordOnly == TFormatKeyword::kNeedYear2 ||
      keywordOnly == TFormatKeyword::kChar8Date) {
    instruction.keyword = keywordOnly;
    instruction.keywordText = upper;
    return instruction;
  }
  instruction.keyword = TFormatKeyword::kPattern;
  instruction.pattern = std::string(text);
  return instruction;
}

}  // namespace kdp
