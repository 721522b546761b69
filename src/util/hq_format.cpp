#include "util/hq_format.h"

#include <algorithm>

#include "kdp/host/log.h"
#include "util/float_text.h"

namespace kdp {

bool IsBoundedPattern(std::string_view pattern) {
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '%') continue;
    long number = 0;
    for (std::size_t j = i + 1; j < pattern.size(); ++j) {
      const char c = pattern[j];
      if (c >= '0' && c <= '9') {
        number = number * 10 + (c - '0');
        if (number > kMaxPatternNumber) return false;
      } else if (c == '.' || c == '-' || c == '+' || c == ' ' || c == '#' || c == '$' || c == '*') {
        number = 0;
      } else {
        i = j;
        break;
      }
    }
  }
  return true;
}

}  // namespace kdp

namespace kdp::detail {
namespace {

constexpr int kDefaultPrecision = 6;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads decimal digits at `i`; -1 when there are none. Stops growing at a large bound (the formatter
// refuses such numbers anyway).
int ReadNumber(std::string_view text, std::size_t& i) {
  if (i >= text.size() || !IsDigit(text[i])) return -1;
  int number = 0;
  while (i < text.size() && IsDigit(text[i])) {
    if (number < 100000) number = number * 10 + (text[i] - '0');
    ++i;
  }
  return number;
}

// "*" or "*N$" at `i`: consumes an argument position (sequential, or N-1) and answers it; -1 without a
// star.
int ReadStar(std::string_view text, std::size_t& i, int& next) {
  if (i >= text.size() || text[i] != '*') return -1;
  ++i;
  std::size_t j = i;
  if (const int n = ReadNumber(text, j); n > 0 && j < text.size() && text[j] == '$') {
    i = j + 1;
    return n - 1;
  }
  return next++;
}

}  // namespace

void LogHQFormatError(std::string_view pattern, std::string_view why) {
  host::AddHQLog(std::string("HQFormat \"") + std::string(pattern) + "\": " + std::string(why), "HQFormat",
                 host::LogSeverity::kNotice);
}

void ScanFloatRounding(std::string_view pattern, std::span<FloatRounding> rounding,
                       std::span<const long long> integers) {
  int next = 0;  // the next sequential argument position
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '%') continue;
    ++i;
    if (i < pattern.size() && pattern[i] == '%') continue;
    // %[N$][flags][width][.precision][length]type
    int position = -1;
    std::size_t j = i;
    if (const int n = ReadNumber(pattern, j); n > 0 && j < pattern.size() && pattern[j] == '$') {
      position = n - 1;
      i = j + 1;
    }
    while (i < pattern.size() &&
           (pattern[i] == '-' || pattern[i] == '+' || pattern[i] == ' ' || pattern[i] == '#' || pattern[i] == '0')) {
      ++i;
    }
    if (ReadStar(pattern, i, next) < 0) ReadNumber(pattern, i);
    int precision = kDefaultPrecision;
    if (i < pattern.size() && pattern[i] == '.') {
      ++i;
      if (const int star = ReadStar(pattern, i, next); star >= 0) {
        // A negative precision argument means none was given.
        const long long given =
            static_cast<std::size_t>(star) < integers.size() ? integers[static_cast<std::size_t>(star)] : -1;
        precision = given < 0 ? kDefaultPrecision : static_cast<int>(std::min<long long>(given, 100000));
      } else {
        precision = std::max(0, ReadNumber(pattern, i));
      }
    }
    while (i < pattern.size() && std::string_view("hlLqjzt").find(pattern[i]) != std::string_view::npos) ++i;
    if (i >= pattern.size()) return;
    if (position < 0) position = next++;
    if (position >= static_cast<int>(rounding.size())) continue;
    FloatRounding& r = rounding[static_cast<std::size_t>(position)];
    switch (pattern[i]) {
      case 'f':
      case 'F':
        r = {FloatRounding::kFixed, precision};
        break;
      case 'e':
      case 'E':
        r = {FloatRounding::kSignificant, precision + 1};
        break;
      case 'g':
      case 'G':
        r = {FloatRounding::kSignificant, std::max(precision, 1)};
        break;
      default:
        break;
    }
  }
}

double RoundTiesAway(double value, FloatRounding rounding) {
  switch (rounding.kind) {
    case FloatRounding::kFixed:
      return TieAwayFromZero(value, rounding.digits);
    case FloatRounding::kSignificant:
      return TieAwayFromZeroSignificant(value, rounding.digits);
    case FloatRounding::kNone:
      break;
  }
  return value;
}

}  // namespace kdp::detail
