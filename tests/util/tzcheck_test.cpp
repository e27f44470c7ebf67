#include <gtest/gtest.h>

#include <stdexcept>

#include "tzcheck.h"
#include "tzdefs.h"

namespace {

int g_reads = 0;
int read_once() { return ++g_reads; }

TEST(TzCheck, PassingCheckEvaluatesItsConditionOnce) {
  g_reads = 0;
  TZ_CHECK(read_once() == 1, "unit.cpp", "read_once() == 1");
  EXPECT_EQ(g_reads, 1);
}

TEST(TzCheckDeathTest, FailedCheckReportsConditionUnitAndLineAndAborts) {
  EXPECT_DEATH(TZ_CHECK_AT(1 == 2, "morvelan2d-1.cpp", 42, "tmp == 1 || tmp == 2"),
               "^morvelan2d-1\\.cpp:42: Assertion `tmp == 1 \\|\\| tmp == 2' failed\\.\n$");
}

TEST(TzCheckDeathTest, CheckUsesItsOwnLine) {
  int line = __LINE__ + 1;
  EXPECT_DEATH(TZ_CHECK(false, "p_tmp.cpp", "t1 <= t2"),
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
    TZ_CHECK(false, "tzstr", "Txt != NULL");
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
