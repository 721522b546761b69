// HQFormat: the one printf-style formatting routine of the package ("%.2f", "%d", "%s", "%5.1f%%", ...).
// Fixed settings: "." as the decimal separator whatever the process or user locale. A pattern that does
// not fit its arguments gives an empty text and a log line, never an exception. Thread-safe.
#pragma once

#include <string>
#include <string_view>

#include <fmt/printf.h>

namespace kdp {

namespace detail {
void LogHQFormatError(std::string_view pattern, std::string_view why);
}

template <class... Args>
std::string HQFormat(std::string_view pattern, const Args&... args) {
  try {
    return fmt::sprintf(pattern, args...);
  } catch (const fmt::format_error& e) {
    detail::LogHQFormatError(pattern, e.what());
    return {};
  }
}

}  // namespace kdp
