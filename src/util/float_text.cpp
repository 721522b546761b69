#include "util/float_text.h"

#include <cmath>
#include <cstdlib>

#include <fmt/format.h>

namespace kdp {

std::string FloatToText(double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  if (value == 0.0) return "0";

  // d.dddddddddddddde±XX: fifteen significant digits, correctly rounded.
  const std::string sci = fmt::format("{:.14e}", std::fabs(value));
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
