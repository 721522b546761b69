// Texts from outside (configuration files, command lines, replies) on their way to a terminal or a log.
//
// Such bytes may hold control characters (an escape sequence retitles a terminal or rewrites what it
// shows) or bytes that are not UTF-8. Loaders refuse fields that are not plain text; whatever is echoed
// goes through EscapeControlChars first. Pure functions; any thread.
#pragma once

#include <string>
#include <string_view>

namespace kdp::host {

// True when `text` is valid UTF-8 without control characters (C0, DEL and C1; a tab counts as one).
bool IsPlainText(std::string_view text);

// `text` with every control character and every byte that is not part of valid UTF-8 written as a
// visible escape: "\t", "\n", "\r", "\e" for the escape character, "\xHH" for the others. Plain text is
// returned unchanged.
std::string EscapeControlChars(std::string_view text);

}  // namespace kdp::host
