// Small string helpers shared by the whole package. Upper- and lower-casing is ASCII-only, as map keys
// (codes, HQ types, field names) are ASCII; numbers are read locale-independently.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kdp/host/number_text.h"

namespace kdp {

std::string ToUpperAscii(std::string_view s);
std::string ToLowerAscii(std::string_view s);
bool SameTextAscii(std::string_view a, std::string_view b);  // ASCII case-insensitive equality

std::string_view TrimView(std::string_view s);  // strips ASCII blanks and control characters
std::string Trim(std::string_view s);

// Splits at every occurrence of `separator`, keeping empty pieces ("a,,b" -> "a", "", "b").
// An empty text gives one empty piece.
std::vector<std::string> SplitString(std::string_view text, char separator);

// Numbers are read by the one checked parser (kdp/host/number_text.h): whole text, "." as the decimal
// point whatever the locale, no infinities or NaN.
using host::ParseDouble;
using host::ParseInt32;
using host::ParseInt64;
int StrToIntDef(std::string_view text, int fallback);
double StrToFloatDef(std::string_view text, double fallback);

}  // namespace kdp
