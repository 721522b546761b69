#include "util/float_text.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace kdp {
namespace {

TEST(FloatTextTest, ShortestTextAcrossTheNotationBoundariesTiesAndNonFiniteValues) {
  struct Case {
    double value;
    const char* text;
  };
  const Case cases[] = {
      {1e-5, "1E-5"},
      {0.0001, "0.0001"},
      {0.1 + 0.2, "0.3"},
      {123456789012345678.0, "1.23456789012346E17"},
      {999999999999999.0, "999999999999999"},
      {1e15, "1E15"},
      {0.0, "0"},
      {-2.5, "-2.5"},
      {10.36, "10.36"},
      {100.0, "100"},
      {-0.000012345, "-1.2345E-5"},
      {1.0 / 3.0, "0.333333333333333"},
      {2.0 / 3.0, "0.666666666666667"},
      // Sixteen significant digits ending in 5, exact in binary: the fifteenth digit rounds away from zero
      // (even rounding would keep ...344).
      {123456789012344.5, "123456789012345"},
      {-123456789012344.5, "-123456789012345"},
      {123456789012345.25, "123456789012345"},  // below the tie
      {std::numeric_limits<double>::quiet_NaN(), "NAN"},
      {std::numeric_limits<double>::infinity(), "INF"},
      {-std::numeric_limits<double>::infinity(), "-INF"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(FloatToText(c.value), c.text);
  }
}

// An exact tie is a value whose binary form ends exactly on the half: 0.125 = 1 * 2^-3 is a tie at two
// places, 2.675 (stored as 2.67499999999999982...) is not; for tens and hundreds the value must be an odd
// number of halves of them (25 = 2.5 tens, 250 = 2.5 hundreds, but not 20 or 100).
TEST(FloatTextTest, ExactDecimalTiesAreFoundOnTheBinaryValue) {
  struct Case {
    double value;
    int fractionDigits;
    bool tie;
  };
  const Case cases[] = {
      {0.125, 2, true}, {-0.125, 2, true},  {0.125, 1, false}, {0.125, 3, false},   {2.5, 0, true},
      {-0.5, 0, true},  {1.0, 0, false},    {2.675, 2, false}, {1.005, 2, false},   {0.0078125, 6, true},
      {25, -1, true},   {35, -1, true},     {20, -1, false},   {250, -2, true},     {150, -2, true},
      {100, -2, false}, {12350, -1, false}, {0.0, 0, false},   {1e300, -22, false}, {5e-324, 1074, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.value) + " at " + std::to_string(c.fractionDigits));
    EXPECT_EQ(IsDecimalTie(c.value, c.fractionDigits), c.tie);
    const double moved = TieAwayFromZero(c.value, c.fractionDigits);
    if (c.tie) {
      EXPECT_GT(std::fabs(moved), std::fabs(c.value));
      EXPECT_EQ(std::nextafter(moved, c.value), c.value);  // one binary step, no more
    } else {
      EXPECT_EQ(moved, c.value);
    }
  }
  EXPECT_FALSE(IsDecimalTie(std::numeric_limits<double>::quiet_NaN(), 0));
  EXPECT_FALSE(IsDecimalTie(std::numeric_limits<double>::infinity(), 0));
}

}  // namespace
}  // namespace kdp
