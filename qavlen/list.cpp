#include "list.h"

#include "report_points.h"

void Clf_c(void* item) { delete static_cast<char*>(item); }

List::List(Clear_function f) { Init(f); }

List::~List() { Clear(); }

Boolean List::Init(Clear_function f) {
  if (clear_function) {
    Eprint(List_point::clear_function_set, 1);
    return NO;
  }
  if (number > 0) {
    Eprint(List_point::clear_function_on_items, 1);
    return NO;
  }
  clear_function = f;
  return YES;
}

void List::Put_head(void* item) {
  Node* node;
  {
    Memory_site site(List_point::front_node_memory, "Node", 0, 1);
    node = new Node(item, head);
  }
  head = node;
  if (!tail) tail = node;
  ++number;
}

void List::Put_tail(void* item) {
  Node* node;
  {
    Memory_site site(List_point::end_node_memory, "Node", 0, 1);
    node = new Node(item, nullptr);
  }
  if (tail)
    tail->next = node;
  else
    head = node;
  tail = node;
  ++number;
}

void* List::Get_head() {
  if (!head) return nullptr;
  Node* node = head;
  head = node->next;
  if (!head) tail = nullptr;
  // The cursor never points at a freed node.
  if (current == node) current = head;
  void* item = node->object;
  delete node;
  --number;
  return item;
}

void* List::Get_tail() {
  if (!tail) return nullptr;
  Node* node = tail;
  Node* before = nullptr;
  if (head != tail)
    for (before = head; before->next != tail; before = before->next) {
    }
  tail = before;
  if (before)
    before->next = nullptr;
  else
    head = nullptr;
  if (current == node) current = nullptr;
  void* item = node->object;
  delete node;
  --number;
  return item;
}

Boolean List::Look(void*& item) {
  if (!current) {
    item = nullptr;
    return NO;
  }
  item = current->object;
  current = current->next;
  return YES;
}

void List::Make_array(void**& array, int& n) const {
  n = number;
  if (n <= 0) {
    array = nullptr;
    return;
  }
  {
    Memory_site site(List_point::item_array_memory, "void*", 0, n);
    array = new void*[static_cast<std::size_t>(n)];
  }
  int k = 0;
  for (Node* node = head; node; node = node->next) array[k++] = node->object;
}

void List::List_to_array(void**& array, int& n) {
  Make_array(array, n);
  Clear_node();
}

void List::Clear_node() {
  while (head) {
    Node* node = head;
    head = node->next;
    delete node;
  }
  number = 0;
  tail = nullptr;
  current = nullptr;
}

void List::Clear() {
  if (!clear_function) {
    Clear_node();
    return;
  }
  while (head) {
    Node* node = head;
    head = node->next;
    // The node leaves the list before its item is handed over, so that the
    // list stays consistent whatever the clear function does.
    if (!head) tail = nullptr;
    --number;
    void* item = node->object;
    delete node;
    clear_function(item);
  }
  number = 0;
  tail = nullptr;
  current = nullptr;
}
