#include "kdp/host/guid.h"

#include <unordered_set>

#include <gtest/gtest.h>

namespace kdp::host {
namespace {

TEST(GuidTest, ParsesCanonicalTextAtCompileAndRunTimeAndRejectsMalformedText) {
  constexpr Guid style = "4B2D8DA0-9A5C-49C3-883A-0E09CF87FAF0";
  static_assert(style.Bytes()[0] == 0x4B && style.Bytes()[15] == 0xF0);
  EXPECT_EQ(style.ToString(), "4B2D8DA0-9A5C-49C3-883A-0E09CF87FAF0");
  EXPECT_EQ(Guid::Parse("{4b2d8da0-9a5c-49c3-883a-0e09cf87faf0}"), style);  // braced, in lower case
  for (const char* bad : {"", "4B2D8DA0-9A5C-49C3-883A-0E09CF87FAF", "4B2D8DA0x9A5C-49C3-883A-0E09CF87FAF0",
                          "4B2D8DA0-9A5C-49C3-883A-0E09CF87FAFG", "{4B2D8DA0-9A5C-49C3-883A-0E09CF87FAF0",
                          "{4B2D8DA0-9A5C-49C3-883A-0E09CF87FAF0]", "(4B2D8DA0-9A5C-49C3-883A-0E09CF87FAF0}"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(Guid::Parse(bad).has_value());
  }
}

TEST(GuidTest, NullGuidAndHashingDistinguishValues) {
  EXPECT_TRUE(kNullGuid.IsNull());
  constexpr Guid a = "07404A91-4A9A-410E-89E2-070B1A86E440";
  constexpr Guid b = "07404A91-4A9A-410E-89E2-070B1A86E441";
  EXPECT_FALSE(a.IsNull());
  std::unordered_set<Guid> set{a, b, a};
  EXPECT_EQ(set.size(), 2u);
  EXPECT_LT(a, b);
}

}  // namespace
}  // namespace kdp::host
