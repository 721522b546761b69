#include "util/tools.h"

namespace kdp {

std::string GetFrontString(std::string_view sub, std::string_view text) {
  const std::size_t p = text.find(sub);
  return p == std::string_view::npos ? std::string() : std::string(text.substr(0, p));
}

namespace {

// UTF-16 units of the UTF-8 character whose first byte is `lead` (0 for a continuation byte).
std::size_t Utf16UnitsOf(unsigned char lead) {
  if ((lead & 0xC0) == 0x80) return 0;
  return lead >= 0xF0 ? 2 : 1;
}

std::size_t Utf16Length(std::string_view text) {
  std::size_t units = 0;
  for (unsigned char c : text) units += Utf16UnitsOf(c);
  return units;
}

}  // namespace

std::string GetAfterString(std::string_view sub, std::string_view text) {
  const std::size_t found = text.find(sub);
  if (found != std::string_view::npos) return std::string(text.substr(found + sub.size()));
  // Absent: skip length(sub) - 1 UTF-16 units of `text`, whole characters at a time.
  const std::size_t skip = sub.empty() ? 0 : Utf16Length(sub) - 1;
  std::size_t skipped = 0, start = 0;
  while (start < text.size() && skipped < skip) {
    skipped += Utf16UnitsOf(static_cast<unsigned char>(text[start]));
    do {
      ++start;
    } while (start < text.size() && Utf16UnitsOf(static_cast<unsigned char>(text[start])) == 0);
  }
  return std::string(text.substr(start));
}

}  // namespace kdp
