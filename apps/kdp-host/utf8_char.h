// Walking UTF-8 text a character at a time.
#pragma once

#include <cstddef>

namespace kdp::app {

// The byte length of the UTF-8 character that starts with `lead`; 1 for a byte that starts none.
inline std::size_t Utf8CharLength(unsigned char lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

}  // namespace kdp::app
