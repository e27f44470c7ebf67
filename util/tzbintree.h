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
#ifndef TZBINTREE_H
#define TZBINTREE_H

#include <cstdint>
#include <new>

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

template <class T>
class TzBinaryTree {
 public:
  TzBinaryTree();
  ~TzBinaryTree();
  TzBinaryTree(const TzBinaryTree&) = delete;
  TzBinaryTree& operator=(const TzBinaryTree&) = delete;

  // Frees every node; the tree keeps its sentinel and can be filled again.
  void Erase();

  std::uint32_t GetLockCount() const { return LockCount; }
  const TzTreeNode<T>* GetSentinel() const { return Sentinel; }

 protected:
  // The node holding the value equal to v, or the sentinel.
  TzTreeNode<T>* Search(const T& v) const;
  // Inserts v, or replaces the stored value equal to it; the new node, or
  // null when a value was replaced (the shape did not change).
  TzTreeNode<T>* InternalInsert(const T& v);
  TzTreeNode<T>* CreateNode(const T& v);
  void DeleteNode(TzTreeNode<T>* z) { delete z; }
  // Frees the subtree at x, children before their parent. It walks the
  // parent links instead of recursing, so that the depth of an unbalanced
  // tree never exhausts the stack.
  void RecursiveDelete(TzTreeNode<T>* x);

  TzTreeNode<T>* Root;
  TzTreeNode<T>* Sentinel;
  std::uint32_t LockCount;
  std::uint32_t Count;  // kept for the layout; no operation sets or reads it
  void (*WalkFunc)(const T&);
};

template <class T>
TzBinaryTree<T>::TzBinaryTree()
    : Root(nullptr), Sentinel(new (std::nothrow) TzTreeNode<T>()), LockCount(0), Count(0), WalkFunc(nullptr) {
  TZ_CHECK(Sentinel != nullptr, "tzbintree.cpp", "Sentinel != NULL");
  Root = Sentinel;
}

template <class T>
TzBinaryTree<T>::~TzBinaryTree() {
  TZ_CHECK(LockCount <= 0, "tzbintree.cpp", "LockCount <= 0");
  RecursiveDelete(Root);
  delete Sentinel;
}

template <class T>
void TzBinaryTree<T>::Erase() {
  TZ_CHECK(LockCount <= 0, "tzbintree.cpp", "LockCount <= 0");
  RecursiveDelete(Root);
  Root = Sentinel;
}

template <class T>
TzTreeNode<T>* TzBinaryTree<T>::Search(const T& v) const {
  TzTreeNode<T>* x = Root;
  while (x != Sentinel && !(x->Data == v)) x = (v < x->Data) ? x->Less : x->More;
  return x;
}

template <class T>
TzTreeNode<T>* TzBinaryTree<T>::CreateNode(const T& v) {
  TzTreeNode<T>* z = new (std::nothrow) TzTreeNode<T>(v, Sentinel);
  TZ_CHECK(z != nullptr, "tzbintree.cpp", "z != NULL");
  return z;
}

template <class T>
TzTreeNode<T>* TzBinaryTree<T>::InternalInsert(const T& v) {
  TZ_CHECK(LockCount <= 0, "tzbintree.cpp", "LockCount <= 0");
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

#endif
