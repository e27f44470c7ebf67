#include "report_points.h"

#include <gtest/gtest.h>

#include <type_traits>

#include "explained_points.h"

namespace {

// A report is made at a named point only: no bare number, no number of
// another type, becomes a report point.
static_assert(std::is_convertible_v<Total_point, Report_point>);
static_assert(!std::is_convertible_v<int, Report_point>);
static_assert(!std::is_constructible_v<Report_point, int>);
static_assert(!std::is_constructible_v<Report_point, Memory_failure>);

TEST(ReportPoints, APointNamesItsUnitAndPosition) {
  constexpr Report_point p = Total_point::stock_of_another_start;
  static_assert(p.Position() == 380);
  EXPECT_STREQ(p.Unit(), "total.cpp");
  EXPECT_STREQ(Report_point(Common_point::memory_out).Unit(), "common.cpp");
}

// Every point of the framework has its explanation, and every row of the
// framework's tables is a point.
TEST(ReportPoints, EveryPointOfTheFrameworkIsExplained) { qtest::expect_points_explained(qavlen_report_units); }

}  // namespace
