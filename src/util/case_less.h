// CaseLess: an ASCII case-insensitive ordering for maps keyed by names (field names, markets, cities),
// transparent so that look-ups take a string_view without allocating.
#pragma once

#include <string_view>

namespace kdp {

struct CaseLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
      const char x = Upper(a[i]);
      const char y = Upper(b[i]);
      if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    }
    return a.size() < b.size();
  }

 private:
  static constexpr char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
};

}  // namespace kdp
