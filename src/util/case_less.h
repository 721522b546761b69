// CaseLess: an ASCII case-insensitive ordering for maps keyed by names (field names, markets, cities),
// transparent so that look-ups take a string_view without allocating. CaseHash and CaseEqual: the same
// equality for hash maps.
#pragma once

#include <cstdint>
#include <string_view>

namespace kdp {

constexpr char CaseFoldAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

struct CaseLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
      const char x = CaseFoldAscii(a[i]);
      const char y = CaseFoldAscii(b[i]);
      if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    }
    return a.size() < b.size();
  }
};

// FNV-1a over the case-folded bytes: names equal under CaseEqual hash alike.
struct CaseHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view s) const {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : s) {
      hash ^= static_cast<unsigned char>(CaseFoldAscii(c));
      hash *= 1099511628211ull;
    }
    return static_cast<std::size_t>(hash);
  }
};

struct CaseEqual {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
      if (CaseFoldAscii(a[i]) != CaseFoldAscii(b[i])) return false;
    }
    return true;
  }
};

}  // namespace kdp
