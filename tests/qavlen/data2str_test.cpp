#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "data2str.h"
#include "qavlen_testing.h"

namespace {

using qtest::file_text;
using qtest::item_list;

TEST(Data2str, DataAndOutputFormsOfScalars) {
  struct Case {
    std::string data, out;
  } cases[] = {
      {file_text([](FILE* f) { data2file(0.25, f); }), file_text([](FILE* f) { data2ofile(0.25, f); })},
      {file_text([](FILE* f) { data2file(1234567.0, f); }), file_text([](FILE* f) { data2ofile(1234567.0, f); })},
      {file_text([](FILE* f) { data2file(0.1f, f); }), file_text([](FILE* f) { data2ofile(0.1f, f); })},
      {file_text([](FILE* f) { data2file(-42, f); }), file_text([](FILE* f) { data2ofile(-42, f); })},
      {file_text([](FILE* f) { data2file(TzLong(LONG_MIN32), f); }),
       file_text([](FILE* f) { data2ofile(TzLong(LONG_MIN32), f); })},
      {file_text([](FILE* f) { data2file(QavlenString("a b"), f); }),
       file_text([](FILE* f) { data2ofile(QavlenString("a b"), f); })},
  };
  const char* expected[][2] = {{"(0.25)\n", "0.25"}, {"(1.23457e+06)\n", "1.23457e+06"}, {"(0.1)\n", "0.1"},
                               {"(-42)\n", "-42"},   {"(-2147483648)\n", "-2147483648"}, {"(a b)\n", "\"a b\""}};
  for (std::size_t k = 0; k < sizeof cases / sizeof cases[0]; ++k) {
    EXPECT_EQ(cases[k].data, expected[k][0]);
    EXPECT_EQ(cases[k].out, expected[k][1]);
  }
}

TEST(Data2str, ReadingFormsParseLikeScanf) {
  struct Case {
    const char* item;
    int as_int;        // starting from 77
    double as_double;  // starting from 7.5
  } cases[] = {
      {"12abc", 12, 12.0},
      {"1.5", 1, 1.5},
      {"abc", 77, 7.5},
      {" -3", -3, -3.0},
      {"+4e2", 4, 400.0},
      {"99999999999", 2147483647, 99999999999.0},
      {"-99999999999", -2147483647 - 1, -99999999999.0},
      {"0x1A", 0, 26.0},
  };
  for (const Case& c : cases) {
    std::string list = item_list({c.item, "next"});
    char* cursor = &list[0];
    int i = 77;
    dstr2data(cursor, i);
    EXPECT_EQ(i, c.as_int) << c.item;
    EXPECT_STREQ(cursor, "next") << "the cursor moves past the item whatever it holds";
    cursor = &list[0];
    double d = 7.5;
    dstr2data(cursor, d);
    EXPECT_EQ(d, c.as_double) << c.item;
    cursor = &list[0];
    TzLong l = 77;
    dstr2data(cursor, l);
    EXPECT_EQ(l.v, c.as_int) << c.item;
  }
  std::string list = item_list({"0.1", "text with blanks", "3"});
  char* cursor = &list[0];
  float f = 0;
  QavlenString s;
  int n = 0;
  dstr2data(cursor, f);
  dstr2data(cursor, s);
  dstr2data(cursor, n);
  EXPECT_EQ(f, 0.1f);
  EXPECT_STREQ(s.c_str(), "text with blanks");
  EXPECT_EQ(n, 3);
  EXPECT_EQ(*cursor, '\0');
}

// The empty text cannot be an empty item (that ends the list): its data
// form is a line end between the brackets, and an item of line ends only
// reads as the empty text. Every other text keeps its forms.
TEST(Data2str, EmptyTextHasAnItemOfItsOwn) {
  EXPECT_EQ(file_text([](FILE* f) { data2file(QavlenString(""), f); }), "(\n)\n");
  EXPECT_EQ(file_text([](FILE* f) { data2ofile(QavlenString(""), f); }), "\"\"");
  EXPECT_EQ(file_text([](FILE* f) { data2file(QavlenString("x"), f); }), "(x)\n");
  struct Case {
    const char* item;
    const char* text;
  } cases[] = {{"\n", ""}, {"\r\n", ""}, {"\n\n", ""}, {"a\n", "a\n"}, {" \n", " \n"}, {"()", "()"}, {"abc", "abc"}};
  for (const Case& c : cases) {
    std::string list = item_list({c.item, "next"});
    char* cursor = &list[0];
    QavlenString s("before");
    dstr2data(cursor, s);
    EXPECT_STREQ(s.c_str(), c.text) << c.item;
    EXPECT_STREQ(cursor, "next");
  }
}

TEST(Data2str, ReadsNeverPassTheEndOfTheList) {
  std::string list = item_list({"5"});
  char* cursor = &list[0];
  int a = 1, b = 2;
  double d = 3.5;
  QavlenString s("kept");
  dstr2data(cursor, a);
  char* end = cursor;
  dstr2data(cursor, b);
  dstr2data(cursor, d);
  dstr2data(cursor, s);
  EXPECT_EQ(a, 5);
  EXPECT_EQ(b, 2);
  EXPECT_EQ(d, 3.5);
  EXPECT_STREQ(s.c_str(), "kept");
  EXPECT_EQ(cursor, end);
  char* null_cursor = nullptr;
  dstr2data(null_cursor, b);
  EXPECT_EQ(b, 2);
}

std::string items(const std::vector<char>& list) {
  std::string out;
  std::size_t k = 0;
  while (k < list.size()) {
    std::string item(&list[k]);
    out += "[" + item + "]";
    k += item.size() + 1;
  }
  return out;
}

TEST(Data2str, ItemListOfAnInputLine) {
  struct Case {
    const char* line;
    const char* items;
  } cases[] = {
      {"3600 0.25\n", "[3600][0.25][][]"},
      {"  \t3600\t 0.25  ", "[3600][0.25][][]"},
      {"7 \"two words\" 'x y'z\n", "[7][two words][x y][z][][]"},
      {"7 \"open quote\n", "[7][open quote][][]"},
      {"7 a\nnot this line", "[7][a][][]"},
      {"", "[][]"},
  };
  for (const Case& c : cases) EXPECT_EQ(items(Make_item_list(c.line)), c.items) << c.line;
  // A long rain record: the list is sized from the line.
  std::string line = "3600";
  for (int k = 0; k < 20000; ++k) line += " 1.25";
  std::vector<char> list = Make_item_list(line.c_str());
  EXPECT_EQ(list.size(), line.size() + 3);
}

}  // namespace
