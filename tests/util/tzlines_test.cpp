#include "tzlines.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace std::string_literals;

TEST(Lines, BeginsWithComparesTheWholeKey) {
  const struct {
    std::string line;
    const char* key;
    bool begins;
  } cases[] = {
      {"[Data]", "[Data]", true},
      {"[Data]\r", "[Data]", true},  // a CRLF line end behind the key
      {"[Data Format Name] V", "[Data Format Name]", true},
      {"edge connection V.10", "edge connection V.1", true},  // the key's characters only
      {"[Data", "[Data]", false},
      {" [Data]", "[Data]", false},
      {"[data]", "[Data]", false},
      {"", "[Data]", false},
      {"[Da\0ta]"s, "[Data]", false},
      {"[Data]\0x"s, "[Data]", true},
      {"anything", "", true},
  };
  for (const auto& c : cases) EXPECT_EQ(tz::BeginsWith(c.line, c.key), c.begins) << c.line << " / " << c.key;
}

TEST(Lines, BlanksAreBlanksTabsAndCarriageReturns) {
  const struct {
    std::string line;
    bool blank;
  } cases[] = {
      {"", true},       {" ", true},     {"\t \t", true}, {"\r", true},  {"  \r", true},
      {" x ", false},   {"#", false},    {"\v", false},   {"\f", false}, {"\n", false},
      {" \0 "s, false}, {"\0"s, false},
  };
  for (const auto& c : cases) EXPECT_EQ(tz::BlankOnly(c.line), c.blank) << '"' << c.line << '"';
  // Seen as a C string, a line ends at its NUL.
  EXPECT_TRUE(tz::BlankOnly(tz::UpToNul(" \0 x"s)));
  EXPECT_FALSE(tz::BlankOnly(tz::UpToNul(" x\0"s)));
}

TEST(Lines, UpToNul) {
  EXPECT_EQ(tz::UpToNul("abc"), "abc");
  EXPECT_EQ(tz::UpToNul("ab\0c"s), "ab");
  EXPECT_EQ(tz::UpToNul("\0abc"s), "");
  EXPECT_EQ(tz::UpToNul(std::string_view()), "");
}

// Lines from a list, as a reader hands them out.
struct ListLines {
  std::vector<std::string> lines;
  std::size_t next = 0;
  bool Next(std::string_view& line) {
    if (next == lines.size()) return false;
    line = lines[next++];
    return true;
  }
};

TEST(Lines, SkipToStopsAtTheFirstLineThatBeginsWithTheKey) {
  ListLines in{{"[Comment]", "", "x [Data]", "[Data] first", "[Data] second"}};
  std::string_view line;
  ASSERT_TRUE(tz::SkipTo(in, line, "[Data]"));
  EXPECT_EQ(line, "[Data] first");
  ASSERT_TRUE(tz::SkipTo(in, line, "[Data]"));
  EXPECT_EQ(line, "[Data] second");
  EXPECT_FALSE(tz::SkipTo(in, line, "[Data]"));
  ListLines none{{"", "  ", "[Dat"}};
  EXPECT_FALSE(tz::SkipTo(none, line, "[Data]"));
  EXPECT_EQ(none.next, 3u);  // every line read
}

TEST(Lines, SkipToHandsOverTheLinesPassed) {
  ListLines in{{"[Comment]", "", "text", "[Data Format Name]", "after"}};
  std::vector<std::string> passed;
  std::string_view line;
  ASSERT_TRUE(tz::SkipTo(in, line, "[Data Format Name]", [&](std::string_view l) { passed.emplace_back(l); }));
  EXPECT_EQ(passed, (std::vector<std::string>{"[Comment]", "", "text"}));
  passed.clear();
  EXPECT_FALSE(tz::SkipTo(in, line, "[Data]", [&](std::string_view l) { passed.emplace_back(l); }));
  EXPECT_EQ(passed, std::vector<std::string>{"after"});
}

// A temporary file holding text, read from its start.
std::FILE* FileOf(const std::string& text) {
  std::FILE* f = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), f);
  std::rewind(f);
  return f;
}

TEST(Lines, ReadLineTakesLineEndsAndEmptyLines) {
  std::FILE* f = FileOf("one\r\n\ntwo\r\r\n\r\nnul\0x\nlast"s);
  const std::vector<std::string> want = {"one", "", "two\r", "", "nul\0x"s, "last"};
  std::string line;
  for (const std::string& w : want) {
    ASSERT_TRUE(tz::ReadLine(f, line));
    EXPECT_EQ(line, w);
  }
  EXPECT_FALSE(tz::ReadLine(f, line));
  EXPECT_EQ(line, "");
  std::fclose(f);
}

TEST(Lines, SkipToOnAFileLeavesItAfterTheKeyLine) {
  std::FILE* f = FileOf("[Comment]\n[Data Format Name]\nedge connection V.4\n[Number of Total Edges]\r\n 12 \n");
  ASSERT_TRUE(tz::SkipTo(f, "[Data Format Name]"));
  std::string line;
  ASSERT_TRUE(tz::ReadLine(f, line));
  EXPECT_EQ(line, "edge connection V.4");
  ASSERT_TRUE(tz::SkipTo(f, "[Number of Total Edges]"));
  int n = 0;
  EXPECT_EQ(std::fscanf(f, "%d", &n), 1);  // the formatted read goes on from there
  EXPECT_EQ(n, 12);
  EXPECT_FALSE(tz::SkipTo(f, "[Data]"));
  std::fclose(f);
}

}  // namespace
