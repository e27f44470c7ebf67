#include <cstring>
#include <new>
#include <string>

#include "port.h"
#include "report_points.h"

Sender_port::Sender_port() {
  class_name = "Sender_port";
  Make_receiver_list(false);
}

Sender_port::Sender_port(const char* name, int number) {
  class_name = "Sender_port";
  Init(name, number);
  Make_receiver_list(true);
}

Sender_port::~Sender_port() = default;

void Sender_port::Make_receiver_list(bool named) {
  if (named) {
    Memory_site site(Sender_point::named_receiver_list_memory, "List", 0, 1);
    buffer_list.reset(new List());
  } else {
    Memory_site site(Sender_point::unnamed_receiver_list_memory, "List", 0, 1);
    buffer_list.reset(new List());
  }
}

Boolean Sender_port::Init(const char* name, int number) { return Port::Init(name, number); }

Boolean Sender_port::Register_receiver(Port* r) {
  if (!r) {
    Report(Sender_point::no_receiver);
    return NO;
  }
  if (number_of_receivers >= 0) {
    Report_with(Sender_point::switched_already, [r] { r->Oprint(stderr, "    "); });
    return NO;
  }
  if (!buffer_list) {
    Report(Sender_point::no_receiver_list);
    return NO;
  }
  if (std::strcmp(Data_pack_type(), r->Data_pack_type()) != 0) {
    Report_with(Sender_point::types_differ, [r] { r->Oprint(stderr, "    r > "); });
    return NO;
  }
  void* item;
  buffer_list->Top();
  while (buffer_list->Look(item))
    if (item == r) return YES;
  buffer_list->Put_tail(r);
  return YES;
}

Boolean Sender_port::Switch() {
  if (number_of_receivers >= 0) {
    Report_values(Sender_point::switched_twice, "    number_of_receivers = %d.\n", number_of_receivers);
    return NO;
  }
  receiver_array.clear();
  if (buffer_list) {
    receiver_array.reserve(static_cast<std::size_t>(buffer_list->Number()));
    void* item;
    buffer_list->Top();
    while (buffer_list->Look(item)) receiver_array.push_back(static_cast<Port*>(item));
  }
  number_of_receivers = static_cast<int>(receiver_array.size());
  buffer_list.reset();
  return YES;
}

Boolean Sender_port::Are_you_ready() { return number_of_receivers >= 0 ? YES : NO; }

Long Sender_port::Necessary_time_from() {
  if (!Owner() || number_of_receivers < 1) return LONG_MIN32;
  Long t = LONG_MAX32;
  for (Port* r : receiver_array) {
    Long rt = r->Necessary_time_from();
    if (rt < t) t = rt;
  }
  return t;
}

Long Sender_port::Necessary_time_to() {
  if (!Owner() || number_of_receivers < 1) return LONG_MAX32;
  Long t = LONG_MIN32;
  for (Port* r : receiver_array) {
    Long rt = r->Necessary_time_to();
    if (rt > t) t = rt;
  }
  return t;
}

void Sender_port::Print_connection(FILE* f, const char* prefix) {
  const char* p = prefix ? prefix : "";
  Oprint(f, p);
  if (number_of_receivers < 1) {
    std::fprintf(f, "%s\tNot connected.\n", p);
    return;
  }
  std::string text;
  {
    Memory_site site(Sender_point::connection_text_memory, "", 0, 1, this);
    text = std::string(p) + "Connected > ";
  }
  for (Port* r : receiver_array) r->Oprint(f, text.c_str());
}

void Sender_port::Set_comment_string(const char* s) {
  comment_string.reset();
  if (!s) return;
  std::size_t n = std::strlen(s) + 1;
  try {
    Memory_site site(Sender_point::comment_memory, "char", 0, static_cast<int>(n), this, Memory_failure::report);
    comment_string.reset(new char[n]);
  } catch (const std::bad_alloc&) {
    return;  // reported; the port keeps no comment
  }
  std::memcpy(comment_string.get(), s, n);
}

std::unique_ptr<char[]> Sender_port::Get_comment_string() const {
  if (!comment_string) return nullptr;
  std::size_t n = std::strlen(comment_string.get()) + 1;
  std::unique_ptr<char[]> copy;
  try {
    Memory_site site(Sender_point::comment_copy_memory, "char", 0, static_cast<int>(n), this, Memory_failure::report);
    copy.reset(new char[n]);
  } catch (const std::bad_alloc&) {
    return nullptr;  // reported
  }
  std::memcpy(copy.get(), comment_string.get(), n);
  return copy;
}
