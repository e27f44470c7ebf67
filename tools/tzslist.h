// TzSListDynamic<T>: a singly linked list of values with one built-in cursor.
//
// A list either owns its nodes or is a view (shallow copy) of the nodes of
// another list, which it never frees. A circular list lets the cursor step
// from the last element back to the first; the links themselves always end
// at the tail (Tail->Next is null).
//
// The standard walk over all elements:
//   for (TzBoolean more = l.ToHead(); more; more = l.ToNext()) use(l.Get());
// visits every element once in insertion order in a non-circular list.
#ifndef TZSLIST_H
#define TZSLIST_H

#include <cstdint>
#include <new>

#include "tzcheck.h"
#include "tzdefs.h"

template <class T>
class TzSListDynamic {
 public:
  struct Node {
    T Data;
    Node* Next;
  };

  // An empty owning list; circular != 0 makes the cursor wrap around.
  explicit TzSListDynamic(int circular);
  // An owning, non-circular list of the no values of array, in order.
  TzSListDynamic(const T* array, unsigned no);
  // shallow != 0: a view of other's nodes; else a deep copy of its values.
  // With the default this is the copy constructor and copies deeply, so a
  // copied list never shares nodes by accident.
  TzSListDynamic(const TzSListDynamic& other, int shallow = 0);
  ~TzSListDynamic() { Erase(); }

  // Erases this list, then copies other's values (nothing for self-assignment).
  void operator=(const TzSListDynamic& other);

  // A new array (array new; the caller frees it with delete[]) of the values
  // in list order; null for an empty list.
  operator T*() const;

  void Append(const T& value);
  void Append(const T* array, unsigned no);
  void Append(const TzSListDynamic& other);
  // Removes the element at the cursor.
  void Remove();
  // Frees the nodes of an owning list; the list is then empty and owning.
  void Erase();

  TzBoolean ToHead() {
    Work = Head;
    return Count != 0 ? 1 : 0;
  }
  TzBoolean ToNext();
  TzBoolean AtTail() const { return Work == Tail ? 1 : 0; }
  T Get() const;

  std::uint32_t GetCount() const { return Count; }
  TzBoolean IsShallow() const { return Shallow; }
  TzBoolean IsCircular() const { return Circular; }

 protected:
  std::uint32_t Count;
  Node* Head;
  Node* Tail;
  Node* Work;
  TzBoolean Shallow;
  TzBoolean Circular;

  void SetNull() {
    Count = 0;
    Head = Tail = Work = nullptr;
  }
  // Appends copies of other's values; then the cursor is at the head, the
  // list owns its nodes and takes other's circular flag. Nothing for an
  // empty other.
  void DeepCopy(const TzSListDynamic& other);
  // Takes over other's nodes as a view.
  void ShallowCopy(const TzSListDynamic& other);
};

#define TZSLIST_UNIT "tzslist.cpp"

template <class T>
TzSListDynamic<T>::TzSListDynamic(int circular) : Shallow(0), Circular(circular ? 1 : 0) {
  SetNull();
}

template <class T>
TzSListDynamic<T>::TzSListDynamic(const T* array, unsigned no) : Shallow(0), Circular(0) {
  SetNull();
  TZ_CHECK_TEXT_AT((array != nullptr) && (no > 0), TZSLIST_UNIT, 64, "(array != NULL) && (no > 0)");
  for (unsigned i = 0; i < no; ++i) Append(array[i]);
}

template <class T>
TzSListDynamic<T>::TzSListDynamic(const TzSListDynamic& other, int shallow)
    : Shallow(0), Circular(other.Circular) {
  SetNull();
  if (shallow)
    ShallowCopy(other);
  else
    DeepCopy(other);
}

template <class T>
void TzSListDynamic<T>::operator=(const TzSListDynamic& other) {
  // Erasing first would lose the values to be copied.
  if (this == &other) return;
  Erase();
  DeepCopy(other);
}

template <class T>
TzSListDynamic<T>::operator T*() const {
  if (Count == 0) return nullptr;
  T* result = new (std::nothrow) T[Count];
  TZ_CHECK_TEXT_AT(result != nullptr, TZSLIST_UNIT, 94, "result != NULL");
  std::uint32_t i = 0;
  for (const Node* n = Head; n != nullptr; n = n->Next) result[i++] = n->Data;
  return result;
}

template <class T>
void TzSListDynamic<T>::Append(const T& value) {
  Node* n = new (std::nothrow) Node{value, nullptr};
  TZ_CHECK_TEXT_AT(n != nullptr, TZSLIST_UNIT, 118, "n != NULL");
  if (Head == nullptr) {
    Head = Tail = Work = n;
  } else {
    Tail->Next = n;
    Tail = n;
  }
  ++Count;
}

template <class T>
void TzSListDynamic<T>::Append(const T* array, unsigned no) {
  TZ_CHECK_TEXT_AT((array != nullptr) && (no > 0), TZSLIST_UNIT, 146, "(array != NULL) && (no > 0)");
  for (unsigned i = 0; i < no; ++i) Append(array[i]);
}

template <class T>
void TzSListDynamic<T>::Append(const TzSListDynamic& other) {
  // Exactly the values other holds now: appending a list to itself doubles
  // it instead of chasing its own growing tail.
  const Node* n = other.Head;
  for (std::uint32_t left = other.Count; left > 0; --left, n = n->Next) Append(n->Data);
}

template <class T>
void TzSListDynamic<T>::Remove() {
  TZ_CHECK_TEXT_AT(Work != nullptr, TZSLIST_UNIT, 176, "Work != NULL");
  Node* r = Work;
  if (r == Head && r == Tail) {
    Head = Tail = Work = nullptr;
  } else if (r == Head) {
    // The cursor goes to the element that followed the removed one.
    Head = r->Next;
    Work = Head;
  } else {
    Node* p = Head;
    while (p->Next != r) p = p->Next;
    Work = p;
    if (r == Tail) {
      p->Next = nullptr;
      Tail = p;
    } else {
      p->Next = r->Next;
    }
  }
  if (!Shallow) delete r;
  --Count;
}

template <class T>
void TzSListDynamic<T>::Erase() {
  if (!Shallow) {
    Node* n = Head;
    while (n != nullptr) {
      Node* next = n->Next;
      delete n;
      n = next;
    }
  }
  SetNull();
  Shallow = 0;
}

template <class T>
T TzSListDynamic<T>::Get() const {
  TZ_CHECK_AT(Count != 0, TZSLIST_UNIT, 233);
  TZ_CHECK_TEXT_AT(Work != nullptr, TZSLIST_UNIT, 234, "Work != NULL");
  return Work->Data;
}

template <class T>
TzBoolean TzSListDynamic<T>::ToNext() {
  TZ_CHECK_AT(Count != 0, TZSLIST_UNIT, 244);
  TZ_CHECK_TEXT_AT(Work != nullptr, TZSLIST_UNIT, 245, "Work != NULL");
  if (Work == Tail) {
    if (!Circular) return 0;
    Work = Head;
    return 1;
  }
  Work = Work->Next;
  return 1;
}

template <class T>
void TzSListDynamic<T>::DeepCopy(const TzSListDynamic& other) {
  if (other.Count == 0) return;
  Append(other);
  Work = Head;
  Shallow = 0;
  Circular = other.Circular;
}

template <class T>
void TzSListDynamic<T>::ShallowCopy(const TzSListDynamic& other) {
  Head = other.Head;
  Tail = other.Tail;
  Work = other.Work;
  Count = other.Count;
  Shallow = 1;
  Circular = other.Circular;
}

#undef TZSLIST_UNIT

#endif
