#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "qstring.h"

namespace {

TEST(QavlenString, OwnsItsText) {
  QavlenString empty;
  EXPECT_STREQ(empty.c_str(), "");
  char text[] = "rain";
  QavlenString s(text);
  text[0] = 'X';
  EXPECT_STREQ(s.c_str(), "rain");
  QavlenString t(s);
  t[0] = 'g';
  EXPECT_STREQ(s.c_str(), "rain");
  EXPECT_STREQ(t.c_str(), "gain");
  t = t;  // self-assignment keeps the text
  EXPECT_STREQ(t.c_str(), "gain");
  t = "new";
  EXPECT_STREQ(t.c_str(), "new");
  t = static_cast<const char*>(nullptr);
  EXPECT_STREQ(t.c_str(), "");
  s += QavlenString(" fall");
  s += " on";
  s += '!';
  EXPECT_STREQ(s.c_str(), "rain fall on!");
  char* copy = static_cast<char*>(s);
  copy[0] = 'R';
  EXPECT_STREQ(s.c_str(), "rain fall on!");
  EXPECT_STREQ(copy, "Rain fall on!");
  delete[] copy;
}

std::string read_one(std::istream& in) {
  QavlenString s("old");
  in >> s;
  return s.c_str();
}

TEST(QavlenString, TokenReader) {
  std::istringstream in("  first\t'in quotes' \"double 'x'\" last");
  EXPECT_EQ(read_one(in), "first");
  EXPECT_EQ(in.peek(), '\t');  // the white space after a token stays
  EXPECT_EQ(read_one(in), "in quotes");
  EXPECT_EQ(read_one(in), "double 'x'");
  EXPECT_EQ(read_one(in), "last");
  EXPECT_TRUE(in.good());       // the end of the input after a token is cleared
  EXPECT_EQ(read_one(in), "");  // nothing left
  std::istringstream bad("x");
  bad.setstate(std::ios::failbit);
  EXPECT_EQ(read_one(bad), "");
  EXPECT_EQ(bad.rdbuf()->sgetc(), 'x');  // nothing read
  std::istringstream exact(std::string(255, 'a'));
  EXPECT_EQ(read_one(exact).size(), 255u);
}

TEST(QavlenStringDeathTest, UnclosedQuoteAndOverlongTokenStop) {
  EXPECT_DEATH(
      {
        std::istringstream in("'never closed");
        read_one(in);
      },
      "qstring\\.cpp:[0-9]+: Assertion `c == cmt' failed\\.");
  EXPECT_DEATH(
      {
        std::istringstream in(std::string(256, 'a'));
        read_one(in);
      },
      "qstring\\.cpp:[0-9]+: Assertion `token\\.size\\(\\) < 256' failed\\.");
}

}  // namespace
