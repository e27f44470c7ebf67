// Test helpers: a red-black tree opened up for inspection, with a full check
// of its invariants and a cheaper check of the part one insertion changes.
#ifndef TESTS_UTIL_RBTREE_CHECK_H
#define TESTS_UTIL_RBTREE_CHECK_H

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <string>

#include "tzrbtree.h"

template <class Tree>
class OpenRb : public Tree {
 public:
  using Tree::Tree;
  using Data = typename std::remove_reference<decltype(std::declval<Tree&>().GetSentinel()->Data)>::type;
  using Node = TzTreeNode<Data>;

  Node* root() const { return this->Root; }
  Node* sentinel() const { return this->Sentinel; }

  // Longest root-to-node path, in nodes.
  int Height(const Node* x) const {
    if (x == this->Sentinel) return 0;
    return 1 + std::max(Height(x->Less), Height(x->More));
  }
  int Height() const { return Height(this->Root); }

  // Every invariant over the whole tree; "" when all hold. n counts the nodes.
  std::string CheckAll(std::size_t* n = nullptr) const {
    std::string err;
    std::size_t count = 0;
    const Node* s = this->Sentinel;
    if (s->Less != s || s->More != s || s->Parent != s) err += "sentinel links written; ";
    if (s->Data.Color != BLACK) err += "sentinel not black; ";
    if (this->Root != s) {
      if (this->Root->Parent != s) err += "root parent; ";
      if (this->Root->Data.Color != BLACK) err += "root not black; ";
    }
    BlackHeight(this->Root, nullptr, nullptr, &err, &count);
    if (n) *n = count;
    const double bound = 2 * std::log2(static_cast<double>(count) + 1);
    if (Height() > bound) err += "height " + std::to_string(Height()) + " above 2 log2(n + 1); ";
    return err;
  }

  // After inserting v into a valid tree only the nodes on the path from the
  // root to v, and their children, change (recolouring climbs the path,
  // rotations hang a grandparent below its former child). Checks those
  // nodes: links, order with their children, no red node with a red child,
  // and equal black heights below each of them.
  std::string CheckPath(const Data& v, std::size_t n) const {
    std::string err;
    const Node* s = this->Sentinel;
    const Node* z = this->Search(v);
    if (z == s) return "inserted value not found";
    if (this->Root->Data.Color != BLACK) err += "root not black; ";
    if (this->Root->Parent != s) err += "root parent; ";
    int depth = 0;
    for (const Node* a = z; a != s; a = a->Parent) {
      ++depth;
      CheckLocal(a, &err);
      if (a->Less != s) CheckLocal(a->Less, &err);
      if (a->More != s) CheckLocal(a->More, &err);
    }
    if (depth > 2 * std::log2(static_cast<double>(n) + 1)) err += "path too long; ";
    return err;
  }

 private:
  // Black count down the Less side: the black height of a valid subtree.
  int LeftBlackHeight(const Node* x) const {
    int h = 0;
    for (; x != this->Sentinel; x = x->Less) h += x->Data.Color == BLACK;
    return h;
  }
  void CheckLocal(const Node* x, std::string* err) const {
    const Node* s = this->Sentinel;
    for (const Node* c : {x->Less, x->More}) {
      if (c == s) continue;
      if (c->Parent != x) *err += "parent link; ";
      if (x->Data.Color == RED && c->Data.Color == RED) *err += "red node with a red child; ";
    }
    if (x->Less != s && !(x->Less->Data < x->Data)) *err += "order; ";
    if (x->More != s && !(x->Data < x->More->Data)) *err += "order; ";
    if (LeftBlackHeight(x->Less) != LeftBlackHeight(x->More)) *err += "black heights differ; ";
  }
  // Black height of the subtree at x, checking order against the bounds,
  // parent links and colours on the way.
  int BlackHeight(const Node* x, const Data* lo, const Data* hi, std::string* err, std::size_t* count) const {
    const Node* s = this->Sentinel;
    if (x == s) return 1;
    ++*count;
    if ((lo && !(*lo < x->Data)) || (hi && !(x->Data < *hi))) *err += "order; ";
    if (x->Less != s && x->Less->Parent != x) *err += "parent link; ";
    if (x->More != s && x->More->Parent != x) *err += "parent link; ";
    if (x->Data.Color == RED && (x->Less->Data.Color == RED || x->More->Data.Color == RED))
      *err += "red node with a red child; ";
    int l = BlackHeight(x->Less, lo, &x->Data, err, count);
    int r = BlackHeight(x->More, &x->Data, hi, err, count);
    if (l != r) *err += "black heights differ; ";
    return l + (x->Data.Color == BLACK ? 1 : 0);
  }
};

#endif
