// TzBinaryTree<T>: an unbalanced binary search tree of values of T.
//
// Nodes link to their two children and their parent; one sentinel node per
// tree stands for every missing child and for the root's parent, so that no
// link is ever null. The sentinel is self-linked and no operation writes its
// links. The in-order sequence of the values is increasing under T's
// operator<; a value equal (operator==) to a stored one replaces it.
// T needs a const operator== and operator<, copy and default construction
// and assignment.
//
// LockCount counts the iterators that hold the tree; every change of the set
// of nodes requires it to be 0. Failures are broken invariants, reported by
// TZ_CHECK with the unit "tzbintree.cpp".
//
// The red-black tree (tzrbtree.h) and the keyed tree (tzrbktree.h) build on
// this template; it has no virtual operations.
//
// Beyond insertion and search the plain tree offers deletion of one value,
// copying, in-order walking, and iterators (TzBinaryTreeIterator) that step
// through the values in both directions and lock the tree while they live.
// Values equal under operator< but not under operator== all stay, in
// insertion order: a new one goes after all values of its key. Deletion
// keeps no colours and is not for red-black trees.
// TzBinaryTree2 and TzBinaryTreeIterator2 let a caller insert or find a
// value and start an iterator at its node.
//
// A tree keeps its nodes in blocks of its own (TzNodePool below): one slot
// per node, taken at insertion and given back at deletion, and all blocks
// freed together when the tree is erased or destroyed.
#ifndef TZBINTREE_H
#define TZBINTREE_H

#include <climits>
#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>

#include "tzcheck.h"
#include "tzdefs.h"

template <class T>
struct TzTreeNode {
  TzTreeNode* Less;    // left child (smaller values), or the sentinel
  TzTreeNode* More;    // right child (greater values), or the sentinel
  TzTreeNode* Parent;  // the parent, or the sentinel for the root
  T Data;

  // A node holding a copy of v, all three links at the sentinel s.
  TzTreeNode(const T& v, TzTreeNode* s) : Less(s), More(s), Parent(s), Data(v) {}
  // A self-linked node: the sentinel of a tree.
  TzTreeNode() : Less(this), More(this), Parent(this), Data() {}
  TzTreeNode(const TzTreeNode&) = delete;
  TzTreeNode& operator=(const TzTreeNode&) = delete;
};

// How an insertion replaces a stored value equal to the new one. The plain
// tree assigns the whole value; payloads that carry tree state of their own
// (the colour of a red-black node) specialise this to keep that state.
template <class T>
struct TzTreeReplace {
  static void Assign(T& stored, const T& v) { stored = v; }
};

// The node storage of one tree. Nodes are placed in blocks that the tree
// owns instead of being allocated one by one: an insertion takes the next
// free slot, a deleted node's slot goes to a free list for the next
// insertion, and emptying the tree frees the few blocks at once. Blocks grow
// geometrically up to kMaxBlock bytes, so a small tree holds little and a
// large one few blocks. A slot is the node's size rounded up to a power of
// two (a multiple of 64 bytes above 64), and blocks start on a 64-byte
// boundary, so that no node straddles two cache lines.
template <class N>
class TzNodePool {
 public:
  TzNodePool() = default;
  ~TzNodePool() { Release(); }
  TzNodePool(const TzNodePool&) = delete;
  TzNodePool& operator=(const TzNodePool&) = delete;

  // Storage for one node, or null when no memory is left.
  void* Get() {
    if (FreeList != nullptr) {
      FreeSlot* f = FreeList;
      FreeList = f->Next;
      return f;
    }
    if (Next == End && !Grow()) return nullptr;
    void* p = Next;
    Next += kSlot;
    if (++InRun == kRun) {
      InRun = 0;
      if (Next != End) Next += kSlot;  // the slot between two runs stays empty
    }
    return p;
  }
  // Takes back the storage of a node already destroyed.
  void Put(void* p) {
    FreeSlot* f = static_cast<FreeSlot*>(p);
    f->Next = FreeList;
    FreeList = f;
  }
  // Frees every block; the nodes in them must have been destroyed (or
  // need no destruction).
  void Release() {
    while (Blocks != nullptr) {
      Block* b = Blocks;
      Blocks = b->Prev;
      ::operator delete(static_cast<void*>(b), std::align_val_t(kAlign));
    }
    Next = End = nullptr;
    FreeList = nullptr;
    BlockBytes = 0;
  }

 private:
  struct FreeSlot {
    FreeSlot* Next;
  };
  struct Block {
    Block* Prev;
  };
  static constexpr std::size_t kAlign = 64;
  static constexpr std::size_t Slot(std::size_t n) {
    std::size_t s = sizeof(FreeSlot);
    if (n > 64) return (n + 63) / 64 * 64;
    while (s < n) s *= 2;
    return s;
  }
  static constexpr std::size_t kSlot = Slot(sizeof(N) > alignof(N) ? sizeof(N) : alignof(N));
  // Slots are handed out in runs of 4 kB with one slot left out between two
  // runs. Nodes inserted in key order lie in address order; without the gap
  // the nodes of one search path, whose keys are apart by powers of two,
  // would be apart by multiples of 4 kB and compete for the same few cache
  // sets.
  static constexpr std::size_t kRun = kSlot < 4096 ? 4096 / kSlot : std::size_t(-1);
  static constexpr std::size_t kFirstBlock = 4096;
  static constexpr std::size_t kMaxBlock = std::size_t(1) << 21;
  static_assert(alignof(N) <= kAlign, "tree nodes need at most 64-byte alignment");

  bool Grow() {
    std::size_t bytes = BlockBytes == 0 ? kFirstBlock : (BlockBytes < kMaxBlock ? 2 * BlockBytes : kMaxBlock);
    if (bytes < kAlign + kSlot) bytes = kAlign + kSlot;
    void* m = ::operator new(bytes, std::align_val_t(kAlign), std::nothrow);
    if (m == nullptr) return false;
    Block* b = static_cast<Block*>(m);
    b->Prev = Blocks;
    Blocks = b;
    BlockBytes = bytes;
    Next = static_cast<unsigned char*>(m) + kAlign;  // the block header takes the first line
    End = Next + (bytes - kAlign) / kSlot * kSlot;
    InRun = 0;
    return true;
  }

  Block* Blocks = nullptr;        // the newest block, linked to the older ones
  unsigned char* Next = nullptr;  // the first never used slot of the newest block
  unsigned char* End = nullptr;   // the end of the newest block's slots
  FreeSlot* FreeList = nullptr;   // slots of deleted nodes
  std::size_t BlockBytes = 0;     // the size of the newest block
  std::size_t InRun = 0;          // slots handed out in the current run
};

template <class T>
class TzBinaryTreeIterator;

template <class T>
class TzBinaryTree {
 public:
  TzBinaryTree();
  ~TzBinaryTree();
  // A tree of the same shape holding copies of other's values.
  TzBinaryTree(const TzBinaryTree& other);
  // Frees every node, then copies other's values and shape. Assigning a tree
  // to itself leaves it as it is.
  void operator=(const TzBinaryTree& other);

  // Frees every node; the tree keeps its sentinel and can be filled again.
  void Erase();

  // Inserts v, or replaces the stored value equal to it.
  void Insert(const T& v) { InternalInsert(v); }
  // Removes the value equal to v; 1 when it was there, 0 (nothing changes)
  // when not. A pointer to the node that held v's successor is invalid
  // afterwards.
  TzBoolean Delete(const T& v);
  // Calls f on every value in in-order sequence.
  void Walk(void (*f)(const T&));
  // The stored value equal to v, or null.
  T* GetPtrToData(const T& v) const;

  std::uint32_t GetLockCount() const { return LockCount; }
  const TzTreeNode<T>* GetSentinel() const { return Sentinel; }

 protected:
  friend class TzBinaryTreeIterator<T>;

  // The smallest and the largest value of the subtree at x (x itself for
  // the sentinel).
  TzTreeNode<T>* Minimum(TzTreeNode<T>* x) const;
  TzTreeNode<T>* Maximum(TzTreeNode<T>* x) const;
  // The next and the previous node in in-order sequence; the sentinel after
  // the largest and before the smallest value, and from the sentinel.
  TzTreeNode<T>* Successor(TzTreeNode<T>* x) const;
  TzTreeNode<T>* Predecessor(TzTreeNode<T>* x) const;
  // Inserts the values of the subtree at x of a tree with the sentinel s in
  // pre-order; into an empty tree this rebuilds the same shape, and there
  // the nodes are copied one for one. Like RecursiveDelete it walks the
  // links instead of recursing.
  void RecursiveCopy(const TzTreeNode<T>* x, const TzTreeNode<T>* s);
  // Calls WalkFunc on every value of the subtree at x in in-order sequence.
  void RecurseWalk(TzTreeNode<T>* x);

  // The node holding the value equal to v, or the sentinel.
  TzTreeNode<T>* Search(const T& v) const;
  // Inserts v, or replaces the stored value equal to it; the new node, or
  // null when a value was replaced (the shape did not change).
  TzTreeNode<T>* InternalInsert(const T& v);
  TzTreeNode<T>* CreateNode(const T& v);
  void DeleteNode(TzTreeNode<T>* z) {
    z->~TzTreeNode<T>();
    Pool.Put(z);
  }
  // Frees every node but the sentinel. Nodes whose values need no
  // destruction go with their blocks, without a walk through the tree.
  void FreeAllNodes() {
    if (!std::is_trivially_destructible<T>::value) RecursiveDelete(Root);
    Pool.Release();
    Root = Sentinel;
  }
  // Frees the subtree at x, children before their parent. It walks the
  // parent links instead of recursing, so that the depth of an unbalanced
  // tree never exhausts the stack.
  void RecursiveDelete(TzTreeNode<T>* x);

  TzTreeNode<T>* Root;
  TzTreeNode<T>* Sentinel;
  std::uint32_t LockCount;
  std::uint32_t Count;  // kept for the layout; no operation sets or reads it
  void (*WalkFunc)(const T&);
  TzNodePool<TzTreeNode<T>> Pool;  // the storage of every node but the sentinel
};

// An iterator over the values of a tree in in-order sequence. It locks the
// tree for its whole life: the tree cannot change while it exists. The
// tree's sentinel stands for the place past either end.
template <class T>
class TzBinaryTreeIterator {
 public:
  // Locks the tree and starts at the smallest value.
  explicit TzBinaryTreeIterator(TzBinaryTree<T>& tree);
  ~TzBinaryTreeIterator();
  TzBinaryTreeIterator(const TzBinaryTreeIterator&) = delete;
  TzBinaryTreeIterator& operator=(const TzBinaryTreeIterator&) = delete;

  void Smallest() { Node = Tree.Minimum(Tree.Root); }
  void operator++() { Node = Tree.Successor(Node); }
  void operator--() { Node = Tree.Predecessor(Node); }
  // The current value, or null past either end.
  operator T*() const { return Node == Tree.Sentinel ? nullptr : &Node->Data; }
  // A copy of the current value; there must be one.
  T operator*() const;

 protected:
  TzBinaryTree<T>& Tree;
  TzTreeNode<T>* Node;
};

// A plain tree that hands out the node of a value inserted or found.
template <class T>
class TzBinaryTree2 : public TzBinaryTree<T> {
 public:
  // The new node, or null when a value equal to v was replaced.
  TzTreeNode<T>* WrapInternalInsert(const T& v) { return this->InternalInsert(v); }
  // The node holding the value equal to v, or the sentinel.
  TzTreeNode<T>* GetPtrToNode(const T& v) const { return this->Search(v); }
};

// An iterator that can be set at a node of its tree.
template <class T>
class TzBinaryTreeIterator2 : public TzBinaryTreeIterator<T> {
 public:
  explicit TzBinaryTreeIterator2(TzBinaryTree<T>& tree) : TzBinaryTreeIterator<T>(tree) {}
  // node: a node of the same tree, from WrapInternalInsert or GetPtrToNode.
  void Init(TzTreeNode<T>* node) { this->Node = node; }
};

template <class T>
TzBinaryTree<T>::TzBinaryTree()
    : Root(nullptr), Sentinel(new (std::nothrow) TzTreeNode<T>()), LockCount(0), Count(0), WalkFunc(nullptr) {
  TZ_CHECK_TEXT(Sentinel != nullptr, "tzbintree.cpp", "Sentinel != NULL");
  Root = Sentinel;
}

template <class T>
TzBinaryTree<T>::~TzBinaryTree() {
  TZ_CHECK(LockCount <= 0, "tzbintree.cpp");
  FreeAllNodes();
  delete Sentinel;
}

template <class T>
void TzBinaryTree<T>::Erase() {
  TZ_CHECK(LockCount <= 0, "tzbintree.cpp");
  FreeAllNodes();
}

template <class T>
TzTreeNode<T>* TzBinaryTree<T>::Search(const T& v) const {
  TzTreeNode<T>* x = Root;
  while (x != Sentinel && !(x->Data == v)) x = (v < x->Data) ? x->Less : x->More;
  return x;
}

template <class T>
TzTreeNode<T>* TzBinaryTree<T>::CreateNode(const T& v) {
  void* m = Pool.Get();
  TZ_CHECK_TEXT(m != nullptr, "tzbintree.cpp", "z != NULL");
  try {
    return new (m) TzTreeNode<T>(v, Sentinel);
  } catch (...) {  // the value's copy failed: the slot stays free
    Pool.Put(m);
    throw;
  }
}

template <class T>
TzTreeNode<T>* TzBinaryTree<T>::InternalInsert(const T& v) {
  TZ_CHECK(LockCount <= 0, "tzbintree.cpp");
  TzTreeNode<T>* parent = Sentinel;
  TzTreeNode<T>* x = Root;
  while (x != Sentinel) {
    if (x->Data == v) {
      TzTreeReplace<T>::Assign(x->Data, v);
      return nullptr;
    }
    parent = x;
    x = (v < x->Data) ? x->Less : x->More;
  }
  TzTreeNode<T>* z = CreateNode(v);
  z->Parent = parent;
  if (parent == Sentinel)
    Root = z;
  else if (v < parent->Data)
    parent->Less = z;
  else
    parent->More = z;
  return z;
}

template <class T>
void TzBinaryTree<T>::RecursiveDelete(TzTreeNode<T>* x) {
  if (x == Sentinel) return;
  TzTreeNode<T>* const top = x;
  for (;;) {
    if (x->Less != Sentinel) {
      x = x->Less;
    } else if (x->More != Sentinel) {
      x = x->More;
    } else {
      // A leaf of what is left: free it, unhook it and climb.
      if (x == top) {
        DeleteNode(x);
        return;
      }
      TzTreeNode<T>* p = x->Parent;
      if (p->Less == x)
        p->Less = Sentinel;
      else
        p->More = Sentinel;
      DeleteNode(x);
      x = p;
    }
  }
}

template <class T>
TzBinaryTree<T>::TzBinaryTree(const TzBinaryTree& other)
    : Root(nullptr), Sentinel(new (std::nothrow) TzTreeNode<T>()), LockCount(0), Count(0), WalkFunc(nullptr) {
  TZ_CHECK_TEXT_AT(Sentinel != nullptr, "tzbintree.cpp", 97, "Sentinel != NULL");
  Root = Sentinel;
  RecursiveCopy(other.Root, other.Sentinel);
}

template <class T>
void TzBinaryTree<T>::operator=(const TzBinaryTree& other) {
  TZ_CHECK_AT(LockCount <= 0, "tzbintree.cpp", 120);
  if (this == &other) return;  // freeing first would lose the values
  FreeAllNodes();
  RecursiveCopy(other.Root, other.Sentinel);
}

template <class T>
TzTreeNode<T>* TzBinaryTree<T>::Minimum(TzTreeNode<T>* x) const {
  if (x == Sentinel) return x;
  while (x->Less != Sentinel) x = x->Less;
  return x;
}

template <class T>
TzTreeNode<T>* TzBinaryTree<T>::Maximum(TzTreeNode<T>* x) const {
  if (x == Sentinel) return x;
  while (x->More != Sentinel) x = x->More;
  return x;
}

template <class T>
TzTreeNode<T>* TzBinaryTree<T>::Successor(TzTreeNode<T>* x) const {
  if (x->More != Sentinel) return Minimum(x->More);
  TzTreeNode<T>* y = x->Parent;
  while (y != Sentinel && x == y->More) {
    x = y;
    y = y->Parent;
  }
  return y;
}

template <class T>
TzTreeNode<T>* TzBinaryTree<T>::Predecessor(TzTreeNode<T>* x) const {
  if (x->Less != Sentinel) return Maximum(x->Less);
  TzTreeNode<T>* y = x->Parent;
  while (y != Sentinel && x == y->Less) {
    x = y;
    y = y->Parent;
  }
  return y;
}

template <class T>
TzBoolean TzBinaryTree<T>::Delete(const T& v) {
  TZ_CHECK_AT(LockCount <= 0, "tzbintree.cpp", 311);
  TzTreeNode<T>* z = Search(v);
  if (z == Sentinel) return 0;
  // y: the node that goes, z itself or (with two children) its successor,
  // which has no Less child; x: y's only child or the sentinel.
  TzTreeNode<T>* y = (z->Less == Sentinel || z->More == Sentinel) ? z : Successor(z);
  TzTreeNode<T>* x = (y->Less != Sentinel) ? y->Less : y->More;
  if (x != Sentinel) x->Parent = y->Parent;
  if (y->Parent == Sentinel)
    Root = x;
  else if (y == y->Parent->Less)
    y->Parent->Less = x;
  else
    y->Parent->More = x;
  if (y != z) z->Data = y->Data;
  DeleteNode(y);
  return 1;
}

template <class T>
void TzBinaryTree<T>::Walk(void (*f)(const T&)) {
  WalkFunc = f;
  RecurseWalk(Root);
}

template <class T>
T* TzBinaryTree<T>::GetPtrToData(const T& v) const {
  TzTreeNode<T>* x = Search(v);
  return x == Sentinel ? nullptr : &x->Data;
}

template <class T>
void TzBinaryTree<T>::RecurseWalk(TzTreeNode<T>* x) {
  if (x == Sentinel) return;
  TzTreeNode<T>* y = Minimum(x);
  for (;;) {
    WalkFunc(y->Data);
    if (y->More != Sentinel) {
      y = Minimum(y->More);
      continue;
    }
    // Climb out of finished More subtrees; the parent of a Less child is
    // next, unless the walk is back at x.
    while (y != x && y == y->Parent->More) y = y->Parent;
    if (y == x) return;
    y = y->Parent;
  }
}

template <class T>
void TzBinaryTree<T>::RecursiveCopy(const TzTreeNode<T>* x, const TzTreeNode<T>* s) {
  if (x == s) return;
  const TzTreeNode<T>* const top = x;
  if (Root != Sentinel) {
    // Into a tree that holds values: insert them one by one in pre-order.
    for (;;) {
      InternalInsert(x->Data);
      if (x->Less != s) {
        x = x->Less;
        continue;
      }
      if (x->More != s) {
        x = x->More;
        continue;
      }
      for (;;) {
        if (x == top) return;
        const TzTreeNode<T>* p = x->Parent;
        if (x == p->Less && p->More != s) {
          x = p->More;
          break;
        }
        x = p;
      }
    }
  }
  // Into an empty tree, which is what pre-order insertion gives: the same
  // shape, built node for node. `to` is the copy of x.
  TzTreeNode<T>* to = CreateNode(x->Data);
  Root = to;
  for (;;) {
    if (x->Less != s) {
      x = x->Less;
      TzTreeNode<T>* c = CreateNode(x->Data);
      c->Parent = to;
      to->Less = c;
      to = c;
      continue;
    }
    // Climb to the nearest node (x itself included) whose More subtree is
    // still to be copied.
    while (x->More == s || to->More != Sentinel) {
      if (x == top) return;
      x = x->Parent;
      to = to->Parent;
    }
    x = x->More;
    TzTreeNode<T>* c = CreateNode(x->Data);
    c->Parent = to;
    to->More = c;
    to = c;
  }
}

template <class T>
TzBinaryTreeIterator<T>::TzBinaryTreeIterator(TzBinaryTree<T>& tree) : Tree(tree), Node(nullptr) {
  TZ_CHECK_AT(Tree.LockCount < UINT_MAX, "tzbintree.cpp", 454);
  ++Tree.LockCount;
  Smallest();
}

template <class T>
TzBinaryTreeIterator<T>::~TzBinaryTreeIterator() {
  TZ_CHECK_AT(Tree.LockCount > 0, "tzbintree.cpp", 478);
  --Tree.LockCount;
}

template <class T>
T TzBinaryTreeIterator<T>::operator*() const {
  TZ_CHECK_AT(Node != Tree.GetSentinel(), "tzbintree.cpp", 529);
  return Node->Data;
}

#endif
