// Shared tool functions that need nothing but their arguments: the cloud field range and the string cuts
// the terminal's code uses. Any thread.
#pragma once

#include <string>
#include <string_view>

namespace kdp {

// ---- classification ----
// Field IDs from 10001 to 20001 are cloud indicators.
constexpr bool IsCloudIndex(long long id) { return id >= 10001 && id <= 20001; }

// ---- strings ----
// The part of `text` before the first `sub`; empty when `sub` does not occur.
std::string GetFrontString(std::string_view sub, std::string_view text);
// The part of `text` after the first `sub`. When `sub` does not occur, `text` from position
// length(sub) on (1-based), which for a one-character `sub` is the whole text. Lengths and positions
// count UTF-16 units, as the terminal's strings do, so the answer is always whole UTF-8 characters; a
// character of two units that the position would split is skipped whole.
std::string GetAfterString(std::string_view sub, std::string_view text);

}  // namespace kdp
