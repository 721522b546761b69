// The texts of the format instructions that show codes, dates and periods: enumerated codes as language
// texts of the string catalogue (with Chinese defaults), dates and times by a small pattern language,
// report periods and tenors. Main thread (the catalogue is).
//
// Date patterns: YYYY, YY, MM (month), DD, HH, NN or MI (minutes), SS; any other character is copied.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kdp {

// A civil date-time read from a quote value: yyyymmdd, yyyymmddhhmmss, or hhmmss for times.
struct TQuoteDateTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
// yyyymmdd (or yyyymmddhhmmss) of a valid date; nullopt otherwise.
std::optional<TQuoteDateTime> QuoteDate(double value);
// hhmmss of a valid time of day; nullopt otherwise.
std::optional<TQuoteDateTime> QuoteTime(double value);
std::string FormatQuoteDateTime(const TQuoteDateTime& when, std::string_view pattern);
// True when the pattern shows a year and a month but no day.
bool PatternIsYearMonth(std::string_view pattern);
bool PatternHasYear(std::string_view pattern);

// The texts of the enumeration keywords; "" (or "-" where the keyword shows one) for an unlisted code.
std::string TradingStatusText(double value);
std::string NeeqAllowStatusText(double value);
std::string NeeqExtTypeText(double value);
std::string NeeqTradeTypeText(double value);
std::string TrueFalseText(double value);
std::string ProfitEffectText(double value);
std::string FundFacesText(double value);
std::string ManagementCompanyText(double value);
// "[FORMATSTRING:SUB]" texts; "-" for an unlisted code or an unknown sub-keyword.
std::string FormatStringText(std::string_view subKeyword, double value);

// Report periods: "2026三季报" / "2026 Q3" for a quarter end; nullopt for other dates.
std::optional<std::string> SeasonReportText(const TQuoteDateTime& date);
// Catalogue texts used by number instructions.
std::string LimitFreeText();  // "无限制"
std::string ShareWord();      // "股"
std::string UnmatchedText();  // "未匹配"
std::string FiscalYearText(int year);

}  // namespace kdp
