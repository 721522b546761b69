// The host logger.
//
// AddHQLog(message, source, level): source names the module or routine; the level is one of the
// severities below (the host's log keeps their numbers: 0 or 1 for the package's own messages, 2 or 3
// for the host's log types). Logging never fails toward the caller and is callable from any thread.
// Build costly diagnostic text only when IsNeedWriteHQLog().
#pragma once

#include <string_view>

namespace kdp::host {

enum class LogSeverity : int {
  kInfo = 0,     // progress: a request started or ended, a file loaded
  kNotice = 1,   // the package met something it handled: a bad record skipped, a reply dropped
  kWarning = 2,  // the host's warning type
  kError = 3,    // the host's error type: a missing file, a refused configuration
};

void AddHQLog(std::string_view message, std::string_view source = {}, int level = 0);
inline void AddHQLog(std::string_view message, std::string_view source, LogSeverity severity) {
  AddHQLog(message, source, static_cast<int>(severity));
}
bool IsNeedWriteHQLog();
// Flushes and closes the log at shut-down; later lines are still accepted.
void FreeHQLog();

}  // namespace kdp::host
