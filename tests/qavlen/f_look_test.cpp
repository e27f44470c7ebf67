#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "f_look.h"
#include "qavlen_testing.h"

namespace {

using qtest::Qavlensdir;
using qtest::stderr_of;

// A seekable stream holding `text`, positioned at its start.
class Text_stream {
 public:
  explicit Text_stream(const std::string& text) : fp_(std::tmpfile()) {
    std::fwrite(text.data(), 1, text.size(), fp_);
    std::rewind(fp_);
  }
  ~Text_stream() { std::fclose(fp_); }
  FILE* get() const { return fp_; }
  // What is left after the current position.
  std::string rest() {
    std::string out;
    int ch;
    while ((ch = std::getc(fp_)) != EOF) out += static_cast<char>(ch);
    return out;
  }

 private:
  FILE* fp_;
};

std::string data_of(const char* s, int n) { return std::string(s, static_cast<std::size_t>(n)); }

// Runs Make_data_string on a stream whose first character is read as the
// current one, with the framework's special characters.
struct Block_result {
  int ok;
  std::string data;  // the data string, NULs included
  int length;
  int current;
  std::string rest;
  std::string err;
};

Block_result read_block(const std::string& input) {
  Text_stream s(input);
  Block_result r{};
  int c = std::getc(s.get());
  char* str = reinterpret_cast<char*>(1);
  int length = -1;
  r.err = stderr_of([&] { r.ok = Make_data_string("blocks.dat", s.get(), c, str, length, '(', ')', '#', '\\'); });
  if (str) r.data = data_of(str, length);
  delete[] str;
  r.length = length;
  r.current = c;
  r.rest = s.rest();
  return r;
}

std::string nul(const char* s) { return std::string(s) + '\0'; }

TEST(MakeDataString, BlocksDeliverTheirItems) {
  const std::string end(1, '\0');
  struct Case {
    const char* input;
    std::string items;  // the data string, NULs included
  } cases[] = {
      // Single form: the raw text between the brackets, blanks included.
      {"( abc )", nul(" abc ")},
      {"()", end},
      {"(\nabc)", nul("\nabc")},  // a leading line end stays
      {"(a # not a comment\n b)", nul("a # not a comment\n b")},
      {"(3.25)", nul("3.25")},
      // Nested form: one item per inner pair and an empty end item.
      {"((1) # between\n (2))", nul("1") + nul("2") + end},
      {"(())", end + end},
      {"((\nx))", nul("\nx") + end},
      {"(  \n # before\n  (x) (y))", nul("x") + nul("y") + end},
      {"((1)\\\n(2))", nul("1") + nul("2") + end},  // continued line between items
      {"((0) (2)\n\n  (100)\n  (1.5) )", nul("0") + nul("2") + nul("100") + nul("1.5") + end},
      // Continuation: escaped brackets, joined lines, an ordinary backslash.
      {"(a\\(b\\)c)", nul("a(b)c")},
      {"((a\\)) (\\(b))", nul("a)") + nul("(b") + end},
      {"(a\\\nb)", nul("ab")},
      {"(a\\b)", nul("a\\b")},
      {"(a\\\\(x)", nul("a\\(x")},  // only the last backslash acts
      {"(a\\\\\nb)", nul("a\\b")},  // the second backslash joins the lines
  };
  for (const Case& k : cases) {
    Block_result r = read_block(std::string(k.input) + " rest");
    EXPECT_EQ(r.ok, 1) << k.input;
    EXPECT_EQ(r.data, k.items) << k.input;
    EXPECT_EQ(r.length, static_cast<int>(k.items.size())) << k.input;
    // The closing bracket is the current character; the rest is unread.
    EXPECT_EQ(r.current, ')') << k.input;
    EXPECT_EQ(r.rest, " rest") << k.input;
    EXPECT_EQ(r.err, "") << k.input;
  }
}

TEST(MakeDataString, MalformedBlocksAreRefusedWithTheirLine) {
  struct Case {
    const char* input;
    int line;
  } cases[] = {
      {"(", 1},  // the end before any content
      {"(  \n  ", 2},
      {"(abc", 1},  // no closing bracket
      {"(\n\nabc", 3},
      {"(((x)))", 1},         // a third opening bracket
      {"(( (x)))", 1},        // an item beginning with a bracket
      {"(a(b))", 1},          // a bracket inside a single item
      {"( # (x)\n abc)", 1},  // a single item is raw: the comment is in it
      {"((1) x (2))", 1},     // text between items
      {"((1)\n\n(2)", 3},     // the end between items
      {"((1) # c", 1},
      {"((1) \\ (2))", 1},  // a backslash not before a line end
      {"(a\\", 1},
      {"x(a)", 1},  // not at an opening bracket
  };
  for (const Case& k : cases) {
    Block_result r = read_block(k.input);
    EXPECT_EQ(r.ok, 0) << k.input;
    EXPECT_EQ(r.data, "") << k.input;
    EXPECT_EQ(r.length, 0) << k.input;
    EXPECT_EQ(r.err, "\tAt blocks.dat : " + std::to_string(k.line) + "\n") << k.input;
  }
}

TEST(MakeDataString, SpecialCharactersMustDiffer) {
  Qavlensdir dir(qtest::explain_dir().c_str());
  const int sets[][4] = {{'(', '(', '#', '\\'}, {'(', ')', '(', '\\'}, {'(', ')', '#', '#'}, {'[', ']', ']', '\\'}};
  for (const auto& s : sets) {
    Text_stream in("(abc)");
    int c = std::getc(in.get());
    char marker = 'm';
    char* str = &marker;
    int length = 42;
    int ok = 1;
    std::string err = stderr_of([&] { ok = Make_data_string("f", in.get(), c, str, length, s[0], s[1], s[2], s[3]); });
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(str, &marker);
    EXPECT_EQ(length, 42);
    EXPECT_EQ(c, '(');
    EXPECT_EQ(err,
              "E : f_look.cpp : 70 : \n"
              "    The opening bracket, the closing bracket, the comment character and the\n"
              "    continuation character given to the data block reader must all differ.\n"
              "    No block was read.\n");
  }
}

TEST(MakeDataString, OtherSpecialCharacters) {
  Text_stream in("[ [a!]] % (\n [b] ] tail");
  int c = std::getc(in.get());
  char* str = nullptr;
  int length = 0;
  ASSERT_EQ(Make_data_string("f", in.get(), c, str, length, '[', ']', '%', '!'), 1);
  EXPECT_EQ(data_of(str, length), nul("a]") + nul("b") + std::string(1, '\0'));
  delete[] str;
  EXPECT_EQ(in.rest(), " tail");
}

// A block far larger than the buffer's first size is read whole (the
// buffer grows as it goes).
TEST(MakeDataString, LargeBlocks) {
  std::string input = "(";
  std::string expected;
  for (int k = 0; k < 20000; ++k) {
    std::string item = "(" + std::to_string(k * 0.5) + ")\n";
    input += item;
    expected += nul(std::to_string(k * 0.5).c_str());
  }
  input += ")";
  expected += '\0';
  Block_result r = read_block(input);
  ASSERT_EQ(r.ok, 1);
  EXPECT_EQ(r.data, expected);
  std::string big(300000, 'x');
  r = read_block("(" + big + ")");
  ASSERT_EQ(r.ok, 1);
  EXPECT_EQ(r.data, nul(big.c_str()));
}

TEST(PassWhitesAndComments, StopsAtTheFirstOtherCharacter) {
  struct Case {
    const char* input;
    int comment;
    int stop;  // the current character afterwards
    const char* rest;
  } cases[] = {
      {"  \t\n# one\n  # two\n\tx y", '#', 'x', " y"},
      {"  # c\nx", 0, '#', " c\nx"},  // no comment character
      {"\r x", '#', '\r', " x"},      // a carriage return is no white space
      {"x", '#', 'x', ""},
      {"   ", '#', EOF, ""},
      {" # to the end", '#', EOF, ""},
      {" ; c\n;\nz", ';', 'z', ""},
  };
  for (const Case& k : cases) {
    Text_stream in(k.input);
    int c = std::getc(in.get());
    EXPECT_EQ(Pass_whites_and_comments(in.get(), c, k.comment), 1) << k.input;
    EXPECT_EQ(c, k.stop) << k.input;
    EXPECT_EQ(in.rest(), k.rest) << k.input;
  }
}

TEST(PassWhitesAndComments, UnusableCommentCharactersAreRefused) {
  Qavlensdir dir(qtest::explain_dir().c_str());
  for (int comment : {int{' '}, int{'\t'}, int{'\n'}, EOF}) {
    Text_stream in("  x");
    int c = std::getc(in.get());
    int ok = 1;
    std::string err = stderr_of([&] { ok = Pass_whites_and_comments(in.get(), c, comment); });
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(c, ' ');  // nothing skipped
    EXPECT_EQ(in.rest(), " x");
    EXPECT_EQ(err,
              "E : f_look.cpp : 25 : \n"
              "    The comment character given to the scanner is a blank, a tab, a line end\n"
              "    or the end of the file: it would swallow the text it should separate.\n"
              "    Nothing was skipped.\n");
  }
}

TEST(GetLineNumber, CountsTheLineOfTheLastCharacterRead) {
  EXPECT_EQ(Get_line_number(nullptr), 0);
  Text_stream in("a\nbc\n\nd");
  // Line of each character as it is read; a line end belongs to its line.
  const int lines[] = {1, 1, 2, 2, 2, 3, 4, 4};
  for (int expected : lines) {
    std::getc(in.get());
    long here = std::ftell(in.get());
    EXPECT_EQ(Get_line_number(in.get()), expected);
    EXPECT_EQ(std::ftell(in.get()), here);  // position restored
  }
}

TEST(GetString, ReadsOneWord) {
  struct Case {
    const char* input;
    int ok;
    const char* word;
    int stop;
    const char* rest;
  } cases[] = {
      {"  abc def", 1, "abc", ' ', "def"}, {"\n\tabc\tdef", 1, "abc", '\t', "def"},
      {"abc\ndef", 1, "abc", '\n', "def"}, {"abc", 1, "abc", EOF, ""},
      {"ab\\\ncd e", 1, "abcd", ' ', "e"},  // continued line
      {"ab\\cd e", 1, "ab\\cd", ' ', "e"},  // an ordinary backslash
      {"ab\\", 1, "ab\\", EOF, ""},        {"ab\\\\\ncd", 1, "ab\\cd", EOF, ""},
      {"\\\n x", 1, "", ' ', "x"},  // an empty word
      {"x\r\ny", 1, "x\r", '\n', "y"},     {"Element(", 1, "Element(", EOF, ""},
      {"   \n ", 0, nullptr, EOF, ""},     {"", 0, nullptr, EOF, ""},
  };
  for (const Case& k : cases) {
    Text_stream in(k.input);
    int c = std::getc(in.get());
    char* word = reinterpret_cast<char*>(1);
    EXPECT_EQ(Get_string(in.get(), c, word, '\\'), k.ok) << k.input;
    if (k.word) {
      ASSERT_NE(word, nullptr) << k.input;
      EXPECT_STREQ(word, k.word) << k.input;
    } else {
      EXPECT_EQ(word, nullptr) << k.input;
    }
    delete[] word;
    EXPECT_EQ(c, k.stop) << k.input;
    EXPECT_EQ(in.rest(), k.rest) << k.input;
  }
}

TEST(GetString, LongWord) {
  std::string w(5000, 'w');
  Text_stream in(w + " next");
  int c = std::getc(in.get());
  char* word = nullptr;
  ASSERT_EQ(Get_string(in.get(), c, word, '\\'), 1);
  EXPECT_EQ(std::string(word), w);
  delete[] word;
}

std::vector<std::string> words_of(char** strs, int n) {
  std::vector<std::string> out;
  for (int k = 0; k < n; ++k) {
    out.push_back(strs[k] ? strs[k] : "<null>");
    delete[] strs[k];
  }
  delete[] strs;
  return out;
}

TEST(GetStrings, ReadsAHeader) {
  struct Case {
    const char* input;
    int n;
    int got;
    std::vector<std::string> words;
    int stop;
  } cases[] = {
      {"Element e1 3 (\n", 3, 3, {"Element", "e1", "3"}, ' '},
      {"Total_system # comment\n sys\t0\n{", 3, 3, {"Total_system", "sys", "0"}, '\n'},
      {"Total_system\\\n_b sys", 3, 2, {"Total_system_b", "sys", "<null>"}, EOF},
      {"# only a comment\n", 3, 0, {"<null>", "<null>", "<null>"}, EOF},
      {"a b c d", 2, 2, {"a", "b"}, ' '},
  };
  for (const Case& k : cases) {
    Text_stream in(k.input);
    int c = std::getc(in.get());
    char** strs = nullptr;
    EXPECT_EQ(Get_strings(in.get(), c, strs, k.n, '#', '\\'), k.got) << k.input;
    ASSERT_NE(strs, nullptr);
    EXPECT_EQ(words_of(strs, k.n), k.words) << k.input;
    EXPECT_EQ(c, k.stop) << k.input;
  }
  Text_stream in("a b");
  int c = std::getc(in.get());
  char** strs = reinterpret_cast<char**>(1);
  EXPECT_EQ(Get_strings(in.get(), c, strs, 0, '#', '\\'), 0);
  EXPECT_EQ(strs, nullptr);
}

}  // namespace
