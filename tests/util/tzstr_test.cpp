#include "tzstr.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>

struct TzStringTestAccess {
  static unsigned Siz(const TzString& s) { return s.Siz; }
  static unsigned CalcSiz(unsigned n) { return TzString::CalcSiz(n); }
};

namespace {

unsigned siz(const TzString& s) { return TzStringTestAccess::Siz(s); }
std::string text(const TzString& s) {
  const char* p = s;
  return p ? std::string(p, s.Length()) : std::string("<null>");
}
// Checks the invariants of a string with a text.
void expect_sound(const TzString& s) {
  const char* p = s;
  if (p == nullptr) {
    EXPECT_EQ(s.Length(), 0u);
    EXPECT_EQ(siz(s), 0u);
    return;
  }
  EXPECT_GE(siz(s), s.Length() + 1);
  EXPECT_EQ(siz(s) % 8, 0u);
  EXPECT_EQ(p[s.Length()], '\0');
}

TEST(TzString, AllocationSizeIsTheNextMultipleOfEightAboveTheLength) {
  struct {
    unsigned n, siz;
  } cases[] = {{0, 8}, {7, 8}, {8, 16}, {15, 16}, {16, 24}, {255, 256}, {256, 264}};
  for (auto& c : cases) EXPECT_EQ(TzStringTestAccess::CalcSiz(c.n), c.siz) << c.n;
}

TEST(TzString, ConstructionGivesEmptyStateOrTerminatedCopy) {
  TzString none, blank(""), nul(nullptr), zero(0u, 'x');
  for (const TzString* s : {&none, &blank, &nul, &zero}) {
    EXPECT_EQ(s->Length(), 0u);
    EXPECT_EQ(static_cast<const char*>(*s), nullptr);
    EXPECT_EQ((*s)[0], '\0');
    EXPECT_EQ(siz(*s), 0u);
  }
  TzString abc("abc");
  EXPECT_EQ(text(abc), "abc");
  EXPECT_EQ(siz(abc), 8u);
  EXPECT_EQ(abc[2], 'c');
  EXPECT_EQ(abc[3], '\0');
  EXPECT_EQ(abc[1000], '\0');
  TzString eight(8u, 'z');
  EXPECT_EQ(text(eight), "zzzzzzzz");
  EXPECT_EQ(siz(eight), 16u);
  TzString copy(eight);
  EXPECT_EQ(text(copy), "zzzzzzzz");
  EXPECT_NE(static_cast<const char*>(copy), static_cast<const char*>(eight));
  expect_sound(copy);
}

TEST(TzString, AssignmentCopiesAndSurvivesSelfAssignment) {
  TzString a("hello"), b;
  b = a;
  EXPECT_EQ(text(b), "hello");
  EXPECT_EQ(siz(b), 8u);
  TzString& self = b;
  b = self;
  EXPECT_EQ(text(b), "hello");
  b = TzString();
  EXPECT_EQ(static_cast<const char*>(b), nullptr);
  EXPECT_EQ(siz(b), 0u);
  TzString r = (a = TzString("xy"));
  EXPECT_EQ(text(r), "xy");
  EXPECT_EQ(text(a), "xy");
}

TEST(TzString, AppendingACharacterGrowsOnlyAFullBlock) {
  TzString seven("abcdefg"), six("abcdef"), none;
  TzString a = seven + 'h';
  EXPECT_EQ(text(a), "abcdefgh");
  EXPECT_EQ(siz(a), 16u);
  TzString b = six + 'g';
  EXPECT_EQ(text(b), "abcdefg");
  EXPECT_EQ(siz(b), 8u);
  TzString c = none + 'q';
  EXPECT_EQ(text(c), "q");
  EXPECT_EQ(siz(c), 8u);
  // A string that keeps a larger block after a deletion keeps it here too.
  TzString d("abcdefghij");
  d.Delete(0, 2);
  EXPECT_EQ(siz(d), 16u);
  TzString e = d + 'x';
  EXPECT_EQ(text(e), "cdefghijx");
  EXPECT_EQ(siz(e), 16u);
  for (const TzString* s : {&a, &b, &c, &e}) expect_sound(*s);
}

TEST(TzString, ConcatenationAllocatesExactlyForTheTotal) {
  TzString e1, e2;
  TzString both = e1 + e2;
  EXPECT_EQ(static_cast<const char*>(both), nullptr);
  TzString t = TzString("text") + e1;
  EXPECT_EQ(text(t), "text");
  EXPECT_EQ(siz(t), 8u);
  TzString u = e1 + TzString("abcdefgh");
  EXPECT_EQ(text(u), "abcdefgh");
  EXPECT_EQ(siz(u), 16u);
  TzString v = TzString("abc") + TzString("defgh");
  EXPECT_EQ(text(v), "abcdefgh");
  EXPECT_EQ(siz(v), 16u);
}

TEST(TzString, CompareTable) {
  TzString zeroLen("a");
  zeroLen.Delete(0, 1);  // an allocated text of length 0
  ASSERT_NE(static_cast<const char*>(zeroLen), nullptr);
  EXPECT_STREQ(static_cast<const char*>(zeroLen), "");
  struct Case {
    TzString a, b;
    TzStrCompMode mode;
    TzStrCompVal want;
  } cases[] = {
      {TzString(), TzString(), SM_SENSITIVE, SC_EQUAL},
      {TzString(), TzString("a"), SM_SENSITIVE, SC_LESS},
      {TzString("a"), TzString(), SM_SENSITIVE, SC_GREATER},
      {zeroLen, TzString(), SM_SENSITIVE, SC_GREATER},
      {TzString(), zeroLen, SM_SENSITIVE, SC_LESS},
      {zeroLen, zeroLen, SM_SENSITIVE, SC_EQUAL},
      {zeroLen, TzString("a"), SM_SENSITIVE, SC_LESS},
      {TzString("abc"), TzString("abd"), SM_SENSITIVE, SC_LESS},
      {TzString("abd"), TzString("abc"), SM_SENSITIVE, SC_GREATER},
      {TzString("ab"), TzString("abc"), SM_SENSITIVE, SC_LESS},
      {TzString("abc"), TzString("ab"), SM_SENSITIVE, SC_GREATER},
      {TzString("abc"), TzString("abc"), SM_SENSITIVE, SC_EQUAL},
      {TzString("ABC"), TzString("abc"), SM_IGNORE, SC_EQUAL},
      {TzString("ABC"), TzString("abc"), SM_SENSITIVE, SC_LESS},
      {TzString("\xe9t\xe9"), TzString("A"), SM_SENSITIVE, SC_LESS},
      {TzString("z"), TzString("\x80"), SM_SENSITIVE, SC_GREATER},
      {TzString("\xff"), TzString("\x01"), SM_IGNORE, SC_LESS},
  };
  for (auto& c : cases) EXPECT_EQ(c.a.Compare(c.b, c.mode), c.want) << text(c.a) << " vs " << text(c.b);
}

TEST(TzString, StraightSearchTable) {
  struct Case {
    const char* text;
    const char* pat;
    TzStrCompMode mode;
    TzBoolean found;
    unsigned pos;  // expected when found
  } cases[] = {
      {"hello", "lo", SM_SENSITIVE, 1, 3},    {"hello", "LO", SM_IGNORE, 1, 3},
      {"hello", "LO", SM_SENSITIVE, 0, 0},    {"hello", "xyz", SM_SENSITIVE, 0, 0},
      {"hello", "hello", SM_SENSITIVE, 1, 0}, {"hello", "", SM_SENSITIVE, 1, 0},
      {"", "", SM_SENSITIVE, 1, 0},           {"aaab", "aab", SM_SENSITIVE, 1, 1},
      {"abcabd", "abd", SM_SENSITIVE, 1, 3},  {"HeLLo WoRLD", "world", SM_IGNORE, 1, 6},
  };
  for (auto& c : cases) {
    unsigned pos = 77;
    TzString t(c.text);
    EXPECT_EQ(t.Find(TzString(c.pat), pos, c.mode), c.found) << c.text << " / " << c.pat;
    if (c.found) {
      EXPECT_EQ(pos, c.pos) << c.text << " / " << c.pat;
    }
  }
  unsigned pos = 42;
  EXPECT_EQ(TzString("hi").Find(TzString("high"), pos, SM_SENSITIVE), 0);
  EXPECT_EQ(pos, 42u);  // a pattern longer than the text leaves pos alone
  // A failed search leaves pos at the last start it tried.
  EXPECT_EQ(TzString("hello").Find(TzString("xyz"), pos, SM_SENSITIVE), 0);
  EXPECT_EQ(pos, 2u);
  EXPECT_EQ(TzString("abcab").Find(TzString("abz"), pos, SM_IGNORE), 0);
  EXPECT_EQ(pos, 2u);
}

TEST(TzBoyerMoore, TableHoldsLastPositionsAndOneForTheLastByte) {
  TzBoyerMoore bm(TzString("abcab"));
  EXPECT_EQ(bm.GetPatternLen(), 5u);
  // a: last among the first four at 4 -> 1; b: last byte -> 1; c: at 3 -> 2.
  EXPECT_EQ(bm.GetDelta('a'), 1u);
  EXPECT_EQ(bm.GetDelta('b'), 1u);
  EXPECT_EQ(bm.GetDelta('c'), 2u);
  EXPECT_EQ(bm.GetDelta('z'), 5u);
  EXPECT_EQ(bm.GetDelta('\xff'), 5u);
  EXPECT_EQ(bm[0], 'a');
  EXPECT_EQ(bm[4], 'b');
  EXPECT_EQ(bm[5], '\0');
  TzBoyerMoore copy(bm), other(TzString("x"));
  other = bm;
  for (int c = 0; c < 256; ++c) {
    EXPECT_EQ(copy.GetDelta(static_cast<char>(c)), bm.GetDelta(static_cast<char>(c)));
    EXPECT_EQ(other.GetDelta(static_cast<char>(c)), bm.GetDelta(static_cast<char>(c)));
  }
}

TEST(TzBoyerMoore, SearchAgreesWithTheStraightSearch) {
  const char* texts[] = {"",
                         "a",
                         "hello",
                         "abcabcabd",
                         "aaaaaaaab",
                         "xxabxxabcabyy",
                         "mississippi",
                         "the quick brown fox jumps over the lazy dog",
                         "abababababac"};
  const char* pats[] = {"a",   "lo", "abd",  "aab",    "abcab", "ssi",         "issip", "dog",
                        "the", "zz", "abac", "ababac", "babac", "mississippi", "xabc"};
  for (const char* t : texts)
    for (const char* p : pats) {
      TzString text(t), pat(p);
      unsigned want = 0, got = 0;
      TzBoolean f1 = text.Find(pat, want, SM_SENSITIVE);
      TzBoolean f2 = text.Find(TzBoyerMoore(pat), got);
      EXPECT_EQ(f2, f1) << t << " / " << p;
      if (f1 && f2) {
        EXPECT_EQ(got, want) << t << " / " << p;
      }
    }
  unsigned pos = 9;
  EXPECT_EQ(TzString("abc").Find(TzBoyerMoore(TzString()), pos), 1);
  EXPECT_EQ(pos, 0u);
}

TEST(TzString, DeleteGivesMemoryBackOnlyWhenMoreThanEightBytesStaySpare) {
  TzString a("abcdefghij");
  ASSERT_EQ(siz(a), 16u);
  a.Delete(1, 1);
  EXPECT_EQ(text(a), "acdefghij");
  EXPECT_EQ(siz(a), 16u);
  TzString b("abcdefgh");
  ASSERT_EQ(siz(b), 16u);
  b.Delete(1, 2);
  EXPECT_EQ(text(b), "adefgh");
  EXPECT_EQ(siz(b), 8u);
  TzString c("abc");
  c.Delete(0, 3);
  EXPECT_STREQ(static_cast<const char*>(c), "");
  EXPECT_EQ(c.Length(), 0u);
  TzString e;
  e.Delete(5, 5);  // nothing for the empty state
  EXPECT_EQ(static_cast<const char*>(e), nullptr);
  TzString f("abc");
  f.Delete(3, 0);
  EXPECT_EQ(text(f), "abc");
  for (const TzString* s : {&a, &b, &c, &f}) expect_sound(*s);
}

TEST(TzString, InsertTable) {
  TzString a("abcd");
  a.Insert(1, TzString("XY"));
  EXPECT_EQ(text(a), "aXYbcd");
  EXPECT_EQ(siz(a), 8u);
  // Block of 8 holding 6 characters: 2 more fit the length but not the terminator.
  TzString b("abcdef");
  b.Insert(6, TzString("gh"));
  EXPECT_EQ(text(b), "abcdefgh");
  EXPECT_EQ(siz(b), 16u);
  TzString c("abcdefg");  // full block
  c.Insert(0, '_');
  EXPECT_EQ(text(c), "_abcdefg");
  EXPECT_EQ(siz(c), 16u);
  TzString d("abc");
  d.Insert(3, '!');
  EXPECT_EQ(text(d), "abc!");
  EXPECT_EQ(siz(d), 8u);
  TzString e;
  e.Insert(0, 'q');
  EXPECT_EQ(text(e), "q");
  TzString f;
  f.Insert(0, TzString("copy"));
  EXPECT_EQ(text(f), "copy");
  TzString g("abc");
  g.Insert(99, TzString());  // an empty insertion checks nothing
  EXPECT_EQ(text(g), "abc");
  TzString h("ab");
  h.Insert(1, h);
  EXPECT_EQ(text(h), "aabb");
  for (const TzString* s : {&a, &b, &c, &d, &e, &f, &h}) expect_sound(*s);
}

TEST(TzString, ExtractionAndCase) {
  TzString s("Hello World");
  EXPECT_EQ(text(s.Cut(6, 5)), "World");
  EXPECT_EQ(siz(s.Cut(6, 5)), 8u);
  EXPECT_EQ(static_cast<const char*>(s.Cut(11, 0)), nullptr);
  EXPECT_EQ(static_cast<const char*>(s.Cut(3, 0)), nullptr);
  EXPECT_EQ(text(s.CutHead(5)), "Hello");
  EXPECT_EQ(text(s.CutTail(5)), "World");
  EXPECT_EQ(static_cast<const char*>(s.CutHead(0)), nullptr);
  EXPECT_EQ(text(s.CutTail(11)), "Hello World");
  EXPECT_EQ(text(s.AsUpper()), "HELLO WORLD");
  EXPECT_EQ(text(s.AsLower()), "hello world");
  EXPECT_EQ(text(s), "Hello World");
  s.ToUpper();
  EXPECT_EQ(text(s), "HELLO WORLD");
  TzString none;
  none.ToLower();
  EXPECT_EQ(static_cast<const char*>(none.AsUpper()), nullptr);
  char buf[] = "MiXeD \xe9";
  EXPECT_EQ(s.Strlwr(buf), buf);
  EXPECT_STREQ(buf, "mixed \xe9");
}

TEST(TzStringDeathTest, RangesBeyondTheStringAreBrokenInvariants) {
  TzString s("abc");
  EXPECT_DEATH(s.Cut(2, 2), "tzstr\\.cpp:[0-9]+: Assertion `!\\(\\(start \\+ count\\) > Len\\)' failed");
  // A count that would wrap the sum still fails.
  EXPECT_DEATH(s.Cut(1, 0xFFFFFFFFu), "Assertion `!\\(\\(start \\+ count\\) > Len\\)' failed");
  EXPECT_DEATH(s.CutHead(4), "Assertion `!\\(count > Len\\)' failed");
  EXPECT_DEATH(s.CutTail(4), "Assertion `!\\(count > Len\\)' failed");
  EXPECT_DEATH(s.Insert(4, 'x'), "Assertion `!\\(pos > Len\\)' failed");
  EXPECT_DEATH(s.Insert(4, TzString("x")), "Assertion `!\\(pos > Len\\)' failed");
  EXPECT_DEATH(s.Delete(2, 2), "Assertion `count <= Len && pos <= Len - count' failed");
  EXPECT_DEATH(s.Delete(2, 0xFFFFFFFFu), "Assertion `count <= Len && pos <= Len - count' failed");
}

TEST(TzString, StreamConversionsTakeTheWholeText) {
  std::stringstream ss;
  ss << "x = " << 42;
  TzString a(ss);
  EXPECT_EQ(text(a), "x = 42");
  std::stringstream empty;
  TzString b("old");
  b = empty;
  EXPECT_EQ(static_cast<const char*>(b), nullptr);
}

// getline over a stream: the strings read, with the stream state after each.
TEST(TzStringGetline, LinesEmptyLinesAndTheLastLine) {
  std::istringstream is("abc\n\ndef");
  TzString line("stale");
  EXPECT_TRUE(static_cast<bool>(getline(is, line, '\n')));
  EXPECT_EQ(text(line), "abc");
  EXPECT_FALSE(static_cast<bool>(getline(is, line, '\n')));
  EXPECT_EQ(static_cast<const char*>(line), nullptr);
  EXPECT_FALSE(is.eof());
  EXPECT_EQ(is.rdbuf()->sgetc(), '\n');  // the delimiter stays unread
  is.clear();
  is.get();
  EXPECT_FALSE(static_cast<bool>(getline(is, line, '\n')));
  EXPECT_EQ(text(line), "def");  // delivered, but the call reports failure
  EXPECT_TRUE(is.eof());
  EXPECT_FALSE(static_cast<bool>(getline(is, line, '\n')));  // a failed stream: the line is emptied
  EXPECT_EQ(static_cast<const char*>(line), nullptr);
}

TEST(TzStringGetline, LongLinesArriveWholeInChunks) {
  for (unsigned n : {254u, 255u, 256u, 510u, 511u, 1000u}) {
    std::string want(n, 'x');
    want[0] = 'a';
    want[n - 1] = 'z';
    std::istringstream is(want + ";rest;");
    TzString line;
    ASSERT_TRUE(static_cast<bool>(getline(is, line, ';'))) << n;
    EXPECT_EQ(text(line), want);
    EXPECT_EQ(siz(line), TzStringTestAccess::CalcSiz(n));
    ASSERT_TRUE(static_cast<bool>(getline(is, line, ';')));
    EXPECT_EQ(text(line), "rest");
  }
}

TEST(TzStringExtract, WordsQuotesAndTheEnd) {
  std::istringstream is("  first \t\"two words\"x 'it\"s\nme' last");
  TzString w;
  EXPECT_TRUE(static_cast<bool>(is >> w));
  EXPECT_EQ(text(w), "first");
  EXPECT_EQ(is.rdbuf()->sgetc(), ' ');  // the ending blank is put back
  EXPECT_TRUE(static_cast<bool>(is >> w));
  EXPECT_EQ(text(w), "two words");
  EXPECT_EQ(is.rdbuf()->sgetc(), 'x');  // nothing after the closing quote is read
  EXPECT_TRUE(static_cast<bool>(is >> w));
  EXPECT_EQ(text(w), "x");
  EXPECT_TRUE(static_cast<bool>(is >> w));
  EXPECT_EQ(text(w), "it\"s\nme");  // the other kind of quote and a newline, verbatim
  EXPECT_TRUE(static_cast<bool>(is >> w));
  EXPECT_EQ(text(w), "last");  // the end of input ends the word: success
  EXPECT_TRUE(is.good());
  EXPECT_FALSE(static_cast<bool>(is >> w));
  EXPECT_EQ(static_cast<const char*>(w), nullptr);
  EXPECT_TRUE(is.eof());
  w = TzString("x");
  EXPECT_FALSE(static_cast<bool>(is >> w));  // an already failed stream
  EXPECT_EQ(static_cast<const char*>(w), nullptr);
}

TEST(TzStringExtract, EmptyQuotedWordIsTheEmptyString) {
  std::istringstream is("\"\" x");
  TzString w("old");
  EXPECT_TRUE(static_cast<bool>(is >> w));
  EXPECT_EQ(static_cast<const char*>(w), nullptr);
}

TEST(TzStringExtractDeathTest, WordLimitIs256Characters) {
  std::string w256(256, 'w');
  std::istringstream ok(w256 + " next");
  TzString w;
  ok >> w;
  EXPECT_EQ(text(w), w256);
  std::istringstream quoted("'" + w256 + "'");
  quoted >> w;
  EXPECT_EQ(text(w), w256);
  EXPECT_EXIT(
      {
        std::istringstream is(w256 + "x");
        is >> w;
      },
      testing::KilledBySignal(SIGABRT), "^Error occured in file: tzstr, at line: [0-9]+\n$");
  EXPECT_EXIT(
      {
        std::istringstream is("\"" + w256 + "x\"");
        is >> w;
      },
      testing::KilledBySignal(SIGABRT), "^Error occured in file: tzstr, at line: [0-9]+\n$");
  EXPECT_DEATH(
      {
        std::istringstream is("'unterminated words");
        is >> w;
      },
      "tzstr\\.cpp:[0-9]+: Assertion `c == cmt' failed");
}

// The prompt readers, with a given standard input.
class PromptReaders : public testing::Test {
 protected:
  void feed(const std::string& input) {
    in_.str(input);
    in_.clear();
    old_ = std::cin.rdbuf(in_.rdbuf());
    std::cin.clear();
  }
  void TearDown() override {
    if (old_) std::cin.rdbuf(old_);
    std::cin.clear();
  }
  std::istringstream in_;
  std::streambuf* old_ = nullptr;
};

TEST_F(PromptReaders, ReadTheStartOfEachAnswerLine) {
  feed("42 apples\n-2.5e3\n'my file.dat' rest\n7");
  testing::internal::CaptureStderr();
  EXPECT_EQ(read_int("count : "), 42);
  EXPECT_DOUBLE_EQ(read_double("value : "), -2500.0);
  EXPECT_EQ(text(read_string("name : ")), "my file.dat");
  EXPECT_EQ(read_int("last : "), 7);  // a last line without a line end
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "count : value : name : last : ");
}

TEST_F(PromptReaders, NonNumberGivesZero) {
  feed("abc\nx\n");
  EXPECT_EQ(read_int(""), 0);
  EXPECT_EQ(read_double(""), 0.0);
}

TEST_F(PromptReaders, MissingOrEmptyAnswerIsFatal) {
  const char* fatal = "Error occured in file: tzstr, at line: [0-9]+\n$";
  feed("\n");
  EXPECT_EXIT(read_int("n : "), testing::KilledBySignal(SIGABRT), std::string("^n : ") + fatal);
  EXPECT_EXIT(read_double("x : "), testing::KilledBySignal(SIGABRT), fatal);
  EXPECT_EXIT(read_string("s : "), testing::KilledBySignal(SIGABRT), fatal);
  feed("");
  EXPECT_EXIT(read_int("n : "), testing::KilledBySignal(SIGABRT), fatal);
  EXPECT_EXIT(read_string("s : "), testing::KilledBySignal(SIGABRT), fatal);
}

}  // namespace
