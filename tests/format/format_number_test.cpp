// Number texts: the unit ladders at their boundaries, UnitLevel 5 and 6, unit-only texts, the number
// instruction's arguments, percentages and price steps.
#include "format/format_number.h"

#include <charconv>
#include <cmath>
#include <random>

#include <fmt/format.h>
#include <gtest/gtest.h>

namespace kdp {
namespace {

TKrFormatNumberParams Params(int point, int unitLevel = 0, int suffix = 1, int unitOnly = 0, double pointRef = 0) {
  TKrFormatNumberParams p;
  p.Point = point;
  p.UnitLevel = unitLevel;
  p.Suffix = suffix;
  p.UnitOnly = unitOnly;
  p.PointRef = pointRef;
  return p;
}

const TUnitWords kChinese{};

struct LadderCase {
  double value;
  TKrFormatNumberParams params;
  const char* chinese;
  const char* english;
};

TEST(FormatNumberTest, UnitLaddersAtTheirBoundaries) {
  const LadderCase cases[] = {
      {9999, Params(2), "9999", "10.00K"},
      {10000, Params(2), "1.00万", "10.00K"},
      {999, Params(2), "999", "999"},
      {1000, Params(2), "1000", "1.00K"},
      {99999999, Params(2), "10000.00万", "100.00M"},  // still ten-thousands
      {123456789, Params(2), "1.23亿", "123.46M"},     // hundreds of millions
      {-123456789, Params(2), "-1.23亿", "-123.46M"},
      {999999999, Params(2), "10.00亿", "1000.00M"},
      {1e9, Params(2), "10.00亿", "1.00B"},
      {999999999999, Params(2), "10000.00亿", "1000.00B"},
      {1e12, Params(2), "1.00万亿", "1.00T"},
      {99999999.996, Params(2), "1.00亿", "100.00M"},  // rounded to two decimals first: 100000000.00
      {9999.5, Params(0), "1万", "10K"},               // rounded to 10000 first
      {12345, Params(-1), "1.2345万", "12.345K"},      // the shortest text
      {0, Params(2), "0", "0"},
      {-0.4, Params(2), "-0", "-0"},
      // UnitLevel 5 with two decimals: a level needs its size times 100.
      {123456789, Params(2, 5), "12345.68万", "123.46M"},
      {999999, Params(2, 5), "999999", "1000.00K"},
      {1000000, Params(2, 5), "100.00万", "1000.00K"},
      {1e10, Params(2, 5), "100.00亿", "10000.00M"},
      {1e10, Params(0, 5), "1000000万", "10000M"},  // with no decimals the levels need 10^4 times their size
      // UnitLevel 6: always hundreds of millions (billions), without decimals up to 10^12.
      {123456789, Params(2, 6), "1亿", "0B"},
      {1e12, Params(2, 6), "10000亿", "1000B"},
      {5e12, Params(2, 6), "50000.00亿", "5000.00B"},
      {-5e12, Params(1, 6), "-50000.0亿", "-5000.0B"},
      // Forced levels.
      {5, Params(2, 2), "0.00万", "0.00M"},
      {5e4, Params(2, 3), "0.00亿", "0.00B"},
      {5e11, Params(1, 4), "0.5万亿", "0.5T"},
      {123456, Params(2, 1), "123456", "123.46K"},  // 1 forces nothing on the Chinese ladder
      // Unit only: the level of the suffix, whatever the size.
      {12346, Params(2, 0, 1, 1), "1.23万", "12.35K"},
      {12346, Params(2, 0, 2, 1), "0.00亿", "0.01M"},
      {12346, Params(4, 0, 3, 1), "0.0000万亿", "0.0000B"},
      // PointRef: scaled values at least this large lose their decimals.
      {123456789, Params(2, 0, 1, 0, 1000), "1.23亿", "123.46M"},
      {1.5e11, Params(2, 0, 1, 0, 1000), "1500亿", "150.00B"},
      // Exact ties round away from zero, judged on the value before it is divided into units: 10050 is
      // 1.005万 exactly, although 10050 / 10^4 is stored below 1.005.
      {10050, Params(2), "1.01万", "10.05K"},
      {-10050, Params(2), "-1.01万", "-10.05K"},
      {1125, Params(2), "1125", "1.13K"},
      {1005, Params(2), "1005", "1.01K"},  // 1005 / 1000 is stored below 1.005
      {150000000, Params(0), "2亿", "150M"},
      {2.5e8, Params(0, 6), "3亿", "0B"},  // UnitLevel 6 without decimals
      {12350, Params(2, 0, 1, 1), "1.24万", "12.35K"},
      {1500, Params(2, 0, 1, 0, 1), "1500", "2K"},  // PointRef 1: 1.5K shows without decimals
  };
  for (const LadderCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.value) + " point " + std::to_string(c.params.Point) + " level " +
                 std::to_string(c.params.UnitLevel));
    EXPECT_EQ(FormatNumber(c.value, c.params, kChinese), c.chinese);
    EXPECT_EQ(FormatNumber(c.value, c.params, EnglishUnitWords()), c.english);
  }
}

TEST(FormatNumberTest, InstructionArgumentsAndCalculations) {
  struct Case {
    std::vector<std::string> args;
    double value;
    const char* text;
  };
  const Case cases[] = {
      {{"0", "10", "2"}, 1.5, "11.50"},
      {{"1", "10", "2"}, 1.5, "-8.50"},
      {{"2", "100", "2", "4"}, 0.01234, "1.23%"},
      {{"3", "100", "3"}, 1234, "12.340"},
      {{"3", "0", "2"}, 12.5, "12.50"},                 // dividing by 0 leaves the value undivided
      {{"3", "10000", "2", "1"}, 123456789, "1.23万"},  // divided first, then the ladder
      {{"0", "0", "-1"}, 0.1 + 0.2, "0.3"},
      {{}, 12.5, "13"},                                   // missing parts are 0: no decimals
      {{"", "", "3"}, 1.0, "1.000"},                      // empty parts too
      {{"0", "0", "99"}, 1.0, "1.00000000000000000000"},  // decimals are capped at 20
      {{" 2 ", "+3", "1"}, 1.25, "3.8"},                  // blanks and a plus sign are fine
      {{"9", "5", "1"}, 1.25, "1.3"},                     // an unknown calculation leaves the value
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    EXPECT_EQ(FormatNumber(c.value, ParseFormatNumberParams(c.args), kChinese), c.text);
  }
  for (const std::vector<std::string>& bad : {std::vector<std::string>{"x"},
                                              {"0", "1.5"},
                                              {"0", "0", "two"},
                                              {"0", "0", "2", "1", "0", "0", "1,5"},
                                              {"0", "0", "2", "99999999999"}}) {
    SCOPED_TRACE(::testing::PrintToString(bad));
    EXPECT_THROW(ParseFormatNumberParams(bad), EHQFormatError);
  }
  EXPECT_DOUBLE_EQ(ParseFormatNumberParams({"0", "0", "2", "1", "0", "0", "1000.5"}).PointRef, 1000.5);
}

TEST(FormatNumberTest, RoundPercentEdges) {
  struct Case {
    double value;
    const char* text;
  };
  for (const Case& c :
       {Case{150, "150%"}, Case{100.04, "100%"}, Case{100, "100.0%"}, Case{10.01, "10.0%"}, Case{10, "10.00%"},
        Case{9.5, "9.50%"}, Case{0, "0.00%"}, Case{-150, "-150%"}, Case{-10.5, "-10.5%"}, Case{-0.126, "-0.13%"},
        Case{0.125, "0.13%"}, Case{10.25, "10.3%"}, Case{-100.5, "-101%"}}) {  // exact ties away from zero
    SCOPED_TRACE(c.value);
    EXPECT_EQ(RoundPercent(c.value), c.text);
  }
}

// Exact ties round away from zero in every number text; values stored just below a tie keep their true
// rounding (the ladders' and the percentages' ties are in their tables).
TEST(FormatNumberTest, TiesRoundAwayFromZeroInEveryNumberText) {
  EXPECT_EQ(FixedText(0.125, 2), "0.13");
  EXPECT_EQ(FixedText(-0.125, 2), "-0.13");
  EXPECT_EQ(FixedText(1.5, 0), "2");
  EXPECT_EQ(FixedText(-0.5, 0), "-1");
  EXPECT_EQ(FixedText(2.675, 2), "2.67");
  EXPECT_EQ(FormatNumber(0.125, Params(2, 0, 0), kChinese), "0.13");
  EXPECT_EQ(FormatNumber(0.125, Params(2, 0, 4), kChinese), "0.13%");
  EXPECT_EQ(FormatPointByNum(2.5, 0, 0), "3");
  EXPECT_EQ(FormatPointByNum(1001.5, 2, 1000), "1002");  // PointRef drops the decimals: a tie at none
}

// The unit is chosen by the value as its text shows it. RoundedAt takes a shortcut past the text; it must
// agree with reading the text back for every value, near halves and ties most of all.
TEST(FormatNumberTest, RoundedValueIsTheShownTextReadBack) {
  const auto readBack = [](double value, int point) {
    const std::string text = FixedText(value, point);
    double parsed = 0;
    std::from_chars(text.data(), text.data() + text.size(), parsed);
    return parsed;
  };
  std::mt19937_64 rng(7);
  std::uniform_int_distribution<std::int64_t> hundredths(-2'000'000'000'000, 2'000'000'000'000);
  std::uniform_int_distribution<int> points(0, 6);
  for (int i = 0; i < 200'000; ++i) {
    const int point = points(rng);
    // Halves of the last shown place and their neighbours, where a shortcut would round the wrong way.
    const double half = (static_cast<double>(hundredths(rng)) + 0.5) / std::pow(10.0, point);
    for (double value : {half, std::nextafter(half, 0.0), std::nextafter(half, HUGE_VAL)}) {
      ASSERT_EQ(RoundedAt(value, point), readBack(value, point)) << fmt::format("{:.17g} at {}", value, point);
    }
  }
  for (double value : {0.125, -0.125, 2.675, 1.005, -0.5, 4503599627370495.5, 1e300, -1e-300, 0.0}) {
    for (int point = 0; point <= kMaxDecimals; ++point) {
      ASSERT_EQ(RoundedAt(value, point), readBack(value, point)) << value << " at " << point;
    }
  }
  EXPECT_EQ(RoundedAt(0.125, 2), 0.13);  // the tie goes away from zero
  EXPECT_EQ(RoundedAt(2.675, 2), 2.67);  // stored below the half
}

TEST(FormatNumberTest, DecimalsFollowThePriceStep) {
  struct Case {
    double step;
    int decimals;
    const char* pattern;
  };
  for (const Case& c :
       {Case{0.01, 2, "%.2f"}, Case{0.5, 1, "%.1f"}, Case{5, 0, "%.0f"}, Case{2.5, 1, "%.1f"}, Case{0.001, 3, "%.3f"},
        Case{0.00001, 5, "%.5f"}, Case{0.000025, 6, "%.6f"}, Case{0, -1, ""}, Case{-1, -1, ""}}) {
    SCOPED_TRACE(c.step);
    EXPECT_EQ(PriceStepDecimals(c.step), c.decimals);
    EXPECT_EQ(PriceStepFormat(c.step), c.pattern);
  }
}

}  // namespace
}  // namespace kdp
