// Guid: the 16-byte identity of an interface.
//
// A Guid is a plain value type, constructible at compile time from its text form
// ("4B2D8DA0-9A5C-49C3-883A-0E09CF87FAF0", braces optional), comparable and hashable.
// Every published interface carries its Guid as `static constexpr Guid IID`.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kdp::host {

class Guid {
 public:
  constexpr Guid() = default;

  // Builds a Guid from its canonical text; a malformed literal fails to compile.
  consteval Guid(const char* text) : bytes_(ParseOrThrow(text)) {}  // NOLINT: implicit from literal

  // Parses text at run time; nullopt when it is not a well-formed Guid.
  static std::optional<Guid> Parse(std::string_view text);

  constexpr bool IsNull() const {
    for (auto b : bytes_) {
      if (b != 0) return false;
    }
    return true;
  }
  constexpr const std::array<std::uint8_t, 16>& Bytes() const { return bytes_; }

  // Upper-case canonical text without braces.
  std::string ToString() const;

  friend constexpr bool operator==(const Guid&, const Guid&) = default;
  friend constexpr auto operator<=>(const Guid&, const Guid&) = default;

 private:
  static constexpr int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }

  // Reads 32 hex digits with dashes after digits 8, 12, 16 and 20, optionally inside braces.
  static constexpr std::optional<std::array<std::uint8_t, 16>> TryParse(std::string_view text) {
    if (text.size() == 38 && text.front() == '{' && text.back() == '}') text = text.substr(1, 36);
    if (text.size() != 36) return std::nullopt;
    std::array<std::uint8_t, 16> out{};
    std::size_t digit = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
      const bool dash_position = (i == 8 || i == 13 || i == 18 || i == 23);
      if (dash_position) {
        if (text[i] != '-') return std::nullopt;
        continue;
      }
      const int v = HexValue(text[i]);
      if (v < 0) return std::nullopt;
      out[digit / 2] = static_cast<std::uint8_t>(out[digit / 2] | (digit % 2 == 0 ? v << 4 : v));
      ++digit;
    }
    return out;
  }

  static consteval std::array<std::uint8_t, 16> ParseOrThrow(const char* text) {
    std::size_t n = 0;
    while (text[n] != '\0') ++n;
    auto parsed = TryParse(std::string_view(text, n));
    if (!parsed) throw "malformed GUID literal";
    return *parsed;
  }

  std::array<std::uint8_t, 16> bytes_{};
};

inline constexpr Guid kNullGuid{};

}  // namespace kdp::host

template <>
struct std::hash<kdp::host::Guid> {
  std::size_t operator()(const kdp::host::Guid& g) const noexcept {
    std::size_t h = 1469598103934665603ull;
    for (auto b : g.Bytes()) h = (h ^ b) * 1099511628211ull;
    return h;
  }
};
