#include "dfopen.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "qavlen/files_testing.h"
#include "tzcheck.h"

namespace {

class DataFileOpen : public ::testing::Test {
 protected:
  // One directory per test, named after it: a death test's child (which
  // may run the test again from its start) finds the same files, and the
  // parent's TearDown removes them.
  void SetUp() override {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string base = std::string(TZ_BINARY_DIR) + "/dfopen_test";
    mkdir(base.c_str(), 0700);
    dir_ = base + "/" + info->test_suite_name() + "." + info->name();
    mkdir(dir_.c_str(), 0700);
  }
  void TearDown() override {
    std::remove(Path().c_str());
    rmdir(dir_.c_str());
  }
  std::string Path() const { return dir_ + "/data.txt"; }
  void Write(const std::string& text) const {
    std::FILE* f = std::fopen(Path().c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
  // The whole comment-free copy of text.
  std::string Copy(const std::string& text) const {
    Write(text);
    std::FILE* f = dataFileOpen(Path().c_str());
    std::string out;
    for (int c; (c = std::fgetc(f)) != EOF;) out += static_cast<char>(c);
    std::fclose(f);
    return out;
  }
  std::string dir_;
};

TEST_F(DataFileOpen, CommentsAreRemovedAndQuotedTextIsKept) {
  struct Case {
    const char* what;
    std::string in, out;
  };
  const Case cases[] = {
      {"empty file", "", ""},
      {"plain lines", "a 1\nb 2\n", "a 1\nb 2\n"},
      {"no final newline", "a 1\nb 2", "a 1\nb 2"},
      {"whole-line comment vanishes", "a\n# note\nb\n", "a\nb\n"},
      {"comments on consecutive lines", "#1\n#2\nx\n#3\n", "x\n"},
      {"comment after data", "12 34 # width\nz\n", "12 34 \nz\n"},
      {"comment after blanks", "   # indented\nz\n", "   \nz\n"},
      {"comment at once after data", "12#x\n", "12\n"},
      {"last line a comment without newline", "a\n# end", "a\n"},
      {"comment after data at the end", "a # end", "a "},
      {"# between apostrophes", "name 'a#b' 1\n", "name 'a#b' 1\n"},
      {"# between double quotes", "name \"a # b\" # c\n", "name \"a # b\" \n"},
      {"quoted stretch over lines", "x \"a\n# not a comment\nb\" y\n", "x \"a\n# not a comment\nb\" y\n"},
      {"apostrophe inside double quotes", "\"it's\" # c\n", "\"it's\" \n"},
      {"double quote inside apostrophes", "'say \"hi' # c\n", "'say \"hi' \n"},
      {"quote inside a comment", "a # don't\nb\n", "a \nb\n"},
      {"lone apostrophe spans lines", "o'clock\n# kept\n'x\n", "o'clock\n# kept\n'x\n"},
      {"backslash is no escape", "'a\\'#b\n", "'a\\'\n"},
      {"carriage return of a comment dropped", "a #c\r\nb\r\n", "a \nb\r\n"},
      {"carriage return of a whole-line comment", "#c\r\nb\r\n", "b\r\n"},
      {"after a quoted stretch the line is not empty", "'q'# c\nz\n", "'q'\nz\n"},
      {"any byte value", std::string("\x01\xff\t\0z\n", 6), std::string("\x01\xff\t\0z\n", 6)},
      {"header lines", "[Data Format Name] # the name\nMorvelan Parameter Format\n",
       "[Data Format Name] \nMorvelan Parameter Format\n"},
  };
  for (const Case& k : cases) EXPECT_EQ(Copy(k.in), k.out) << k.what;
}

TEST_F(DataFileOpen, ReadersUseFormattedAndLineReadsOnTheCopy) {
  Write("# parameters\n3 2.5 # count and width\nname 'x#y'\n");
  std::FILE* f = dataFileOpen(Path().c_str());
  int n = 0;
  double w = 0;
  ASSERT_EQ(std::fscanf(f, "%d %lf", &n, &w), 2);
  EXPECT_EQ(n, 3);
  EXPECT_EQ(w, 2.5);
  char line[64];
  ASSERT_NE(std::fgets(line, sizeof line, f), nullptr);
  EXPECT_STREQ(line, " \n");
  ASSERT_NE(std::fgets(line, sizeof line, f), nullptr);
  EXPECT_STREQ(line, "name 'x#y'\n");
  EXPECT_EQ(std::fgets(line, sizeof line, f), nullptr);
  std::fclose(f);
}

// The copy has no name in any directory: nothing is left behind, not even
// while it is open.
TEST_F(DataFileOpen, TheCopyIsAnAnonymousTemporaryFile) {
  Write("a # b\n");
  std::FILE* f = dataFileOpen(Path().c_str());
  char link[512] = {0};
  const std::string fd = "/proc/self/fd/" + std::to_string(fileno(f));
  ASSERT_GT(readlink(fd.c_str(), link, sizeof link - 1), 0);
  EXPECT_NE(std::string(link).find("(deleted)"), std::string::npos) << link;
  std::fclose(f);
  // The source is closed inside the call: it can be removed and the
  // directory is left empty but for it.
  EXPECT_EQ(std::remove(Path().c_str()), 0);
  EXPECT_EQ(rmdir(dir_.c_str()), 0);
  ASSERT_EQ(mkdir(dir_.c_str(), 0700), 0);
}

TEST_F(DataFileOpen, LargeFileIsCopiedWhole) {
  std::string in, out;
  for (int i = 0; i < 200000; ++i) {
    in += std::to_string(i) + " 'x#" + std::to_string(i) + "' # comment " + std::to_string(i) + "\n";
    out += std::to_string(i) + " 'x#" + std::to_string(i) + "' \n";
  }
  EXPECT_EQ(Copy(in), out);
}

using DataFileOpenDeathTest = DataFileOpen;

// Every descriptor but one in use: the source opens, the copy cannot. The
// descriptors are given back when the program stops, so that the exit
// itself (and a sanitizer's checks in it) has the descriptors it needs.
std::vector<int> g_fillers;
void GiveBackDescriptors(int) {
  for (int fd : g_fillers) close(fd);
}
void OpenWithOneDescriptorLeft(const std::string& path) {
  struct rlimit lim;
  lim.rlim_cur = lim.rlim_max = 64;
  setrlimit(RLIMIT_NOFILE, &lim);
  for (int fd; (fd = open("/dev/null", O_RDONLY)) >= 0;) g_fillers.push_back(fd);
  close(g_fillers.back());
  g_fillers.pop_back();
  tz::set_stop_hook(GiveBackDescriptors);
  dataFileOpen(path.c_str());
}

// Files can grow only to `bytes`: the copy is cut short, as on a full disk.
void OpenWithFileSizeLimit(const std::string& path, rlim_t bytes) {
  signal(SIGXFSZ, SIG_IGN);
  struct rlimit lim;
  lim.rlim_cur = lim.rlim_max = bytes;
  setrlimit(RLIMIT_FSIZE, &lim);
  dataFileOpen(path.c_str());
}

TEST_F(DataFileOpenDeathTest, AFileThatCannotBeOpenedEndsTheProgramWithStatusOne) {
  const std::string missing = dir_ + "/no such file";
  EXPECT_EXIT(dataFileOpen(missing.c_str()), ::testing::ExitedWithCode(1),
              "^Cannot open \\[" + dir_ + "/no such file\\]\\.\n$");
}

// The stop names the file, the line of the opening quote in the user's
// file (whole-line comments count) and the quote, then the check.
TEST_F(DataFileOpenDeathTest, AFileEndingInsideAQuotedStretchStopsWithStatusOne) {
  struct Case {
    const char* what;
    std::string text;
    int line;
    const char* quote;
  };
  const Case cases[] = {
      {"apostrophe in comment prose", "[Comment]\nThe basin's parameters\n[Data]\n1 2\n", 2, "apostrophe (')"},
      {"after whole-line comments", "# one\n# two\n[Comment]\nit's\n", 4, "apostrophe (')"},
      {"double quote", "a\nb \"x\n", 2, "double quote (\")"},
      {"a closed stretch over lines comes first", "'a\nb' c\n# d\n\"e\nf\n", 4, "double quote (\")"},
      {"lone quote at the end", "\"", 1, "double quote (\")"},
      {"apostrophe in a carriage-return file", "x\r\n#c\r\ny's\r\n", 3, "apostrophe (')"},
  };
  for (const Case& c : cases) {
    Write(c.text);
    EXPECT_EXIT(dataFileOpen(Path().c_str()), ::testing::ExitedWithCode(1),
                "^" +
                    ftest::escaped("File: " + Path() + ", line " + std::to_string(c.line) + ": the " + c.quote +
                                   " there opens a quoted stretch that runs to the end of the file: "
                                   "quotes come in pairs, even in comment blocks\n") +
                    "dfopen\\.cpp:[0-9]+: Assertion `c != EOF' failed\\.\n$")
        << c.what;
  }
  // In a comment a quote opens nothing.
  EXPECT_EQ(Copy("a # 'x\n"), "a \n");
}

// The line of every character of the copy, against the line numbers the
// source's lines carry as their first word: whole-line comments, comments
// after data, quoted stretches over lines, carriage returns, a last line
// without its line end.
TEST_F(DataFileOpen, EveryCharacterOfTheCopyMapsToItsSourceLine) {
  std::string in;
  int line = 1;
  auto add = [&](const std::string& rest) { in += std::to_string(line++) + rest; };
  add(" [Comment]\n");
  in += "# whole-line comment\n";
  ++line;
  in += "#\n";
  ++line;
  add(" data # and a comment\n");
  add(" 'quoted\n");
  add(" stretch # kept' x\n");
  in += "   # blanks, then a comment\n";
  ++line;
  add(" \"two\n");
  add(" lines\"\r\n");
  for (int k = 0; k < 50; ++k) {
    in += "#\n";
    ++line;
  }
  add(" last");
  const std::string copy = Copy(in);
  // Each copy line begins with its source line's number; a line of blanks
  // left by a comment belongs to the line it stands on.
  std::size_t start = 0;
  int expected = 0;
  int checked = 0;
  for (std::size_t at = 0; at < copy.size(); ++at) {
    if (at == start) {
      const std::string head = copy.substr(at, copy.find_first_not_of("0123456789", at) - at);
      if (!head.empty())
        expected = std::stoi(head);
      else
        ++expected;
    }
    EXPECT_EQ(dataFileLine(Path().c_str(), static_cast<std::int64_t>(at)), expected) << at;
    ++checked;
    if (copy[at] == '\n') start = at + 1;
  }
  EXPECT_EQ(checked, static_cast<int>(copy.size()));
  EXPECT_EQ(expected, line - 1);
  // At and past the end: the line of the last character.
  EXPECT_EQ(dataFileLine(Path().c_str(), static_cast<std::int64_t>(copy.size())), line - 1);
  EXPECT_EQ(dataFileLine(Path().c_str(), static_cast<std::int64_t>(copy.size()) + 100), line - 1);
}

TEST_F(DataFileOpen, LinesOfSmallFiles) {
  struct Case {
    std::string in;
    std::int64_t offset, line;
  };
  const Case cases[] = {
      {"", 0, 1},  // an empty copy
      {"# only comments\n#\n", 0, 1},
      {"#a\n#b\nx\n", 0, 3},  // the first character after two comment lines
      {"#a\n#b\nx\n", 1, 3},  // its line end
      {"a\n\nb\n", 2, 2},     // an empty line is a line
      {"a #c\nb\n", 2, 1},    // the line end a comment left
      {"a #c\nb\n", 3, 2},
      {"x\n#c", 1, 1},  // a last comment line without line end
  };
  for (const Case& c : cases) {
    Write(c.in);
    EXPECT_EQ(dataFileLine(Path().c_str(), c.offset), c.line) << c.in << " @" << c.offset;
  }
  EXPECT_EQ(dataFileLine((dir_ + "/no such file").c_str(), 0), 0);
}

// The copy is made where TMPDIR points, else in /tmp, and has no name
// there: the folder is left as it was.
TEST_F(DataFileOpen, TheCopyIsMadeWhereTmpdirPoints) {
  Write("a # b\n");
  const std::string copies = dir_ + "/copies";
  ASSERT_EQ(mkdir(copies.c_str(), 0700), 0);
  const struct {
    const char* tmpdir;
    std::string folder;
  } cases[] = {{copies.c_str(), copies}, {"", "/tmp"}, {nullptr, "/tmp"}};
  for (const auto& c : cases) {
    cli::With_env tmpdir("TMPDIR", c.tmpdir);
    std::FILE* f = dataFileOpen(Path().c_str());
    char link[512] = {0};
    const std::string fd = "/proc/self/fd/" + std::to_string(fileno(f));
    ASSERT_GT(readlink(fd.c_str(), link, sizeof link - 1), 0);
    EXPECT_EQ(std::string(link).rfind(c.folder + "/", 0), 0u) << link;
    EXPECT_NE(std::string(link).find("(deleted)"), std::string::npos) << link;
    char text[16] = {0};
    EXPECT_NE(std::fgets(text, sizeof text, f), nullptr);
    EXPECT_STREQ(text, "a \n");
    std::fclose(f);
  }
  EXPECT_EQ(rmdir(copies.c_str()), 0) << "a copy was left in " << copies;
}

// The line before the opener's own message: the file, the folder and the
// cause.
std::string NoCopy(const std::string& path, const char* what, const std::string& folder, const char* cause) {
  return "^" +
         ftest::escaped("File: " + path + ": its copy without comments cannot be " + what + " in " + folder + ": " +
                        cause + " (TMPDIR names the folder of such copies)\n" + "Cannot open [tmpfile].\n") +
         "$";
}

TEST_F(DataFileOpenDeathTest, NoRoomForTheTemporaryFileEndsTheProgramWithStatusOne) {
  Write("a 1\n");
  const std::string none = dir_ + "/no such folder";
  EXPECT_EXIT(
      {
        setenv("TMPDIR", none.c_str(), 1);
        dataFileOpen(Path().c_str());
      },
      ::testing::ExitedWithCode(1), NoCopy(Path(), "created", none, "No such file or directory"));
  // TMPDIR naming a file, not a folder.
  EXPECT_EXIT(
      {
        setenv("TMPDIR", Path().c_str(), 1);
        dataFileOpen(Path().c_str());
      },
      ::testing::ExitedWithCode(1), NoCopy(Path(), "created", Path(), "Not a directory"));
  EXPECT_EXIT(
      {
        setenv("TMPDIR", dir_.c_str(), 1);
        OpenWithOneDescriptorLeft(Path());
      },
      ::testing::ExitedWithCode(1), NoCopy(Path(), "created", dir_, "Too many open files"));
  // A copy cut short by a full disk is never handed to a reader.
  std::string big(100000, 'x');
  Write(big);
  EXPECT_EXIT(
      {
        setenv("TMPDIR", dir_.c_str(), 1);
        OpenWithFileSizeLimit(Path(), 10000);
      },
      ::testing::ExitedWithCode(1), NoCopy(Path(), "written", dir_, "File too large"));
  // Nothing is left beside the file read.
  EXPECT_EQ(std::remove(Path().c_str()), 0);
  EXPECT_EQ(rmdir(dir_.c_str()), 0);
  ASSERT_EQ(mkdir(dir_.c_str(), 0700), 0);
}

}  // namespace
