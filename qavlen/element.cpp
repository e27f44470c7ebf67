#include "element.h"

#include <cstdint>
#include <cstring>
#include <functional>
#include <string_view>
#include <new>

#include "data2str.h"
#include "list.h"
#include "qoption.h"
#include "report_points.h"
#include "send.h"
#include "tzcheck.h"
#include "tzlines.h"
#include "tzsignal.h"

namespace {

const char* const kUnit = "element.cpp";

const char* text_or_null(const char* s) { return s ? s : "(null)"; }

// Marks an element as passing a demand upstream and keeps its time step;
// both are restored when the scope ends, also when an exception (the input
// file ports' 99) leaves it.
class Creq_scope {
 public:
  Creq_scope(bool& active, Time& step) : active_(active), step_(step), saved_(step) { active_ = true; }
  ~Creq_scope() {
    step_ = saved_;
    active_ = false;
  }
  Creq_scope(const Creq_scope&) = delete;
  Creq_scope& operator=(const Creq_scope&) = delete;

 private:
  bool& active_;
  Time& step_;
  Time saved_;
};

}  // namespace

// ---------------------------------------------------------------- construction

Element::Element() { class_name = "Element"; }

Element::Element(const char* name, int number, int number_of_objects, const char* data) {
  class_name = "Element";
  Init(name, number, number_of_objects, data);
}

Element::Element(const char* name, int number, const char* data) {
  class_name = "Element";
  Init(name, number, 0, data);
}

Element::~Element() {
  Delete_object_list();
  delete[] data_string;
}

int Element::Init(const char* name, int number, int number_of_objects, const char* data) {
  if (Object::Init(name, number) != YES) return 0;
  if (Set_object_array(number_of_objects) != 1) return 0;
  if (Set_data_string(data, -1) != 1) return 0;
  return 1;
}

Element* Element::Owner_element(const Object* object) {
  return object ? dynamic_cast<Element*>(object->Owner()) : nullptr;
}

void Element::New_object_list() {
  Delete_object_list();
  Memory_site site(Element_point::registration_list_memory, "List", 0, 1);
  object_list = new List();
}

void Element::Delete_object_list() {
  delete object_list;
  object_list = nullptr;
  registered.clear();
  registered_list = nullptr;
  registered_tail = nullptr;
}

// ---------------------------------------------------------------- registration

Boolean Element::Register(Object* object) {
  if (!object) {
    Report(Element_point::register_nothing);
    return NO;
  }
  if (!object_list) {
    Report(Element_point::register_outside_construction);
    return NO;
  }
  if (!object->Object_name() || object->Object_number() == -1) {
    Report_with(Element_point::register_unnamed, [object] { object->Oprint(stderr, "    registered > "); });
    tz::stop(1);
  }
  Follow_registration_list();
  if (registered.count(object)) {
    Report_with(Element_point::registered_already, [object] { object->Oprint(stderr, "    registered > "); });
    return NO;
  }
  if (object->Set_owner(this) != YES) {
    Report(Element_point::register_owned_elsewhere);
    return NO;
  }
  object_list->Put_tail(object);
  {
    Memory_site site(List_point::end_node_memory, "Node", 0, 1);
    registered.insert(object);
  }
  registered_tail = object;
  return YES;
}

std::size_t Element::Identity_hash::operator()(const Object* o) const {
  std::size_t h = std::hash<std::string_view>()(o->Object_name() ? o->Object_name() : "");
  h ^= std::hash<std::string_view>()(o->Class_name() ? o->Class_name() : "") + 0x9e3779b9u + (h << 6) +
       (h >> 2);
  h ^= std::hash<int>()(o->Object_number()) + 0x9e3779b9u + (h << 6) + (h >> 2);
  return h;
}

bool Element::Same_identity::operator()(const Object* a, const Object* b) const {
  return b->Compare(a->Class_name(), a->Object_name(), a->Object_number()) == YES;
}

void Element::Follow_registration_list() {
  if (registered_list == object_list && registered_tail == object_list->Tail() &&
      registered.size() == static_cast<std::size_t>(object_list->Number()))
    return;
  registered.clear();
  void* item;
  object_list->Top();
  while (object_list->Look(item)) {
    Memory_site site(List_point::end_node_memory, "Node", 0, 1);
    registered.insert(static_cast<const Object*>(item));
  }
  registered_list = object_list;
  registered_tail = object_list->Tail();
}

int Element::Set_object_array(int n) {
  if (n < 0) {
    Report(Element_point::object_count_negative);
    return 0;
  }
  if (number_of_objects >= 0) {
    Report(Element_point::object_array_exists);
    return 0;
  }
  Memory_site site(Element_point::object_array_memory, "Object*", n, n == 1, this);
  object_array.assign(static_cast<std::size_t>(n), nullptr);
  number_of_objects = n;
  return 1;
}

int Element::Register(Object* object, int index) {
  if (index < 0 || index >= number_of_objects) {
    Report_values(Element_point::slot_outside_array, "\tnum (arg) = %d, number_of_objects = %d\n", index,
                  number_of_objects);
    return 0;
  }
  if (!object) {
    Report(Element_point::slot_without_object);
    return 0;
  }
  Object*& slot = object_array[static_cast<std::size_t>(index)];
  if (slot) {
    Report_with(Element_point::slot_set_already, [&] {
      std::fprintf(stderr, "\tDoubly set object_array[%d].\n", index);
      slot->Oprint(stderr, "    first > ");
      object->Oprint(stderr, "    next  > ");
    });
    return 0;
  }
  slot = object;
  return 1;
}

int Element::Make_object_array(void**& array, int& n) {
  if (!object_list) {
    Report(Element_point::array_outside_construction);
    return 0;
  }
  if (n >= 0) {
    Report(Element_point::array_made_already);
    return 0;
  }
  object_list->Make_array(array, n);
  return 1;
}

int Element::Make_port_array(std::vector<Port*>& array, int& n) {
  return Make_typed_array(array, n);
}

int Element::Construct() {
  if (object_list) {
    Report(Element_point::constructed_twice);
    return 0;
  }
  New_object_list();
  Register_receive_ports();
  if (Make_port_array(receive_port_array, number_of_receive_ports) != 1) {
    Report(Element_point::receive_port_array_failed);
    Delete_object_list();
    return 0;
  }
  object_list->Clear_node();
  Register_send_ports();
  if (Make_port_array(send_port_array, number_of_send_ports) != 1) {
    Report(Element_point::send_port_array_failed);
    Delete_object_list();
    return 0;
  }
  Delete_object_list();
  return 1;
}

// ---------------------------------------------------------------- look-ups

Element* Element::Get_component(const char* cls, const char* name, int number) {
  Report_values(Element_point::no_component_of_class, "\tc_name(arg) = %s, o_name(arg) = %s, o_num(arg) = %d\n",
                text_or_null(cls), text_or_null(name), number);
  return nullptr;
}

Element* Element::Get_component(const char* name, int number) {
  Report_values(Element_point::no_component_of_name, "\to_name(arg) = %s, o_num(arg) = %d\n", text_or_null(name),
                number);
  return nullptr;
}

Object* Element::Get_from_list(const char* cls, const char* name, int number) {
  if (!object_list) {
    Report_values(Element_point::list_lookup_by_class, "\tAsked > [%s] : '%s' : %d :\n", text_or_null(cls),
                  text_or_null(name), number);
    return nullptr;
  }
  void* item;
  object_list->Top();
  while (object_list->Look(item))
    if (static_cast<Object*>(item)->Compare(cls, name, number)) return static_cast<Object*>(item);
  return nullptr;
}

Object* Element::Get_from_list(const char* name, int number) {
  if (!object_list) {
    Report_values(Element_point::list_lookup_by_name, "\tAsked > '%s' : %d :\n", text_or_null(name), number);
    return nullptr;
  }
  void* item;
  object_list->Top();
  while (object_list->Look(item))
    if (static_cast<Object*>(item)->Compare(name, number)) return static_cast<Object*>(item);
  return nullptr;
}

Object* Element::Get_from_array(Object* const* array, int n, const char* cls, const char* name,
                                int number, Element* asker) {
  if (n < 0) {
    if (asker)
      asker->Report(Element_point::array_lookup_by_class);
    else
      Eprint(Element_point::array_lookup_by_class, 1);
    return nullptr;
  }
  for (int i = 0; i < n; ++i)
    if (array[i] && array[i]->Compare(cls, name, number)) return array[i];
  return nullptr;
}

Object* Element::Get_from_array(Object* const* array, int n, const char* name, int number,
                                Element* asker) {
  if (n < 0) {
    if (asker)
      asker->Report(Element_point::array_lookup_by_name);
    else
      Eprint(Element_point::array_lookup_by_name, 1);
    return nullptr;
  }
  for (int i = 0; i < n; ++i)
    if (array[i] && array[i]->Compare(name, number)) return array[i];
  return nullptr;
}

namespace {

// The ports of an array as objects, for the shared search.
std::vector<Object*> as_objects(const std::vector<Port*>& ports) {
  return std::vector<Object*>(ports.begin(), ports.end());
}

}  // namespace

// The look-ups report their miss with the name and number asked for.

Port* Element::Get_receive_port(const char* cls, const char* name, int number) {
  std::vector<Object*> a = as_objects(receive_port_array);
  Object* o = Get_from_array(a.data(), number_of_receive_ports, cls, name, number, this);
  if (!o) Report_values(Element_point::no_receive_port_of_class, "\tAsked > '%s' : %d :\n", text_or_null(name), number);
  return static_cast<Port*>(o);
}

Port* Element::Get_send_port(const char* cls, const char* name, int number) {
  std::vector<Object*> a = as_objects(send_port_array);
  Object* o = Get_from_array(a.data(), number_of_send_ports, cls, name, number, this);
  if (!o) Report_values(Element_point::no_send_port_of_class, "\tAsked > '%s' : %d :\n", text_or_null(name), number);
  return static_cast<Port*>(o);
}

Port* Element::Get_receive_port(const char* name, int number) {
  std::vector<Object*> a = as_objects(receive_port_array);
  Object* o = Get_from_array(a.data(), number_of_receive_ports, name, number, this);
  if (!o) Report_values(Element_point::no_receive_port_of_name, "\tAsked > '%s' : %d :\n", text_or_null(name), number);
  return static_cast<Port*>(o);
}

Port* Element::Get_send_port(const char* name, int number) {
  std::vector<Object*> a = as_objects(send_port_array);
  Object* o = Get_from_array(a.data(), number_of_send_ports, name, number, this);
  if (!o) Report_values(Element_point::no_send_port_of_name, "\tAsked > '%s' : %d :\n", text_or_null(name), number);
  return static_cast<Port*>(o);
}

Object* Element::Get_object(const char* cls, const char* name, int number) {
  Object* o = Get_from_array(object_array.data(), number_of_objects, cls, name, number, this);
  if (!o) Report_values(Element_point::no_object_of_class, "\tAsked > '%s' : %d :\n", text_or_null(name), number);
  return o;
}

// ---------------------------------------------------------------- checks

Boolean Element::Switch() {
  bool receive_ok = true;
  for (Port* p : receive_port_array)
    if (p->Switch() != YES) receive_ok = false;
  if (!receive_ok) {
    Report(Element_point::receive_switch_failed);
  }
  bool send_ok = true;
  for (Port* p : send_port_array)
    if (p->Switch() != YES) send_ok = false;
  if (!send_ok) {
    Report(Element_point::send_switch_failed);
  }
  return receive_ok && send_ok ? YES : NO;
}

Boolean Element::Are_you_ready() {
  bool ok = true;
  bool ports_ok = true;
  for (Port* p : receive_port_array)
    if (p->Are_you_ready() != YES) {
      p->Oprint(stderr, "    ");
      ports_ok = false;
    }
  if (!ports_ok) {
    Report(Element_point::receive_port_not_ready);
    ok = false;
  }
  ports_ok = true;
  for (Port* p : send_port_array)
    if (p->Are_you_ready() != YES) {
      p->Oprint(stderr, "    ");
      ports_ok = false;
    }
  if (!ports_ok) {
    Report(Element_point::send_port_not_ready);
    ok = false;
  }
  bool slots_ok = true;
  for (int i = 0; i < number_of_objects; ++i)
    if (!object_array[static_cast<std::size_t>(i)]) {
      std::fprintf(stderr, "\tobject_array[%d] has not set.\n", i);
      slots_ok = false;
    }
  if (!slots_ok) {
    Report(Element_point::slots_not_set);
    ok = false;
  }
  return ok ? YES : NO;
}

// ---------------------------------------------------------------- data string

int Element::Set_data_string(const char* text, int length) {
  if (!text) return 1;
  if (data_string) {
    Report(Element_point::data_block_twice);
    return 0;
  }
  std::size_t n = length > 0 ? static_cast<std::size_t>(length) : std::strlen(text) + 1;
  // Two NULs more than given: whatever the text holds, its item list ends
  // with an empty item, so no reader walks past the copy.
  Memory_site site(Element_point::data_string_memory, "char", static_cast<int>(n + 2), n + 2 == 1, this);
  data_string = new char[n + 2];
  std::memcpy(data_string, text, n);
  data_string[n] = '\0';
  data_string[n + 1] = '\0';
  return 1;
}

int Element::Get_data_string(char* text) {
  if (data_string) {
    Report(Element_point::data_string_held);
    return 0;
  }
  data_string = text;
  return 1;
}

int Element::Look_data_string(char*& cursor) {
  if (!data_string) {
    Report(Element_point::no_data_string);
    cursor = nullptr;
    return 0;
  }
  if (!cursor) cursor = data_string;
  char* end = cursor + std::strlen(cursor);  // the NUL of the current item
  if (end[1] == '\0') {
    cursor = end;
    return 0;
  }
  cursor = end + 1;
  return 1;
}

void Element::Clear_data_string() {
  delete[] data_string;
  data_string = nullptr;
}

int Element::Record_status() {
  if (data_string) {
    Print_status();
    return 1;
  }
  Report(Element_point::no_status_string);
  return 0;
}

// ---------------------------------------------------------------- send-port stock

void Element::Save_send_port_stock(FILE* f) {
  if (!f || number_of_send_ports <= 0) return;
  std::fprintf(f, "%s %s %d ", Class_name(), Object_name() ? Object_name() : "", Object_number());
  std::fputs("(\n", f);
  for (int i = 0; i < number_of_send_ports; ++i) {
    std::fprintf(f, "(%d) # send_ports number\n", i);
    Send_port* s = dynamic_cast<Send_port*>(send_port_array[static_cast<std::size_t>(i)]);
    if (s)
      s->Save_send_port_stock(f);
    else  // a sender that keeps no packs (a relay) has an empty stock
      std::fputs("(0) # number_of_data_packs\n", f);
  }
  std::fputs(")\n", f);
}

void Element::Restore_send_port_stock() {
  // The stock block does not fit this element's send ports.
  auto unfit = [this]() {
    Report(Element_point::stock_block_unfit);
    tz::stop(1);
  };
  char empty[2] = {'\0', '\0'};
  char* cursor = data_string ? data_string : empty;
  for (int i = 0; i < number_of_send_ports; ++i) {
    int index = -1;
    int n = 0;
    dstr2data(cursor, index);
    if (index != i) unfit();
    dstr2data(cursor, n);
    Send_port* s = dynamic_cast<Send_port*>(send_port_array[static_cast<std::size_t>(i)]);
    for (int k = 0; k < n; ++k) {
      // The empty item ends the block: every announced pack starts with its
      // time item.
      if (*cursor == '\0' || !s) unfit();
      s->Send_by_string(cursor);
    }
  }
}

// ---------------------------------------------------------------- files

int Element::Parameter(FILE* f, char*&, int, int&) { return Set_parameter(f); }

int Element::Initial_state(FILE* f, char*&, int, int&) { return Set_initial_state(f); }

int Element::Terminal_state(FILE* f) {
  if (!f) return 0;
  std::fprintf(f, "%s %s %d\n", Class_name(), Object_name() ? Object_name() : "", Object_number());
  const int written = Save_terminal_state(f);
  std::fputs("\n", f);
  return written != 0 ? 1 : 0;
}

char* Element::Get_line(FILE* f, char* buffer, int size, int& pushed_back, int& first_char) {
  if (pushed_back) {
    pushed_back = 0;
  } else {
    for (;;) {
      if (!f || size < 2 || tz::ReadLine(f, buffer, static_cast<std::size_t>(size)) == 0) return nullptr;
      if (buffer[0] == '#' || tz::IsBlankLine(buffer)) continue;
      break;
    }
  }
  first_char = static_cast<unsigned char>(*Skip_blanks(buffer));
  return buffer;
}

char* Element::Get_line(FILE* f, char* buffer, int size, Report_point missing) {
  int pushed_back = 0;
  int first = 0;
  char* s = Get_line(f, buffer, size, pushed_back, first);
  if (!s) {
    Eprint(missing, 0);
    Oprint(stderr, "    ");
    tz::stop(1);
  }
  return const_cast<char*>(Skip_blanks(s));
}

// ---------------------------------------------------------------- defaults

int Element::Share_info() { return 1; }

int Element::Do_share_info() {
  if (shareinfodone_p == 1) return E_ALREADY;
  if (Share_info() != 1) return E_UNDONE;
  shareinfodone_p = 1;
  return E_DONE;
}

int Element::Initial_work() {
  if (Initial_output() == 0) return 0;
  Set_data_pack_array();
  return 1;
}

void Element::Own_files(std::vector<Own_file>&, std::vector<Own_file>&) {}

int Element::Do_initial_work() {
  if (initialworkdone_p == 1) return E_ALREADY;
  if (Initial_work() != 1) return E_UNDONE;
  initialworkdone_p = 1;
  return E_DONE;
}

Time Element::Terminal_time() {
  Element* owner = Owner_element(this);
  TZ_CHECK(owner != nullptr, kUnit);
  return owner->Terminal_time();
}

const char* Element::Framework_file() const {
  const Element* owner = Owner_element(this);
  return owner ? owner->Framework_file() : nullptr;
}

Time Element::MediumTermTargetTime() {
  Element* owner = Owner_element(this);
  TZ_CHECK(owner != nullptr, kUnit);
  return owner->MediumTermTargetTime();
}

int Element::Renew_current_time() {
  current_time = time_add(current_time, time_step);
  return 1;
}

void Element::Rewind_current_time() {
  if (fixed_time >= current_time) {
    Warn(Element_point::rewind_fixed_not_earlier);
  }
  current_time = fixed_time;
}

void Element::Renew_fixed_time() {
  if (fixed_time >= current_time) {
    Warn(Element_point::renew_fixed_not_earlier);
  }
  fixed_time = current_time;
}

void Element::Initialize_target_time() {}

void Element::Renew_target_time(Time step) {
  Time terminal = Terminal_time();
  if (time_add(target_time, step) > terminal &&
      QavlenOption::Get_time_control_option() == QavlenOption::DoNotGoBeyondTerminalTime &&
      target_time < terminal)
    step = terminal - target_time;
  target_time = time_add(target_time, step);
}

Time Element::Calculate_iteration_step() {
  Report(Element_point::no_iteration_step);
  tz::stop(1);
}

Time Element::Necessary_time_from(Receive_port*) { return current_time; }

Time Element::Necessary_time_to(Receive_port*) { return Next_time(); }

Time Element::Next_time() const { return time_add(current_time, time_step); }

int Element::Initial_time(Time t) {
  if (time_step < 0) {
    current_time = t;
    time_step = 0;
    return 1;
  }
  if (t == current_time && time_step == 0) {
    Warn(Element_point::initial_time_again);
    return 1;
  }
  Report_values(Element_point::initial_time_set, "\tcurrent_time = %d, time_step = %d\n\ti_time (arg) = %d\n",
                current_time, time_step, t);
  return 0;
}

int Element::Print_status() { return 1; }

int Element::Do_you_reach_target_time() { return current_time >= target_time; }

int Element::Do_you_converge() {
  Report(Element_point::no_convergence_answer);
  tz::stop(1);
}

void Element::Flush_data() {
  Send_stocked_data();
  Set_data_pack_array();
  Reduce_data_pack_stock();
}

void Element::Send_stocked_data() {
  Report(Element_point::no_stocked_data_send);
  tz::stop(1);
}

Element* Element::NewElement() { return nullptr; }

int Element::Init(const char*, int, FILE*) {
  std::fputs("Init((char*, int, FILE*) is not defined.\n", stderr);
  tz::stop(1);
}

// ---------------------------------------------------------------- stepping

void Element::Set_data_pack_array() {
  for (Port* p : send_port_array) p->Set_data_pack_array();
}

void Element::Reduce_data_pack_stock() {
  for (Port* p : receive_port_array) p->Reduce_data_pack_stock();
  for (Port* p : send_port_array) p->Reduce_data_pack_stock();
}

int Element::Can_you_calculate0() {
  int ok = 1;
  for (Port* p : receive_port_array) {
    Receive_port* r = dynamic_cast<Receive_port*>(p);
    if (p->Can_you_get_data(Necessary_time_from(r), Necessary_time_to(r)) != YES) {
      p->Creq();
      ok = 0;
    }
  }
  return ok;
}

int Element::Can_you_calculate1() {
  int ok = 1;
  for (Port* p : receive_port_array) {
    Receive_port* r = dynamic_cast<Receive_port*>(p);
    Time t = Necessary_time_from(r);
    if (p->Can_you_get_data(t, t) != YES) {
      p->Creq();
      ok = 0;
    }
  }
  return ok;
}

template <class Choose_step>
int Element::Step_to_target(Choose_step choose_step) {
  if (!mCreqp && current_time >= MediumTermTargetTime()) return 0;
  // A stop asked by a signal ends the stepping at the end of a step: one
  // flag read per step.
  if (tz::StopSignal() != 0) return 0;
  int steps = 0;
  try {
    for (;;) {
      const Step_choice choice = choose_step();
      if (choice == Step_choice::abandon) return 0;
      if (choice == Step_choice::end || Can_you_calculate() != 1 || Calculate() == 0) {
        if (steps == 0) return 0;
        break;
      }
      mCreqp = 0;
      current_time = time_add(current_time, time_step);
      ++steps;
      if (!(current_time < MediumTermTargetTime()) || tz::StopSignal() != 0) break;
    }
  } catch (int) {
    // An input ran out of data (the main loop catches this and writes the
    // output): the steps computed in this call must reach the send ports'
    // receivers first. Nothing is released.
    if (steps > 0) Set_data_pack_array();
    throw;
  }
  Set_data_pack_array();
  Reduce_data_pack_stock();
  return 1;
}

bool Element::Cut_step_at_terminal_time() {
  if (QavlenOption::Get_time_control_option() != QavlenOption::DoNotGoBeyondTerminalTime) return false;
  Time terminal = Terminal_time();
  if (time_add(current_time, time_step) <= terminal) return false;
  // What is left up to the terminal time, formed without overflow (an
  // element far past it has less than the smallest step left).
  const std::int64_t left = static_cast<std::int64_t>(terminal) - current_time;
  time_step = left < LONG_MIN32 ? LONG_MIN32 : static_cast<Time>(left);
  // At (or past) the terminal time no step is left in this segment: a step
  // of 0 would repeat for ever.
  return time_step <= 0;
}

int Element::Work0() {
  return Step_to_target([this] {
    time_step = Calculate_time_step();
    if (time_step == 0) return Step_choice::abandon;
    if (time_step < 0) {
      Report_values(Element_point::time_step_negative, "\tcurrent_time = %d, time_step = %d\n", current_time,
                    time_step);
      return Step_choice::abandon;
    }
    return Cut_step_at_terminal_time() ? Step_choice::end : Step_choice::take;
  });
}

int Element::Work1() {
  // A step below 1 would never reach the target.
  return Step_to_target([this] { return time_step < 1 ? Step_choice::end : Step_choice::take; });
}

int Element::Work2() {
  if (fixed_time >= Terminal_time() || current_time >= target_time || tz::StopSignal() != 0) return 0;
  int steps = 0;
  for (;;) {
    time_step = Calculate_time_step();
    if (time_step == 0) return 0;
    if (time_step < 0) {
      Report_values(Element_point::iteration_step_negative, "\tcurrent_time = %d, time_step = %d\n", current_time,
                    time_step);
      return 0;
    }
    if (time_add(current_time, time_step) > target_time) time_step = target_time - current_time;
    if (Can_you_calculate() != 1 || Calculate() == 0) break;
    current_time = time_add(current_time, time_step);
    ++steps;
    if (current_time >= target_time || tz::StopSignal() != 0) return 1;
  }
  return steps > 0 ? 1 : 0;
}

void Element::Creq() {
  if (in_creq) {
    // The demand came round a cycle of ports back to this element while it
    // is passing one upstream: asking again would never end.
    mCreqp = 1;
    return;
  }
  {
    Creq_scope scope(in_creq, time_step);
    time_step = Calculate_time_step();
    Can_you_calculate();
  }
  mCreqp = 1;
}

// ---------------------------------------------------------------- printing

void Element::Print_objects(FILE* f, const char* prefix, const char* title, Object* const* array,
                            int n) {
  const char* pre = prefix ? prefix : "";
  if (title) {
    std::fprintf(f, "%s%s", pre, title);
    Oprint(f, "of : ");
  } else {
    Oprint(f, pre);
  }
  for (int i = 0; i < n; ++i) {
    std::fputs(pre, f);
    if (array[i]) array[i]->Cprint(f, "    ");
  }
}

void Element::Print_connection(FILE* f, const char* prefix) {
  std::string pre = prefix ? prefix : "";
  std::string longer;
  {
    Memory_site site(Element_point::connections_memory, nullptr, 0, 1, this);
    longer = pre + "    ";
  }
  for (Port* p : receive_port_array) {
    p->Cprint(f, pre.c_str());
    p->Print_connection(f, longer.c_str());
  }
  for (Port* p : send_port_array) {
    p->Cprint(f, pre.c_str());
    p->Print_connection(f, longer.c_str());
  }
}
