#include <gtest/gtest.h>

#include <vector>

#include "tzslist.h"

namespace {

using List = TzSListDynamic<Long>;

// Opens the list's links to the tests.
struct Probe : List {
  using List::List;
  const Node* HeadNode() const { return Head; }
  const Node* TailNode() const { return Tail; }
  const Node* Cursor() const { return Work; }
  // The values from Head along the links, however the cursor stands.
  std::vector<Long> Links() const {
    std::vector<Long> v;
    for (const Node* n = Head; n != nullptr; n = n->Next) v.push_back(n->Data);
    return v;
  }
};

// The standard walk: ToHead, then Get and ToNext while the result is 1.
std::vector<Long> Walk(List& l, int limit = 100) {
  std::vector<Long> v;
  for (TzBoolean more = l.ToHead(); more && limit > 0; more = l.ToNext(), --limit) v.push_back(l.Get());
  return v;
}

std::vector<Long> AsArray(const List& l) {
  Long* a = l;
  std::vector<Long> v(a, a + l.GetCount());
  delete[] a;
  return v;
}

TEST(TzSList, NewListIsEmptyWithCursorAtTail) {
  for (int circular : {0, 1}) {
    List l(circular);
    EXPECT_EQ(l.GetCount(), 0u);
    EXPECT_EQ(l.ToHead(), 0);
    EXPECT_EQ(l.AtTail(), 1);
    EXPECT_EQ(l.IsShallow(), 0);
    EXPECT_EQ(l.IsCircular(), circular);
    EXPECT_EQ(static_cast<Long*>(l), nullptr);
  }
}

TEST(TzSList, AppendKeepsOrderAndLeavesCursorOnFirst) {
  Probe l(0);
  l.Append(7);
  EXPECT_EQ(l.Cursor(), l.HeadNode());
  EXPECT_EQ(l.AtTail(), 1);
  l.Append(-3);
  l.Append(12);
  EXPECT_EQ(l.Get(), 7);  // the cursor stays where the first Append put it
  EXPECT_EQ(l.AtTail(), 0);
  EXPECT_EQ(l.GetCount(), 3u);
  EXPECT_EQ(Walk(l), (std::vector<Long>{7, -3, 12}));
  EXPECT_EQ(l.AtTail(), 1);
  EXPECT_EQ(l.ToNext(), 0);  // at the tail of a non-circular list: stays
  EXPECT_EQ(l.Get(), 12);
  EXPECT_EQ(AsArray(l), (std::vector<Long>{7, -3, 12}));
  EXPECT_EQ(l.TailNode()->Next, nullptr);
}

TEST(TzSList, CircularCursorWrapsButLinksEndAtTail) {
  Probe l(1);
  l.Append(4);
  l.Append(5);
  ASSERT_EQ(l.ToHead(), 1);
  EXPECT_EQ(l.ToNext(), 1);
  EXPECT_EQ(l.Get(), 5);
  EXPECT_EQ(l.ToNext(), 1);
  EXPECT_EQ(l.Get(), 4);
  EXPECT_EQ(l.TailNode()->Next, nullptr);
  // The standard walk never ends on a circular list.
  EXPECT_EQ(Walk(l, 7), (std::vector<Long>{4, 5, 4, 5, 4, 5, 4}));
  // A single element wraps onto itself.
  List one(1);
  one.Append(9);
  one.ToHead();
  EXPECT_EQ(one.ToNext(), 1);
  EXPECT_EQ(one.Get(), 9);
}

TEST(TzSList, ArrayConstructionAndAppending) {
  const Long a[] = {1, 2, 3};
  List l(a, 3);
  EXPECT_EQ(l.IsCircular(), 0);
  EXPECT_EQ(l.IsShallow(), 0);
  EXPECT_EQ(Walk(l), (std::vector<Long>{1, 2, 3}));
  const Long b[] = {-4, 5};
  l.Append(b, 2);
  EXPECT_EQ(Walk(l), (std::vector<Long>{1, 2, 3, -4, 5}));
  List other(0);
  other.Append(6);
  l.Append(other);
  EXPECT_EQ(Walk(l), (std::vector<Long>{1, 2, 3, -4, 5, 6}));
  EXPECT_EQ(Walk(other), (std::vector<Long>{6}));
  List none(0);
  l.Append(none);
  EXPECT_EQ(l.GetCount(), 6u);
}

TEST(TzSList, AppendingAListToItselfDoublesIt) {
  Probe l(0);
  l.Append(1);
  l.Append(2);
  l.Append(static_cast<const List&>(l));
  EXPECT_EQ(l.Links(), (std::vector<Long>{1, 2, 1, 2}));
  EXPECT_EQ(l.GetCount(), 4u);
}

// Removal at every position of lists of one to four elements.
TEST(TzSList, RemoveAtEveryPosition) {
  struct Case {
    int size, at;            // list 10, 20, ... of `size`; cursor on index `at`
    std::vector<Long> left;  // values afterwards
    int cursor;              // index of the cursor afterwards, -1 for none
  };
  const Case cases[] = {
      {1, 0, {}, -1},          {2, 0, {20}, 0},         {2, 1, {10}, 0},
      {3, 0, {20, 30}, 0},     {3, 1, {10, 30}, 0},     {3, 2, {10, 20}, 1},
      {4, 0, {20, 30, 40}, 0}, {4, 2, {10, 20, 40}, 1}, {4, 3, {10, 20, 30}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "size " << c.size << " at " << c.at);
    Probe l(0);
    for (int i = 0; i < c.size; ++i) l.Append(10 * (i + 1));
    l.ToHead();
    for (int i = 0; i < c.at; ++i) l.ToNext();
    l.Remove();
    EXPECT_EQ(l.Links(), c.left);
    EXPECT_EQ(l.GetCount(), c.left.size());
    if (c.left.empty()) {
      EXPECT_EQ(l.HeadNode(), nullptr);
      EXPECT_EQ(l.TailNode(), nullptr);
      EXPECT_EQ(l.Cursor(), nullptr);
      EXPECT_EQ(l.ToHead(), 0);
      continue;
    }
    EXPECT_EQ(l.TailNode()->Data, c.left.back());
    EXPECT_EQ(l.TailNode()->Next, nullptr);
    EXPECT_EQ(l.Get(), c.left[c.cursor]);
    // The list stays usable: appending goes after the new tail.
    l.Append(99);
    std::vector<Long> more = c.left;
    more.push_back(99);
    EXPECT_EQ(Walk(l), more);
  }
}

TEST(TzSList, RemoveUntilEmptyThenRefill) {
  List l(0);
  for (Long v : {1, 2, 3}) l.Append(v);
  l.ToHead();
  while (l.GetCount() > 0) l.Remove();
  EXPECT_EQ(l.ToHead(), 0);
  EXPECT_EQ(l.AtTail(), 1);
  l.Append(8);
  EXPECT_EQ(Walk(l), (std::vector<Long>{8}));
}

TEST(TzSList, DeepCopyIsIndependent) {
  List src(1);
  for (Long v : {3, 1, 4}) src.Append(v);
  {
    List copy(src, 0);
    EXPECT_EQ(copy.IsShallow(), 0);
    EXPECT_EQ(copy.IsCircular(), 1);
    EXPECT_EQ(copy.GetCount(), 3u);
    EXPECT_EQ(AsArray(copy), (std::vector<Long>{3, 1, 4}));
    copy.Append(1);
    copy.Erase();
    EXPECT_EQ(copy.GetCount(), 0u);
    EXPECT_EQ(copy.IsCircular(), 1);  // Erase keeps the flag
  }
  EXPECT_EQ(AsArray(src), (std::vector<Long>{3, 1, 4}));
  List implicit = src;  // the copy constructor copies deeply as well
  EXPECT_EQ(implicit.IsShallow(), 0);
  implicit.Erase();
  EXPECT_EQ(AsArray(src), (std::vector<Long>{3, 1, 4}));
}

TEST(TzSList, ShallowCopyViewsTheSameNodesAndFreesNothing) {
  Probe src(0);
  for (Long v : {5, 6}) src.Append(v);
  {
    Probe view(src, 1);
    EXPECT_EQ(view.IsShallow(), 1);
    EXPECT_EQ(view.HeadNode(), src.HeadNode());
    EXPECT_EQ(Walk(view), (std::vector<Long>{5, 6}));
    view.Erase();  // drops the view only
    EXPECT_EQ(view.IsShallow(), 0);
    EXPECT_EQ(view.GetCount(), 0u);
  }
  { Probe view(src, 1); }  // destroying a view frees nothing either
  EXPECT_EQ(Walk(src), (std::vector<Long>{5, 6}));
}

TEST(TzSList, AssignmentReplacesTheValues) {
  List a(0), b(0);
  for (Long v : {1, 2, 3}) a.Append(v);
  b.Append(9);
  b = a;
  EXPECT_EQ(Walk(b), (std::vector<Long>{1, 2, 3}));
  a.Erase();
  EXPECT_EQ(Walk(b), (std::vector<Long>{1, 2, 3}));
  // Assigning from a view copies the values into nodes of one's own.
  List owner(0);
  owner.Append(4);
  List view(owner, 1);
  b = view;
  owner.Erase();
  EXPECT_EQ(Walk(b), (std::vector<Long>{4}));
  // Assigning a list to itself keeps it.
  b = b;
  EXPECT_EQ(Walk(b), (std::vector<Long>{4}));
}

TEST(TzSListDeathTest, ChecksNameTheirConditionAndLine) {
  List empty(0);
  const Long* none = nullptr;
  EXPECT_DEATH(List(none, 3), "^tzslist\\.cpp:64: Assertion `\\(array != NULL\\) && \\(no > 0\\)' failed\\.\n$");
  const Long a[] = {1};
  EXPECT_DEATH(List(a, 0), "^tzslist\\.cpp:64: Assertion `\\(array != NULL\\) && \\(no > 0\\)' failed\\.\n$");
  EXPECT_DEATH(empty.Append(a, 0), "^tzslist\\.cpp:146: Assertion `\\(array != NULL\\) && \\(no > 0\\)' failed\\.\n$");
  EXPECT_DEATH(empty.Append(none, 1),
               "^tzslist\\.cpp:146: Assertion `\\(array != NULL\\) && \\(no > 0\\)' failed\\.\n$");
  EXPECT_DEATH(empty.Remove(), "^tzslist\\.cpp:176: Assertion `Work != NULL' failed\\.\n$");
  EXPECT_DEATH(empty.Get(), "^tzslist\\.cpp:233: Assertion `Count != 0' failed\\.\n$");
  EXPECT_DEATH(empty.ToNext(), "^tzslist\\.cpp:244: Assertion `Count != 0' failed\\.\n$");
}

}  // namespace
