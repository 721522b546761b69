// The pinyin initials kdp-host's search derives from a security's Chinese name.
#include <gtest/gtest.h>

#include "kdp/host/ansi.h"
#include "pinyin_initials.h"

namespace kdp::app {
namespace {

// The character of a GB2312 (EUC) code, as UTF-8.
std::string Hanzi(unsigned code) {
  const char bytes[] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
  return host::AnsiToUtf8(std::string_view(bytes, 2));
}

// Names of the sample master, their initials read off by hand: 浦 pu, 发 fa, 银 yin, 行 hang; 万 wan,
// 科 ke; 京 jing, 东 dong, 集 ji, 团 tuan; 沪 hu, 深 shen; 贵 gui, 州 zhou, 茅 mao, 台 tai.
TEST(PinyinInitials, NamesOfTheSampleMaster) {
  EXPECT_EQ(PinyinInitials("浦发银行"), "PFYH");
  EXPECT_EQ(PinyinInitials("贵州茅台"), "GZMT");
  EXPECT_EQ(PinyinInitials("万科A"), "WKA");            // a Latin letter stands for itself
  EXPECT_EQ(PinyinInitials("京东集团-SW"), "JDJTSW");   // punctuation is dropped
  EXPECT_EQ(PinyinInitials("沪深300ETF"), "HS300ETF");  // digits stand for themselves
  EXPECT_EQ(PinyinInitials("tcl科技"), "TCLKJ");        // letters upper-cased
}

// 锂 li and 孚 fu are level-2 characters, known by the exception table. 长 chang is sorted so.
TEST(PinyinInitials, CharactersOfTheMasterByTheirTable) {
  EXPECT_EQ(PinyinInitials("长江电力"), "CJDL");
  EXPECT_EQ(PinyinInitials("赣锋锂业"), "GFLY");
  EXPECT_EQ(PinyinInitials("埃克森美孚"), "AKSMF");
}

// Each letter starts at its first code; the code before it still belongs to the letter before.
TEST(PinyinInitials, LetterBoundariesOfLevelOne) {
  const std::pair<unsigned, char> firsts[] = {{0xB0A1, 'A'}, {0xB0C5, 'B'}, {0xB2C1, 'C'}, {0xB4EE, 'D'}, {0xB6EA, 'E'},
                                              {0xB7A2, 'F'}, {0xB8C1, 'G'}, {0xB9FE, 'H'}, {0xBBF7, 'J'}, {0xBFA6, 'K'},
                                              {0xC0AC, 'L'}, {0xC2E8, 'M'}, {0xC4C3, 'N'}, {0xC5B6, 'O'}, {0xC5BE, 'P'},
                                              {0xC6DA, 'Q'}, {0xC8BB, 'R'}, {0xC8F6, 'S'}, {0xCBFA, 'T'}, {0xCDDA, 'W'},
                                              {0xCEF4, 'X'}, {0xD1B9, 'Y'}, {0xD4D1, 'Z'}};
  for (std::size_t i = 0; i < std::size(firsts); ++i) {
    const auto [code, letter] = firsts[i];
    SCOPED_TRACE(code);
    EXPECT_EQ(PinyinInitials(Hanzi(code)), std::string(1, letter));
    // The code before: the last of the previous row when the trail byte is 0xA1.
    const unsigned before = (code & 0xFF) == 0xA1 ? (code - 0x100) | 0xFE : code - 1;
    if (i > 0) {
      EXPECT_EQ(PinyinInitials(Hanzi(before)), std::string(1, firsts[i - 1].second));
    }
  }
  EXPECT_EQ(PinyinInitials(Hanzi(0xD7F9)), "Z");  // the last level-1 character
}

// 0xD8A1 opens level 2 (ordered by radical); 0xB140 is a GBK character between level-1 codes but not of GB2312.
TEST(PinyinInitials, CharactersWithoutAnInitialAreDropped) {
  EXPECT_EQ(PinyinInitials("银" + Hanzi(0xD8A1) + "行"), "YH");
  EXPECT_EQ(PinyinInitials("银" + Hanzi(0xB140) + "行"), "YH");
  EXPECT_EQ(PinyinInitials("한"), "");
}

TEST(PinyinInitials, TypedTextBeginsTheInitialsInAnyCase) {
  EXPECT_TRUE(InitialsMatch("PFYH", "pfyh"));
  EXPECT_TRUE(InitialsMatch("PFYH", "Pf"));
  EXPECT_FALSE(InitialsMatch("PFYH", "FYH"));
  EXPECT_FALSE(InitialsMatch("PFYH", "PFYHX"));
  EXPECT_FALSE(InitialsMatch("PFYH", ""));
}

}  // namespace
}  // namespace kdp::app
