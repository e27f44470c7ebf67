#include <cstring>
#include <string>

#include "relay.h"
#include "report_points.h"

Relay_port::Relay_port() { class_name = "Relay_port"; }

Relay_port::Relay_port(const char* name, int number) : Sender_port(name, number) { class_name = "Relay_port"; }

Relay_port::~Relay_port() = default;

Boolean Relay_port::Init(const char* name, int number) { return Port::Init(name, number); }

Boolean Relay_port::Set_sender(Port* s) {
  if (!s) {
    Report(Relay_point::no_sender);
    return NO;
  }
  if (sender) {
    Report_with(Relay_point::sender_already, [&] {
      sender->Cprint(stderr, "    connected to  : ");
      s->Cprint(stderr, "    connecting to : ");
    });
    return NO;
  }
  if (std::strcmp(s->Data_pack_type(), Data_pack_type()) != 0) {
    Report_with(Relay_point::types_differ, [s] { s->Oprint(stderr, "    s > "); });
    return NO;
  }
  sender = s;
  return YES;
}

Boolean Relay_port::Are_you_ready() { return sender && number_of_receivers >= 0 ? YES : NO; }

void Relay_port::Creq() { sender->Creq(); }
void Relay_port::Set_data_pack_array() { sender->Set_data_pack_array(); }
Boolean Relay_port::Can_you_get_data(Long t1, Long t2) { return sender->Can_you_get_data(t1, t2); }
void Relay_port::Get_data_pack_array(Data_pack* const*& array, int& n) { sender->Get_data_pack_array(array, n); }
Long Relay_port::Oldest_data_time() { return sender->Oldest_data_time(); }
Long Relay_port::Newest_data_time() { return sender->Newest_data_time(); }
int Relay_port::Number_of_data_packs() { return sender->Number_of_data_packs(); }
Boolean Relay_port::Get_data_pack(Data_pack*& before, Long t, Data_pack*& after, char mode) {
  return sender->Get_data_pack(before, t, after, mode);
}
void Relay_port::Reduce_data_pack_stock() { sender->Reduce_data_pack_stock(); }

void Relay_port::Print_connection(FILE* f, const char* prefix) {
  const char* p = prefix ? prefix : "";
  Oprint(f, p);
  std::string text;
  {
    Memory_site site(Relay_point::connection_text_memory, "", 0, 1, this);
    text = std::string(p) + "Connected > ";
  }
  if (!sender)
    std::fprintf(f, "%s\tNot connected to sender.\n", p);
  else
    sender->Oprint(f, text.c_str());
  if (number_of_receivers <= 0) std::fprintf(f, "%s\tNot connected to receiver.\n", p);
  for (Port* r : receiver_array) r->Oprint(f, text.c_str());
}

template class Relay<double>;
template class Relay<float>;
template class Relay<int>;
template class Relay<TzLong>;
template class Relay<QavlenString>;
template class Relay<Vary<double> >;
template class Relay<Vary<float> >;
template class Relay<Vary<int> >;
template class Relay<Vary<TzLong> >;
template class Relay<TzMatrix<double> >;
template class Relay<TzMatrix<float> >;
template class Relay<TzMatrix<int> >;
template class Relay<TzMatrix<TzLong> >;
