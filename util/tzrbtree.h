// TzRedBlackTree<T>: a red-black tree over TzBinaryTree<TzRBData<T>>.
//
// Each payload adds a colour to the value. Insertion keeps the tree balanced
// (height at most twice the base-2 logarithm of the node count plus one);
// a value equal to a stored one replaces it and keeps the node's colour.
// There is no removal of single values: the tree is emptied as a whole by
// Erase or destruction, and pointers from GetPtrToData stay valid until then.
// The sentinel is black and never recoloured: a missing child counts as black.
#ifndef TZRBTREE_H
#define TZRBTREE_H

#include "tzbintree.h"

enum RBColor { BLACK = 0, RED = 1 };

template <class T>
struct TzRBData {
  RBColor Color;
  T RealData;

  TzRBData() : Color(BLACK), RealData() {}
  TzRBData(const T& v) : Color(BLACK), RealData(v) {}  // NOLINT: wraps a value
  TzRBData(const TzRBData&) = default;
  TzRBData& operator=(const TzRBData&) = default;  // both fields

  // Only the value takes part in comparisons.
  bool operator==(const TzRBData& o) const { return RealData == o.RealData; }
  bool operator!=(const TzRBData& o) const { return !(RealData == o.RealData); }
  bool operator<(const TzRBData& o) const { return RealData < o.RealData; }
  bool operator>(const TzRBData& o) const { return o.RealData < RealData; }
};

// Replacing the value of a red-black node keeps its colour: taking the
// colour of the new (black) payload would break the balance.
template <class T>
struct TzTreeReplace<TzRBData<T>> {
  static void Assign(TzRBData<T>& stored, const TzRBData<T>& v) { stored.RealData = v.RealData; }
};

template <class T>
class TzRedBlackTree : public TzBinaryTree<TzRBData<T>> {
  using Node = TzTreeNode<TzRBData<T>>;

 public:
  TzRedBlackTree() = default;
  ~TzRedBlackTree() = default;

  // Inserts v, or replaces the stored value equal to it.
  void Insert(const T& v);
  // The stored value equal to v, or null.
  T* GetPtrToData(const T& v) const;
  // The plain tree's removal of one value keeps no colours and would break
  // the balance: a red-black tree is emptied only as a whole.
  TzBoolean Delete(const TzRBData<T>& v) = delete;

 protected:
  void RotateLeft(Node* x);
  void RotateRight(Node* x);
};

template <class T>
void TzRedBlackTree<T>::Insert(const T& v) {
  Node* z = this->InternalInsert(TzRBData<T>(v));
  if (z == nullptr) return;  // replaced: shape and colours stay
  z->Data.Color = RED;
  while (z != this->Root && z->Parent->Data.Color == RED) {
    Node* parent = z->Parent;
    Node* grand = parent->Parent;
    if (parent == grand->Less) {
      Node* uncle = grand->More;
      if (uncle->Data.Color == RED) {
        parent->Data.Color = BLACK;
        uncle->Data.Color = BLACK;
        grand->Data.Color = RED;
        z = grand;
      } else {
        if (z == parent->More) {
          z = parent;
          RotateLeft(z);
        }
        z->Parent->Data.Color = BLACK;
        z->Parent->Parent->Data.Color = RED;
        RotateRight(z->Parent->Parent);
      }
    } else {
      Node* uncle = grand->Less;
      if (uncle->Data.Color == RED) {
        parent->Data.Color = BLACK;
        uncle->Data.Color = BLACK;
        grand->Data.Color = RED;
        z = grand;
      } else {
        if (z == parent->Less) {
          z = parent;
          RotateRight(z);
        }
        z->Parent->Data.Color = BLACK;
        z->Parent->Parent->Data.Color = RED;
        RotateLeft(z->Parent->Parent);
      }
    }
  }
  this->Root->Data.Color = BLACK;
}

template <class T>
T* TzRedBlackTree<T>::GetPtrToData(const T& v) const {
  Node* x = this->Search(TzRBData<T>(v));
  return x == this->Sentinel ? nullptr : &x->Data.RealData;
}

template <class T>
void TzRedBlackTree<T>::RotateLeft(Node* x) {
  Node* const s = this->Sentinel;
  Node* y = x->More;
  x->More = y->Less;
  if (y->Less != s) y->Less->Parent = x;
  y->Parent = x->Parent;
  if (x->Parent == s)
    this->Root = y;
  else if (x == x->Parent->Less)
    x->Parent->Less = y;
  else
    x->Parent->More = y;
  y->Less = x;
  x->Parent = y;
}

template <class T>
void TzRedBlackTree<T>::RotateRight(Node* x) {
  Node* const s = this->Sentinel;
  Node* y = x->Less;
  x->Less = y->More;
  if (y->More != s) y->More->Parent = x;
  y->Parent = x->Parent;
  if (x->Parent == s)
    this->Root = y;
  else if (x == x->Parent->More)
    x->Parent->More = y;
  else
    x->Parent->Less = y;
  y->More = x;
  x->Parent = y;
}

#endif
