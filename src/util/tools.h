// Shared tool functions that need nothing but their arguments: the cloud field range and the string cuts
// the terminal's code uses. Any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "kdp/host/date_time.h"

namespace kdp {

// ---- classification ----
// Field IDs from 10001 to 20001 are cloud indicators.
constexpr bool IsCloudIndex(long long id) { return id >= 10001 && id <= 20001; }

// ---- strings ----
// The part of `text` before the first `sub`; empty when `sub` does not occur.
std::string GetFrontString(std::string_view sub, std::string_view text);
// The part of `text` after the first `sub`. When `sub` does not occur, `text` from position
// length(sub) on (1-based), which for a one-character `sub` is the whole text.
std::string GetAfterString(std::string_view sub, std::string_view text);

// ---- date-times ----
// "2026-12-04 10:30:00", "2026-12-04T10:30:00", "2026-12-04 10:30" or "2026-12-04" (midnight), blanks
// around allowed; nullopt for anything else or an invalid date or time.
std::optional<host::DateTime> ParseDateTimeText(std::string_view text);

}  // namespace kdp
