// Locale-independent reading of numbers and booleans from configuration text (host layer only).
#pragma once

#include <cctype>
#include <charconv>
#include <string_view>

namespace kdp::host {

inline std::string_view TrimAsciiSpace(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

// A decimal integer, surrounding blanks and a leading "+" allowed; `fallback` for anything else.
inline int ParseIntOr(std::string_view text, int fallback) {
  text = TrimAsciiSpace(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return fallback;
  return value;
}

inline bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

inline bool ParseBoolOr(std::string_view text, bool fallback) {
  text = TrimAsciiSpace(text);
  if (EqualsNoCase(text, "true") || text == "1" || EqualsNoCase(text, "yes")) return true;
  if (EqualsNoCase(text, "false") || text == "0" || EqualsNoCase(text, "no")) return false;
  return fallback;
}

}  // namespace kdp::host
