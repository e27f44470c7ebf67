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

TEST_F(DataFileOpenDeathTest, AFileEndingInsideAQuotedStretchStops) {
  Write("a 'open # quote\nnever closed\n");
  EXPECT_DEATH(dataFileOpen(Path().c_str()), "^dfopen\\.cpp:[0-9]+: Assertion `c != EOF' failed\\.\n$");
  Write("\"");
  EXPECT_DEATH(dataFileOpen(Path().c_str()), "Assertion `c != EOF' failed");
  // In a comment a quote opens nothing.
  EXPECT_EQ(Copy("a # 'x\n"), "a \n");
}

TEST_F(DataFileOpenDeathTest, NoRoomForTheTemporaryFileEndsTheProgramWithStatusOne) {
  Write("a 1\n");
  EXPECT_EXIT(
      OpenWithOneDescriptorLeft(Path()),
      ::testing::ExitedWithCode(1), "^Cannot open \\[tmpfile\\]\\.\n$");
  // A copy cut short by a full disk is never handed to a reader.
  std::string big(100000, 'x');
  Write(big);
  EXPECT_EXIT(
      OpenWithFileSizeLimit(Path(), 10000),
      ::testing::ExitedWithCode(1), "^Cannot open \\[tmpfile\\]\\.\n$");
}

}  // namespace
