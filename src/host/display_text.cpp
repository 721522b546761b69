#include "kdp/host/display_text.h"
#include "kdp/host/excerpt.h"

#include <fmt/format.h>

namespace kdp::host {
namespace {

// The length of the valid UTF-8 sequence starting at `i`, or 0 when the bytes there are not one.
// Overlong forms, surrogates and values above U+10FFFF are not valid.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  }
  return length;
}

bool IsControl(std::string_view text, std::size_t i, std::size_t length) {
  const auto lead = static_cast<unsigned char>(text[i]);
  if (length == 1) return lead < 0x20 || lead == 0x7F;
  // C1 controls U+0080..U+009F are C2 80..C2 9F.
  return length == 2 && lead == 0xC2 && static_cast<unsigned char>(text[i + 1]) <= 0x9F;
}

}  // namespace

bool IsPlainText(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = Utf8SequenceLength(text, i);
    if (length == 0) return false;
    if (IsControl(text, i, length) && text[i] != '\t') return false;
    i += length;
  }
  return true;
}

std::string EscapeControlChars(std::string_view text) {
  if (IsPlainText(text) && text.find('\t') == std::string_view::npos) return std::string(text);
  std::string out;
  out.reserve(text.size() + 8);
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = Utf8SequenceLength(text, i);
    if (length != 0 && !IsControl(text, i, length)) {
      out.append(text, i, length);
      i += length;
      continue;
    }
    // A control character or a byte outside UTF-8: one escape per byte.
    const std::size_t bytes = length == 0 ? 1 : length;
    for (std::size_t k = i; k < i + bytes; ++k) {
      switch (text[k]) {
        case '\t':
          out += "\\t";
          break;
        case '\n':
          out += "\\n";
          break;
        case '\r':
          out += "\\r";
          break;
        case '\x1b':
          out += "\\e";
          break;
        default:
          out += fmt::format("\\x{:02X}", static_cast<unsigned char>(text[k]));
          break;
      }
    }
    i += bytes;
  }
  return out;
}

std::string Excerpt(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return EscapeControlChars(text);
  std::size_t cut = limit;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return EscapeControlChars(text.substr(0, cut)) + fmt::format("... ({} bytes)", text.size());
}

}  // namespace kdp::host
