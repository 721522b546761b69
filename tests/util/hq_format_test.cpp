#include "util/hq_format.h"

#include <clocale>
#include <locale>

#include <gtest/gtest.h>

#include "util/float_text.h"

namespace kdp {
namespace {

// Switches the C and C++ locales to one whose decimal separator is a comma, for the test's duration.
class CommaLocale {
 public:
  CommaLocale() : previous_(std::setlocale(LC_ALL, nullptr)) {
    active_ = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    if (active_) std::locale::global(std::locale("de_DE.UTF-8"));
  }
  ~CommaLocale() {
    std::setlocale(LC_ALL, previous_.c_str());
    std::locale::global(std::locale::classic());
  }
  bool Active() const { return active_; }

 private:
  std::string previous_;
  bool active_ = false;
};

TEST(HQFormatTest, NumbersUseAPointWhateverTheLocale) {
  CommaLocale comma;
  ASSERT_TRUE(comma.Active()) << "the de_DE.UTF-8 locale is missing; run scripts/setup.sh";
  char probe[16];
  std::snprintf(probe, sizeof probe, "%.2f", 1.5);
  ASSERT_STREQ(probe, "1,50");  // the locale really is in effect for printf

  EXPECT_EQ(HQFormat("%.2f", 1.5), "1.50");
  EXPECT_EQ(HQFormat("%s %d %.3f%%", "涨幅", 3, -0.1236), "涨幅 3 -0.124%");
  EXPECT_EQ(HQFormat("%8.1f|%-6d|", 1234.56, 42), "  1234.6|42    |");
  EXPECT_EQ(FloatToText(0.1 + 0.2), "0.3");
}

TEST(HQFormatTest, MismatchedPatternGivesEmptyTextNotAnException) {
  EXPECT_EQ(HQFormat("%d %d", 1), "");
  EXPECT_EQ(HQFormat("plain"), "plain");
}

}  // namespace
}  // namespace kdp
