#include "tzlines.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <sstream>
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
      {"", true},   {" ", true},   {"\t \t", true}, {"\r", true},  {"  \r", true},   {" x ", false},
      {"#", false}, {"\v", false}, {"\f", false},   {"\n", false}, {" \0 "s, false}, {"\0"s, false},
  };
  for (const auto& c : cases) EXPECT_EQ(tz::BlankOnly(c.line), c.blank) << '"' << c.line << '"';
  // Seen as a C string, a line ends at its NUL.
  EXPECT_TRUE(tz::BlankOnly(tz::UpToNul(" \0 x"s)));
  EXPECT_FALSE(tz::BlankOnly(tz::UpToNul(" x\0"s)));
}

// The blank lines of the framework's readers, which see a line as fgets
// reads it: only blanks and tabs before its line end.
TEST(Lines, BlankLinesReadWithTheirLineEnd) {
  const struct {
    const char* line;
    bool blank;
  } cases[] = {
      {"", true},      {"\n", true},   {" \t \n", true}, {"  \r\n", true}, {"\t", true},
      {" x\n", false}, {"#\n", false}, {"\v\n", false},  {" \t{", false},
  };
  for (const auto& c : cases) EXPECT_EQ(tz::IsBlankLine(c.line), c.blank) << '"' << c.line << '"';
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

// Into a buffer, as fgets reads: the line end kept, at most size - 1
// characters, and the count of those read, NUL bytes included.
TEST(Lines, ReadLineIntoABufferKeepsTheLineEndAndCounts) {
  std::FILE* f = FileOf("one\nlonger\r\nn\0l\n\nlast"s);
  const std::vector<std::string> want = {"one\n", "long", "er\r\n", "n\0l\n"s, "\n", "last"};
  char buf[5];
  for (const std::string& w : want) {
    const std::size_t n = tz::ReadLine(f, buf, sizeof buf);
    EXPECT_EQ(std::string(buf, n), w);
    EXPECT_EQ(buf[n], '\0');
  }
  EXPECT_EQ(tz::ReadLine(f, buf, sizeof buf), 0u);
  EXPECT_STREQ(buf, "");
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

// The lines a reader hands out, each with the offset Tell gives after it.
struct Read {
  std::vector<std::string> lines;
  std::vector<std::uint64_t> after;
};

Read ReadAll(tz::LineReader& in) {
  Read r;
  std::string_view line;
  while (in.Next(line)) {
    r.lines.emplace_back(line);
    r.after.push_back(in.Tell());
  }
  EXPECT_FALSE(in.Next(line));  // the end stays the end
  EXPECT_TRUE(line.empty());
  return r;
}

const struct Case {
  std::string text;
  std::vector<std::string> lines;
} kCases[] = {
    {"", {}},
    {"\n", {""}},
    {"a\nb\n", {"a", "b"}},
    {"a\n\n\nb", {"a", "", "", "b"}},  // empty lines are lines; so is a last one without a line end
    {"crlf\r\n\r\n", {"crlf\r", "\r"}},
    {"nul\0x\n"s, {"nul\0x"s}},
    {std::string(37, 'x') + "\nshort\n" + std::string(100, 'y'),
     {std::string(37, 'x'), "short", std::string(100, 'y')}},
};

// Blocks of 4 bytes put every kind of line across block ends, and the
// lines of 37 and 100 characters make the block grow.
TEST(LineReader, LinesOfAStreamAndOfAFileInBlocksOfAnySize) {
  for (const Case& c : kCases) {
    for (std::size_t block : {std::size_t(4), std::size_t(7), tz::LineReader::kBlock}) {
      std::istringstream s(c.text);
      tz::LineReader fromStream(s, block);
      Read rs = ReadAll(fromStream);
      EXPECT_EQ(rs.lines, c.lines) << c.text << " block " << block;
      std::FILE* f = FileOf(c.text);
      tz::LineReader fromFile(f, block);
      Read rf = ReadAll(fromFile);
      EXPECT_EQ(rf.lines, c.lines) << c.text << " block " << block;
      EXPECT_EQ(rf.after, rs.after);
      std::fclose(f);
    }
  }
}

TEST(LineReader, TellGivesTheOffsetOfTheNextLine) {
  std::istringstream s("ab\n\ncde\nf");
  tz::LineReader in(s, 4);
  EXPECT_EQ(in.Tell(), 0u);
  Read r = ReadAll(in);
  EXPECT_EQ(r.after, (std::vector<std::uint64_t>{3, 4, 8, 9}));
}

// After the header line of text, the data lines; read again from their
// offset and from the start.
void ReadTwice(tz::LineReader& in, const std::string& text) {
  std::string_view line;
  ASSERT_TRUE(in.Next(line));
  const std::uint64_t data = in.Tell();
  EXPECT_EQ(ReadAll(in).lines, (std::vector<std::string>{"1 a", "2 b"}));
  ASSERT_TRUE(in.Seek(data));
  EXPECT_EQ(in.Tell(), data);
  Read again = ReadAll(in);
  EXPECT_EQ(again.lines, (std::vector<std::string>{"1 a", "2 b"}));
  EXPECT_EQ(again.after.back(), text.size());
  ASSERT_TRUE(in.Seek(0));
  EXPECT_EQ(ReadAll(in).lines.size(), 3u);
}

TEST(LineReader, SeekReadsAgainFromAnOffset) {
  const std::string text = "[Data]\n1 a\n2 b\n";
  std::istringstream s(text);
  tz::LineReader fromStream(s, 4);
  ReadTwice(fromStream, text);
  std::FILE* f = FileOf(text);
  tz::LineReader fromFile(f, 4);
  ReadTwice(fromFile, text);
  std::fclose(f);
}

TEST(LineReader, NoFileOrAFailedStreamHasNoLines) {
  tz::LineReader none(static_cast<std::FILE*>(nullptr));
  std::string_view line;
  EXPECT_FALSE(none.Next(line));
  EXPECT_FALSE(none.Seek(0));
  std::istringstream s("a\n");
  s.setstate(std::ios::failbit);
  tz::LineReader failed(s);
  EXPECT_FALSE(failed.Next(line));
}

// The options: a '\r' before the line end dropped, the lines counted, and a
// last line without its line end told; across block ends as within them.
TEST(LineReader, OptionsStripCountAndTellTheUnendedLine) {
  const std::string text = "one\r\n\r\ntwo\r\r\n#\nlast\r";
  const unsigned all = tz::LineReader::kStripCr | tz::LineReader::kCountLines | tz::LineReader::kTellUnended;
  struct Line {
    std::string text;
    std::int64_t number;
    bool ended;
    bool operator==(const Line& o) const { return text == o.text && number == o.number && ended == o.ended; }
  };
  auto read = [&](unsigned options, std::size_t block) {
    std::FILE* f = FileOf(text);
    tz::LineReader in(f, block, options);
    std::vector<Line> got;
    EXPECT_FALSE(in.AtEnd());
    std::string_view line;
    while (in.Next(line)) got.push_back({std::string(line), in.Number(), in.Ended()});
    EXPECT_TRUE(in.AtEnd());
    std::fclose(f);
    return got;
  };
  const std::vector<Line> stripped = {
      {"one", 1, true}, {"", 2, true}, {"two\r", 3, true}, {"#", 4, true}, {"last", 5, false}};
  const std::vector<Line> plain = {
      {"one\r", 0, true}, {"\r", 0, true}, {"two\r\r", 0, true}, {"#", 0, true}, {"last\r", 0, true}};
  for (std::size_t block : {std::size_t(3), std::size_t(5), tz::LineReader::kBlock}) {
    EXPECT_EQ(read(all, block), stripped) << "block " << block;
    EXPECT_EQ(read(tz::LineReader::kPlain, block), plain) << "block " << block;
  }
  std::FILE* f = FileOf("");
  tz::LineReader empty(f, 4, all);
  EXPECT_TRUE(empty.AtEnd());
  std::fclose(f);
}

}  // namespace
