#include <gtest/gtest.h>
#include <unistd.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <filesystem>
#include <fstream>
#include <new>
#include <sstream>
#include <string>

#include "cli/cli.h"
#include "common.h"
#include "files_testing.h"
#include "object.h"
#include "qavlen_testing.h"
#include "tzcheck.h"

namespace fs = std::filesystem;

namespace {

using cli::In_folder;
using cli::read_file;
using cli::write_file;
using qtest::Qavlensdir;
using qtest::stderr_of;

// Lines 1..n as "line k"; `extra` replaces chosen lines.
std::string numbered(int n, const std::map<int, std::string>& extra) {
  std::string text;
  for (int k = 1; k <= n; ++k) {
    auto it = extra.find(k);
    text += it != extra.end() ? it->second : "line " + std::to_string(k);
    text += "\n";
  }
  return text;
}

std::string comments_of(const char* file, int line, const char* prefix = "   ") {
  return qtest::file_text([&](FILE* f) { Print_comments(f, file, line, prefix); });
}

TEST(CommonReports, TheFourShapes) {
  Qavlensdir none(nullptr);
  EXPECT_EQ(stderr_of([] { Eprint(Total_point::parameter_system_class, "bad line\n", 1); }),
            "E : total.cpp : 294 : bad line\n\n");
  EXPECT_EQ(stderr_of([] { Eprint(Element_point::register_nothing, 1); }), "E : element.cpp : 100 : \n");
  EXPECT_EQ(stderr_of([] { Wprint(Element_point::rewind_fixed_not_earlier, "late", 0); }),
            "W : element.cpp : 607 : late\n");
  EXPECT_EQ(stderr_of([] { Wprint(Element_point::renew_fixed_not_earlier, 1); }), "W : element.cpp : 619 : \n");
  EXPECT_EQ(stderr_of([] { Eprint_fopen(Total_point::data_file_cannot_open, "tmorvelan2d.pmt", "r", 1); }),
            "E : total.cpp : 168 : Cannot open file 'tmorvelan2d.pmt' (mode \"r\").\n");
  EXPECT_EQ(stderr_of([] { Eprint_fwrite(Total_point::terminal_state_write_failed, "tmorvelan2d.tst", 1); }),
            "E : total.cpp : 392 : Cannot write file 'tmorvelan2d.tst'.\n");
}

// A round of appending that does not all reach the file is taken off it
// again; a device cannot be cut back, but its failure is told all the same.
TEST(CheckedFiles, AFailedRoundIsCutBackToWhereItBegan) {
  cli::Folder tmp;
  const std::string path = tmp.path() + "/a.txt";
  EXPECT_EXIT(
      {
        std::ofstream(path) << "kept\n";
        off_t start = -1;
        FILE* fp = Open_to_append(path.c_str(), start);
        bool ok = fp && start == 5;
        std::fputs("more\n", fp);
        ok = ok && Close_written(fp, path.c_str(), start);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit small{};
        getrlimit(RLIMIT_FSIZE, &small);
        small.rlim_cur = 4096;
        setrlimit(RLIMIT_FSIZE, &small);
        fp = Open_to_append(path.c_str(), start);
        for (int k = 0; k < 1000; ++k) std::fputs("a line that will not all fit\n", fp);
        ok = ok && start == 10 && !Close_written(fp, path.c_str(), start);
        ok = ok && read_file(path) == "kept\nmore\n";
        fp = Open_to_append("/dev/full", start);
        std::fputs("x\n", fp);
        ok = ok && !Close_written(fp, "/dev/full", start);
        ok = ok && Open_to_append((tmp.path() + "/no/such").c_str(), start) == nullptr;
        std::exit(ok ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(CommonReports, InsufficientMemoryWithTypeAndCount) {
  Qavlensdir none(nullptr);
  struct Case {
    const char* type;
    int count;
    const char* expected;
  } cases[] = {
      {"Node", 12, "E : list.cpp : 26 : Insufficient memory (Node x 12).\n"},
      {"Node", 0, "E : list.cpp : 26 : Insufficient memory (Node).\n"},
      {"Node", -3, "E : list.cpp : 26 : Insufficient memory (Node).\n"},
      {"", 5, "E : list.cpp : 26 : Insufficient memory.\n"},
      {nullptr, 5, "E : list.cpp : 26 : Insufficient memory.\n"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(stderr_of([&] { Eprint_memory(List_point::front_node_memory, c.type, c.count, 0); }), c.expected);
  EXPECT_EQ(stderr_of([] { Eprint_memory(Object_point::name_memory, "char", 7); }),
            "E : object.cpp : 123 : Insufficient memory (char).\n");
  EXPECT_EQ(stderr_of([] { Eprint_memory(Element_point::connections_memory, 0); }),
            "E : element.cpp : 1102 : Insufficient memory.\n");
}

TEST(CommonReports, MemoryFormWithoutCountTakesItsLastArgumentAsTheFlag) {
  Qavlensdir dir(qtest::explain_dir().c_str());
  std::string echo = "    No memory was left for the array of a list's items. The program stops.\n";
  EXPECT_EQ(stderr_of([] { Eprint_memory(List_point::item_array_memory, "void*", 1); }),
            "E : list.cpp : 100 : Insufficient memory (void*).\n" + echo);
  EXPECT_EQ(stderr_of([] { Eprint_memory(List_point::item_array_memory, "void*", 2); }),
            "E : list.cpp : 100 : Insufficient memory (void*).\n");
  EXPECT_EQ(stderr_of([] { Eprint(List_point::item_array_memory, 0); }), "E : list.cpp : 100 : \n");
}

TEST(PrintComments, BlockAtOrAfterTheLineIsEchoedWithThePrefix) {
  cli::Folder tmp;
  write_file(tmp.path() + "/unit.cpp", numbered(40, {{5, "  x = 1;  // first line of the block"},
                                                     {6, "//second"},
                                                     {7, "code // third ends here"},
                                                     {8, "no slashes: the block ends"},
                                                     {9, "// not part of the block"},
                                                     {30, "// far away"}}));
  Qavlensdir none(nullptr);
  In_folder in(tmp.path());
  std::string block = "> first line of the block\n>second\n> third ends here\n";
  EXPECT_EQ(comments_of("unit.cpp", 5, ">"), block);
  // Lines without "//" before the block are passed over, up to 10 of them.
  EXPECT_EQ(comments_of("unit.cpp", 2, ">"), block);
  EXPECT_EQ(comments_of("unit.cpp", 7, ">"), "> third ends here\n");
  EXPECT_EQ(comments_of("unit.cpp", 20, ">"), "> far away\n");  // 10 lines after 20
  EXPECT_EQ(comments_of("unit.cpp", 19, ">"), "");              // 11 lines after 19
  EXPECT_EQ(comments_of("unit.cpp", 31, ">"), "");
  EXPECT_EQ(comments_of("unit.cpp", 400, ">"), "");  // past the end of the file
  EXPECT_EQ(comments_of("missing.cpp", 5, ">"), "");
}

TEST(PrintComments, CommentAtTheEndOfAFileWithoutLineEnd) {
  cli::Folder tmp;
  write_file(tmp.path() + "/unit.cpp", "a\n// last");
  Qavlensdir none(nullptr);
  In_folder in(tmp.path());
  EXPECT_EQ(comments_of("unit.cpp", 1, "-"), "- last");
}

TEST(PrintComments, CurrentDirectoryFirstThenEachQavlensdirEntryInTurn) {
  cli::Folder tmp;
  std::string a = tmp.subfolder("a"), b = tmp.subfolder("b"), here = tmp.subfolder("here"),
              empty = tmp.subfolder("empty");
  write_file(a + "/one.cpp", "// one from a\n");
  write_file(b + "/one.cpp", "// one from b\n");
  write_file(b + "/two.cpp", "// two from b\n");
  write_file(here + "/one.cpp", "// one from here\n");
  {
    In_folder in(here);
    Qavlensdir dirs((a + ";" + b).c_str());
    EXPECT_EQ(comments_of("one.cpp", 1), "    one from here\n");
  }
  In_folder in(empty);
  struct Case {
    std::string value;
    const char* file;
    const char* expected;
  } cases[] = {
      {a + ";" + b, "one.cpp", "    one from a\n"},
      {a + ";" + b, "two.cpp", "    two from b\n"},
      {a + ";;" + b, "two.cpp", ""},  // an empty entry ends the search
      {";" + b, "two.cpp", ""},
      {a + ";", "two.cpp", ""},
      {tmp.path() + "/nowhere;" + b, "two.cpp", "    two from b\n"},
      {b, "three.cpp", ""},
  };
  for (const Case& c : cases) {
    Qavlensdir dirs(c.value.c_str());
    EXPECT_EQ(comments_of(c.file, 1), c.expected) << c.value << " " << c.file;
  }
  Qavlensdir unset(nullptr);
  EXPECT_EQ(comments_of("one.cpp", 1), "");
}

TEST(PrintComments, EntriesOfAnyLength) {
  cli::Folder tmp;
  std::string deep = tmp.path();
  for (int k = 0; k < 8; ++k) deep += "/a-directory-name-of-thirty-two-ch";
  fs::create_directories(deep);
  write_file(deep + "/unit.cpp", "// found\n");
  ASSERT_GT(deep.size(), 255u);
  Qavlensdir dirs(deep.c_str());
  In_folder in(tmp.path());
  EXPECT_EQ(comments_of("unit.cpp", 1), "    found\n");
}

TEST(PrintComments, ReportWithoutAnyExplanationFilePrintsOnlyItsLine) {
  cli::Folder tmp;
  Qavlensdir none(nullptr);
  In_folder in(tmp.path());
  EXPECT_EQ(stderr_of([] { Eprint(Object_point::no_name, 1); }), "E : object.cpp : 109 : \n");
}

// The build's tool that turns the explanation tables into the files the
// reports echo.
const cli::Program kMakeExplanations{std::string(TZ_BINARY_DIR) + "/qavlen/qavlen_make_explanations"};

TEST(ExplanationTables, GeneratedFileHoldsEachBlockAtItsLine) {
  cli::Folder tmp;
  write_file(tmp.path() + "/unit.txt", "# a note\n\n3 First explanation,\n  second line.\n7 Another one.\n");
  cli::check(kMakeExplanations, tmp,
             cli::Case()
                 .args({tmp.path(), tmp.path() + "/unit.txt"})
                 .status(0)
                 .writes("unit.cpp", "\n\n// First explanation,\n// second line.\n\n\n// Another one.\n"));
}

TEST(ExplanationTables, BlocksThatRunIntoTheNextPositionAreRefused) {
  cli::Folder tmp;
  struct Case {
    const char* table;
    const char* message;
  } cases[] = {
      {"3 one\n two\n5 next\n", "unit.txt:1: the explanation at 3 runs into position 5"},
      {"5 one\n3 two\n", "unit.txt:2: positions must increase"},
      {" stray\n", "unit.txt:1: continuation line before the first position"},
      {"x text\n", "unit.txt:1: a line must begin with a position"},
      {"4\n", "unit.txt:1: position without explanation"},
  };
  for (const Case& c : cases) {
    write_file(tmp.path() + "/unit.txt", c.table);
    cli::Result r = cli::run(kMakeExplanations, {tmp.path(), tmp.path() + "/unit.txt"}, tmp.path());
    EXPECT_NE(r.status, 0) << c.table;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  }
}

TEST(MemoryDeathTest, AllocationFailureReportsTheActiveSiteAndExitsWith5) {
  Qavlensdir none(nullptr);
  EXPECT_EQ(std::get_new_handler(), &Memory_site::Out_of_memory);
  Object o("edge", 4);
  EXPECT_EXIT(
      {
        Memory_site outer(List_point::front_node_memory, "Node", 0, 1);
        Memory_site inner(Object_point::name_memory, "char", 0, 9, &o);
        Memory_site::Out_of_memory();
      },
      testing::ExitedWithCode(5), "^E : object\\.cpp : 123 : Insufficient memory \\(char\\)\\.\n    Object edge 4\n$");
  EXPECT_EXIT(Memory_site::Out_of_memory(), testing::ExitedWithCode(5),
              "^E : common\\.cpp : 250 : Insufficient memory\\.\n$");
  // The site ends with its scope.
  EXPECT_EXIT(
      {
        { Memory_site gone(List_point::end_node_memory, "Node", 0, 1); }
        Memory_site::Out_of_memory();
      },
      testing::ExitedWithCode(5), "^E : common\\.cpp : 250 : Insufficient memory\\.\n$");
}

#if !defined(__SANITIZE_ADDRESS__)
TEST(MemoryDeathTest, ARealFailedAllocationReachesTheHandler) {
  Qavlensdir none(nullptr);
  EXPECT_EXIT(
      {
        Memory_site site(List_point::item_array_memory, "void*", 0, 3);
        volatile std::size_t huge = SIZE_MAX / 4;
        char* p = new char[huge];
        p[0] = 0;
        delete[] p;
      },
      testing::ExitedWithCode(5), "^E : list\\.cpp : 100 : Insufficient memory \\(void\\*\\)\\.\n$");
}
#endif

// A stop hook that throws (as a test or fuzz driver installs) lets the
// program go on after a memory report; the next failure is reported too.
struct Memory_stop {
  int status;
};
void throw_memory_stop(int status) { throw Memory_stop{status}; }

TEST(Memory, EveryFailureIsReportedWhenTheStopHookGoesOn) {
  Qavlensdir none(nullptr);
  tz::StopHook old = tz::set_stop_hook(throw_memory_stop);
  std::string err = stderr_of([] {
    for (int k = 0; k < 2; ++k) {
      try {
        Memory_site site(List_point::end_node_memory, "Node", 0, 1);
        Memory_site::Out_of_memory();
      } catch (const Memory_stop& s) {
        EXPECT_EQ(s.status, 5);
      }
    }
    try {
      Memory_site::Out_of_memory();
    } catch (const Memory_stop& s) {
      EXPECT_EQ(s.status, 5);
    }
  });
  tz::set_stop_hook(old);
  EXPECT_EQ(err,
            "E : list.cpp : 42 : Insufficient memory (Node).\n"
            "E : list.cpp : 42 : Insufficient memory (Node).\n"
            "E : common.cpp : 250 : Insufficient memory.\n");
}

TEST(Memory, ReportingSiteHandsTheFailureBackToItsCaller) {
  Qavlensdir none(nullptr);
  bool caught = false;
  std::string err = stderr_of([&] {
    try {
      Memory_site site(Sender_point::comment_memory, "char", 0, 6, nullptr, Memory_failure::report);
      Memory_site::Out_of_memory();
    } catch (const std::bad_alloc&) {
      caught = true;
    }
  });
  EXPECT_TRUE(caught);
  EXPECT_EQ(err, "E : sender.cpp : 163 : Insufficient memory (char).\n");
}

TEST(CommonText, ItoaAndReverse) {
  struct Case {
    int n;
    const char* text;
  } cases[] = {
      {0, "0"}, {7, "7"}, {-7, "-7"}, {1200, "1200"}, {2147483647, "2147483647"}, {-2147483647 - 1, "-2147483648"}};
  for (const Case& c : cases) EXPECT_EQ(itoa(c.n), c.text);
  char s[] = "abcd";
  reverse(s);
  EXPECT_STREQ(s, "dcba");
  char odd[] = "abc";
  reverse(odd);
  EXPECT_STREQ(odd, "cba");
  char none[] = "";
  reverse(none);
  EXPECT_STREQ(none, "");
}

std::string items(const char* buf) {
  std::string out;
  for (const char* p = buf; *p; p += std::strlen(p) + 1) out += std::string("[") + p + "]";
  return out;
}

TEST(CommonText, Str2dstrSplitsWordsAndQuotes) {
  struct Case {
    const char* line;
    const char* words;  // null when the line holds no word
  } cases[] = {
      {"a b\tc\n", "[a][b][c]"},
      {"  lead and trail  \n", "[lead][and][trail]"},
      {"\"two words\" 'and more' x\n", "[two words][and more][x]"},
      {"mid\"quote ok\n", "[mid\"quote][ok]"},
      {"one\nnot read\n", "[one]"},
      {"   \t\n", nullptr},
      {"", nullptr},
  };
  for (const Case& c : cases) {
    std::string line = c.line;
    char buf[64];
    std::memset(buf, 'Z', sizeof buf);
    // The smallest buffer allowed: the cut line's length + 2.
    char* r = str2dstr(&line[0], buf, static_cast<int>(std::strlen(line.c_str()) + 2));
    if (!c.words) {
      EXPECT_EQ(r, nullptr) << c.line;
      continue;
    }
    ASSERT_EQ(r, buf) << c.line;
    EXPECT_EQ(items(buf), c.words) << c.line;
  }
}

TEST(CommonTextDeathTest, Str2dstrRefusesSmallBuffersAndOpenQuotes) {
  Qavlensdir none(nullptr);
  EXPECT_EXIT(
      {
        char line[] = "abc def\n";
        char buf[8];
        str2dstr(line, buf, 8);  // the line is 7 long: 9 bytes are needed
      },
      testing::ExitedWithCode(1), "^E : common\\.cpp : 194 : abc def\n$");
  EXPECT_EXIT(
      {
        char line[] = "ok 'open\n";
        char buf[32];
        str2dstr(line, buf, 32);
      },
      testing::ExitedWithCode(1), "^E : common\\.cpp : 205 : ok 'open\n$");
}

TEST(CommonText, StreamHelpers) {
  std::istringstream in("abc;def");
  ignore(in, ';');
  EXPECT_EQ(in.get(), 'd');

  std::istringstream s("   ,  x");
  skip_white_and_char(s, ',');
  EXPECT_EQ(s.get(), ' ');  // only one ',' and the white space before it
  std::istringstream t(" \n y");
  skip_white_and_char(t, ',');
  EXPECT_EQ(t.get(), 'y');
  std::istringstream u(",,z");
  skip_white_and_char(u, ',');
  EXPECT_EQ(u.get(), ',');

  std::istringstream good("q");
  EXPECT_EQ(pick_char(good), 0);
  EXPECT_EQ(good.get(), 'q');
  std::istringstream failed("12 k");
  int n;
  failed >> n;
  failed.setstate(std::ios::failbit);
  EXPECT_EQ(pick_char(failed), ' ');
  EXPECT_TRUE(failed.good());
}

// The first character of a line, for the framework's line readers, is
// found past its blanks and tabs (tz::IsBlankLine tells their blank lines).
TEST(CommonText, LeadingBlanks) {
  const struct {
    const char* line;
    const char* first;
  } cases[] = {
      {"", ""},        {"\n", "\n"},   {" \t \n", "\n"}, {"  \r\n", "\r\n"}, {"\t", ""},
      {" x\n", "x\n"}, {"#\n", "#\n"}, {"\v\n", "\v\n"}, {" \t{", "{"},
  };
  for (const auto& c : cases) EXPECT_STREQ(Skip_blanks(c.line), c.first) << '"' << c.line << '"';
}

// Words of a file: white space of every kind separates them, and the
// character after a word stays unread.
TEST(CommonText, ReadWordLeavesTheCharacterAfterTheWord) {
  char text[] = "  60 edges.txt\n\t\"a b\"\r\nlast";
  FILE* f = fmemopen(text, std::strlen(text), "r");
  ASSERT_NE(f, nullptr);
  std::string word = "old";
  ASSERT_TRUE(Read_word(f, word));
  EXPECT_EQ(word, "60");
  EXPECT_EQ(std::getc(f), ' ');
  ASSERT_TRUE(Read_word(f, word));
  EXPECT_EQ(word, "edges.txt");
  EXPECT_EQ(std::getc(f), '\n');
  ASSERT_TRUE(Read_word(f, word));
  EXPECT_EQ(word, "\"a");  // no quotes: a word ends at white space
  ASSERT_TRUE(Read_word(f, word));
  EXPECT_EQ(word, "b\"");
  ASSERT_TRUE(Read_word(f, word));
  EXPECT_EQ(word, "last");
  EXPECT_EQ(std::getc(f), EOF);
  EXPECT_FALSE(Read_word(f, word));
  EXPECT_EQ(word, "");
  std::fclose(f);
}

TEST(CommonTextDeathTest, StreamHelpersStopAtTheEnd) {
  Qavlensdir none(nullptr);
  EXPECT_EXIT(
      {
        std::istringstream in("no separator");
        ignore(in, ';');
      },
      testing::ExitedWithCode(1), "^E : common\\.cpp : 225 : \n$");
  EXPECT_EXIT(
      {
        std::istringstream in("");
        in.get();
        pick_char(in);
      },
      testing::ExitedWithCode(1), "^unrecoverable istream state\n$");
}

}  // namespace
