#include "tzdfstream.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "cli/cli.h"
#include "tzstr.h"
#include "tztemp.h"

namespace {

// Exposes the name of the copy.
class Probe : public TzDfstream {
 public:
  using TzDfstream::TzDfstream;
  std::string Copy() const { return dfname; }
  int Flag() const { return openFlag; }
};

using cli::exists;

class TzDfstreamTest : public testing::Test {
 protected:
  std::string src() const { return dir_.file("src.dat"); }
  void write(const std::string& text) { dir_.write("src.dat", text); }
  // The text of the copy made from text.
  std::string copy_of(const std::string& text) {
    write(text);
    Probe s(src().c_str());
    EXPECT_TRUE(static_cast<bool>(s));
    std::ostringstream all;
    all << s.rdbuf();
    return all.str();
  }
  cli::Folder dir_;
};

TEST_F(TzDfstreamTest, CommentRuleTable) {
  struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"[Data]\n# only a comment\n1 2 # trailing\n", "[Data]\n1 2 \n"},
      {"a '#b' c\n", "a '#b' c\n"},
      {"a \"x # 'y\nz\" w # gone\nnext\n", "a \"x # 'y\nz\" w \nnext\n"},
      {"   # indented\n", "   \n"},
      {"a\n\nb\n", "a\n\nb\n"},
      {"# first line\n#second\nx\n", "x\n"},
      {"x#y\n#\n", "x\n"},
      {"", ""},
      {"no newline at end", "no newline at end"},
      {"ends with a quote '", "ends with a quote '"},
      {"'' \"\" #\n", "'' \"\" \n"},
      {"1 # a ' b\n'#' 2 # \" c\n\"#\" 3\n", "1 \n'#' 2 \n\"#\" 3\n"},
  };
  for (auto& c : cases) EXPECT_EQ(copy_of(c.in), c.out) << c.in;
}

TEST_F(TzDfstreamTest, LongCommentsAndQuotesAcrossReadChunks) {
  // Longer than the blocks the copy is read and written in (1 MB).
  std::string longComment(2500000, 'c'), longQuote(1500000, 'q');
  std::string in = "1 #" + longComment + "\n'" + longQuote + "#'\n2\n";
  EXPECT_EQ(copy_of(in), "1 \n'" + longQuote + "#'\n2\n");
}

// A comment or a quote that begins on either side of a block boundary.
TEST_F(TzDfstreamTest, StretchesAtTheBlockBoundary) {
  const std::size_t block = std::size_t(1) << 20;
  for (std::size_t at = block - 2; at <= block + 1; ++at) {
    std::string pad(at, 'x');
    pad[at / 2] = '\n';
    EXPECT_EQ(copy_of(pad + "#c\n1\n"), pad + "\n1\n") << at;
    EXPECT_EQ(copy_of(pad + "'#\n' # c\n"), pad + "'#\n' \n") << at;
    EXPECT_EQ(copy_of(pad + "\n# c\n2\n"), pad + "\n2\n") << at;
  }
}

TEST_F(TzDfstreamTest, LinesReadThroughTheStream) {
  write("[Data]\n# c\n10 20 # x\n\n");
  TzDfstream s(src().c_str());
  TzString line;
  ASSERT_TRUE(static_cast<bool>(getline(s, line, '\n')));
  EXPECT_STREQ(static_cast<const char*>(line), "[Data]");
  int a = 0, b = 0;
  s >> a >> b;
  EXPECT_EQ(a, 10);
  EXPECT_EQ(b, 20);
}

TEST_F(TzDfstreamTest, CopyIsRemovedOnCloseAndDestruction) {
  write("x\n");
  std::string name;
  {
    Probe s(src().c_str());
    ASSERT_TRUE(static_cast<bool>(s));
    name = s.Copy();
    const std::string folder = tz::TempFolder() + "/tzdfstream.";
    EXPECT_EQ(name.compare(0, folder.size(), folder), 0);
    EXPECT_NE(name, folder + "XXXXXX");
    EXPECT_TRUE(exists(name));
    EXPECT_EQ(s.Flag(), 1);
    s.close();
    EXPECT_FALSE(exists(name));
    EXPECT_EQ(s.Flag(), 0);
    s.close();  // a second close does nothing
    EXPECT_EQ(s.Flag(), 0);
  }
  {
    Probe s(src().c_str());
    name = s.Copy();
    EXPECT_TRUE(exists(name));
  }
  EXPECT_FALSE(exists(name));
  EXPECT_TRUE(exists(src()));  // the source is never touched
}

// The number of descriptors this process holds open.
int open_descriptors() {
  int n = 0;
  for (int fd = 0; fd < 4096; ++fd)
    if (fcntl(fd, F_GETFD) != -1) ++n;
  return n;
}

TEST_F(TzDfstreamTest, AStreamHoldsOneDescriptorAndGivesItBack) {
  write("x\n");
  const int before = open_descriptors();
  {
    Probe s(src().c_str());
    ASSERT_TRUE(static_cast<bool>(s));
    EXPECT_EQ(open_descriptors(), before + 1);  // the copy being read, nothing of its making
    s.open(src().c_str());
    EXPECT_EQ(open_descriptors(), before + 1);
    s.close();
    EXPECT_EQ(open_descriptors(), before);
    s.open(src().c_str());
  }
  EXPECT_EQ(open_descriptors(), before);
}

TEST_F(TzDfstreamTest, SecondOpenMakesAFreshCopy) {
  write("first\n");
  Probe s(src().c_str());
  std::string first = s.Copy();
  write("second\n");
  s.open(src().c_str());
  ASSERT_TRUE(static_cast<bool>(s));
  std::string second = s.Copy();
  EXPECT_FALSE(exists(first));
  EXPECT_TRUE(exists(second));
  TzString line;
  getline(s, line, '\n');
  EXPECT_STREQ(static_cast<const char*>(line), "second");
  s.close();
  EXPECT_FALSE(exists(second));
}

// A source that cannot be read: the stream fails, says why, and makes no
// copy and no line of its own (the caller reports the file).
TEST_F(TzDfstreamTest, MissingSourceFailsWithoutACopy) {
  testing::internal::CaptureStderr();
  Probe s(dir_.file("absent.dat").c_str());
  EXPECT_TRUE(!s);
  EXPECT_EQ(s.Flag(), 0);
  EXPECT_EQ(s.SourceError(), ENOENT);
  EXPECT_EQ(s.Copy(), tz::TempFolder() + "/tzdfstream.XXXXXX");  // no temporary file was made
  Probe d(dir_.path().c_str());                                  // a directory is no readable text file either
  EXPECT_TRUE(!d);
  EXPECT_EQ(d.SourceError(), EISDIR);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// The copy goes to the folder TMPDIR names. Where it cannot be made, one
// line names the source, the folder and the cause; the source is not
// blamed (SourceError 0).
TEST_F(TzDfstreamTest, TheCopyGoesWhereTmpdirPoints) {
  write("x\n");
  const std::string copies = dir_.subfolder("copies"), none = dir_.file("none");
  {
    cli::With_env tmpdir("TMPDIR", copies.c_str());
    Probe s(src().c_str());
    ASSERT_TRUE(static_cast<bool>(s));
    EXPECT_EQ(s.Copy().compare(0, copies.size() + 12, copies + "/tzdfstream."), 0) << s.Copy();
    EXPECT_TRUE(exists(s.Copy()));
  }
  EXPECT_TRUE(std::filesystem::is_empty(copies));
  cli::With_env tmpdir("TMPDIR", none.c_str());
  testing::internal::CaptureStderr();
  Probe s(src().c_str());
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(!s);
  EXPECT_EQ(s.SourceError(), 0);
  EXPECT_EQ(err, "File: " + src() + ": its copy without comments cannot be created in " + none + ": " +
                     std::strerror(ENOENT) + " (TMPDIR names the folder of such copies)\n");
}

// The text as a regular expression that matches it literally.
std::string literal(const std::string& text) {
  std::string re;
  for (char c : text) {
    if (std::strchr(".[]()*+?{}|^$\\", c)) re += '\\';
    re += c;
  }
  return re;
}

// Death tests run again in a child process; a fixed file name keeps the
// children from leaving directories behind. Before the stop, one line names
// the file and the line where the open quote or the comment began, also
// when that line lies beyond the first block of the copy.
TEST(TzDfstreamDeathTest, EndOfFileInsideAQuoteOrACommentIsABrokenInvariant) {
  const std::string src = std::string(TZ_BINARY_DIR) + "/tzdfstream_death.dat";
  const std::string at = "^File: " + literal(src) + ", line ";
  const std::string neverClosed =
      "\\) there opens a quoted stretch that runs to the end of the file: quotes come in pairs, even in comment "
      "blocks\n";
  const std::string quoteStop = "tzdfstream\\.cpp:54: Assertion `c == cmt' failed\\.\n$";
  const std::string noLineEnd = ": the comment there ends the file without a line end\n";
  const std::string commentStop = "tzdfstream\\.cpp:61: Assertion `c == '\\\\n'' failed\\.\n$";
  const std::size_t block = std::size_t(1) << 20;
  std::string manyLines;  // 150000 lines, past the first block
  for (int i = 0; i < 150000; ++i) manyLines += "123456789\n";
  struct Case {
    std::string text, report;
  } cases[] = {
      {"a 'open quote\n", at + "1: the apostrophe \\('" + neverClosed + quoteStop},
      {"[Comment]\nThe basin's parameters\n[Data]\n1 2\n", at + "2: the apostrophe \\('" + neverClosed + quoteStop},
      {"x\ny \"open\n\nz\n", at + "2: the double quote \\(\"" + neverClosed + quoteStop},
      {"'#' ok\n'two\nlines'\nnext 'open # no comment\n", at + "4: the apostrophe \\('" + neverClosed + quoteStop},
      {manyLines + "'open\n", at + "150001: the apostrophe \\('" + neverClosed + quoteStop},
      {"1 2 # comment without newline", at + "1" + noLineEnd + commentStop},
      {"x\n#", at + "2" + noLineEnd + commentStop},
      {"a\n\"#\n\" 1 # ' b", at + "3" + noLineEnd + commentStop},
      {std::string(block - 5, '\n') + "x # " + std::string(100, 'c'),
       at + std::to_string(block - 4) + noLineEnd + commentStop},
  };
  for (const Case& c : cases) {
    std::ofstream(src, std::ios::binary) << c.text;
    EXPECT_DEATH(TzDfstream s(src.c_str()), c.report) << c.text.substr(0, 40);
  }
  std::remove(src.c_str());
}

}  // namespace
