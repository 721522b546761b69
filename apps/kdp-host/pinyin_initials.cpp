// The level-1 hanzi of GB2312 (rows 16 to 55, 0xB0A1 to 0xD7F9) are ordered by their pinyin, so a
// character's initial is the letter whose first code is the last one not above its own. Each boundary
// below is the GB2312 code of the first character of its letter (啊 芭 擦 搭 蛾 发 噶 哈 击 喀 垃 妈 拿 哦
// 啪 期 然 撒 塌 挖 昔 压 匝, converted with iconv); no syllable begins with I, U or V.
//
// The level-2 hanzi (rows 56 to 87) are ordered by radical and stroke count, not by sound: the code says
// nothing of their pinyin. The few of them in the sample master's names are in kOwnInitials; any other
// level-2 character (or one outside GB2312) contributes no initial. A character of several readings sits
// at one of them in level 1; where names read it otherwise (行 is sorted as xing, 银行 reads hang) the table
// gives the name's reading. One reading per character: 重 stays zhong (三一重工) also where a name means
// chong (重银, Chongqing).
#include "pinyin_initials.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

#include "kdp/host/ansi.h"
#include "utf8_char.h"

namespace kdp::app {
namespace {

constexpr unsigned kLevel1First = 0xB0A1;
constexpr unsigned kLevel1Last = 0xD7F9;

constexpr std::array<std::pair<unsigned, char>, 23> kFirstCodes{{
    {0xB0A1, 'A'}, {0xB0C5, 'B'}, {0xB2C1, 'C'}, {0xB4EE, 'D'}, {0xB6EA, 'E'}, {0xB7A2, 'F'},
    {0xB8C1, 'G'}, {0xB9FE, 'H'}, {0xBBF7, 'J'}, {0xBFA6, 'K'}, {0xC0AC, 'L'}, {0xC2E8, 'M'},
    {0xC4C3, 'N'}, {0xC5B6, 'O'}, {0xC5BE, 'P'}, {0xC6DA, 'Q'}, {0xC8BB, 'R'}, {0xC8F6, 'S'},
    {0xCBFA, 'T'}, {0xCDDA, 'W'}, {0xCEF4, 'X'}, {0xD1B9, 'Y'}, {0xD4D1, 'Z'},
}};

// Initials the GB2312 code does not give: level-2 characters of the sample master's names, and the
// reading names use of a level-1 character sorted under another one.
constexpr std::pair<std::string_view, char> kOwnInitials[] = {
    {"孚", 'F'},  // fu, 埃克森美孚
    {"泸", 'L'},  // lu, 泸州老窖
    {"癀", 'H'},  // huang, 片仔癀
    {"锂", 'L'},  // li, 赣锋锂业
    {"行", 'H'},  // hang, 银行 (GB2312 sorts it as xing)
};

// The initial of one non-ASCII character (its UTF-8 bytes); 0 when it has none.
char HanziInitial(std::string_view character) {
  for (const auto& [hanzi, initial] : kOwnInitials) {
    if (hanzi == character) return initial;
  }
  const std::string gbk = host::Utf8ToAnsi(character);
  if (gbk.size() != 2) return 0;
  const unsigned lead = static_cast<unsigned char>(gbk[0]), trail = static_cast<unsigned char>(gbk[1]);
  // GBK also has characters between these codes whose trail byte is below 0xA1: not GB2312 ones.
  const unsigned code = lead << 8 | trail;
  if (trail < 0xA1 || code < kLevel1First || code > kLevel1Last) return 0;
  char initial = 0;
  for (const auto& [first, letter] : kFirstCodes) {
    if (code >= first) initial = letter;
  }
  return initial;
}

}  // namespace

std::string PinyinInitials(std::string_view name) {
  std::string initials;
  for (std::size_t at = 0; at < name.size();) {
    const auto lead = static_cast<unsigned char>(name[at]);
    const std::size_t length = std::min(Utf8CharLength(lead), name.size() - at);
    if (lead < 0x80) {
      if (std::isalnum(lead)) initials += static_cast<char>(std::toupper(lead));
    } else if (const char initial = HanziInitial(name.substr(at, length))) {
      initials += initial;
    }
    at += length;
  }
  return initials;
}

bool InitialsMatch(const std::string& initials, std::string_view typed) {
  if (typed.empty() || typed.size() > initials.size()) return false;
  for (std::size_t i = 0; i < typed.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(typed[i])) != initials[i]) return false;
  }
  return true;
}

}  // namespace kdp::app
