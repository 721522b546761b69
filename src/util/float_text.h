// The terminal's general number text ("shortest float text"): 15 significant digits with trailing zeros
// dropped; fixed notation unless the decimal exponent is below -4 or at least 15, then scientific with an
// upper-case "E" and no exponent padding. 1E-5, 0.0001, 0.3 (for 0.1 + 0.2), 1.23456789012346E17.
// Non-finite values give "NAN", "INF" and "-INF". Locale-independent; thread-safe.
#pragma once

#include <string>

namespace kdp {

std::string FloatToText(double value);

}  // namespace kdp
