#include "kdp/host/number_text.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace kdp::host {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// The text without surrounding blanks and one leading "+"; empty when nothing is left.
std::string_view NumberPart(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    // "+-1" and "+ 1" are not numbers.
    if (text.empty() || text.front() == '-' || IsBlank(text.front())) return {};
  }
  return text;
}

template <class Number>
std::optional<Number> ParseWhole(std::string_view text) {
  text = NumberPart(text);
  if (text.empty()) return std::nullopt;
  Number value{};
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

bool SameTextNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
    if (x != b[i]) return false;
  }
  return true;
}

}  // namespace

std::optional<std::int64_t> ParseInt64(std::string_view text) { return ParseWhole<std::int64_t>(text); }

std::optional<int> ParseInt32(std::string_view text) { return ParseWhole<int>(text); }

std::optional<double> ParseDouble(std::string_view text) {
  const auto value = ParseWhole<double>(text);
  if (!value || !std::isfinite(*value)) return std::nullopt;
  return value;
}

std::optional<bool> ParseBool(std::string_view text) {
  text = NumberPart(text);
  if (SameTextNoCase(text, "true") || SameTextNoCase(text, "yes") || text == "1") return true;
  if (SameTextNoCase(text, "false") || SameTextNoCase(text, "no") || text == "0") return false;
  return std::nullopt;
}

}  // namespace kdp::host
