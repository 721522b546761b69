#include "cloud/cloud_date_macros.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <vector>

#include "util/strings.h"

namespace kdp {
namespace {

struct TDateRange {
  int start;
  int end;
};

int Yyyymmdd(int year, int month, int day) { return year * 10000 + month * 100 + day; }

int LastDayOfMonth(int year, int month) {
  const auto next =
      month == 12 ? host::DateTime::FromParts(year + 1, 1, 1) : host::DateTime::FromParts(year, month + 1, 1);
  return next.AddDays(-1).Decode().day;
}

// The months from..to of `year`, first day to last.
TDateRange Months(int year, int firstMonth, int lastMonth) {
  return {Yyyymmdd(year, firstMonth, 1), Yyyymmdd(year, lastMonth, LastDayOfMonth(year, lastMonth))};
}

// The range a range macro names, relative to the server date `now`; nullopt for other words.
std::optional<TDateRange> RangeMacro(std::string_view macro, host::DateTime now) {
  const auto day = now.DatePart();
  const auto parts = day.Decode();
  const int weekday = (day.DayOfWeek() + 5) % 7 + 1;  // Monday 1 ... Sunday 7
  const int quarterFirstMonth = (parts.month - 1) / 3 * 3 + 1;
  if (SameTextAscii(macro, "$LastWeek"))
    return TDateRange{day.AddDays(-(weekday + 6)).Yyyymmdd(), day.AddDays(-weekday).Yyyymmdd()};
  if (SameTextAscii(macro, "$CurWeek")) return TDateRange{day.AddDays(-(weekday - 1)).Yyyymmdd(), day.Yyyymmdd()};
  if (SameTextAscii(macro, "$LastMonth"))
    return parts.month == 1 ? Months(parts.year - 1, 12, 12) : Months(parts.year, parts.month - 1, parts.month - 1);
  if (SameTextAscii(macro, "$CurMonth")) return TDateRange{Yyyymmdd(parts.year, parts.month, 1), day.Yyyymmdd()};
  if (SameTextAscii(macro, "$LastSession"))
    return quarterFirstMonth == 1 ? Months(parts.year - 1, 10, 12)
                                  : Months(parts.year, quarterFirstMonth - 3, quarterFirstMonth - 1);
  if (SameTextAscii(macro, "$CurSession"))
    return TDateRange{Yyyymmdd(parts.year, quarterFirstMonth, 1), day.Yyyymmdd()};
  return std::nullopt;
}

// The count after a numbered macro's name ("$TradeDateBef3" -> 3, "$TradeDateBef" -> 1); nullopt when the
// word is not that macro or its count is not a number from 1 on.
std::optional<int> NumberedMacro(std::string_view word, std::string_view name) {
  if (word.size() < name.size() || !SameTextAscii(word.substr(0, name.size()), name)) return std::nullopt;
  const auto suffix = word.substr(name.size());
  if (suffix.empty()) return 1;
  const auto n = ParseInt32(suffix);
  if (!n || *n < 1) return std::nullopt;
  return n;
}

// Expands the single-value macros; the word itself when it is none of them or its calendar is missing.
std::string ValueMacro(const std::string& word, const std::string& koraCode, const ICloudCalendar& calendar) {
  const auto now = calendar.ServerDateTime().DatePart();
  if (SameTextAscii(word, "$TradeDate")) return std::to_string(calendar.LocalDate());
  if (SameTextAscii(word, "$YesterdayDate")) {
    const auto local = host::DateTime::FromYyyymmdd(calendar.LocalDate());
    return local ? fmt::format("s_trade_date(koracode,{},0)", local->AddDays(-1).Yyyymmdd()) : word;
  }
  if (SameTextAscii(word, "$CurYear")) return std::to_string(now.Decode().year);

  const bool lastTradeDate = SameTextAscii(word, "$LastTradeDate");
  const auto daysBack = NumberedMacro(word, "$TradeDateBef");
  const auto yearsBack = NumberedMacro(word, "$LastReportYear");
  if (!lastTradeDate && !daysBack && !yearsBack) return word;
  // Only a missing item keeps the macro; the item's answer is written as it is, -1 included.
  const auto tradeDays = calendar.TradeDaysOf(koraCode);
  if (!tradeDays) return word;
  if (yearsBack) return fmt::format("{}1231", now.Decode().year - *yearsBack);
  return std::to_string(lastTradeDate ? tradeDays->BeforeDate(now) : tradeDays->LatestDateBef(*daysBack));
}

}  // namespace

std::optional<std::string> ExpandMatrixFunction(std::string_view functionTemplate, const std::string& koraCode,
                                                const ICloudCalendar& calendar, std::string& error) {
  const auto open = functionTemplate.find('(');
  if (open == std::string_view::npos || !functionTemplate.ends_with(')')) {
    error = fmt::format("not a function template: {}", functionTemplate);
    return std::nullopt;
  }
  const auto name = functionTemplate.substr(0, open);
  const auto inner = functionTemplate.substr(open + 1, functionTemplate.size() - open - 2);
  std::vector<std::string> params = inner.empty() ? std::vector<std::string>{} : SplitString(inner, ',');
  for (std::size_t i = 0; i < params.size(); ++i) {
    if (!params[i].starts_with('$')) continue;
    if (const auto range = RangeMacro(params[i], calendar.ServerDateTime())) {
      if (i == 0) {
        error = fmt::format("range macro {} has no parameter before it: {}", params[i], functionTemplate);
        return std::nullopt;
      }
      params[i - 1] = std::to_string(range->start);
      params[i] = std::to_string(range->end);
    } else {
      params[i] = ValueMacro(params[i], koraCode, calendar);
    }
  }
  return fmt::format("{}({})", name, fmt::join(params, ","));
}

}  // namespace kdp
