#include "tzbintree.h"

#include <gtest/gtest.h>

#include <climits>
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

// Deletion, copying, walking and the iterators.
namespace {

// A work value of the connectivity builder: ordered by node number alone,
// equal only when edge and node number both match.
struct Work {
  int edge = 0;
  int node = 0;
  Work() = default;
  Work(int e, int n) : edge(e), node(n) {}
  bool operator==(const Work& o) const { return edge == o.edge && node == o.node; }
  bool operator<(const Work& o) const { return node < o.node; }
};

template <class T>
class Open2 : public TzBinaryTree2<T> {
 public:
  using Node = TzTreeNode<T>;
  Node* root() const { return this->Root; }
  Node* sentinel() const { return this->Sentinel; }
  void Unlock() { --this->LockCount; }
  void LockAll() { this->LockCount = UINT_MAX; }

  // Checks the links and the order of every node, and describes the shape
  // as "(less value more)".
  std::string Shape() const {
    std::string out;
    EXPECT_TRUE(Check(this->Root, this->Sentinel, out));
    return out;
  }
  bool Check(Node* x, Node* parent, std::string& out) const {
    if (x == this->Sentinel) return true;
    bool ok = x->Parent == parent;
    if (x->Less != this->Sentinel) ok = ok && x->Less->Data < x->Data;
    if (x->More != this->Sentinel) ok = ok && !(x->More->Data < x->Data);
    out += "(";
    ok = Check(x->Less, x, out) && ok;
    out += " " + Describe(x->Data) + " ";
    ok = Check(x->More, x, out) && ok;
    out += ")";
    return ok;
  }
  static std::string Describe(const Work& w) { return std::to_string(w.node) + "/" + std::to_string(w.edge); }
  static std::string Describe(int v) { return std::to_string(v); }
  static std::string Describe(const Counted& c) { return std::to_string(c.key); }
};

std::vector<Work> g_walked;
void Collect(const Work& w) { g_walked.push_back(w); }

std::vector<int> Edges(const std::vector<Work>& v) {
  std::vector<int> out;
  for (const Work& w : v) out.push_back(w.edge);
  return out;
}

template <class T>
std::vector<T> Walked(TzBinaryTree<T>& t) {
  g_walked.clear();
  t.Walk(Collect);
  return g_walked;
}

// The edges met stepping with ++ from the smallest value.
std::vector<int> Forward(TzBinaryTree<Work>& t) {
  std::vector<int> out;
  TzBinaryTreeIterator<Work> it(t);
  for (; static_cast<Work*>(it) != nullptr; ++it) out.push_back((*it).edge);
  return out;
}

// A tree of many values of few nodes, inserted in a scrambled order.
void Fill(TzBinaryTree<Work>& t, int n) {
  for (int e = 1; e <= n; ++e) t.Insert(Work(e, (e * 7919) % 13));
}

TEST(TzBinaryTreeIterator, EmptyTreeIsAtTheEndAtOnce) {
  Open2<Work> t;
  {
    TzBinaryTreeIterator<Work> it(t);
    EXPECT_EQ(t.GetLockCount(), 1u);
    EXPECT_EQ(static_cast<Work*>(it), nullptr);
    ++it;
    --it;
    EXPECT_EQ(static_cast<Work*>(it), nullptr);
  }
  EXPECT_EQ(t.GetLockCount(), 0u);
  EXPECT_EQ(Walked(t).size(), 0u);
}

TEST(TzBinaryTreeIterator, ValuesOfOneNodeInInsertionOrderBothWays) {
  Open2<Work> t;
  for (const Work& w : {Work(1, 5), Work(2, 5), Work(3, 4), Work(4, 5)}) EXPECT_NE(t.WrapInternalInsert(w), nullptr);
  EXPECT_EQ(Edges(Walked(t)), (std::vector<int>{3, 1, 2, 4}));
  EXPECT_EQ(Forward(t), (std::vector<int>{3, 1, 2, 4}));

  TzTreeNode<Work>* n4 = t.GetPtrToNode(Work(4, 5));
  ASSERT_NE(n4, t.GetSentinel());
  EXPECT_EQ(t.GetPtrToNode(Work(4, 4)), t.GetSentinel());
  {
    TzBinaryTreeIterator2<Work> it(t);
    EXPECT_EQ((*it).edge, 3);  // starts at the smallest value
    it.Init(n4);
    std::vector<int> back;
    for (--it; static_cast<Work*>(it) != nullptr; --it) back.push_back((*it).edge);
    EXPECT_EQ(back, (std::vector<int>{2, 1, 3}));
    --it;  // stepping from the end stays there
    EXPECT_EQ(static_cast<Work*>(it), nullptr);
    ++it;
    EXPECT_EQ(static_cast<Work*>(it), nullptr);
    it.Init(t.GetPtrToNode(Work(3, 4)));
    std::vector<int> fwd;
    for (++it; static_cast<Work*>(it) != nullptr; ++it) fwd.push_back((*it).edge);
    EXPECT_EQ(fwd, (std::vector<int>{1, 2, 4}));
    it.Smallest();
    EXPECT_EQ(static_cast<Work*>(it)->edge, 3);
  }
  // Two iterators lock the tree twice.
  {
    TzBinaryTreeIterator<Work> a(t);
    TzBinaryTreeIterator2<Work> b(t);
    EXPECT_EQ(t.GetLockCount(), 2u);
  }
  EXPECT_EQ(t.GetLockCount(), 0u);
  // A probe equal to a stored value is no new node: the value is replaced.
  EXPECT_EQ(t.WrapInternalInsert(Work(2, 5)), nullptr);
}

TEST(TzBinaryTree, GetPtrToDataFindsOnlyAnEqualValue) {
  TzBinaryTree<Work> t;
  Fill(t, 20);
  Work* p = t.GetPtrToData(Work(7, (7 * 7919) % 13));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->edge, 7);
  EXPECT_EQ(t.GetPtrToData(Work(7, 99)), nullptr);
  EXPECT_EQ(t.GetPtrToData(Work(21, 0)), nullptr);
}

// Every value deleted in turn from copies of one tree, whatever its place
// (leaf, one child on either side, two children, the root): the others stay
// in their order, ties included, and every link stays sound.
TEST(TzBinaryTree, DeletingAnyValueKeepsTheOrderOfTheOthers) {
  Open2<Work> source;
  Fill(source, 60);
  const std::vector<Work> all = Walked(source);
  int leaves = 0, oneChild = 0, twoChildren = 0;
  for (const Work& w : all) {
    SCOPED_TRACE(Open2<Work>::Describe(w));
    Open2<Work> t;
    static_cast<TzBinaryTree<Work>&>(t) = source;
    TzTreeNode<Work>* z = t.GetPtrToNode(w);
    const bool less = z->Less != t.sentinel(), more = z->More != t.sentinel();
    (less && more ? twoChildren : less || more ? oneChild : leaves)++;
    EXPECT_EQ(t.Delete(w), 1);
    std::vector<int> expected;
    for (const Work& v : all)
      if (!(v == w)) expected.push_back(v.edge);
    EXPECT_EQ(Edges(Walked(t)), expected);
    t.Shape();
    EXPECT_EQ(t.GetPtrToData(w), nullptr);
    EXPECT_EQ(t.Delete(w), 0);
  }
  EXPECT_GT(leaves, 0);
  EXPECT_GT(oneChild, 0);
  EXPECT_GT(twoChildren, 0);
}

// Stepping through a deeper tree, before and after deletions, climbs and
// descends through every shape: ++ from the smallest value gives the
// in-order sequence, -- from the largest its reverse.
TEST(TzBinaryTreeIterator, StepsThroughTheWholeTreeBothWays) {
  Open2<Work> t;
  Fill(t, 60);
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    const std::vector<int> inOrder = Edges(Walked(t));
    EXPECT_EQ(Forward(t), inOrder);
    std::vector<int> back;
    {
      TzBinaryTreeIterator2<Work> it(t);
      it.Init(t.GetPtrToNode(g_walked.back()));
      for (; static_cast<Work*>(it) != nullptr; --it) back.push_back((*it).edge);
    }
    EXPECT_EQ(back, std::vector<int>(inOrder.rbegin(), inOrder.rend()));
    for (int e = 1 + round; e <= 60; e += 3) EXPECT_EQ(t.Delete(Work(e, (e * 7919) % 13)), 1);
  }
}

TEST(TzBinaryTree, DeletionByShape) {
  // 5 at the root; 3 with two children; 8 with a More child only; 1 a leaf.
  Open2<int> t;
  for (int v : {5, 3, 8, 1, 4, 9, 2}) t.Insert(v);
  EXPECT_EQ(t.Shape(), "((( 1 ( 2 )) 3 ( 4 )) 5 ( 8 ( 9 )))");
  EXPECT_EQ(t.Delete(7), 0);
  EXPECT_EQ(t.Shape(), "((( 1 ( 2 )) 3 ( 4 )) 5 ( 8 ( 9 )))");
  EXPECT_EQ(t.Delete(8), 1);  // one child: 9 moves up
  EXPECT_EQ(t.Shape(), "((( 1 ( 2 )) 3 ( 4 )) 5 ( 9 ))");
  EXPECT_EQ(t.Delete(3), 1);  // two children: takes its successor 4
  EXPECT_EQ(t.Shape(), "((( 1 ( 2 )) 4 ) 5 ( 9 ))");
  EXPECT_EQ(t.Delete(2), 1);  // a leaf
  EXPECT_EQ(t.Shape(), "((( 1 ) 4 ) 5 ( 9 ))");
  EXPECT_EQ(t.Delete(5), 1);  // the root with two children
  EXPECT_EQ(t.Shape(), "((( 1 ) 4 ) 9 )");
  EXPECT_EQ(t.Delete(9), 1);  // the root with one child
  EXPECT_EQ(t.Shape(), "(( 1 ) 4 )");
  EXPECT_EQ(t.Delete(4), 1);
  EXPECT_EQ(t.Delete(1), 1);
  EXPECT_EQ(t.root(), t.sentinel());
}

TEST(TzBinaryTree, DeletionFreesExactlyOneValue) {
  const int before = Counted::live;
  {
    TzBinaryTree<Counted> t;
    for (int k : {4, 2, 6, 1, 3, 5, 7}) t.Insert(Counted(k));
    EXPECT_EQ(Counted::live, before + 8);
    EXPECT_EQ(t.Delete(Counted(4)), 1);
    EXPECT_EQ(Counted::live, before + 7);
  }
  EXPECT_EQ(Counted::live, before);
}

// The nodes live in blocks that the tree owns: deleted nodes make room for
// later ones, values found stay where they are while others come and go,
// and a tree emptied as a whole fills again.
TEST(TzBinaryTree, NodeStorageIsReusedAndSurvivesErase) {
  const int before = Counted::live;
  {
    OpenTree<Counted> t;
    for (int k = 0; k < 5000; ++k) t.InternalInsert(Counted((k * 7919) % 5000));
    const Counted* kept = &t.Search(Counted(4999))->Data;
    for (int round = 0; round < 3; ++round) {
      for (int k = 0; k < 5000; k += 2) EXPECT_EQ(t.Delete(Counted(k)), 1);
      EXPECT_EQ(Counted::live, before + 1 + 2500);
      for (int k = 0; k < 5000; k += 2) EXPECT_NE(t.InternalInsert(Counted(k, round)), nullptr);
      EXPECT_EQ(&t.Search(Counted(4999))->Data, kept);
    }
    std::vector<int> want(5000);
    for (int k = 0; k < 5000; ++k) want[k] = k;
    EXPECT_EQ(Keys(t.InOrder()), want);
    t.Erase();
    EXPECT_EQ(Counted::live, before + 1);
    for (int k = 0; k < 3; ++k) t.InternalInsert(Counted(k));
    EXPECT_EQ(Keys(t.InOrder()), (std::vector<int>{0, 1, 2}));
  }
  EXPECT_EQ(Counted::live, before);

  // Values that need no destruction are freed with their blocks.
  OpenTree<int> plain;
  for (int k = 0; k < 100000; ++k) plain.InternalInsert((k * 7919) % 100000);
  plain.Erase();
  EXPECT_EQ(plain.root(), plain.sentinel());
  for (int k : {2, 1, 3}) plain.InternalInsert(k);
  EXPECT_EQ(plain.InOrder(), (std::vector<int>{1, 2, 3}));
}

// A value whose copy fails is not stored and leaves the tree as it was.
TEST(TzBinaryTree, AFailedCopyOfAValueLeavesTheTreeAsItWas) {
  struct Fussy {
    int key = 0;
    Fussy() = default;
    explicit Fussy(int k) : key(k) {}
    Fussy(const Fussy& o) : key(o.key) {
      if (key < 0) throw 1;
    }
    Fussy& operator=(const Fussy&) = default;
    bool operator==(const Fussy& o) const { return key == o.key; }
    bool operator<(const Fussy& o) const { return key < o.key; }
  };
  OpenTree<Fussy> t;
  for (int k : {2, 1, 3}) t.InternalInsert(Fussy(k));
  EXPECT_THROW(t.InternalInsert(Fussy(-1)), int);
  t.InternalInsert(Fussy(4));
  std::vector<int> keys;
  for (const Fussy& f : t.InOrder()) keys.push_back(f.key);
  EXPECT_EQ(keys, (std::vector<int>{1, 2, 3, 4}));
}

TEST(TzBinaryTree, CopiesHaveTheSameShapeAndAreIndependent) {
  Open2<Work> source;
  Fill(source, 40);
  const std::string shape = source.Shape();
  Open2<Work> copy;
  static_cast<TzBinaryTree<Work>&>(copy) = source;
  EXPECT_EQ(copy.Shape(), shape);
  TzBinaryTree<Work> constructed(source);
  EXPECT_EQ(Edges(Walked(constructed)), Edges(Walked(source)));
  EXPECT_EQ(constructed.GetLockCount(), 0u);

  // Changing a copy leaves the source alone, and the other way round.
  EXPECT_EQ(copy.Delete(Work(5, (5 * 7919) % 13)), 1);
  constructed.Insert(Work(100, 3));
  EXPECT_EQ(source.Shape(), shape);
  source.Erase();
  EXPECT_EQ(copy.Shape().size() > 0, true);
  EXPECT_EQ(Walked(constructed).size(), 41u);

  // Assignment replaces what a tree held; assigning a tree to itself keeps it.
  Open2<int> small, other;
  for (int v : {2, 1, 3}) small.Insert(v);
  for (int v : {9, 8}) other.Insert(v);
  static_cast<TzBinaryTree<int>&>(other) = small;
  EXPECT_EQ(other.Shape(), "(( 1 ) 2 ( 3 ))");
  TzBinaryTree<int>& self = small;
  self = small;
  EXPECT_EQ(small.Shape(), "(( 1 ) 2 ( 3 ))");
  // Copying an empty tree gives an empty tree.
  Open2<int> empty;
  static_cast<TzBinaryTree<int>&>(other) = empty;
  EXPECT_EQ(other.root(), other.sentinel());
}

TEST(TzBinaryTree, CopyingAndWalkingAVeryDeepTreeDoNotRecurse) {
  const int before = Counted::live;
  {
    OpenTree<Counted> chain;
    chain.Chain(300000);
    TzBinaryTree<Counted> copy(chain);
    EXPECT_EQ(Counted::live, before + 2 * 300001);
    static int walked, last;
    walked = 0;
    last = -1;
    copy.Walk([](const Counted& c) {
      if (c.key == last + 1) ++walked;
      last = c.key;
    });
    EXPECT_EQ(walked, 300000);
  }
  EXPECT_EQ(Counted::live, before);
}

TEST(TzBinaryTreeDeathTest, TheLockAndTheEndAreChecked) {
  EXPECT_DEATH(
      {
        TzBinaryTree<Work> t;
        TzBinaryTreeIterator<Work> it(t);
        t.Insert(Work(1, 1));
      },
      "^tzbintree\\.cpp:[0-9]+: Assertion `LockCount <= 0' failed\\.\n$");
  EXPECT_DEATH(
      {
        TzBinaryTree<Work> t;
        t.Insert(Work(1, 1));
        TzBinaryTreeIterator<Work> it(t);
        t.Delete(Work(1, 1));
      },
      "^tzbintree\\.cpp:311: Assertion `LockCount <= 0' failed\\.\n$");
  EXPECT_DEATH(
      {
        TzBinaryTree<Work> t;
        TzBinaryTree<Work> u;
        TzBinaryTreeIterator<Work> it(t);
        t = u;
      },
      "^tzbintree\\.cpp:120: Assertion `LockCount <= 0' failed\\.\n$");
  EXPECT_DEATH(
      {
        TzBinaryTree<Work> t;
        TzBinaryTreeIterator<Work> it(t);
        Work w = *it;
        (void)w;
      },
      "^tzbintree\\.cpp:529: Assertion `Node != Tree.GetSentinel\\(\\)' failed\\.\n$");
  EXPECT_DEATH(
      {
        Open2<Work> t;
        TzBinaryTreeIterator<Work> it(t);
        t.Unlock();
      },
      "^tzbintree\\.cpp:478: Assertion `Tree.LockCount > 0' failed\\.\n$");
  EXPECT_DEATH(
      {
        Open2<Work> t;
        t.LockAll();
        TzBinaryTreeIterator<Work> it(t);
      },
      "^tzbintree\\.cpp:454: Assertion `Tree.LockCount < UINT_MAX' failed\\.\n$");
}

}  // namespace
