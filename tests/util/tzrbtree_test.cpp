#include "tzrbtree.h"

#include <gtest/gtest.h>

#include <type_traits>
#include <utility>
#include <vector>

#include "rbtree_check.h"

namespace {

// Ordered and equal by key; the payload rides along.
struct Item {
  int key = 0;
  int payload = 0;
  bool operator==(const Item& o) const { return key == o.key; }
  bool operator<(const Item& o) const { return key < o.key; }
};

using Tree = OpenRb<TzRedBlackTree<Item>>;

TEST(TzRedBlackTree, PayloadComparesTheValueOnlyAndStartsBlack) {
  TzRBData<Item> a(Item{1, 5}), b(Item{1, 6}), c(Item{2, 0});
  EXPECT_EQ(a.Color, BLACK);
  EXPECT_EQ(TzRBData<Item>().Color, BLACK);
  a.Color = RED;
  EXPECT_TRUE(a == b);
  EXPECT_FALSE(a != b);
  EXPECT_TRUE(a < c);
  EXPECT_TRUE(c > a);
  TzRBData<Item> d;
  d = a;  // assignment takes both fields
  EXPECT_EQ(d.Color, RED);
  EXPECT_EQ(d.RealData.payload, 5);
}

TEST(TzRedBlackTree, EmptyTreeFindsNothing) {
  Tree t;
  EXPECT_EQ(t.GetPtrToData(Item{1}), nullptr);
  EXPECT_EQ(t.root(), t.sentinel());
  EXPECT_EQ(t.sentinel()->Data.Color, BLACK);
}

// Each insertion case of the fix-up: red uncle (recolour and climb), and
// black uncle with the new node on the inner and on the outer side.
TEST(TzRedBlackTree, FixUpCasesKeepTheInvariants) {
  const std::vector<std::vector<int>> orders = {
      {1, 2, 3},
      {3, 2, 1},
      {1, 3, 2},
      {3, 1, 2},
      {2, 1, 3, 4},
      {2, 1, 3, 0},
      {10, 5, 15, 7, 6},
      {10, 5, 15, 12, 13},
      {1, 2, 3, 4, 5, 6, 7, 8, 9, 10},
      {10, 9, 8, 7, 6, 5, 4, 3, 2, 1},
  };
  for (const auto& order : orders) {
    Tree t;
    for (int k : order) {
      t.Insert(Item{k, k * 10});
      ASSERT_EQ(t.CheckAll(), "") << "after " << k;
    }
    for (int k : order) {
      const Item* p = t.GetPtrToData(Item{k});
      ASSERT_NE(p, nullptr);
      EXPECT_EQ(p->payload, k * 10);
    }
  }
}

TEST(TzRedBlackTree, ThreeAscendingValuesBalanceAroundTheMiddle) {
  Tree t;
  t.Insert(Item{1});
  t.Insert(Item{2});
  t.Insert(Item{3});
  auto* r = t.root();
  EXPECT_EQ(r->Data.RealData.key, 2);
  EXPECT_EQ(r->Data.Color, BLACK);
  EXPECT_EQ(r->Less->Data.RealData.key, 1);
  EXPECT_EQ(r->Less->Data.Color, RED);
  EXPECT_EQ(r->More->Data.RealData.key, 3);
  EXPECT_EQ(r->More->Data.Color, RED);
}

// Replacing the value of a red node must leave it red: the new payload is
// black, and taking its colour would give one path an extra black node.
TEST(TzRedBlackTree, ReplacingAValueKeepsTheNodesColour) {
  Tree t;
  for (int k : {1, 2, 3}) t.Insert(Item{k, 0});
  auto* red = t.root()->More;
  ASSERT_EQ(red->Data.Color, RED);
  t.Insert(Item{3, 99});
  EXPECT_EQ(t.root()->More, red);  // same node, no new one
  EXPECT_EQ(red->Data.Color, RED);
  EXPECT_EQ(red->Data.RealData.payload, 99);
  EXPECT_EQ(t.CheckAll(), "");
  for (int k = 4; k < 50; ++k) {
    t.Insert(Item{k % 7, k});  // many replacements among new keys
    t.Insert(Item{k, k});
    ASSERT_EQ(t.CheckAll(), "") << k;
  }
  EXPECT_EQ(t.GetPtrToData(Item{3})->payload, 45);
}

TEST(TzRedBlackTree, PointersStayValidUntilEraseAndTheTreeRefills) {
  Tree t;
  for (int k = 0; k < 100; ++k) t.Insert(Item{k, k});
  Item* p = t.GetPtrToData(Item{42});
  ASSERT_NE(p, nullptr);
  for (int k = 100; k < 200; ++k) t.Insert(Item{k, k});
  EXPECT_EQ(t.GetPtrToData(Item{42}), p);
  p->payload = -1;  // writing through it changes the stored value
  EXPECT_EQ(t.GetPtrToData(Item{42})->payload, -1);
  t.Erase();
  EXPECT_EQ(t.GetPtrToData(Item{42}), nullptr);
  t.Insert(Item{5, 6});
  EXPECT_EQ(t.GetPtrToData(Item{5})->payload, 6);
  EXPECT_EQ(t.CheckAll(), "");
}

// Whether a tree offers the plain tree's removal of one value.
template <class Tree, class V, class = void>
struct HasDelete : std::false_type {};
template <class Tree, class V>
struct HasDelete<Tree, V, std::void_t<decltype(std::declval<Tree&>().Delete(std::declval<const V&>()))>>
    : std::true_type {};

// The plain tree's deletion keeps no colours: a red-black tree (and the
// keyed tree on it) must not offer it, or removing one value would silently
// unbalance the tree.
TEST(TzRedBlackTree, OffersNoRemovalOfSingleValues) {
  EXPECT_TRUE((HasDelete<TzBinaryTree<Item>, Item>::value));
  EXPECT_FALSE((HasDelete<TzRedBlackTree<Item>, Item>::value));
  EXPECT_FALSE((HasDelete<TzRedBlackTree<Item>, TzRBData<Item>>::value));
}

TEST(TzRedBlackTreeDeathTest, InsertingIntoALockedTreeStops) {
  struct Locking : TzRedBlackTree<Item> {
    void Lock() { ++LockCount; }
  };
  EXPECT_DEATH(
      {
        Locking t;
        t.Lock();
        t.Insert(Item{1});
      },
      "^tzbintree\\.cpp:[0-9]+: Assertion `LockCount <= 0' failed\\.\n$");
}

}  // namespace
