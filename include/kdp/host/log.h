// The host logger.
//
// AddHQLog(message, source, level): source names the module or routine; level 0 or 1 for the package's own
// messages, 2 or 3 for the host's log types (3: errors such as a missing file). Logging never fails toward
// the caller and is callable from any thread. Build costly diagnostic text only when IsNeedWriteHQLog().
#pragma once

#include <string_view>

namespace kdp::host {

void AddHQLog(std::string_view message, std::string_view source = {}, int level = 0);
bool IsNeedWriteHQLog();
// Flushes and closes the log at shut-down; later lines are still accepted.
void FreeHQLog();

}  // namespace kdp::host
