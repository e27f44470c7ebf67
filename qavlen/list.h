// List: the framework's singly linked list of untyped items. The list owns
// its nodes, never its items; with a clear function set, Clear and the
// destructor hand every item still held to that function.
#ifndef QAVLEN_LIST_H
#define QAVLEN_LIST_H

#include "common.h"

// Frees one character allocated with `new char` (items of the bracketed
// data reader).
void Clf_c(void* item);

class List {
 public:
  using Clear_function = void (*)(void*);

  class Node {
   public:
    Node(void* item, Node* following) : next(following), object(item) {}
    virtual ~Node() = default;
    Node* next;
    void* object;
  };

  List() = default;
  explicit List(Clear_function f);
  virtual ~List();
  List(const List&) = delete;
  List& operator=(const List&) = delete;

  // Sets the clear function; refused (0) when one is set already (list
  // 137) or when the list holds items (list 142).
  Boolean Init(Clear_function f);

  void Put_head(void* item);
  void Put_tail(void* item);
  // The first / last item, removed from the list; null when empty.
  void* Get_head();
  void* Get_tail();
  // The last item without removing it; null when empty.
  void* Tail() const { return tail ? tail->object : nullptr; }
  int Number() const { return number; }

  // Look cursor: Top sets it to the head; Look gives the item under it and
  // advances (1), or 0 and a null item at the end.
  void Top() { current = head; }
  Boolean Look(void*& item);

  // n = the count; a new array (the caller's, delete[]) of the items from
  // head to tail when n > 0, else a null array. The list is unchanged.
  void Make_array(void**& array, int& n) const;
  // Make_array, then Clear_node.
  void List_to_array(void**& array, int& n);

  // Frees every node and leaves the items alone.
  void Clear_node();
  // With a clear function hands each item to it, head first, while the
  // nodes are freed; otherwise Clear_node.
  void Clear();

 private:
  int number = 0;
  Node* head = nullptr;
  Node* tail = nullptr;
  Node* current = nullptr;
  Clear_function clear_function = nullptr;
};

#endif
