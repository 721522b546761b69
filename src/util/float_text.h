// Number text the terminal shows, and the one rounding rule every number text follows.
//
// Rounding: a value exactly halfway between two texts of the asked precision rounds away from zero, as a
// terminal user expects (0.125 at two places is "0.13", 1.5 at none is "2", -0.5 at none is "-1"). A tie
// is judged on the value's true binary value: 2.675 is stored as 2.67499999999999982..., below the
// tie, and stays "2.67". The formatters (fmt, std::to_chars) round the exact binary value
// correctly but send ties to even; TieAwayFromZero moves an exact tie one binary step away from zero
// first, so they round it up in magnitude, and leaves every other value alone.
//
// FloatToText is the terminal's general number text ("shortest float text"): 15 significant digits with
// trailing zeros dropped; fixed notation unless the decimal exponent is below -4 or at least 15, then
// scientific with an upper-case "E" and no exponent padding. 1E-5, 0.0001, 0.3 (for 0.1 + 0.2),
// 1.23456789012346E17. Non-finite values give "NAN", "INF" and "-INF".
//
// Locale-independent; thread-safe.
#pragma once

#include <string>

namespace kdp {

// True when `value` lies exactly halfway between two neighbouring multiples of 10^-fractionDigits
// (fractionDigits may be negative: -1 is tens). Zero and non-finite values are never ties.
bool IsDecimalTie(double value, int fractionDigits);
// `value` moved one binary step away from zero when it is an exact tie at `fractionDigits`; otherwise
// `value` itself.
double TieAwayFromZero(double value, int fractionDigits);
// The same for a precision of `significantDigits` significant digits (printf's %e and %g).
double TieAwayFromZeroSignificant(double value, int significantDigits);

std::string FloatToText(double value);

}  // namespace kdp
