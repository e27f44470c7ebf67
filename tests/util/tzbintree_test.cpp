#include "tzbintree.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A value that counts the live copies, so that the tests see every node freed.
struct Counted {
  static int live;
  int key = 0;
  int tag = 0;
  Counted() { ++live; }
  Counted(int k, int t = 0) : key(k), tag(t) { ++live; }  // NOLINT
  Counted(const Counted& o) : key(o.key), tag(o.tag) { ++live; }
  Counted& operator=(const Counted& o) = default;
  ~Counted() { --live; }
  bool operator==(const Counted& o) const { return key == o.key; }
  bool operator<(const Counted& o) const { return key < o.key; }
};
int Counted::live = 0;

// Ordered by key alone but equal only when key and tag match, as the
// connectivity builder's work nodes are.
struct Coarse {
  int key = 0;
  int tag = 0;
  bool operator==(const Coarse& o) const { return key == o.key && tag == o.tag; }
  bool operator<(const Coarse& o) const { return key < o.key; }
};

template <class T>
class OpenTree : public TzBinaryTree<T> {
 public:
  using Node = TzTreeNode<T>;
  using TzBinaryTree<T>::Search;
  using TzBinaryTree<T>::InternalInsert;
  Node* root() const { return this->Root; }
  Node* sentinel() const { return this->Sentinel; }
  void Lock() { ++this->LockCount; }
  void Unlock() { --this->LockCount; }

  std::vector<T> InOrder() const {
    std::vector<T> out;
    Collect(this->Root, out);
    return out;
  }
  void Collect(Node* x, std::vector<T>& out) const {
    if (x == this->Sentinel) return;
    Collect(x->Less, out);
    out.push_back(x->Data);
    Collect(x->More, out);
  }
  // A chain of n nodes down the More side, built in linear time.
  void Chain(int n) {
    Node* last = this->Sentinel;
    for (int k = 0; k < n; ++k) {
      Node* z = this->CreateNode(T(k));
      z->Parent = last;
      if (last == this->Sentinel)
        this->Root = z;
      else
        last->More = z;
      last = z;
    }
  }
};

std::vector<int> Keys(const std::vector<Counted>& v) {
  std::vector<int> out;
  for (const Counted& c : v) out.push_back(c.key);
  return out;
}

TEST(TzBinaryTree, NewTreeIsEmptyWithASelfLinkedSentinel) {
  OpenTree<int> t;
  const TzTreeNode<int>* s = t.GetSentinel();
  EXPECT_EQ(s, t.sentinel());
  EXPECT_EQ(t.root(), t.sentinel());
  EXPECT_EQ(s->Less, s);
  EXPECT_EQ(s->More, s);
  EXPECT_EQ(s->Parent, s);
  EXPECT_EQ(t.Search(5), t.sentinel());
  EXPECT_EQ(t.GetLockCount(), 0u);
  t.Erase();  // nothing to free
  EXPECT_EQ(t.root(), t.sentinel());
}

TEST(TzBinaryTree, InsertionHangsEachValueBelowItsSearchPath) {
  OpenTree<int> t;
  for (int v : {5, 3, 8, 1, 4, 9}) EXPECT_NE(t.InternalInsert(v), nullptr);
  auto* r = t.root();
  auto* s = t.sentinel();
  EXPECT_EQ(r->Data, 5);
  EXPECT_EQ(r->Parent, s);
  EXPECT_EQ(r->Less->Data, 3);
  EXPECT_EQ(r->More->Data, 8);
  EXPECT_EQ(r->Less->Less->Data, 1);
  EXPECT_EQ(r->Less->More->Data, 4);
  EXPECT_EQ(r->More->More->Data, 9);
  EXPECT_EQ(r->More->Less, s);
  EXPECT_EQ(r->Less->More->Parent, r->Less);
  EXPECT_EQ(r->Less->Less->Less, s);
  EXPECT_EQ(t.InOrder(), (std::vector<int>{1, 3, 4, 5, 8, 9}));
  EXPECT_EQ(t.Search(4), r->Less->More);
  EXPECT_EQ(t.Search(7), s);
}

TEST(TzBinaryTree, AnEqualValueIsReplacedWithoutChangingTheShape) {
  OpenTree<Counted> t;
  t.InternalInsert(Counted(2, 1));
  t.InternalInsert(Counted(1, 1));
  t.InternalInsert(Counted(3, 1));
  auto* before = t.Search(Counted(3));
  EXPECT_EQ(t.InternalInsert(Counted(3, 2)), nullptr);
  EXPECT_EQ(t.Search(Counted(3)), before);
  EXPECT_EQ(before->Data.tag, 2);
  EXPECT_EQ(Keys(t.InOrder()), (std::vector<int>{1, 2, 3}));
}

TEST(TzBinaryTree, ValuesOfOneKeyKeepTheirInsertionOrder) {
  OpenTree<Coarse> t;
  const Coarse values[] = {{5, 1}, {5, 2}, {4, 3}, {5, 4}};
  for (const Coarse& v : values) EXPECT_NE(t.InternalInsert(v), nullptr);
  std::vector<int> tags;
  for (const Coarse& c : t.InOrder()) tags.push_back(c.tag);
  EXPECT_EQ(tags, (std::vector<int>{3, 1, 2, 4}));
  EXPECT_EQ(t.InternalInsert(Coarse{5, 2}), nullptr);  // equal: replaced
}

TEST(TzBinaryTree, EraseAndDestructionFreeEveryNode) {
  const int before = Counted::live;
  {
    OpenTree<Counted> t;
    EXPECT_EQ(Counted::live, before + 1);  // the sentinel's value
    for (int k = 0; k < 100; ++k) t.InternalInsert(Counted((k * 37) % 101));
    EXPECT_EQ(Counted::live, before + 101);
    t.Erase();
    EXPECT_EQ(Counted::live, before + 1);
    EXPECT_EQ(t.root(), t.sentinel());
    t.InternalInsert(Counted(7));
    t.InternalInsert(Counted(3));
    EXPECT_EQ(Keys(t.InOrder()), (std::vector<int>{3, 7}));
  }
  EXPECT_EQ(Counted::live, before);
}

// An unbalanced tree can be as deep as it is large: freeing it must not
// recurse once per level.
TEST(TzBinaryTree, AVeryDeepTreeIsFreedWithoutExhaustingTheStack) {
  const int before = Counted::live;
  {
    OpenTree<Counted> t;
    t.Chain(1000000);
    EXPECT_EQ(Counted::live, before + 1000001);
    t.Erase();
    EXPECT_EQ(Counted::live, before + 1);
    t.Chain(1000000);
  }
  EXPECT_EQ(Counted::live, before);
}

TEST(TzBinaryTreeDeathTest, ALockedTreeCannotChange) {
  const char* const locked = "^tzbintree\\.cpp:[0-9]+: Assertion `LockCount <= 0' failed\\.\n$";
  EXPECT_DEATH(
      {
        OpenTree<int> t;
        t.Lock();
        t.InternalInsert(1);
      },
      locked);
  EXPECT_DEATH(
      {
        OpenTree<int> t;
        t.InternalInsert(1);
        t.Lock();
        t.Erase();
      },
      locked);
  EXPECT_DEATH(
      {
        OpenTree<int> t;
        t.Lock();
      },
      locked);
  OpenTree<int> t;
  t.Lock();
  EXPECT_NE(t.Search(1), nullptr);  // searching a locked tree is allowed
  t.Unlock();
}

}  // namespace
