#include "nopath.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

TEST(Nopath, PointsJustAfterTheLastSlash) {
  struct {
    const char* path;
    const char* name;
  } cases[] = {
      {"/usr/local/bin/dorvask", "dorvask"},
      {"pelmic", "pelmic"},
      {"./sarnolt", "sarnolt"},
      {"dir/", ""},
      {"/", ""},
      {"a\\b\\pelmic", "a\\b\\pelmic"},
      {"", ""},
  };
  for (auto& c : cases) {
    std::string buf = c.path;
    char* p = nopath(&buf[0]);
    EXPECT_STREQ(p, c.name) << c.path;
    EXPECT_GE(p, &buf[0]);  // a pointer into the argument, nothing copied
    EXPECT_LE(p, &buf[0] + buf.size());
  }
}

TEST(TzStringOutput, WritesTheTextOnlyAndNothingForTheEmptyString) {
  std::ostringstream os;
  os << TzString() << TzString("abc") << TzString() << TzString("d e");
  EXPECT_EQ(os.str(), "abcd e");
  EXPECT_TRUE(os.good());
  std::ostringstream empty;
  empty << TzString("");
  EXPECT_EQ(empty.str(), "");
  EXPECT_TRUE(empty.good());
}

}  // namespace
