// TAnsiStringList: index checks, objects freed exactly once, and text round trips.
#include <gtest/gtest.h>

#include <vector>

#include "kdp/error.h"
#include "kdp/qvb/ansi_string_list.h"

namespace kdp {
namespace {

TEST(AnsiStringList, IndexesOutsideTheListThrowAndObjectsAreFreedOnce) {
  std::vector<void*> freed;
  int a = 1, b = 2, c = 3;
  {
    TAnsiStringList list;
    list.SetOnFreeObject([&](void* object) { freed.push_back(object); });
    EXPECT_EQ(list.Add("GDP", &a), 0);
    EXPECT_EQ(list.Add("CPI", &b), 1);
    try {
      list.GetString(2);  // the count
      ADD_FAILURE() << "no error";
    } catch (const Error& e) {
      EXPECT_STREQ(e.what(), "Invalid Index: 2");
    }
    EXPECT_THROW(list.GetObjects(-1), Error);
    EXPECT_THROW(list.SetString(2, "x"), Error);
    list.SetString(1, "M2");
    EXPECT_EQ(list.GetString(1), "M2");
    list.SetObjects(1, &b);  // the same object: kept
    EXPECT_TRUE(freed.empty());
    list.SetObjects(1, &c);
    EXPECT_EQ(freed, (std::vector<void*>{&b}));
    EXPECT_EQ(list.GetObjects(1), &c);
  }
  EXPECT_EQ(freed, (std::vector<void*>{&b, &a, &c}));
}

TEST(AnsiStringList, TextJoinsWithCrLfAndSplitsAtAnyLineEnd) {
  TAnsiStringList list;
  list.SetTextStr("a\r\nb\nc\r\rd\r\n");
  ASSERT_EQ(list.GetCount(), 5);
  EXPECT_EQ(list.GetString(3), "");
  EXPECT_EQ(list.GetString(4), "d");
  EXPECT_EQ(list.GetTextStr(), "a\r\nb\r\nc\r\n\r\nd");
  list.SetTextStr("");
  EXPECT_EQ(list.GetCount(), 0);
  EXPECT_EQ(list.GetTextStr(), "");
}

}  // namespace
}  // namespace kdp
