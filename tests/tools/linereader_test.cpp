#include "linereader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

// The lines a reader hands out, each with the offset Tell gives after it.
struct Read {
  std::vector<std::string> lines;
  std::vector<std::uint64_t> after;
};

Read ReadAll(tzframe::LineReader& in) {
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

std::FILE* FileOf(const std::string& text) {
  std::FILE* f = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), f);
  std::rewind(f);
  return f;
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
    {std::string(37, 'x') + "\nshort\n" + std::string(100, 'y'), {std::string(37, 'x'), "short", std::string(100, 'y')}},
};

// Blocks of 4 bytes put every kind of line across block ends, and the
// lines of 37 and 100 characters make the block grow.
TEST(LineReader, LinesOfAStreamAndOfAFileInBlocksOfAnySize) {
  for (const Case& c : kCases) {
    for (std::size_t block : {std::size_t(4), std::size_t(7), tzframe::LineReader::kBlock}) {
      std::istringstream s(c.text);
      tzframe::LineReader fromStream(s, block);
      Read rs = ReadAll(fromStream);
      EXPECT_EQ(rs.lines, c.lines) << c.text << " block " << block;
      std::FILE* f = FileOf(c.text);
      tzframe::LineReader fromFile(f, block);
      Read rf = ReadAll(fromFile);
      EXPECT_EQ(rf.lines, c.lines) << c.text << " block " << block;
      EXPECT_EQ(rf.after, rs.after);
      std::fclose(f);
    }
  }
}

TEST(LineReader, TellGivesTheOffsetOfTheNextLine) {
  std::istringstream s("ab\n\ncde\nf");
  tzframe::LineReader in(s, 4);
  EXPECT_EQ(in.Tell(), 0u);
  Read r = ReadAll(in);
  EXPECT_EQ(r.after, (std::vector<std::uint64_t>{3, 4, 8, 9}));
}

// After the header line of text, the data lines; read again from their
// offset and from the start.
void ReadTwice(tzframe::LineReader& in, const std::string& text) {
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
  tzframe::LineReader fromStream(s, 4);
  ReadTwice(fromStream, text);
  std::FILE* f = FileOf(text);
  tzframe::LineReader fromFile(f, 4);
  ReadTwice(fromFile, text);
  std::fclose(f);
}

TEST(LineReader, NoFileOrAFailedStreamHasNoLines) {
  tzframe::LineReader none(static_cast<std::FILE*>(nullptr));
  std::string_view line;
  EXPECT_FALSE(none.Next(line));
  EXPECT_FALSE(none.Seek(0));
  std::istringstream s("a\n");
  s.setstate(std::ios::failbit);
  tzframe::LineReader failed(s);
  EXPECT_FALSE(failed.Next(line));
}

}  // namespace
