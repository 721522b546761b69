// Texts from outside on their way to a terminal or a log.
#include "kdp/host/display_text.h"

#include <gtest/gtest.h>

namespace kdp::host {
namespace {

TEST(DisplayTextTest, ControlCharactersAndBrokenUtf8AreEscapedPlainTextIsNot) {
  struct Case {
    std::string text;
    bool plain;
    const char* shown;
  };
  const Case cases[] = {
      {"浦发银行 600000.SH", true, "浦发银行 600000.SH"},
      {"", true, ""},
      {"\x1b]0;owned\x07", false, "\\e]0;owned\\x07"},  // a terminal title sequence
      {"a\tb", true, "a\\tb"},                          // a tab is text, but echoed visibly
      {"line\r\nnext", false, "line\\r\\nnext"},
      {"del\x7f", false, "del\\x7F"},
      {"\xc2\x9b"
       "31m",
       false, "\\xC2\\x9B31m"},  // C1 CSI written in UTF-8
      {"\x9b"
       "31m",
       false, "\\x9B31m"},                         // C1 CSI as a raw byte: not UTF-8 either
      {"\xe6\xb5", false, "\\xE6\\xB5"},           // a character cut short
      {"\xc0\xaf", false, "\\xC0\\xAF"},           // an overlong "/"
      {"\xed\xa0\x80", false, "\\xED\\xA0\\x80"},  // a UTF-16 surrogate
      {"𠀀", true, "𠀀"},                          // outside the basic plane
      {std::string("a\0b", 3), false, "a\\x00b"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    EXPECT_EQ(IsPlainText(c.text), c.plain);
    EXPECT_EQ(EscapeControlChars(c.text), c.shown);
  }
}

}  // namespace
}  // namespace kdp::host
