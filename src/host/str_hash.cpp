#include "kdp/host/str_hash.h"

#include "kdp/host/ansi.h"

namespace kdp::host {
namespace {

constexpr std::uint32_t kOffsetBasis = 2166136261u;
constexpr std::uint32_t kPrime = 16777619u;

constexpr std::uint32_t MixUnit(std::uint32_t hash, char16_t unit) {
  hash = (hash ^ (unit & 0xFFu)) * kPrime;
  return (hash ^ (unit >> 8)) * kPrime;
}

}  // namespace

std::uint32_t StrHash(std::string_view utf8) {
  std::uint32_t hash = kOffsetBasis;
  bool ascii = true;
  for (char c : utf8) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      ascii = false;
      break;
    }
  }
  if (ascii) {
    for (char c : utf8) hash = MixUnit(hash, static_cast<char16_t>(c));
  } else {
    for (char16_t unit : Utf8ToUtf16(utf8)) hash = MixUnit(hash, unit);
  }
  return hash;
}

}  // namespace kdp::host
