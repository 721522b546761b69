// Outside values quoted into one message line: a configuration value, a reply's field, a line of a file.
// Such a value may be of any length; a message carries its start. Pure function; any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kdp::host {

// At most the first `limit` bytes of `text` (cut on a character boundary), escaped as EscapeControlChars
// does (display_text.h), followed by "... (N bytes)" when it was longer.
std::string Excerpt(std::string_view text, std::size_t limit = 80);

}  // namespace kdp::host
