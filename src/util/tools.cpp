#include "util/tools.h"

#include "kdp/host/number_text.h"
#include "util/strings.h"

namespace kdp {

std::string GetFrontString(std::string_view sub, std::string_view text) {
  const std::size_t p = text.find(sub);
  return p == std::string_view::npos ? std::string() : std::string(text.substr(0, p));
}

std::string GetAfterString(std::string_view sub, std::string_view text) {
  const std::size_t found = text.find(sub);
  // 1-based position p (0 when absent); the result starts at p + length(sub), 1-based.
  const std::size_t p = found == std::string_view::npos ? 0 : found + 1;
  const std::size_t start = p + sub.size() - 1;  // 0-based
  return start >= text.size() ? std::string() : std::string(text.substr(start));
}

std::optional<host::DateTime> ParseDateTimeText(std::string_view text) {
  const std::string_view t = TrimView(text);
  const std::size_t gap = t.find_first_of(" T");
  const std::string_view date = t.substr(0, gap);
  const std::string_view time = gap == std::string_view::npos ? std::string_view() : TrimView(t.substr(gap + 1));
  // Digits only: ParseInt64 alone would take signs and blanks inside the parts.
  const auto number = [](std::string_view part) -> std::optional<std::int64_t> {
    if (part.empty() || part.size() > 4 || part.find_first_not_of("0123456789") != std::string_view::npos) {
      return std::nullopt;
    }
    return host::ParseInt64(part);
  };
  const auto parts = [&](std::string_view piece, char separator, std::size_t minimum, std::size_t maximum) {
    std::vector<std::int64_t> values;
    for (const std::string& p : SplitString(piece, separator)) {
      const auto value = number(p);
      if (!value) return std::vector<std::int64_t>();
      values.push_back(*value);
    }
    return values.size() >= minimum && values.size() <= maximum ? values : std::vector<std::int64_t>();
  };
  const auto ymd = parts(date, '-', 3, 3);
  if (ymd.empty()) return std::nullopt;
  std::vector<std::int64_t> hms{0, 0, 0};
  if (!time.empty()) {
    hms = parts(time, ':', 2, 3);
    if (hms.empty()) return std::nullopt;
    hms.resize(3, 0);
  }
  if (ymd[0] < 1 || ymd[1] > 12 || ymd[2] > 31 || hms[0] > 23 || hms[1] > 59 || hms[2] > 59) return std::nullopt;
  return host::DateTime::FromYyyymmddHhmmss(ymd[0] * 10000 + ymd[1] * 100 + ymd[2],
                                            hms[0] * 10000 + hms[1] * 100 + hms[2]);
}

}  // namespace kdp
