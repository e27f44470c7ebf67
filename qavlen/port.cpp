#include "port.h"

#include "report_points.h"

Port::Port() { class_name = "Port"; }

Port::Port(const char* name, int number) {
  class_name = "Port";
  Init(name, number);
}

Port::~Port() = default;

void Port::Cprint(FILE* f, const char* prefix) const {
  const char* name = Object_name();
  std::fprintf(f, "%s%s<%s> %s %d \n", prefix ? prefix : "", Class_name(), Data_pack_type(), name ? name : "(null)",
               Object_number());
}

Boolean Port::Init(const char* name, int number) { return Object::Init(name, number); }

Boolean Port::Set_sender(Port* s) {
  Report_with(Port_point::takes_no_sender, [s] {
    if (s) s->Oprint(stderr, "    sender > ");
  });
  return NO;
}

Boolean Port::Register_receiver(Port* r) {
  Report_with(Port_point::has_no_receivers, [r] {
    if (r) r->Oprint(stderr, "    receiver > ");
  });
  return NO;
}

Boolean Port::Switch() {
  Report(Port_point::cannot_switch);
  return NO;
}

void Port::Creq() {}

void Port::Print_connection(FILE* f, const char* prefix) {
  const char* p = prefix ? prefix : "";
  Oprint(f, p);
  std::fprintf(f, "%s    This port not connected.\n", p);
}
