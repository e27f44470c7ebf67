#include "tzsimple.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

#include "tzdefs.h"

namespace {

TEST(TzAbsVal, AllFourElementTypes) {
  EXPECT_EQ(TzAbsVal(-2), 2);
  EXPECT_EQ(TzAbsVal(3.5), 3.5);
  EXPECT_EQ(TzAbsVal(-3.5f), 3.5f);
  EXPECT_EQ(static_cast<Long>(TzAbsVal(TzLong(-7))), 7);
  EXPECT_EQ(TzAbsVal(INT_MIN), INT_MIN);  // wraps, no undefined negation
  // Zero is not greater than 0: it is negated.
  EXPECT_TRUE(std::signbit(TzAbsVal(0.0)));
  EXPECT_FALSE(std::signbit(TzAbsVal(-0.0)));
  EXPECT_TRUE(std::isnan(TzAbsVal(std::numeric_limits<double>::quiet_NaN())));
}

TEST(TzArith, IntegerArithmeticWrapsAndTruncates) {
  using A = TzArith<int>;
  EXPECT_EQ(A::Add(INT_MAX, 1), INT_MIN);
  EXPECT_EQ(A::Sub(INT_MIN, 1), INT_MAX);
  EXPECT_EQ(A::Mul(65536, 65536), 0);
  EXPECT_EQ(A::Mul(-3, 5), -15);
  EXPECT_EQ(A::Div(-7, 2), -3);
  EXPECT_EQ(A::Div(7, -2), -3);
  EXPECT_EQ(A::Div(INT_MIN, -1), INT_MIN);
  EXPECT_EQ(A::Div(5, -1), -5);
  EXPECT_EQ(A::Neg(INT_MIN), INT_MIN);
  using L = TzArith<TzLong>;
  EXPECT_EQ(static_cast<Long>(L::Add(TzLong(LONG_MAX32), TzLong(2))), LONG_MIN32 + 1);
  EXPECT_EQ(static_cast<Long>(L::Div(TzLong(LONG_MIN32), TzLong(-1))), LONG_MIN32);
}

}  // namespace
