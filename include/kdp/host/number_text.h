// Checked, locale-independent reading of numbers and switches from text: configuration files, replies,
// command lines. Every loader of the package, the host and the tools reads numbers through these.
//
// The whole text must be the value: ASCII blanks around it and a leading "+" are allowed, nothing else.
// Decimal point ".", whatever the C locale says. Infinities, NaN and values outside the type's range are
// refused, so no caller has to ask again whether "inf" is a price. Any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace kdp::host {

std::optional<std::int64_t> ParseInt64(std::string_view text);
std::optional<int> ParseInt32(std::string_view text);
// A finite decimal number ("12", "-0.5", "1e3").
std::optional<double> ParseDouble(std::string_view text);
// "true"/"false", "yes"/"no" (any case) or "1"/"0".
std::optional<bool> ParseBool(std::string_view text);

}  // namespace kdp::host
