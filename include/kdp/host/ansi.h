// Code-page conversions at the package's edges. Inside the package every string is UTF-8; files and wire
// bodies that are "ANSI" are code page 936 (GBK), and a few hashes are defined over UTF-16 code units.
//
// Conversions never fail: a byte sequence that is not valid in the source encoding becomes "?" in the
// result. Pure-ASCII text is copied without calling the converter. Thread-safe.
#pragma once

#include <string>
#include <string_view>

namespace kdp::host {

std::string AnsiToUtf8(std::string_view gbk);
std::string Utf8ToAnsi(std::string_view utf8);
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

}  // namespace kdp::host
