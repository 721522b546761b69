// HQFormat: the one printf-style formatting routine of the package ("%.2f", "%d", "%s", "%5.1f%%", ...).
// Fixed settings: "." as the decimal separator whatever the process or user locale, and floating
// conversions (%f, %e, %g) round exact ties away from zero (util/float_text.h). A pattern that does not
// fit its arguments, or asks for a width or precision above kMaxPatternNumber, gives an empty text and a
// log line, never an exception: patterns come from configuration and catalogues, and "%.999999999f"
// would take seconds and hundreds of megabytes. Thread-safe.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include <fmt/printf.h>

namespace kdp {

// The largest width or precision a pattern may ask for: a few dozen characters per conversion.
inline constexpr long kMaxPatternNumber = 64;
// False when some conversion of `pattern` asks for a width or precision above kMaxPatternNumber.
bool IsBoundedPattern(std::string_view pattern);

namespace detail {

void LogHQFormatError(std::string_view pattern, std::string_view why);

// How a pattern's conversion rounds the argument at one position.
struct FloatRounding {
  enum Kind : char { kNone, kFixed, kSignificant } kind = kNone;
  int digits = 0;  // decimals (kFixed) or significant digits (kSignificant)
};
// The rounding of every argument position the pattern's conversions consume (sequential or "%N$"),
// for positions below `rounding.size()`; positions without a floating conversion stay kNone. A precision
// given by an argument ("%.*f") is read from `integers`, the integer arguments by position.
void ScanFloatRounding(std::string_view pattern, std::span<FloatRounding> rounding,
                       std::span<const long long> integers);
double RoundTiesAway(double value, FloatRounding rounding);

template <class Arg>
decltype(auto) Prepared(const Arg& arg, FloatRounding rounding) {
  if constexpr (std::is_floating_point_v<Arg>) {
    return RoundTiesAway(static_cast<double>(arg), rounding);
  } else {
    return (arg);
  }
}

template <class Arg>
long long IntegerOf(const Arg& arg) {
  if constexpr (std::is_integral_v<Arg>) {
    return static_cast<long long>(arg);
  } else {
    return 0;
  }
}

template <class... Args, std::size_t... I>
std::string FormatRounded(std::string_view pattern, std::index_sequence<I...>, const Args&... args) {
  std::array<FloatRounding, sizeof...(Args)> rounding{};
  const std::array<long long, sizeof...(Args)> integers{IntegerOf(args)...};
  ScanFloatRounding(pattern, rounding, integers);
  return fmt::sprintf(pattern, Prepared(args, rounding[I])...);
}

}  // namespace detail

template <class... Args>
std::string HQFormat(std::string_view pattern, const Args&... args) {
  if (!IsBoundedPattern(pattern)) {
    detail::LogHQFormatError(pattern, "the width or precision is too large");
    return {};
  }
  try {
    if constexpr ((std::is_floating_point_v<Args> || ...)) {
      return detail::FormatRounded(pattern, std::index_sequence_for<Args...>(), args...);
    } else {
      return fmt::sprintf(pattern, args...);
    }
  } catch (const fmt::format_error& e) {
    detail::LogHQFormatError(pattern, e.what());
    return {};
  }
}

}  // namespace kdp
