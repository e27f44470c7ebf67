#include "tzrbktree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <map>
#include <random>
#include <vector>

#include "rbtree_check.h"
#include "tzdefs.h"

namespace {

struct Record {
  Long num;
};

using KeyTree = OpenRb<TzRbKeyTree<Long, int>>;

TEST(TzKeyedData, ComparesByKeyAndTurnsIntoAProbe) {
  TzKeyedData<Long, int> a(3, 30), b(3, 31), c(4, 0);
  EXPECT_TRUE(a == b);
  EXPECT_TRUE(a < c);
  EXPECT_FALSE(c < a);
  TzKeyedData<Long, int> probe = TzKeyedData<Long, int>();
  EXPECT_EQ(probe.Data(), 0);  // value-initialised
  EXPECT_EQ(probe[7].Key(), 7);
  TzKeyedData<Long, int>& self = a;
  a = self;
  EXPECT_EQ(a.Key(), 3);
  EXPECT_EQ(a.Data(), 30);
  a = c;
  EXPECT_EQ(a.Key(), 4);
  EXPECT_EQ(a.Data(), 0);
}

TEST(TzRbKeyTree, EmptyTreeGivesNullForEveryKey) {
  TzRbKeyTree<Long, Record*> t;
  for (Long k : {0, 1, -1, LONG_MIN32, LONG_MAX32}) EXPECT_EQ(t.GetPtrToData(k), nullptr);
  t.Erase();
}

TEST(TzRbKeyTree, KeysOneTwoThree) {
  KeyTree t;
  for (Long k : {1, 2, 3}) t.Insert(k, k * 100);
  auto* r = t.root();
  EXPECT_EQ(r->Data.RealData.Key(), 2);
  EXPECT_EQ(r->Data.Color, BLACK);
  EXPECT_EQ(r->Less->Data.RealData.Key(), 1);
  EXPECT_EQ(r->Less->Data.Color, RED);
  EXPECT_EQ(r->More->Data.RealData.Key(), 3);
  EXPECT_EQ(r->More->Data.Color, RED);
}

TEST(TzRbKeyTree, AscendingKeysOneToAThousandGiveALongestPathOfSeventeen) {
  KeyTree t;
  for (Long k = 1; k <= 1000; ++k) t.Insert(k, static_cast<int>(k));
  EXPECT_EQ(t.Height(), 17);
  std::size_t n = 0;
  EXPECT_EQ(t.CheckAll(&n), "");
  EXPECT_EQ(n, 1000u);
}

TEST(TzRbKeyTree, ASecondInsertionOfAKeyReplacesItsDatum) {
  KeyTree t;
  for (Long k : {5, -3, 0, 12}) t.Insert(k, 1);
  t.Insert(0, 2);
  std::size_t n = 0;
  EXPECT_EQ(t.CheckAll(&n), "");
  EXPECT_EQ(n, 4u);
  ASSERT_NE(t.GetPtrToData(0), nullptr);
  EXPECT_EQ(t.GetPtrToData(0)->Data(), 2);
  EXPECT_EQ(t.GetPtrToData(0)->Key(), 0);
  EXPECT_EQ(t.GetPtrToData(-3)->Data(), 1);  // negative keys are ordinary keys
  EXPECT_EQ(t.GetPtrToData(4), nullptr);
}

TEST(TzRbKeyTree, RecordsByNumberAsTheRunoffElementKeepsItsEdges) {
  std::vector<Record> edges;
  for (Long k = 0; k < 500; ++k) edges.push_back(Record{1000 - 2 * k});
  TzRbKeyTree<Long, Record*> byNum;
  for (Record& e : edges) byNum.Insert(e.num, &e);
  for (Record& e : edges) {
    TzKeyedData<Long, Record*>* p = byNum.GetPtrToData(e.num);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->Data(), &e);
  }
  EXPECT_EQ(byNum.GetPtrToData(1001), nullptr);
  EXPECT_EQ(byNum.GetPtrToData(999), nullptr);
  byNum.Erase();
  EXPECT_EQ(byNum.GetPtrToData(1000), nullptr);
  byNum.Insert(7, &edges[0]);
  EXPECT_EQ(byNum.GetPtrToData(7)->Data(), &edges[0]);
}

// 10^5 random keys, with repeated keys among them: after every insertion
// the part of the tree it changed is checked (links, order, colours, black
// heights, the new key's depth within 2 log2(n + 1)); the whole tree is
// checked every 4096 insertions and at the end, and every key is found with
// its latest datum.
TEST(TzRbKeyTree, RandomisedHundredThousandKeysKeepEveryInvariant) {
  std::mt19937 rng(20261210);
  std::uniform_int_distribution<Long> keyOf(LONG_MIN32, LONG_MAX32);
  KeyTree t;
  std::map<Long, int> model;
  const int inserts = 100000;
  for (int i = 0; i < inserts; ++i) {
    Long k = keyOf(rng);
    if (i % 10 == 9) {
      // Replace the datum of a key already present.
      auto it = model.lower_bound(k);
      if (it == model.end()) it = model.begin();
      k = it->first;
    }
    t.Insert(k, i);
    model[k] = i;
    std::string err = t.CheckPath(TzRBData<TzKeyedData<Long, int>>(TzKeyedData<Long, int>(k, 0)), model.size());
    ASSERT_EQ(err, "") << "insertion " << i;
    if (i % 4096 == 0) {
      std::size_t n = 0;
      ASSERT_EQ(t.CheckAll(&n), "") << "insertion " << i;
      ASSERT_EQ(n, model.size());
    }
  }
  std::size_t n = 0;
  ASSERT_EQ(t.CheckAll(&n), "");
  ASSERT_EQ(n, model.size());
  EXPECT_LE(t.Height(), 2 * std::log2(static_cast<double>(n) + 1));
  for (const auto& kv : model) {
    TzKeyedData<Long, int>* p = t.GetPtrToData(kv.first);
    ASSERT_NE(p, nullptr);
    ASSERT_EQ(p->Key(), kv.first);
    ASSERT_EQ(p->Data(), kv.second);
  }
  for (int i = 0; i < 1000; ++i) {
    Long k = keyOf(rng);
    EXPECT_EQ(t.GetPtrToData(k) == nullptr, model.count(k) == 0);
  }
}

}  // namespace
