// StrHash: the host's stable 32-bit string hash, for keys that must not change between runs or builds
// (the Lux data manager keys its sector stores and subscriptions with it).
//
// Algorithm: 32-bit FNV-1a over the UTF-16LE bytes of the text (each UTF-16 code unit, low byte first):
// start from 2166136261; for each byte, xor it in, then multiply by 16777619 (mod 2^32).
// StrHash("") is 2166136261. Pure and thread-safe.
#pragma once

#include <cstdint>
#include <string_view>

namespace kdp::host {

std::uint32_t StrHash(std::string_view utf8);

}  // namespace kdp::host
