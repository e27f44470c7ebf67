#include <gtest/gtest.h>

#include <string>

#include "qavlen_testing.h"
#include "tzmatrixfunc.h"

namespace {

using qtest::file_text;
using qtest::item_list;

TEST(Vary, CopiesAreDeepAndResizeDiscards) {
  Vary<double> a(3);
  EXPECT_EQ(a.Size(), 3);
  EXPECT_EQ(a.Value(2), 0.0);
  a[0] = 1;
  a[1] = 2;
  a[2] = 3;
  Vary<double> b(a);
  b[0] = 9;
  EXPECT_EQ(a.Value(0), 1);
  Vary<double> c;
  EXPECT_EQ(c.Size(), 0);
  c = a;
  EXPECT_EQ(c.Size(), 3);
  EXPECT_EQ(c.Value(2), 3);
  c = c;
  EXPECT_EQ(c.Value(1), 2);
  c = Vary<double>();
  EXPECT_EQ(c.Size(), 0);
  a.Resize(3);  // same size: the contents go all the same
  EXPECT_EQ(a.Value(0), 0.0);
  a.Resize(0);
  EXPECT_EQ(a.Size(), 0);
}

TEST(Vary, TextForms) {
  Vary<int> v(3);
  v[0] = 1;
  v[1] = 2;
  v[2] = 3;
  EXPECT_EQ(file_text([&](FILE* f) { data2file(v, f); }), "(3)\n(1)\n(2)\n(3)\n");
  EXPECT_EQ(file_text([&](FILE* f) { data2ofile(v, f); }), "3 1 2 3");
  Vary<TzLong> empty;
  EXPECT_EQ(file_text([&](FILE* f) { data2file(empty, f); }), "(0)\n");
  EXPECT_EQ(file_text([&](FILE* f) { data2ofile(empty, f); }), "0");
  Vary<float> fl(2);
  fl[0] = 0.1f;
  fl[1] = -2.5f;
  EXPECT_EQ(file_text([&](FILE* f) { data2ofile(fl, f); }), "2 0.1 -2.5");
}

TEST(Vary, ReadingForm) {
  std::string list = item_list({"2", "1.5", "-4", "after"});
  char* cursor = &list[0];
  Vary<double> v(5);
  dstr2data(cursor, v);
  ASSERT_EQ(v.Size(), 2);
  EXPECT_EQ(v.Value(0), 1.5);
  EXPECT_EQ(v.Value(1), -4);
  EXPECT_STREQ(cursor, "after");

  std::string zero = item_list({"0"});
  cursor = &zero[0];
  dstr2data(cursor, v);
  EXPECT_EQ(v.Size(), 0);

  // Fewer items than the count: the missing elements stay 0, the reader
  // stops at the end of the list.
  std::string short_list = item_list({"3", "7"});
  cursor = &short_list[0];
  Vary<int> w;
  dstr2data(cursor, w);
  ASSERT_EQ(w.Size(), 3);
  EXPECT_EQ(w.Value(0), 7);
  EXPECT_EQ(w.Value(1), 0);
  EXPECT_EQ(w.Value(2), 0);
  EXPECT_EQ(*cursor, '\0');

  // A count that is no number leaves the array alone.
  std::string bad = item_list({"x", "1"});
  cursor = &bad[0];
  dstr2data(cursor, w);
  EXPECT_EQ(w.Size(), 3);
  EXPECT_STREQ(cursor, "1");
}

TEST(VaryDeathTest, NegativeCountStops) {
  EXPECT_DEATH(
      {
        std::string list = item_list({"-1"});
        char* cursor = &list[0];
        Vary<double> v;
        dstr2data(cursor, v);
      },
      "tzmatrixfunc\\.cpp:[0-9]+: Assertion `count >= 0' failed\\.");
}

}  // namespace
