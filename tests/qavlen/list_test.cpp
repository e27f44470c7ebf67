#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "list.h"
#include "qavlen_testing.h"

namespace {

using qtest::Qavlensdir;
using qtest::stderr_of;

std::map<void*, int> g_cleared;
std::vector<void*> g_order;
void count_clear(void* p) {
  ++g_cleared[p];
  g_order.push_back(p);
}

int a = 1, b = 2, c = 3, d = 4;

std::vector<void*> items_of(List& l) {
  std::vector<void*> out;
  void* item;
  l.Top();
  while (l.Look(item)) out.push_back(item);
  EXPECT_EQ(item, nullptr);
  return out;
}

TEST(List, EmptyList) {
  List l;
  EXPECT_EQ(l.Number(), 0);
  EXPECT_EQ(l.Get_head(), nullptr);
  EXPECT_EQ(l.Get_tail(), nullptr);
  EXPECT_EQ(l.Tail(), nullptr);
  void** array = reinterpret_cast<void**>(&a);
  int n = 9;
  l.Make_array(array, n);
  EXPECT_EQ(array, nullptr);
  EXPECT_EQ(n, 0);
  void* item = &a;
  l.Top();
  EXPECT_EQ(l.Look(item), 0);
  EXPECT_EQ(item, nullptr);
}

TEST(List, PutGetAndLookKeepTheirOrder) {
  List l;
  l.Put_tail(&b);
  l.Put_tail(&c);
  l.Put_head(&a);
  l.Put_tail(&d);
  EXPECT_EQ(l.Number(), 4);
  EXPECT_EQ(l.Tail(), &d);
  EXPECT_EQ(items_of(l), (std::vector<void*>{&a, &b, &c, &d}));
  EXPECT_EQ(l.Get_tail(), &d);
  EXPECT_EQ(l.Tail(), &c);
  EXPECT_EQ(l.Get_head(), &a);
  EXPECT_EQ(l.Number(), 2);
  EXPECT_EQ(items_of(l), (std::vector<void*>{&b, &c}));
  EXPECT_EQ(l.Get_tail(), &c);
  EXPECT_EQ(l.Get_tail(), &b);
  EXPECT_EQ(l.Get_tail(), nullptr);
  EXPECT_EQ(l.Number(), 0);
  l.Put_tail(&a);  // usable again after it ran empty
  EXPECT_EQ(l.Get_head(), &a);
  EXPECT_EQ(l.Tail(), nullptr);
}

TEST(List, CursorSurvivesRemovalOfItsNode) {
  List l;
  l.Put_tail(&a);
  l.Put_tail(&b);
  l.Top();
  EXPECT_EQ(l.Get_head(), &a);  // the node under the cursor goes
  void* item;
  EXPECT_EQ(l.Look(item), 1);
  EXPECT_EQ(item, &b);
  l.Top();
  EXPECT_EQ(l.Get_tail(), &b);
  EXPECT_EQ(l.Look(item), 0);
}

TEST(List, MakeArrayGivesArrivalOrderAndListToArrayEmptiesTheList) {
  List l(count_clear);
  g_cleared.clear();
  l.Put_tail(&a);
  l.Put_tail(&b);
  l.Put_tail(&c);
  void** array;
  int n;
  l.Make_array(array, n);
  ASSERT_EQ(n, 3);
  EXPECT_EQ(array[0], &a);
  EXPECT_EQ(array[1], &b);
  EXPECT_EQ(array[2], &c);
  EXPECT_EQ(l.Number(), 3);  // unchanged
  delete[] array;

  List reversed;
  reversed.Put_head(&a);
  reversed.Put_head(&b);
  reversed.List_to_array(array, n);
  ASSERT_EQ(n, 2);
  EXPECT_EQ(array[0], &b);
  EXPECT_EQ(array[1], &a);
  EXPECT_EQ(reversed.Number(), 0);
  EXPECT_EQ(reversed.Tail(), nullptr);
  delete[] array;

  // List_to_array leaves the items alone even with a clear function.
  l.List_to_array(array, n);
  EXPECT_EQ(n, 3);
  EXPECT_TRUE(g_cleared.empty());
  delete[] array;
}

TEST(List, ClearAndDestructorHandEachItemOnceHeadFirst) {
  g_cleared.clear();
  g_order.clear();
  {
    List l(count_clear);
    l.Put_tail(&a);
    l.Put_tail(&b);
    l.Clear();
    EXPECT_EQ(l.Number(), 0);
    EXPECT_EQ(l.Tail(), nullptr);
    l.Put_tail(&c);
    l.Put_tail(&d);
    l.Put_head(&a);
  }
  EXPECT_EQ(g_order, (std::vector<void*>{&a, &b, &a, &c, &d}));
  EXPECT_EQ(g_cleared[&a], 2);
  EXPECT_EQ(g_cleared[&b], 1);
  EXPECT_EQ(g_cleared[&c], 1);
  EXPECT_EQ(g_cleared[&d], 1);

  // Without a clear function Clear and the destructor touch no item.
  g_cleared.clear();
  {
    List l;
    l.Put_tail(&a);
    l.Clear();
    l.Put_tail(&b);
  }
  EXPECT_TRUE(g_cleared.empty());

  // Clear_node keeps the items even with a clear function.
  List l(count_clear);
  l.Put_tail(&a);
  l.Clear_node();
  EXPECT_EQ(l.Number(), 0);
  EXPECT_TRUE(g_cleared.empty());
}

// Clf_c frees the characters made with new char, the items of the
// bracketed data reader: the sanitizer build sees a leak or a mismatched
// delete. In every build each item, a null one among them, goes to it as
// the list is cleared, and the destructor clears what is left.
TEST(List, ClearFunctionOfCharacters) {
  List l(Clf_c);
  char* x = new char('x');
  l.Put_tail(x);
  l.Put_tail(nullptr);
  l.Put_tail(new char('y'));
  EXPECT_EQ(l.Number(), 3);
  EXPECT_EQ(items_of(l).front(), x);
  l.Clear();
  EXPECT_EQ(l.Number(), 0);
  EXPECT_EQ(l.Get_head(), nullptr);
  l.Put_tail(new char('z'));
}

TEST(List, InitIsRefusedWhenSetOrHoldingItems) {
  Qavlensdir none(nullptr);
  List l;
  l.Put_tail(&a);
  EXPECT_EQ(stderr_of([&] { EXPECT_EQ(l.Init(count_clear), 0); }), "E : list.cpp : 142 : \n");
  l.Clear_node();
  g_cleared.clear();
  EXPECT_EQ(l.Init(count_clear), 1);
  EXPECT_EQ(stderr_of([&] { EXPECT_EQ(l.Init(Clf_c), 0); }), "E : list.cpp : 137 : \n");
  l.Put_tail(&b);
  l.Clear();
  EXPECT_EQ(g_cleared[&b], 1);  // the first clear function stayed
}

}  // namespace
