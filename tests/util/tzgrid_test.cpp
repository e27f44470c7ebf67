#include "tzgrid.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tzdefs.h"

namespace {

template <class T>
class TzGridTest : public ::testing::Test {};
template <class T>
class TzGridDeathTest : public ::testing::Test {};

using ElementTypes = ::testing::Types<double, float, int, TzLong>;
TYPED_TEST_SUITE(TzGridTest, ElementTypes);
TYPED_TEST_SUITE(TzGridDeathTest, ElementTypes);

const char* const kErrorLine = "Error occured in file: tzgrid, at line: [0-9]+\n$";
const char* const kBadSubscript = "^Invalid subscript. \nError occured in file: tzgrid, at line: [0-9]+\n$";

// A grid filled with 0, 1, 2, ... in storage order.
template <class T>
TzGrid<T> Counting(unsigned r, unsigned c) {
  TzGrid<T> g(r, c);
  std::vector<T> v;
  for (unsigned k = 0; k < r * c; ++k) v.push_back(T(static_cast<int>(k)));
  g = v.data();
  return g;
}

template <class T>
std::vector<double> Elements(const TzGrid<T>& g) {
  std::vector<double> out;
  for (unsigned i = 0; i < g.GetRows(); ++i)
    for (unsigned j = 0; j < g.GetCols(); ++j) out.push_back(static_cast<double>(g(i, j)));
  return out;
}

TYPED_TEST(TzGridTest, ShapesAndPredicates) {
  struct Case {
    unsigned r, c;
    bool vector, rowVector, colVector, square;
  };
  const Case cases[] = {
      {1, 1, true, true, true, true},    // the default shape
      {3, 1, true, true, false, false},  // one column: a row vector
      {1, 4, true, false, true, false},  // one row: a column vector
      {2, 2, false, false, false, true}, {2, 3, false, false, false, false},
  };
  for (const Case& k : cases) {
    TzGrid<TypeParam> g(k.r, k.c);
    SCOPED_TRACE(std::to_string(k.r) + " by " + std::to_string(k.c));
    EXPECT_EQ(g.GetRows(), k.r);
    EXPECT_EQ(g.GetCols(), k.c);
    EXPECT_EQ(g.IsVector(), k.vector);
    EXPECT_EQ(g.IsRowVector(), k.rowVector);
    EXPECT_EQ(g.IsColVector(), k.colVector);
    EXPECT_EQ(g.IsSquare(), k.square);
  }
  TzGrid<TypeParam> d;
  EXPECT_EQ(d.GetRows(), 1u);
  EXPECT_EQ(d.GetCols(), 1u);
  EXPECT_TRUE(d.IsVector() && d.IsRowVector() && d.IsColVector() && d.IsSquare());
}

TYPED_TEST(TzGridTest, ElementsStartAtZeroAndCopiesNeverReadUndefinedValues) {
  TzGrid<TypeParam> g(3, 4);
  EXPECT_EQ(Elements(g), std::vector<double>(12, 0.0));
  TzGrid<TypeParam> d;
  EXPECT_EQ(d(0, 0), TypeParam(0));
  TzGrid<TypeParam> copy(g);
  EXPECT_EQ(Elements(copy), std::vector<double>(12, 0.0));
}

TYPED_TEST(TzGridTest, CheckedAndUncheckedAccessAddressTheSameRowMajorElement) {
  TzGrid<TypeParam> g = Counting<TypeParam>(2, 3);
  EXPECT_EQ(g(1, 2), TypeParam(5));  // the last element: r * C + c
  EXPECT_EQ(g(0, 2), TypeParam(2));
  g.Ref(1, 0) = TypeParam(40);
  EXPECT_EQ(g.Elem(1, 0), TypeParam(40));
  g.Elem(0, 1) = TypeParam(9);
  EXPECT_EQ(g(0, 1), TypeParam(9));
}

TYPED_TEST(TzGridTest, CopiesAreDeepAndAssignmentTakesTheSourceShape) {
  TzGrid<TypeParam> src = Counting<TypeParam>(2, 3);
  TzGrid<TypeParam> copy(src);
  copy.Ref(0, 0) = TypeParam(100);
  EXPECT_EQ(src(0, 0), TypeParam(0));

  TzGrid<TypeParam> big = Counting<TypeParam>(5, 5);
  big = src;
  EXPECT_EQ(big.GetRows(), 2u);
  EXPECT_EQ(big.GetCols(), 3u);
  EXPECT_EQ(Elements(big), (std::vector<double>{0, 1, 2, 3, 4, 5}));
  big.Ref(1, 1) = TypeParam(7);
  EXPECT_EQ(src(1, 1), TypeParam(4));

  // Same element count, other shape: the shape still follows the source.
  TzGrid<TypeParam> flat = Counting<TypeParam>(3, 2);
  flat = src;
  EXPECT_EQ(flat.GetRows(), 2u);
  EXPECT_EQ(flat.GetCols(), 3u);
  EXPECT_EQ(Elements(flat), Elements(src));
}

TYPED_TEST(TzGridTest, SelfAssignmentKeepsTheContents) {
  TzGrid<TypeParam> g = Counting<TypeParam>(2, 3);
  TzGrid<TypeParam>& alias = g;
  g = alias;
  EXPECT_EQ(g.GetRows(), 2u);
  EXPECT_EQ(Elements(g), (std::vector<double>{0, 1, 2, 3, 4, 5}));
}

TYPED_TEST(TzGridTest, MovesHandTheBlockOver) {
  TzGrid<TypeParam> src = Counting<TypeParam>(2, 3);
  const TypeParam* block = &src(0, 0);
  TzGrid<TypeParam> moved(std::move(src));
  EXPECT_EQ(&moved(0, 0), block);
  TzGrid<TypeParam> target(4, 4);
  target = std::move(moved);
  EXPECT_EQ(&target(0, 0), block);
  EXPECT_EQ(target.GetRows(), 2u);
  EXPECT_EQ(Elements(target), (std::vector<double>{0, 1, 2, 3, 4, 5}));
}

TYPED_TEST(TzGridTest, ArrayAssignmentFillsInStorageOrderAndKeepsTheShape) {
  TzGrid<TypeParam> g(2, 2);
  const TypeParam a[] = {TypeParam(4), TypeParam(3), TypeParam(2), TypeParam(1), TypeParam(99)};
  g = a;
  EXPECT_EQ(g.GetRows(), 2u);
  EXPECT_EQ(Elements(g), (std::vector<double>{4, 3, 2, 1}));
}

TYPED_TEST(TzGridTest, ResizeDiscardsTheContentsEvenForTheSameShape) {
  TzGrid<TypeParam> g = Counting<TypeParam>(2, 3);
  g.Resize(2, 3);
  EXPECT_EQ(Elements(g), std::vector<double>(6, 0.0));
  g.Resize(3, 1);
  EXPECT_EQ(g.GetRows(), 3u);
  EXPECT_EQ(g.GetCols(), 1u);
  EXPECT_EQ(Elements(g), std::vector<double>(3, 0.0));
}

template <class T>
T Twice(const T& x) {
  return T(static_cast<int>(x) * 2 + 1);
}
int g_applyCalls = 0;
template <class T>
T NextNumber(const T&) {
  return T(g_applyCalls++);
}

TYPED_TEST(TzGridTest, FillAndApplyWalkEveryElementInStorageOrder) {
  TzGrid<TypeParam> g(2, 3);
  g.Fill(TypeParam(7));
  EXPECT_EQ(Elements(g), std::vector<double>(6, 7.0));
  g.Apply(Twice<TypeParam>);
  EXPECT_EQ(Elements(g), std::vector<double>(6, 15.0));
  g_applyCalls = 0;
  g.Apply(NextNumber<TypeParam>);
  EXPECT_EQ(Elements(g), (std::vector<double>{0, 1, 2, 3, 4, 5}));
}

TYPED_TEST(TzGridTest, TransposeAndRowAndColumnExtraction) {
  const TzGrid<TypeParam> g = Counting<TypeParam>(2, 3);  // [[0 1 2] [3 4 5]]
  TzGrid<TypeParam> t = g.Transpose();
  EXPECT_EQ(t.GetRows(), 3u);
  EXPECT_EQ(t.GetCols(), 2u);
  EXPECT_EQ(Elements(t), (std::vector<double>{0, 3, 1, 4, 2, 5}));
  EXPECT_EQ(g.GetRows(), 2u);
  EXPECT_EQ(Elements(g), (std::vector<double>{0, 1, 2, 3, 4, 5}));

  TzGrid<TypeParam> row = g.VectorRow(0);
  EXPECT_EQ(row.GetRows(), 3u);
  EXPECT_EQ(row.GetCols(), 1u);
  EXPECT_TRUE(row.IsRowVector());
  EXPECT_EQ(Elements(row), (std::vector<double>{0, 1, 2}));

  TzGrid<TypeParam> col = g.VectorCol(2);
  EXPECT_EQ(col.GetRows(), 1u);
  EXPECT_EQ(col.GetCols(), 2u);
  EXPECT_TRUE(col.IsColVector());
  EXPECT_EQ(Elements(col), (std::vector<double>{2, 5}));

  TzGrid<TypeParam> one(1, 1);
  EXPECT_EQ(Elements(one.Transpose()), std::vector<double>{0.0});
}

TYPED_TEST(TzGridDeathTest, NoEmptyOrOversizedGrid) {
  EXPECT_DEATH(TzGrid<TypeParam>(0, 3), kErrorLine);
  EXPECT_DEATH(TzGrid<TypeParam>(3, 0), kErrorLine);
  // 65536 * 65536 does not fit in 32 bits: checked, not wrapped to 0.
  EXPECT_DEATH(TzGrid<TypeParam>(65536u, 65536u), kErrorLine);
  EXPECT_DEATH(TzGrid<TypeParam>(4294967295u, 2u), kErrorLine);
  TzGrid<TypeParam> g(2, 2);
  EXPECT_DEATH(g.Resize(0, 1), kErrorLine);
  EXPECT_DEATH(g.Resize(1, 0), kErrorLine);
  EXPECT_DEATH(g.Resize(65536u, 65537u), kErrorLine);
}

TYPED_TEST(TzGridDeathTest, SubscriptsOutsideTheGridStop) {
  TzGrid<TypeParam> g(2, 3);
  const TzGrid<TypeParam>& cg = g;
  EXPECT_DEATH(cg(2, 0), kBadSubscript);
  EXPECT_DEATH(cg(0, 3), kBadSubscript);
  EXPECT_DEATH(g.Ref(2, 0), kBadSubscript);
  EXPECT_DEATH(g.Ref(0, 3), kBadSubscript);
  EXPECT_DEATH(cg(4294967295u, 0), kBadSubscript);
  EXPECT_DEATH(g.VectorRow(2), kErrorLine);
  EXPECT_DEATH(g.VectorCol(3), kErrorLine);
}

}  // namespace
