// The permission helpers: a permission text lists data rights of the user's account (","-separated), and
// MatchPermission counts how many of them the current user holds. The F5 page choice rates pages by it.
// Main thread only.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kdp {

// The pieces of the trimmed text split at `separator`, empty pieces kept ("a;;b" gives "a", "", "b");
// no pieces for a text that is empty after trimming.
std::vector<std::string> FastSplit(std::string_view text, std::string_view separator);

// The number of the ","-separated rights in `rights` that the user holds (the host context's rights).
// "EQ_HQ_HK_FREERQ" and "CM_HQ_HKPRS_MAINLAND_FREE" count only for users logged in from region 0.
int MatchPermission(std::string_view rights);

}  // namespace kdp
