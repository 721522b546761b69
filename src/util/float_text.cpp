#include "util/float_text.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include <fmt/format.h>

namespace kdp {
namespace {

constexpr int kTextDigits = 15;  // significant digits of FloatToText

// |value| = odd * 2^exponent with `odd` odd; false for zero and non-finite values. Read from the IEEE
// fields: a double is its 52 stored mantissa bits (plus the hidden one unless subnormal) times 2^(e-1075).
bool OddTimesPowerOfTwo(double value, std::uint64_t& odd, int& exponent) {
  constexpr std::uint64_t kMantissaBits = (std::uint64_t{1} << 52) - 1;
  const auto bits = std::bit_cast<std::uint64_t>(value);
  const auto biased = static_cast<int>((bits >> 52) & 0x7FF);
  if (biased == 0x7FF) return false;  // infinity or NaN
  std::uint64_t mantissa = bits & kMantissaBits;
  if (biased == 0) {
    if (mantissa == 0) return false;  // zero
    exponent = -1074;
  } else {
    mantissa |= kMantissaBits + 1;
    exponent = biased - 1075;
  }
  const int zeros = std::countr_zero(mantissa);
  odd = mantissa >> zeros;
  exponent += zeros;
  return true;
}

double AwayFromZero(double value) { return std::nextafter(value, value > 0 ? HUGE_VAL : -HUGE_VAL); }

// The decimal exponent of |value| (0 for 1 to 9.99..., -1 for 0.1 to 0.99...).
int DecimalExponent(double value) { return static_cast<int>(std::floor(std::log10(std::fabs(value)))); }

}  // namespace

bool IsDecimalTie(double value, int fractionDigits) {
  std::uint64_t odd = 0;
  int exponent = 0;
  if (!OddTimesPowerOfTwo(value, odd, exponent)) return false;
  // value * 10^d = odd * 5^d * 2^(exponent + d) has the fraction one half exactly when the power of two
  // is 2^-1: exponent = -(d + 1). For d = -n (tens, hundreds, ...), 2 * value / 10^n must be an odd
  // whole number: exponent + 1 = n and 5^n divides `odd`.
  if (fractionDigits >= 0) return exponent == -(fractionDigits + 1);
  const int n = -fractionDigits;
  if (exponent + 1 != n || n > 22) return false;  // 5^23 exceeds any 53-bit odd part
  std::uint64_t powerOfFive = 1;
  for (int i = 0; i < n; ++i) powerOfFive *= 5;
  return odd % powerOfFive == 0;
}

double TieAwayFromZero(double value, int fractionDigits) {
  return IsDecimalTie(value, fractionDigits) ? AwayFromZero(value) : value;
}

double TieAwayFromZeroSignificant(double value, int significantDigits) {
  if (value == 0.0 || !std::isfinite(value)) return value;
  return TieAwayFromZero(value, significantDigits - 1 - DecimalExponent(value));
}

std::string FloatToText(double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  if (value == 0.0) return "0";

  // d.dddddddddddddde±XX: fifteen significant digits, ties away from zero.
  const std::string sci =
      fmt::format("{:.{}e}", std::fabs(TieAwayFromZeroSignificant(value, kTextDigits)), kTextDigits - 1);
  const std::size_t e_pos = sci.find('e');
  std::string digits = sci.substr(0, 1) + sci.substr(2, e_pos - 2);
  const int exponent = std::atoi(sci.c_str() + e_pos + 1);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string out = value < 0 ? "-" : "";
  if (exponent < -4 || exponent >= 15) {
    out += digits[0];
    if (digits.size() > 1) out += "." + digits.substr(1);
    out += fmt::format("E{}", exponent);
  } else if (exponent < 0) {
    out += "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
  } else {
    const auto integer_digits = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= integer_digits) {
      out += digits + std::string(integer_digits - digits.size(), '0');
    } else {
      out += digits.substr(0, integer_digits) + "." + digits.substr(integer_digits);
    }
  }
  return out;
}

}  // namespace kdp
