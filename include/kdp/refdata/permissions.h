// What the current user is entitled to see.
//
// A permission text lists data rights of the user's account, separated by ","; MatchPermission counts how
// many of them the user holds (the F5 page choice rates pages by it). Terminal commands are numbered, and
// the command permission dictionary names the data right each numbered command needs; a command it does
// not list needs only the base right "F_BASE".
//
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

// True when the command permission dictionary lists the command.
bool IsHavePermissionByCommandID(int commandID);
// The right the command needs; "F_BASE" for a command the dictionary does not list.
std::string GetPermissionByCommandID(int commandID);

}  // namespace kdp
