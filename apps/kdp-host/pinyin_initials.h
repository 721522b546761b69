// Pinyin initials of a security's Chinese name, as a terminal's code box matches them ("PFYH" for
// 浦发银行). The security master has no pinyin column, so the initials are derived from the name.
#pragma once

#include <string>
#include <string_view>

namespace kdp::app {

// The initials of `name` (UTF-8), upper case: a hanzi by its GB2312 code, a Latin letter or a digit as it
// is (letters upper-cased), anything else (punctuation, blanks) dropped. A hanzi without an initial from
// the code (see the .cpp) is dropped too.
std::string PinyinInitials(std::string_view name);

// True when `typed` (letters and digits in any case) begins the initials.
bool InitialsMatch(const std::string& initials, std::string_view typed);

}  // namespace kdp::app
