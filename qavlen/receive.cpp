#include <cstring>
#include <string>

#include "element.h"
#include "port.h"
#include "report_points.h"
#include "tzcheck.h"

Receive_port::Receive_port() { class_name = "Receive_port"; }

Receive_port::Receive_port(const char* name, int number) {
  class_name = "Receive_port";
  Init(name, number);
}

Receive_port::~Receive_port() = default;

Boolean Receive_port::Init(const char* name, int number) { return Port::Init(name, number); }

Boolean Receive_port::Set_sender(Port* s) {
  if (!s) {
    Report(Receive_point::no_sender);
    return NO;
  }
  if (sender) {
    Report_with(Receive_point::sender_already, [&] {
      sender->Cprint(stderr, "    connected to  : ");
      s->Cprint(stderr, "    connecting to : ");
    });
    return NO;
  }
  if (std::strcmp(s->Data_pack_type(), Data_pack_type()) != 0) {
    Report_with(Receive_point::types_differ, [s] { s->Oprint(stderr, "    s > "); });
    return NO;
  }
  sender = s;
  return YES;
}

Port& Receive_port::Connected_sender() const {
  // The framework forwards only on connected ports (the readiness check
  // after construction stops an unconnected one); a call on any other is a
  // fault of the caller.
  TZ_CHECK(sender != nullptr, "receive.cpp");
  return *sender;
}

void Receive_port::Creq() { Connected_sender().Creq(); }
void Receive_port::Set_data_pack_array() { Connected_sender().Set_data_pack_array(); }
Boolean Receive_port::Can_you_get_data(Long t1, Long t2) { return Connected_sender().Can_you_get_data(t1, t2); }
void Receive_port::Get_data_pack_array(Data_pack* const*& array, int& n) {
  Connected_sender().Get_data_pack_array(array, n);
}
Long Receive_port::Oldest_data_time() { return Connected_sender().Oldest_data_time(); }
Long Receive_port::Newest_data_time() { return Connected_sender().Newest_data_time(); }
int Receive_port::Number_of_data_packs() { return Connected_sender().Number_of_data_packs(); }
Boolean Receive_port::Get_data_pack(Data_pack*& before, Long t, Data_pack*& after, char mode) {
  return Connected_sender().Get_data_pack(before, t, after, mode);
}
void Receive_port::Reduce_data_pack_stock() { Connected_sender().Reduce_data_pack_stock(); }

Long Receive_port::Necessary_time_from() {
  Element* o = Element::Owner_element(this);
  return o ? o->Necessary_time_from(this) : LONG_MIN32;
}

Long Receive_port::Necessary_time_to() {
  Element* o = Element::Owner_element(this);
  return o ? o->Necessary_time_to(this) : LONG_MAX32;
}

void Receive_port::Print_connection(FILE* f, const char* prefix) {
  const char* p = prefix ? prefix : "";
  Oprint(f, p);
  if (!sender) {
    std::fprintf(f, "%s\tNot connected.\n", p);
    return;
  }
  std::string text;
  {
    Memory_site site(Receive_point::connection_text_memory, "", 0, 1, this);
    text = std::string(p) + "Connected > ";
  }
  sender->Oprint(f, text.c_str());
}
