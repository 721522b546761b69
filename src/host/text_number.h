// Defaulted reading of numbers and switches from configuration text, and a case-blind name comparison
// (host layer only).
#pragma once

#include <cctype>
#include <string_view>

#include "kdp/host/number_text.h"

namespace kdp::host {

// A decimal integer; `fallback` for anything else.
inline int ParseIntOr(std::string_view text, int fallback) { return ParseInt32(text).value_or(fallback); }

inline bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

inline bool ParseBoolOr(std::string_view text, bool fallback) { return ParseBool(text).value_or(fallback); }

}  // namespace kdp::host
