#include "tzmatrix.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <initializer_list>
#include <functional>
#include <limits>
#include <map>
#include <string>
#include <type_traits>
#include <vector>

#include "tzcheck.h"
#include "tzdefs.h"

namespace {

template <class T>
class TzMatrixTest : public ::testing::Test {};
template <class T>
class TzMatrixDeathTest : public ::testing::Test {};

using ElementTypes = ::testing::Types<double, float, int, TzLong>;
TYPED_TEST_SUITE(TzMatrixTest, ElementTypes);
TYPED_TEST_SUITE(TzMatrixDeathTest, ElementTypes);

const char* const kMatrixError = "^Error occured in file: tzmatrix, at line: [0-9]+\n$";
const char* const kGridError = "^Error occured in file: tzgrid, at line: [0-9]+\n$";

template <class T>
constexpr bool kFloating = std::is_floating_point<T>::value;

// A matrix from its rows.
template <class T>
TzMatrix<T> M(std::initializer_list<std::initializer_list<double>> rows) {
  const unsigned r = static_cast<unsigned>(rows.size());
  const unsigned c = static_cast<unsigned>(rows.begin()->size());
  TzMatrix<T> m(r, c, T(0));
  unsigned i = 0;
  for (const auto& row : rows) {
    unsigned j = 0;
    for (double v : row) m.Ref(i, j++) = static_cast<T>(kFloating<T> ? v : static_cast<int>(v));
    ++i;
  }
  return m;
}

// The rows of a matrix as doubles, for comparisons with expected tables.
template <class T>
std::vector<std::vector<double>> Rows(const TzMatrix<T>& m) {
  std::vector<std::vector<double>> out(m.GetRows());
  for (unsigned i = 0; i < m.GetRows(); ++i)
    for (unsigned j = 0; j < m.GetCols(); ++j) out[i].push_back(static_cast<double>(m(i, j)));
  return out;
}
using Table = std::vector<std::vector<double>>;

// ---- construction, assignment, resizing -----------------------------------

TYPED_TEST(TzMatrixTest, ConstructorsGiveEveryElementAValue) {
  using T = TypeParam;
  EXPECT_EQ(Rows(TzMatrix<T>()), (Table{{0}}));
  EXPECT_EQ(Rows(TzMatrix<T>(T(5))), (Table{{5}}));
  EXPECT_EQ(Rows(TzMatrix<T>(2, 3, T(7))), (Table{{7, 7, 7}, {7, 7, 7}}));
  TzGrid<T> g(2, 1);
  g.Ref(1, 0) = T(4);
  EXPECT_EQ(Rows(TzMatrix<T>(g)), (Table{{0}, {4}}));
  if constexpr (kFloating<T>) {
    EXPECT_EQ(Rows(TzMatrix<T>(T(2.5))), (Table{{2.5}}));
  }
}

TYPED_TEST(TzMatrixTest, AssignmentTakesTheSourceShapeAndSelfAssignmentChangesNothing) {
  using T = TypeParam;
  TzMatrix<T> one;
  const TzMatrix<T> src = M<T>({{1, 2, 3}, {4, 5, 6}});
  one = src;
  EXPECT_EQ(Rows(one), (Table{{1, 2, 3}, {4, 5, 6}}));
  one.Ref(0, 0) = T(9);
  EXPECT_EQ(src(0, 0), T(1));  // deep copy

  TzMatrix<T>& alias = one;
  one = alias;
  EXPECT_EQ(Rows(one), (Table{{9, 2, 3}, {4, 5, 6}}));

  TzMatrix<T> fromGrid;
  fromGrid = src.Transpose();
  EXPECT_EQ(Rows(fromGrid), (Table{{1, 4}, {2, 5}, {3, 6}}));

  const T a[] = {T(6), T(5), T(4), T(3), T(2), T(1)};
  one = a;
  EXPECT_EQ(Rows(one), (Table{{6, 5, 4}, {3, 2, 1}}));
}

TYPED_TEST(TzMatrixTest, ResizeFillsTheNewShapeWithTheValue) {
  using T = TypeParam;
  TzMatrix<T> m(3, 3, T(8));
  m.Resize(2, 2, T(1));
  EXPECT_EQ(Rows(m), (Table{{1, 1}, {1, 1}}));
  m.Resize(1, 3, T(0));
  EXPECT_EQ(Rows(m), (Table{{0, 0, 0}}));
}

// ---- element-wise arithmetic -----------------------------------------------

TYPED_TEST(TzMatrixTest, ElementWiseArithmeticWithAMatrix) {
  using T = TypeParam;
  const TzMatrix<T> a = M<T>({{1, 2}, {3, 4}});
  const TzMatrix<T> b = M<T>({{10, 20}, {30, 40}});
  EXPECT_EQ(Rows(a + b), (Table{{11, 22}, {33, 44}}));
  EXPECT_EQ(Rows(a - b), (Table{{-9, -18}, {-27, -36}}));
  EXPECT_EQ(Rows(a * b), (Table{{10, 40}, {90, 160}}));
  EXPECT_EQ(Rows(b / a), (Table{{10, 10}, {10, 10}}));
  EXPECT_EQ(Rows(a), (Table{{1, 2}, {3, 4}}));  // operands unchanged

  struct Case {
    void (TzMatrix<T>::*op)(const TzMatrix<T>&);
    Table expected;
  };
  const Case cases[] = {
      {&TzMatrix<T>::operator+=, {{11, 22}, {33, 44}}},
      {&TzMatrix<T>::operator-=, {{9, 18}, {27, 36}}},
      {&TzMatrix<T>::operator*=, {{10, 40}, {90, 160}}},
      {&TzMatrix<T>::operator/=, {{10, 10}, {10, 10}}},
  };
  for (const Case& k : cases) {
    TzMatrix<T> m = b;
    (m.*k.op)(a);
    EXPECT_EQ(Rows(m), k.expected);
  }
}

TYPED_TEST(TzMatrixTest, ElementWiseArithmeticWithAScalar) {
  using T = TypeParam;
  const TzMatrix<T> a = M<T>({{2, 4}, {6, 8}});
  EXPECT_EQ(Rows(a + T(1)), (Table{{3, 5}, {7, 9}}));
  EXPECT_EQ(Rows(a - T(1)), (Table{{1, 3}, {5, 7}}));
  EXPECT_EQ(Rows(a * T(3)), (Table{{6, 12}, {18, 24}}));
  EXPECT_EQ(Rows(a / T(2)), (Table{{1, 2}, {3, 4}}));
  TzMatrix<T> m = a;
  m += T(1);
  m -= T(3);
  m *= T(2);
  m /= T(4);
  EXPECT_EQ(Rows(m), (Table{{0, 1}, {2, 3}}));
  if constexpr (kFloating<T>) {
    TzMatrix<T> q = M<T>({{1, 2}, {3, 4}});
    q *= T(0.25);
    EXPECT_EQ(Rows(q), (Table{{0.25, 0.5}, {0.75, 1}}));
    EXPECT_EQ(Rows(M<T>({{1, 2}, {3, 4}}) / T(2)), (Table{{0.5, 1}, {1.5, 2}}));
    // Dividing by a NaN is no zero division.
    TzMatrix<T> n = M<T>({{1, 2}}) / std::numeric_limits<T>::quiet_NaN();
    EXPECT_TRUE(std::isnan(static_cast<double>(n(0, 1))));
  }
}

// A scalar that is an element of the matrix itself is read once.
TYPED_TEST(TzMatrixTest, ScalarOperandIsReadOnce) {
  using T = TypeParam;
  TzMatrix<T> m = M<T>({{2, 3, 4}});
  m *= m(0, 0);
  EXPECT_EQ(Rows(m), (Table{{4, 6, 8}}));
  m += m(0, 0);
  EXPECT_EQ(Rows(m), (Table{{8, 10, 12}}));
}

TYPED_TEST(TzMatrixTest, IntegerInstancesTruncateAndFloatRoundsToSinglePrecision) {
  using T = TypeParam;
  const TzMatrix<T> a = M<T>({{7, -7}});
  TzMatrix<T> m = a;
  m /= T(2);
  TzMatrix<T> e = a / M<T>({{2, 2}});
  if constexpr (kFloating<T>) {
    EXPECT_EQ(Rows(a / T(2)), (Table{{3.5, -3.5}}));
    EXPECT_EQ(Rows(m), (Table{{3.5, -3.5}}));
    EXPECT_EQ(Rows(e), (Table{{3.5, -3.5}}));
  } else {
    EXPECT_EQ(Rows(a / T(2)), (Table{{3, -3}}));
    EXPECT_EQ(Rows(m), (Table{{3, -3}}));
    EXPECT_EQ(Rows(e), (Table{{3, -3}}));
  }
  if constexpr (std::is_same<T, float>::value) {
    TzMatrix<float> x = TzMatrix<float>(0.1f) + TzMatrix<float>(0.2f);
    EXPECT_EQ(x(0, 0), 0.1f + 0.2f);
    EXPECT_NE(static_cast<double>(x(0, 0)), 0.1 + 0.2);
    TzMatrix<float> third = TzMatrix<float>(1.0f) / 3.0f;
    EXPECT_EQ(third(0, 0), 1.0f / 3.0f);
  }
}

// Integer overflow wraps through the unsigned type; the sanitizer build
// proves that none of it is undefined.
TYPED_TEST(TzMatrixTest, IntegerOverflowWrapsWithoutUndefinedBehaviour) {
  using T = TypeParam;
  if constexpr (!kFloating<T>) {
    const T mx = T(INT_MAX), mn = T(INT_MIN);
    TzMatrix<T> m(1, 3, mx);
    EXPECT_EQ((m + T(1))(0, 0), mn);
    EXPECT_EQ((TzMatrix<T>(mn) - T(1))(0, 0), mx);
    EXPECT_EQ((m * T(2))(0, 0), T(-2));
    EXPECT_EQ((-TzMatrix<T>(mn))(0, 0), mn);
    EXPECT_EQ((TzMatrix<T>(mn) / T(-1))(0, 0), mn);
    EXPECT_EQ((TzMatrix<T>(mn) / TzMatrix<T>(T(-1)))(0, 0), mn);
    TzMatrix<T> s(mn);
    s /= T(-1);
    EXPECT_EQ(s(0, 0), mn);
    TzMatrix<T> sum = m + m;
    EXPECT_EQ(sum(0, 2), T(-2));
    m *= m;
    EXPECT_EQ(m(0, 1), T(1));
    EXPECT_EQ(TzAbsVal(mn), mn);
  }
}

// The algebra of the integer instances wraps the same way: products, sums,
// the determinant, the norm's squares and the solver's quotients
// (INT_MAX squared is 1 and INT_MIN squared 0 modulo 2^32).
TYPED_TEST(TzMatrixTest, IntegerAlgebraWrapsWithoutUndefinedBehaviour) {
  using T = TypeParam;
  if constexpr (!kFloating<T>) {
    const T mx = T(INT_MAX), mn = T(INT_MIN);
    const TzMatrix<T> row(1, 2, mx), col(2, 1, mx);
    EXPECT_EQ((row % col)(0, 0), T(2));
    EXPECT_EQ(row.InnerProduct(col), T(2));
    EXPECT_EQ(col.InnerProduct(row), T(2));
    EXPECT_EQ(TzMatrix<T>(mn).Norm(), 0.0);

    TzMatrix<T> d(2, 2, T(1));
    d.Ref(0, 0) = mn;
    d.Ref(1, 1) = mn;
    EXPECT_EQ(d.Determinant(), T(-1));
    TzMatrix<T> diag(3, 3, T(0));
    for (unsigned i = 0; i < 3; ++i) diag.Ref(i, i) = mx;
    EXPECT_EQ(diag.Determinant(), mx);

    // The smallest value divided by -1 in the back substitution.
    TzMatrix<T> one(1, 2, T(-1));
    one.Ref(0, 1) = mn;
    TzMatrix<T> x(2, 1, T(0));
    ASSERT_EQ(one.LinSolve(x), 1);
    EXPECT_EQ(x(0, 0), mn);
    // |INT_MIN| stays INT_MIN, below 1: row 1 becomes the pivot row; the
    // elimination then wraps in every column.
    TzMatrix<T> a(2, 3, T(1));
    a.Ref(0, 0) = mn;
    a.Ref(0, 2) = T(0);
    a.Ref(1, 2) = mx;
    ASSERT_EQ(a.LinSolve(x), 1);
    EXPECT_EQ(Rows(a), (Table{{1, 1, INT_MAX}, {0, static_cast<double>(INT_MIN) + 1, INT_MIN}}));
    EXPECT_EQ(x(0, 0), T(INT_MAX - 1));
    EXPECT_EQ(x(1, 0), T(1));
  }
}

TYPED_TEST(TzMatrixTest, NegationGivesNegativeZeroForTheFloatingTypes) {
  using T = TypeParam;
  TzMatrix<T> n = -M<T>({{0, -1, 2}});
  EXPECT_EQ(Rows(n), (Table{{0, 1, -2}}));
  if constexpr (kFloating<T>) {
    EXPECT_TRUE(std::signbit(static_cast<double>(n(0, 0))));
    TzMatrix<T> n2 = -M<T>({{0, -1.5}});
    EXPECT_EQ(Rows(n2), (Table{{0, 1.5}}));
    EXPECT_TRUE(std::signbit(static_cast<double>(n2(0, 0))));
  }
}

// The interpolation of two rain grids, F * a + L * b, reuses the block of
// each temporary: only the two scaled copies are allocated.
TYPED_TEST(TzMatrixTest, TemporariesAreReusedNotCopied) {
  using T = TypeParam;
  const TzMatrix<T> a = M<T>({{2, 4}, {6, 8}});
  const TzMatrix<T> b = M<T>({{10, 20}, {30, 40}});
  EXPECT_EQ(Rows(a * T(3) + b * T(2)), (Table{{26, 52}, {78, 104}}));

  TzMatrix<T> t = a;
  const T* block = &t(0, 0);
  TzMatrix<T> r = std::move(t) * T(2) + b - a;
  EXPECT_EQ(&r(0, 0), block);
  EXPECT_EQ(Rows(r), (Table{{12, 24}, {36, 48}}));
  TzMatrix<T> u = a;
  block = &u(0, 0);
  TzMatrix<T> v = -(std::move(u) / T(2));
  EXPECT_EQ(&v(0, 0), block);
  EXPECT_EQ(Rows(v), (Table{{-1, -2}, {-3, -4}}));
}

// ---- comparisons -------------------------------------------------------------

TYPED_TEST(TzMatrixTest, ElementWiseComparisonsGiveIntegerMatrices) {
  using T = TypeParam;
  const TzMatrix<T> a = M<T>({{1, 5, 7}});
  const TzMatrix<T> b = M<T>({{2, 5, 3}});
  static_assert(std::is_same<decltype(a < b), TzIMatrix>::value, "comparisons give TzIMatrix");
  EXPECT_EQ(Rows(a == b), (Table{{0, 1, 0}}));
  EXPECT_EQ(Rows(a != b), (Table{{1, 0, 1}}));
  EXPECT_EQ(Rows(a < b), (Table{{1, 0, 0}}));
  EXPECT_EQ(Rows(a <= b), (Table{{1, 1, 0}}));
  EXPECT_EQ(Rows(a > b), (Table{{0, 0, 1}}));
  EXPECT_EQ(Rows(a >= b), (Table{{0, 1, 1}}));
  EXPECT_EQ(a.Equals(b), 0);
  EXPECT_EQ(a.Equals(M<T>({{1, 5, 7}})), 1);
  if constexpr (!kFloating<T>) {
    EXPECT_EQ(Rows(M<T>({{-3}}) < M<T>({{2}})), (Table{{1}}));  // signed
  }
}

TYPED_TEST(TzMatrixTest, NaNIsUnequalToEverythingEvenItself) {
  using T = TypeParam;
  if constexpr (kFloating<T>) {
    TzMatrix<T> m(1, 2, T(1));
    m.Ref(0, 1) = std::numeric_limits<T>::quiet_NaN();
    EXPECT_EQ(Rows(m == m), (Table{{1, 0}}));
    EXPECT_EQ(Rows(m != m), (Table{{0, 1}}));
    EXPECT_EQ(Rows(m <= m), (Table{{1, 0}}));
    EXPECT_EQ(Rows(m >= m), (Table{{1, 0}}));
    EXPECT_EQ(m.Equals(m), 0);
    // A negative zero equals 0.
    EXPECT_EQ(M<T>({{-0.0}}).Equals(M<T>({{0.0}})), 1);
  }
}

// ---- failures ------------------------------------------------------------------

TYPED_TEST(TzMatrixDeathTest, MatrixOperandsOfAnotherShapeStop) {
  using T = TypeParam;
  const TzMatrix<T> a(2, 3, T(1));
  const TzMatrix<T> b(3, 2, T(1));
  EXPECT_DEATH(a + b, kMatrixError);
  EXPECT_DEATH(a - b, kMatrixError);
  EXPECT_DEATH(a * b, kMatrixError);
  EXPECT_DEATH(a / b, kMatrixError);
  EXPECT_DEATH(TzMatrix<T>(a) + b, kMatrixError);
  EXPECT_DEATH(TzMatrix<T>(a) / b, kMatrixError);
  // clang-format off
  EXPECT_DEATH({ TzMatrix<T> m = a; m += b; }, kMatrixError);
  EXPECT_DEATH({ TzMatrix<T> m = a; m -= b; }, kMatrixError);
  EXPECT_DEATH({ TzMatrix<T> m = a; m *= b; }, kMatrixError);
  EXPECT_DEATH({ TzMatrix<T> m = a; m /= b; }, kMatrixError);
  // clang-format on
  EXPECT_DEATH(static_cast<void>(a == b), kMatrixError);
  EXPECT_DEATH(static_cast<void>(a != b), kMatrixError);
  EXPECT_DEATH(static_cast<void>(a < b), kMatrixError);
  EXPECT_DEATH(static_cast<void>(a <= b), kMatrixError);
  EXPECT_DEATH(static_cast<void>(a > b), kMatrixError);
  EXPECT_DEATH(static_cast<void>(a >= b), kMatrixError);
  EXPECT_DEATH(a.Equals(TzMatrix<T>(2, 2, T(1))), kMatrixError);
  // A matrix made from a scalar is 1 by 1, not a scalar.
  EXPECT_DEATH(TzMatrix<T>(2, 2, T(1)) + TzMatrix<T>(T(0)), kMatrixError);
}

TYPED_TEST(TzMatrixDeathTest, DivisionByZeroStops) {
  using T = TypeParam;
  const TzMatrix<T> a = M<T>({{1, 2}, {3, 4}});
  const TzMatrix<T> z = M<T>({{1, 0}, {1, 1}});
  EXPECT_DEATH(a / z, kMatrixError);
  EXPECT_DEATH(TzMatrix<T>(a) / z, kMatrixError);
  // clang-format off
  EXPECT_DEATH({ TzMatrix<T> m = a; m /= z; }, kMatrixError);
  // clang-format on
  EXPECT_DEATH(a / T(0), kMatrixError);
  EXPECT_DEATH(TzMatrix<T>(a) / T(0), kMatrixError);
  // clang-format off
  EXPECT_DEATH({ TzMatrix<T> m = a; m /= T(0); }, kMatrixError);
  // clang-format on
  if constexpr (kFloating<T>) {
    EXPECT_DEATH(a / T(-0.0), kMatrixError);
    EXPECT_DEATH(a / M<T>({{1, -0.0}, {1, 1}}), kMatrixError);
  }
}

TYPED_TEST(TzMatrixDeathTest, ShapesTheGridRefusesStopWithTheGridsLine) {
  using T = TypeParam;
  EXPECT_DEATH(TzMatrix<T>(0, 3, T(1)), kGridError);
  EXPECT_DEATH(TzMatrix<T>(70000, 70000, T(1)), kGridError);
  TzMatrix<T> m;
  EXPECT_DEATH(m.Resize(3, 0, T(1)), kGridError);
  EXPECT_DEATH(m(1, 0), "^Invalid subscript. \nError occured in file: tzgrid, at line: [0-9]+\n$");
}

// The stop of a failed check turned into an exception, so that one process
// can compare the reports of many checks.
struct Stopped {};
void ThrowingHook(int) { throw Stopped{}; }

// The line number in the error line that f stops with; -1 when f returns.
int ReportedLine(const std::function<void()>& f) {
  tz::StopHook old = tz::set_stop_hook(ThrowingHook);
  testing::internal::CaptureStderr();
  bool stopped = false;
  try {
    f();
  } catch (const Stopped&) {
    stopped = true;
  }
  const std::string err = testing::internal::GetCapturedStderr();
  tz::set_stop_hook(old);
  const std::string head = "Error occured in file: tzmatrix, at line: ";
  const std::string::size_type at = err.find(head);
  if (!stopped || at == std::string::npos) return -1;
  return std::stoi(err.substr(at + head.size()));
}

// Every check of the unit reports a line of its own, and an operator reports
// the same line whether its left operand is a named matrix or a temporary.
TYPED_TEST(TzMatrixTest, EachCheckReportsALineOfItsOwn) {
  using T = TypeParam;
  const TzMatrix<T> a(2, 3, T(1)), b(3, 2, T(1)), z(2, 3, T(0)), sq(2, 2, T(1));
  struct Pair {
    const char* name;
    std::function<void(const TzMatrix<T>&)> named;
    std::function<void(TzMatrix<T>&&)> temporary;
  };
  // clang-format off
  const Pair pairs[] = {
      {"+ shape", [&](const TzMatrix<T>& x) { x + b; }, [&](TzMatrix<T>&& x) { std::move(x) + b; }},
      {"- shape", [&](const TzMatrix<T>& x) { x - b; }, [&](TzMatrix<T>&& x) { std::move(x) - b; }},
      {"* shape", [&](const TzMatrix<T>& x) { x * b; }, [&](TzMatrix<T>&& x) { std::move(x) * b; }},
      {"/ shape", [&](const TzMatrix<T>& x) { x / b; }, [&](TzMatrix<T>&& x) { std::move(x) / b; }},
      {"/ zero element", [&](const TzMatrix<T>& x) { x / z; }, [&](TzMatrix<T>&& x) { std::move(x) / z; }},
      {"/ zero scalar", [&](const TzMatrix<T>& x) { x / T(0); }, [&](TzMatrix<T>&& x) { std::move(x) / T(0); }},
  };
  // clang-format on
  std::map<int, std::string> seen;
  auto record = [&](const std::string& name, int line) {
    SCOPED_TRACE(name);
    ASSERT_GT(line, 0);
    EXPECT_EQ(seen.count(line), 0u) << "line " << line << " also reported by " << seen[line];
    seen[line] = name;
  };
  for (const Pair& p : pairs) {
    const int line = ReportedLine([&] { p.named(a); });
    EXPECT_EQ(ReportedLine([&] { p.temporary(TzMatrix<T>(a)); }), line) << p.name;
    record(p.name, line);
  }
  // clang-format off
  const std::vector<std::pair<const char*, std::function<void()>>> single = {
      {"+= shape", [&] { TzMatrix<T> m = a; m += b; }},
      {"-= shape", [&] { TzMatrix<T> m = a; m -= b; }},
      {"*= shape", [&] { TzMatrix<T> m = a; m *= b; }},
      {"/= shape", [&] { TzMatrix<T> m = a; m /= b; }},
      {"/= zero element", [&] { TzMatrix<T> m = a; m /= z; }},
      {"/= zero scalar", [&] { TzMatrix<T> m = a; m /= T(0); }},
      {"== shape", [&] { static_cast<void>(a == b); }},
      {"!= shape", [&] { static_cast<void>(a != b); }},
      {"< shape", [&] { static_cast<void>(a < b); }},
      {"<= shape", [&] { static_cast<void>(a <= b); }},
      {"> shape", [&] { static_cast<void>(a > b); }},
      {">= shape", [&] { static_cast<void>(a >= b); }},
      {"Equals shape", [&] { static_cast<void>(a.Equals(b)); }},
      {"% shape", [&] { static_cast<void>(a % a); }},
      {"InnerProduct shape", [&] { static_cast<void>(a.InnerProduct(b)); }},
      {"Determinant shape", [&] { static_cast<void>(a.Determinant()); }},
      {"Minor shape", [&] { static_cast<void>(a.Minor(0, 0)); }},
      {"Minor outside", [&] { static_cast<void>(sq.Minor(2, 0)); }},
      {"LinSolve columns", [&] { TzMatrix<T> m = sq, x(2, 1, T(0)); m.LinSolve(x); }},
      {"LinSolve room", [&] { TzMatrix<T> m = a, x; m.LinSolve(x); }},
  };
  // clang-format on
  for (const auto& s : single) record(s.first, ReportedLine(s.second));
}

// The divisor is tested position by position in the pass: a zero stops the
// element-wise division in place after the positions before it; a zero
// scalar stops it before any position changes.
TYPED_TEST(TzMatrixTest, DivisionInPlaceStopsWhereItMeetsAZero) {
  using T = TypeParam;
  TzMatrix<T> m = M<T>({{8, 8, 8}});
  EXPECT_GT(ReportedLine([&] { m /= M<T>({{2, 0, 2}}); }), 0);
  EXPECT_EQ(Rows(m), (Table{{4, 8, 8}}));
  EXPECT_GT(ReportedLine([&] { m /= T(0); }), 0);
  EXPECT_EQ(Rows(m), (Table{{4, 8, 8}}));
}

// ---- algebra -------------------------------------------------------------------

TYPED_TEST(TzMatrixTest, MatrixProduct) {
  using T = TypeParam;
  EXPECT_EQ(Rows(M<T>({{1, 2}, {3, 4}}) % M<T>({{5, 6}, {7, 8}})), (Table{{19, 22}, {43, 50}}));
  EXPECT_EQ(Rows(M<T>({{1, 2, 3}, {4, 5, 6}}) % M<T>({{1}, {0}, {-1}})), (Table{{-2}, {-2}}));
  EXPECT_EQ(Rows(M<T>({{1}, {2}}) % M<T>({{3, 4}})), (Table{{3, 4}, {6, 8}}));
}

TYPED_TEST(TzMatrixTest, ShapePredicates) {
  using T = TypeParam;
  struct Case {
    const char* name;
    TzMatrix<T> m;
    int zero, diagonal, identity, tridiagonal, upper, lower, permutation;
  };
  const std::vector<Case> cases = {
      {"1x1 zero", M<T>({{0}}), 1, 0, 0, 0, 0, 0, 1},
      {"1x1 one", M<T>({{1}}), 0, 1, 1, 0, 0, 0, 1},
      {"1x1 five", M<T>({{5}}), 0, 1, 0, 0, 0, 0, 0},
      {"diag(2,3)", M<T>({{2, 0}, {0, 3}}), 0, 1, 0, 0, 1, 1, 0},
      {"zero on the diagonal", M<T>({{1, 0}, {0, 0}}), 0, 0, 0, 0, 1, 1, 1},
      {"swap", M<T>({{0, 1}, {1, 0}}), 0, 0, 0, 0, 0, 0, 1},
      {"two in a row", M<T>({{1, 1}, {0, 0}}), 0, 0, 0, 0, 1, 0, 0},
      {"2x2 full", M<T>({{1, 2}, {3, 4}}), 0, 0, 0, 0, 0, 0, 0},
      {"2x3 zero", M<T>({{0, 0, 0}, {0, 0, 0}}), 1, 0, 0, 0, 0, 0, 0},
      {"3x3 zero", TzMatrix<T>(3, 3, T(0)), 1, 0, 0, 1, 1, 1, 1},
      {"3x3 identity", M<T>({{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}), 0, 1, 1, 1, 1, 1, 1},
      {"3x3 bands", M<T>({{1, 2, 0}, {3, 4, 5}, {0, 6, 7}}), 0, 0, 0, 1, 0, 0, 0},
      {"3x3 corner (0,2)", M<T>({{1, 2, 9}, {3, 4, 5}, {0, 6, 7}}), 0, 0, 0, 0, 0, 0, 0},
      {"3x3 corner (2,0)", M<T>({{1, 0, 0}, {3, 4, 0}, {9, 6, 7}}), 0, 0, 0, 0, 0, 1, 0},
      {"3x3 upper", M<T>({{1, 2, 3}, {0, 4, 5}, {0, 0, 6}}), 0, 0, 0, 0, 1, 0, 0},
      {"negative entry", M<T>({{0, -3}, {1, 0}}), 0, 0, 0, 0, 0, 0, 1},
      {"entry above one", M<T>({{2, 0}, {0, 1}}), 0, 1, 0, 0, 1, 1, 0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    EXPECT_EQ(k.m.IsZero(), k.zero);
    EXPECT_EQ(k.m.IsDiagonal(), k.diagonal);
    EXPECT_EQ(k.m.IsIdentity(), k.identity);
    EXPECT_EQ(k.m.IsTridiagonal(), k.tridiagonal);
    EXPECT_EQ(k.m.IsUpperTriangular(), k.upper);
    EXPECT_EQ(k.m.IsLowerTriangular(), k.lower);
    EXPECT_EQ(k.m.IsPermutation(), k.permutation);
  }
  if constexpr (kFloating<T>) {
    EXPECT_EQ(M<T>({{0.5, 0}, {0, -2}}).IsPermutation(), 1);
    const T nan = std::numeric_limits<T>::quiet_NaN();
    TzMatrix<T> d = M<T>({{1, 0}, {0, 1}});
    d.Ref(1, 1) = nan;  // a NaN is non-zero on the diagonal
    EXPECT_EQ(d.IsDiagonal(), 1);
    EXPECT_EQ(d.IsIdentity(), 0);
    d.Ref(0, 1) = nan;  // and unequal to 0 off it
    EXPECT_EQ(d.IsDiagonal(), 0);
    EXPECT_EQ(M<T>({{-0.0, 0}}).IsZero(), 1);
  }
}

TYPED_TEST(TzMatrixTest, InnerProductAcceptsBothOrientations) {
  using T = TypeParam;
  const TzMatrix<T> row = M<T>({{1, 2, 3}});
  const TzMatrix<T> col = M<T>({{4}, {5}, {6}});
  EXPECT_EQ(row.InnerProduct(col), T(32));
  EXPECT_EQ(col.InnerProduct(row), T(32));
  EXPECT_EQ(M<T>({{3}}).InnerProduct(M<T>({{-4}})), T(-12));
}

// The compensated sum keeps the small terms that a plain running sum drops
// against a large first term.
TYPED_TEST(TzMatrixTest, InnerProductAndNormCompensateRounding) {
  using T = TypeParam;
  if constexpr (kFloating<T>) {
    const unsigned n = 10001;
    const T tiny = std::is_same<T, float>::value ? T(1e-8) : T(1e-17);
    TzMatrix<T> v(1, n, tiny), ones(n, 1, T(1));
    v.Ref(0, 0) = T(1);
    T plain = T(0);
    for (unsigned k = 0; k < n; ++k) plain = plain + v(0, k);
    EXPECT_EQ(plain, T(1));  // the plain sum loses every small term
    const double exact = 1.0 + 10000.0 * static_cast<double>(tiny);
    EXPECT_NEAR(static_cast<double>(v.InnerProduct(ones)), exact, 2 * std::numeric_limits<T>::epsilon());
    EXPECT_GT(v.InnerProduct(ones), T(1));
  }
}

TYPED_TEST(TzMatrixTest, NormIsTheFrobeniusNormAsADouble) {
  using T = TypeParam;
  static_assert(std::is_same<decltype(TzMatrix<T>().Norm()), double>::value, "Norm is double");
  EXPECT_EQ(M<T>({{3, 4}}).Norm(), 5.0);
  EXPECT_EQ(M<T>({{1, 2}, {2, 4}}).Norm(), 5.0);
  EXPECT_EQ(TzMatrix<T>().Norm(), 0.0);
}

TYPED_TEST(TzMatrixTest, DeterminantAndMinor) {
  using T = TypeParam;
  struct Case {
    TzMatrix<T> m;
    double det;
  };
  const std::vector<Case> cases = {
      {M<T>({{2}}), 2},
      {M<T>({{1, 2}, {3, 4}}), -2},
      {M<T>({{2, 0, 0}, {0, 3, 0}, {0, 0, 4}}), 24},
      {M<T>({{1, 2, 3}, {4, 5, 6}, {7, 8, 10}}), -3},
      {M<T>({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}), 0},
      {M<T>({{2, 0, 1, 3}, {1, 1, 0, 2}, {0, 3, 1, 1}, {1, 0, 2, 1}}), -1},
  };
  for (const Case& k : cases) EXPECT_EQ(static_cast<double>(k.m.Determinant()), k.det);

  const TzMatrix<T> m = M<T>({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
  EXPECT_EQ(Rows(m.Minor(0, 1)), (Table{{4, 6}, {7, 9}}));
  EXPECT_EQ(Rows(m.Minor(2, 2)), (Table{{1, 2}, {4, 5}}));
  EXPECT_EQ(Rows(M<T>({{1, 2}, {3, 4}}).Minor(1, 0)), (Table{{2}}));
}

// Systems with known answers; the integer instances divide with truncation.
TYPED_TEST(TzMatrixTest, LinSolveTable) {
  using T = TypeParam;
  struct Case {
    const char* name;
    TzMatrix<T> a;
    std::vector<double> floating, integer;
  };
  const std::vector<Case> cases = {
      {"2x2", M<T>({{2, 1, 5}, {1, 3, 10}}), {1, 3}, {1, 2}},
      {"triangular", M<T>({{1, 1, 3}, {0, 1, 2}}), {1, 2}, {1, 2}},
      {"tie keeps row 0", M<T>({{1, 2, 3}, {-1, 0, 1}}), {-1, 2}, {-1, 2}},
      {"pivot swap", M<T>({{1, 1, 2}, {4, 2, 6}}), {1, 1}, {1, 1}},
      {"3x3", M<T>({{2, 1, -1, 8}, {-3, -1, 2, -11}, {-2, 1, 2, -3}}), {2, 3, -1}, {5, 1, 3}},
      {"one unknown", M<T>({{3, 1}}), {1.0 / 3}, {0}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    TzMatrix<T> a = k.a;
    TzMatrix<T> x(static_cast<unsigned>(k.floating.size()), 1, T(9));
    ASSERT_EQ(a.LinSolve(x), 1);
    const std::vector<double>& want = kFloating<T> ? k.floating : k.integer;
    for (unsigned i = 0; i < want.size(); ++i) {
      if (kFloating<T>)
        EXPECT_NEAR(static_cast<double>(x(i, 0)), want[i], 8 * std::numeric_limits<T>::epsilon());
      else
        EXPECT_EQ(static_cast<double>(x(i, 0)), want[i]);
    }
  }
  if constexpr (std::is_same<T, float>::value) {
    TzMatrix<float> a = M<float>({{3, 1}}), x(1, 1, 0.0f);
    a.LinSolve(x);
    EXPECT_EQ(x(0, 0), 1.0f / 3.0f);  // rounded to single precision
  }
}

TYPED_TEST(TzMatrixTest, LinSolveLeavesTheReducedSystemAndTouchesOnlyColumnZeroOfX) {
  using T = TypeParam;
  TzMatrix<T> a = M<T>({{1, 2, 3}, {-1, 0, 1}});
  TzMatrix<T> x(3, 2, T(9));
  ASSERT_EQ(a.LinSolve(x), 1);
  // Equal magnitudes in column 0: row 0 stays the pivot row.
  EXPECT_EQ(Rows(a), (Table{{1, 2, 3}, {0, 2, 4}}));
  EXPECT_EQ(Rows(x), (Table{{-1, 9}, {2, 9}, {9, 9}}));

  TzMatrix<T> b = M<T>({{1, 1, 2}, {4, 2, 6}});
  TzMatrix<T> y(2, 1, T(0));
  ASSERT_EQ(b.LinSolve(y), 1);
  // Rows exchanged; the integer instance truncates 2 - 6 / 4 and 1 - 2 / 4.
  if (kFloating<T>)
    EXPECT_EQ(Rows(b), (Table{{4, 2, 6}, {0, 0.5, 0.5}}));
  else
    EXPECT_EQ(Rows(b), (Table{{4, 2, 6}, {0, 1, 1}}));
}

TYPED_TEST(TzMatrixTest, LinSolveAnswersZeroAtAZeroPivot) {
  using T = TypeParam;
  TzMatrix<T> a = M<T>({{0, 1, 1}, {0, 2, 2}});
  TzMatrix<T> x(2, 1, T(7));
  EXPECT_EQ(a.LinSolve(x), 0);
  EXPECT_EQ(Rows(x), (Table{{7}, {7}}));
  EXPECT_EQ(Rows(a), (Table{{0, 1, 1}, {0, 2, 2}}));
  TzMatrix<T> b = M<T>({{1, 2, 3}, {2, 4, 6}});
  EXPECT_EQ(b.LinSolve(x), 0);
  EXPECT_EQ(Rows(x), (Table{{7}, {7}}));
  // The matrix stays as far as it was reduced: rows exchanged, column 0
  // eliminated, the zero pivot of column 1 left in place.
  EXPECT_EQ(Rows(b), (Table{{2, 4, 6}, {0, 0, 0}}));
}

TYPED_TEST(TzMatrixDeathTest, AlgebraShapeErrorsStop) {
  using T = TypeParam;
  const TzMatrix<T> a(2, 3, T(1));
  EXPECT_DEATH(a % a, kMatrixError);
  EXPECT_DEATH(M<T>({{1, 2, 3}}).InnerProduct(M<T>({{1, 2, 3}})), kMatrixError);
  EXPECT_DEATH(M<T>({{1, 2, 3}}).InnerProduct(M<T>({{1}, {2}})), kMatrixError);
  EXPECT_DEATH(a.InnerProduct(M<T>({{1}, {2}, {3}})), kMatrixError);
  EXPECT_DEATH(a.Determinant(), kMatrixError);
  EXPECT_DEATH(TzMatrix<T>().Minor(0, 0), kMatrixError);
  EXPECT_DEATH(a.Minor(0, 0), kMatrixError);
  // Outside the matrix the minor would be overrun.
  EXPECT_DEATH(TzMatrix<T>(3, 3, T(1)).Minor(3, 0), kMatrixError);
  EXPECT_DEATH(TzMatrix<T>(3, 3, T(1)).Minor(0, 3), kMatrixError);
}

TYPED_TEST(TzMatrixDeathTest, LinSolveNeedsOneMoreColumnThanRowsAndRoomForTheSolution) {
  using T = TypeParam;
  const char* const bad =
      "^The number of columns is not appropriate.\nError occured in file: tzmatrix, at line: [0-9]+\n$";
  TzMatrix<T> x(2, 1, T(0));
  // clang-format off
  EXPECT_DEATH({ TzMatrix<T> a(2, 2, T(1)); a.LinSolve(x); }, bad);
  EXPECT_DEATH({ TzMatrix<T> a(2, 4, T(1)); a.LinSolve(x); }, bad);
  TzMatrix<T> small(1, 1, T(0));
  EXPECT_DEATH({ TzMatrix<T> a = M<T>({{2, 1, 5}, {1, 3, 10}}); a.LinSolve(small); }, kMatrixError);
  // clang-format on
}

}  // namespace
