#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <stdexcept>

#include "tzcheck.h"
#include "tzdefs.h"

namespace {

int g_reads = 0;
int read_once() { return ++g_reads; }

TEST(TzCheck, PassingCheckEvaluatesItsConditionOnce) {
  g_reads = 0;
  TZ_CHECK(read_once() == 1, "unit.cpp");
  EXPECT_EQ(g_reads, 1);
}

TEST(TzCheckDeathTest, FailedCheckReportsConditionUnitAndLineAndAborts) {
  const int tmp = 3;
  EXPECT_DEATH(TZ_CHECK_AT(tmp == 1 || tmp == 2, "morvelan2d-1.cpp", 42),
               "^morvelan2d-1\\.cpp:42: Assertion `tmp == 1 \\|\\| tmp == 2' failed\\.\n$");
}

// The condition as written in the source: names of macros in it are not
// expanded, string literals keep their quotes, blanks between its tokens
// are one blank. The other form reports its fixed text instead.
TEST(TzCheckDeathTest, CheckReportsItsConditionAsWrittenOrItsFixedText) {
  unsigned n = UINT_MAX;
  int read = 0;
  EXPECT_DEATH(TZ_CHECK(n <   UINT_MAX, "tzstr.cpp"), "^tzstr\\.cpp:[0-9]+: Assertion `n < UINT_MAX' failed\\.\n$");
  EXPECT_DEATH(TZ_CHECK(std::sscanf("x", "%d",
                                    &read) == 1, "kinem.cpp"),
               "^kinem\\.cpp:[0-9]+: Assertion `std::sscanf\\(\"x\", \"%d\", &read\\) == 1' failed\\.\n$");
  const char* Txt = nullptr;
  EXPECT_DEATH(TZ_CHECK_TEXT(Txt != nullptr, "tzstr.cpp", "Txt != NULL"),
               "^tzstr\\.cpp:[0-9]+: Assertion `Txt != NULL' failed\\.\n$");
  EXPECT_DEATH(TZ_CHECK_TEXT_AT(Txt != nullptr, "tzslist.cpp", 94, "result != NULL"),
               "^tzslist\\.cpp:94: Assertion `result != NULL' failed\\.\n$");
}

TEST(TzCheckDeathTest, CheckUsesItsOwnLine) {
  const int t1 = 2, t2 = 1;
  int line = __LINE__ + 1;
  EXPECT_DEATH(TZ_CHECK(t1 <= t2, "p_tmp.cpp"),
               "p_tmp\\.cpp:" + std::to_string(line) + ": Assertion `t1 <= t2' failed");
}

TEST(TzCheckDeathTest, StopExitsWithItsStatus) {
  EXPECT_EXIT(tz::stop(3), ::testing::ExitedWithCode(3), "");
}

struct Stopped {
  int status;
};
void throwing_hook(int status) { throw Stopped{status}; }

TEST(TzCheck, HookTurnsStopsIntoExceptions) {
  tz::StopHook old = tz::set_stop_hook(throwing_hook);
  try {
    tz::stop(5);
    FAIL() << "stop returned";
  } catch (const Stopped& s) {
    EXPECT_EQ(s.status, 5);
  }
  testing::internal::CaptureStderr();
  try {
    const char* Txt = nullptr;
    TZ_CHECK_TEXT(Txt != nullptr, "tzstr", "Txt != NULL");
    FAIL() << "check returned";
  } catch (const Stopped& s) {
    EXPECT_EQ(s.status, -1);
  }
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Assertion `Txt != NULL' failed."),
            std::string::npos);
  tz::set_stop_hook(old);
}

TEST(TzDefs, SystemLongIs32BitAndTimeSumsSaturate) {
  EXPECT_EQ(sizeof(Long), 4u);
  EXPECT_EQ(LONG_MIN32, -2147483647 - 1);
  EXPECT_EQ(time_add(LONG_MAX32, 1), LONG_MAX32);
  EXPECT_EQ(time_add(LONG_MAX32 - 10, 100), LONG_MAX32);
  EXPECT_EQ(time_add(100, 30), 130);
  EXPECT_EQ(time_add(LONG_MIN32, -1), LONG_MIN32);
}

}  // namespace

namespace {
TEST(TzDefs, TzLongIsADistinct32BitIntegerType) {
  static_assert(!std::is_same<TzLong, Long>::value, "distinct from int");
  TzLong a = 7, b = 2;
  EXPECT_EQ(a / b, 3);
  EXPECT_EQ(a - b * 4, -1);
  TzLong big = LONG_MAX32;
  big += 1;  // wraps through the unsigned type, no undefined behaviour
  EXPECT_EQ(static_cast<Long>(big), LONG_MIN32);
  TzLong small = LONG_MIN32;
  small -= 1;
  EXPECT_EQ(static_cast<Long>(small), LONG_MAX32);
}
}  // namespace

namespace {
TEST(TzCheckDeathTest, LibraryErrorLineNamesTheBareUnitAndAborts) {
  EXPECT_DEATH(tz::error_line("tzgrid", 123), "^Error occured in file: tzgrid, at line: 123\n$");
}
}  // namespace

namespace {

// A context that names a record by its number, read at the failure.
class RecordNamed : public tz::CheckContext {
 public:
  explicit RecordNamed(const int& record) : record_(record) {}
  void Print(std::FILE* err) const override { std::fprintf(err, "record %d\n", record_); }

 private:
  const int& record_;
};

// A check failing inside a nested context, after the inner one has ended,
// and after both have ended.
void FailInside() {
  int outer = 1;
  RecordNamed a(outer);
  int inner = 0;
  RecordNamed b(inner);
  inner = 7;
  const int x = 0;
  TZ_CHECK_AT(x > 0, "unit.cpp", 5);
}
void FailAfterTheInner() {
  int outer = 1;
  RecordNamed a(outer);
  { RecordNamed b(outer); }
  const bool y = false;
  TZ_CHECK_AT(y, "unit.cpp", 6);
}
void FailAfterBoth() {
  int outer = 1;
  { RecordNamed a(outer); }
  const bool z = false;
  TZ_CHECK_AT(z, "unit.cpp", 7);
}

TEST(TzCheckDeathTest, FailedCheckFirstPrintsTheInnermostContextAsItIsThen) {
  EXPECT_DEATH(FailInside(), "^record 7\nunit\\.cpp:5: Assertion `x > 0' failed\\.\n$");
  EXPECT_DEATH(FailAfterTheInner(), "^record 1\nunit\\.cpp:6: Assertion `y' failed\\.\n$");
  EXPECT_DEATH(FailAfterBoth(), "^unit\\.cpp:7: Assertion `z' failed\\.\n$");
}

TEST(TzCheckDeathTest, CheckFailedExitReportsLikeACheckAndExitsWithTheStatus) {
  EXPECT_EXIT(
      {
        int record = 3;
        RecordNamed a(record);
        tz::check_failed_exit("dfopen.cpp", 50, "c != EOF", 1);
      },
      ::testing::ExitedWithCode(1), "^record 3\ndfopen\\.cpp:50: Assertion `c != EOF' failed\\.\n$");
}

TEST(TzCheck, AContextEndsWithItsScopeWhenAStopIsThrownThroughIt) {
  tz::StopHook old = tz::set_stop_hook(throwing_hook);
  int record = 4;
  testing::internal::CaptureStderr();
  try {
    RecordNamed a(record);
    const bool first = false;
    TZ_CHECK(first, "unit.cpp");
  } catch (const Stopped&) {
  }
  try {
    const bool second = false;
    TZ_CHECK(second, "unit.cpp");
  } catch (const Stopped&) {
  }
  const std::string err = testing::internal::GetCapturedStderr();
  tz::set_stop_hook(old);
  EXPECT_TRUE(::testing::internal::RE::FullMatch(
      err, "record 4\nunit\\.cpp:[0-9]+: Assertion `first' failed\\.\nunit\\.cpp:[0-9]+: Assertion `second' failed\\.\n"))
      << err;
}

}  // namespace
