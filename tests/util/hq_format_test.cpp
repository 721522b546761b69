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

TEST(HQFormatTest, FloatingConversionsRoundExactTiesAwayFromZero) {
  struct Case {
    std::string text;
    const char* expected;
  };
  const Case cases[] = {
      {HQFormat("%.2f", 0.125), "0.13"},
      {HQFormat("%.0f|%.0f|%.0f", 1.5, 2.5, -0.5), "2|3|-1"},
      {HQFormat("%.2f", 0.625), "0.63"},
      {HQFormat("%.2f", 2.675), "2.67"},  // stored below the tie
      {HQFormat("%.2f", 1.005), "1.00"},
      {HQFormat("%5.1f%%", 2.25), "  2.3%"},
      {HQFormat("%f", 0.0078125), "0.007813"},  // six places by default
      {HQFormat("%.1e", 1.25), "1.3e+00"},
      {HQFormat("%.2E", -0.0625), "-6.25E-02"},  // three significant digits hold it whole
      {HQFormat("%.1E", -0.0625), "-6.3E-02"},
      {HQFormat("%.2g", 0.125), "0.13"},
      {HQFormat("%g", 1234565.0), "1.23457e+06"},
      {HQFormat("%s %d %.1f", "x", 7, 0.25), "x 7 0.3"},
      {HQFormat("%2$.1f %1$d", 3, 0.25), "0.3 3"},              // positions
      {HQFormat("%.*f|%*.1f", 1, 0.25, 5, 0.75), "0.3|  0.8"},  // precision and width from arguments
      {HQFormat("%.1f", 0.25f), "0.3"},                         // float arguments too
  };
  for (const Case& c : cases) EXPECT_EQ(c.text, c.expected);
}

// Patterns come from configuration and catalogues: one that does not fit its arguments gives an empty
// text, not an exception, and an absurd width or precision is refused at once instead of formatting
// hundreds of megabytes.
TEST(HQFormatTest, MismatchedOrUnboundedPatternsGiveEmptyText) {
  EXPECT_EQ(HQFormat("%d %d", 1), "");
  EXPECT_EQ(HQFormat("plain"), "plain");
  EXPECT_EQ(HQFormat("%.999999999f", 1.0), "");
  EXPECT_EQ(HQFormat("%1$222222225f", 1.0), "");
  EXPECT_EQ(HQFormat("%65d|", 1), "");
  EXPECT_EQ(HQFormat("%64d|", 1), std::string(63, ' ') + "1|");
  EXPECT_EQ(HQFormat("%-10.3s|%%65", "abcdef"), "abc       |%65");  // "%%" is no conversion
  EXPECT_TRUE(IsBoundedPattern("%1$.64f %2$64s"));
  EXPECT_FALSE(IsBoundedPattern("%*.65f"));
}

}  // namespace
}  // namespace kdp
