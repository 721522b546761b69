#include "util/float_text.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace kdp {
namespace {

TEST(FloatTextTest, ShortestTextAcrossTheNotationBoundaries) {
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
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(FloatToText(c.value), c.text);
  }
}

TEST(FloatTextTest, NonFiniteValuesHaveNames) {
  EXPECT_EQ(FloatToText(std::numeric_limits<double>::quiet_NaN()), "NAN");
  EXPECT_EQ(FloatToText(std::numeric_limits<double>::infinity()), "INF");
  EXPECT_EQ(FloatToText(-std::numeric_limits<double>::infinity()), "-INF");
}

}  // namespace
}  // namespace kdp
