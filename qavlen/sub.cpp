#include "sub.h"

#include <cstdio>
#include <cstring>

#include "list.h"
#include "report_points.h"
#include "tzcheck.h"
#include "tzlines.h"

namespace {

const char* const kUnit = "sub.cpp";

// A set member or component worked toward its target this many times in a
// row without converging: the group is given up.
const int kMaxRetries = 1000;

const char* text_or_null(const char* s) { return s ? s : "(null)"; }

}  // namespace

// ---------------------------------------------------------------- construction

Sub_system::Sub_system() { class_name = "Sub_system"; }

Sub_system::Sub_system(const char* name, int number, int number_of_objects, int sets,
                       const char* data) {
  class_name = "Sub_system";
  Init(name, number, number_of_objects, sets, data);
}

Sub_system::Sub_system(const char* name, int number, int number_of_objects, const char* data) {
  class_name = "Sub_system";
  Init(name, number, number_of_objects, 0, data);
}

Sub_system::Sub_system(const char* name, int number, const char* data) {
  class_name = "Sub_system";
  Init(name, number, 0, 0, data);
}

Sub_system::~Sub_system() = default;

int Sub_system::Init(const char* name, int number, int number_of_objects, int sets,
                     const char* data) {
  if (sets < 0) {
    Report(Sub_point::iterator_sets_negative);
    return 0;
  }
  number_of_iterator_sets = sets;
  return Element::Init(name, number, number_of_objects, data);
}

int Sub_system::Init(const char* name, int number, int number_of_objects, const char* data) {
  return Init(name, number, number_of_objects, 0, data);
}

int Sub_system::Make_element_array(std::vector<Element*>& array, int& n) {
  return Make_typed_array(array, n);
}

int Sub_system::Construct() {
  {
    Delete_object_list();
    Memory_site site(Sub_point::registration_list_memory, "List", 0, 1);
    object_list = new List();
  }
  Register_receive_ports();
  if (Make_port_array(receive_port_array, number_of_receive_ports) != 1) {
    Report(Sub_point::receive_port_array_failed);
    Delete_object_list();
    return 0;
  }
  object_list->Clear_node();
  Register_send_ports();
  if (Make_port_array(send_port_array, number_of_send_ports) != 1) {
    Report(Sub_point::send_port_array_failed);
    Delete_object_list();
    return 0;
  }
  object_list->Clear_node();
  Register_components();
  if (Make_element_array(component_array, number_of_components) != 1) {
    Report(Sub_point::component_array_failed);
    Delete_object_list();
    return 0;
  }
  object_list->Clear_node();
  {
    Memory_site site(Sub_point::iterator_sets_memory, "List", 0, 1);
    iterator_array.assign(static_cast<std::size_t>(number_of_iterator_sets), {});
  }
  {
    Memory_site site(Sub_point::iterator_counts_memory, "List", 0, 1);
    number_of_iterators.assign(static_cast<std::size_t>(number_of_iterator_sets), -1);
  }
  Register_iterators();
  Delete_object_list();

  bool ok = true;
  For_each_child([&](Element* e) {
    if (e->Construct() != 1) ok = false;
  });
  if (!ok) {
    Report(Sub_point::component_not_constructed);
    return 0;
  }
  Connect_ports();
  Connect_components();
  return 1;
}

int Sub_system::Register(int n, Element* const* members) {
  std::size_t k = 0;
  while (k < number_of_iterators.size() && number_of_iterators[k] >= 0) ++k;
  if (k == number_of_iterators.size()) {
    Report(Sub_point::iterator_sets_full);
    return 0;
  }
  if (object_list) object_list->Clear_node();
  for (int i = 0; i < n; ++i)
    if (Register(members[i]) != YES) {
      Cprint(stderr, "    ");
      if (object_list) object_list->Clear_node();
      return 0;
    }
  int count = -1;
  std::vector<Element*> set;
  if (Make_element_array(set, count) != 1) {
    Eprint(Sub_point::iterator_array_failed, 1);
    std::fprintf(stderr, "\t\t iterator_array[%d]\n", static_cast<int>(k));
    return 0;
  }
  object_list->Clear_node();
  iterator_array[k] = std::move(set);
  number_of_iterators[k] = count;
  return 1;
}

int Sub_system::Register(int n, std::initializer_list<Element*> members) {
  TZ_CHECK(n == static_cast<int>(members.size()), kUnit);
  return Register(n, members.begin());
}

// ---------------------------------------------------------------- connection

namespace {

// The receiver is told its sender first; only then is the sender told of
// its receiver. Both must accept.
int connect_ports(Port* sender, Port* receiver) {
  if (receiver->Set_sender(sender) != YES) return 0;
  return sender->Register_receiver(receiver) == YES ? 1 : 0;
}

}  // namespace

int Sub_system::Connect(Port* sender, Element* element, const char* cls, const char* name,
                        int number) {
  Port* receiver = element->Get_receive_port(cls, name, number);
  if (!receiver) {
    Report(Sub_point::connect_to_element_by_class);
    return 0;
  }
  return connect_ports(sender, receiver);
}

int Sub_system::Connect(Element* element1, const char* cls1, const char* name1, int number1,
                        Element* element2, const char* cls2, const char* name2, int number2) {
  Port* sender = element1->Get_send_port(cls1, name1, number1);
  if (!sender) {
    Report(Sub_point::connect_elements_by_class_sender);
    return 0;
  }
  Port* receiver = element2->Get_receive_port(cls2, name2, number2);
  if (!receiver) {
    Report(Sub_point::connect_elements_by_class_receiver);
    return 0;
  }
  return connect_ports(sender, receiver);
}

int Sub_system::Connect(Element* element, const char* cls, const char* name, int number,
                        Port* receiver) {
  Port* sender = element->Get_send_port(cls, name, number);
  if (!sender) {
    Report(Sub_point::connect_from_element_by_class);
    return 0;
  }
  return connect_ports(sender, receiver);
}

int Sub_system::Connect(Port* sender, Element* element, const char* name, int number) {
  Port* receiver = element->Get_receive_port(name, number);
  if (!receiver) {
    Report(Sub_point::connect_to_element_by_name);
    return 0;
  }
  return connect_ports(sender, receiver);
}

int Sub_system::Connect(Element* element1, const char* name1, int number1, Element* element2,
                        const char* name2, int number2) {
  Port* sender = element1->Get_send_port(name1, number1);
  if (!sender) {
    Report(Sub_point::connect_elements_by_name_sender);
    return 0;
  }
  Port* receiver = element2->Get_receive_port(name2, number2);
  if (!receiver) {
    Report(Sub_point::connect_elements_by_name_receiver);
    return 0;
  }
  return connect_ports(sender, receiver);
}

int Sub_system::Connect(Element* element, const char* name, int number, Port* receiver) {
  Port* sender = element->Get_send_port(name, number);
  if (!sender) {
    Report(Sub_point::connect_from_element_by_name);
    return 0;
  }
  return connect_ports(sender, receiver);
}

int Sub_system::Connect(Port* sender, Port* receiver) { return connect_ports(sender, receiver); }

// ---------------------------------------------------------------- look-ups

Element* Sub_system::Get_component(const char* cls, const char* name, int number) {
  for (Element* e : component_array)
    if (e->Compare(cls, name, number)) return e;
  for (const std::vector<Element*>& set : iterator_array)
    for (Element* e : set)
      if (e->Compare(cls, name, number)) return e;
  Report_values(Sub_point::no_component_of_class, "\tAsked > '%s' : '%s' : %d :\n", text_or_null(cls),
                text_or_null(name), number);
  return nullptr;
}

Element* Sub_system::Get_component(const char* name, int number) {
  for (Element* e : component_array)
    if (e->Compare(name, number)) return e;
  for (const std::vector<Element*>& set : iterator_array)
    for (Element* e : set)
      if (e->Compare(name, number)) return e;
  Report_values(Sub_point::no_component_of_name, "\tAsked > '%s' : %d :\n", text_or_null(name), number);
  return nullptr;
}

Time Sub_system::Necessary_time_from(void* port) {
  for (Port* p : receive_port_array)
    if (static_cast<void*>(p) == port) return p->Necessary_time_from();
  return current_time;
}

Time Sub_system::Necessary_time_to(void* port) {
  for (Port* p : receive_port_array)
    if (static_cast<void*>(p) == port) return p->Necessary_time_to();
  return current_time;
}

// ---------------------------------------------------------------- checks

Boolean Sub_system::Switch() {
  if (Element::Switch() != YES) {
    Report(Sub_point::own_switch_failed);
    return NO;
  }
  bool ok = true;
  For_each_child([&](Element* e) {
    if (e->Switch() != YES) ok = false;
  });
  if (!ok) {
    Report(Sub_point::component_switch_failed);
    return NO;
  }
  return YES;
}

Boolean Sub_system::Are_you_ready() {
  if (Element::Are_you_ready() != YES) {
    Report(Sub_point::own_ports_not_ready);
    return NO;
  }
  bool ok = true;
  For_each_child([&](Element* e) {
    if (e->Are_you_ready() != YES) ok = false;
  });
  if (!ok) {
    Report(Sub_point::component_not_ready);
    return NO;
  }
  return YES;
}

void Sub_system::Clear_data_string() {
  Element::Clear_data_string();
  For_each_child([](Element* e) { e->Clear_data_string(); });
}

// ---------------------------------------------------------------- files

int Sub_system::Set_parameter(FILE*) { return 1; }

int Sub_system::Set_initial_state(FILE* f) {
  int t = 0;
  if (!f || std::fscanf(f, "%d", &t) != 1) {
    Report(Sub_point::start_time_unread);
    tz::stop(1);
  }
  if (t > 0) current_time = t;
  return 1;
}

int Sub_system::Save_terminal_state(FILE* f) {
  if (!f) return 0;
  std::fprintf(f, "%d", current_time);
  return 1;
}

void Sub_system::Save_send_port_stock(FILE* f) {
  if (!f || (number_of_components <= 0 && number_of_iterator_sets == 0)) return;
  std::fprintf(f, "%s %s %d\n", Class_name(), text_or_null(Object_name()), Object_number());
  std::fputs("{\n", f);
  For_each_child([f](Element* e) { e->Save_send_port_stock(f); });
  std::fputs("}\n", f);
}

// ---------------------------------------------------------------- initial work

int Sub_system::Do_initial_work() {
  bool progress = false;
  bool failure = false;
  if (initialworkdone_p == 0 && Initial_work() == 1) {
    initialworkdone_p = 1;
    progress = true;
  }
  For_each_child([&](Element* e) {
    int r = e->Do_initial_work();
    if (r == E_DONE) progress = true;
    if (r == E_UNDONE) failure = true;
  });
  if (progress) return E_DONE;
  return failure ? E_UNDONE : E_ALREADY;
}

bool Sub_system::Initial_work_done() {
  bool done = initialworkdone_p == 1;
  For_each_child([&](Element* e) {
    if (!e->Initial_work_done()) done = false;
  });
  return done;
}

void Sub_system::Own_files(std::vector<Own_file>& inputs, std::vector<Own_file>& outputs) {
  For_each_child([&](Element* e) { e->Own_files(inputs, outputs); });
}

int Sub_system::Do_share_info() {
  bool progress = false;
  bool failure = false;
  if (shareinfodone_p == 0 && Share_info() == 1) {
    shareinfodone_p = 1;
    progress = true;
  }
  For_each_child([&](Element* e) {
    int r = e->Do_share_info();
    if (r == E_DONE) progress = true;
    if (r == E_UNDONE) failure = true;
  });
  if (progress) return E_DONE;
  return failure ? E_UNDONE : E_ALREADY;
}

int Sub_system::Initial_time(Time t) {
  if (Element::Initial_time(t) != 1) {
    Report(Sub_point::own_initial_time_failed);
    return 0;
  }
  bool ok = true;
  For_each_child([&](Element* e) {
    if (e->Initial_time(t) != 1) ok = false;
  });
  if (!ok) {
    Report(Sub_point::component_initial_time_failed);
    return 0;
  }
  return 1;
}

int Sub_system::Initial_output() { return 1; }
int Sub_system::Initial_work() { return 1; }
Time Sub_system::Calculate_time_step() { return 0; }
int Sub_system::Can_you_calculate() { return 1; }
int Sub_system::Calculate() { return 1; }

// ---------------------------------------------------------------- clocks

int Sub_system::Renew_current_time() {
  Time m = LONG_MAX32;
  for (Element* e : component_array)
    if (e->Current_time() < m) m = e->Current_time();
  for (const std::vector<Element*>& set : iterator_array)
    if (!set.empty() && set[0]->Fixed_time() < m) m = set[0]->Fixed_time();
  if (m < current_time) {
    Warn_values(Sub_point::clock_behind, "\tPut back current_time from %d to %d.\n", current_time, m);
    return 0;
  }
  current_time = m;
  return 1;
}

void Sub_system::Initialize_target_time() {
  for (int k = 0; k < static_cast<int>(iterator_array.size()); ++k)
    Renew_target_time(k, Calculate_iteration_step(k));
  for (Element* e : component_array) e->Initialize_target_time();
}

// ---------------------------------------------------------------- iterator sets

int Sub_system::Do_you_reach_target_time(int k) {
  for (Element* e : iterator_array[static_cast<std::size_t>(k)])
    if (e->Do_you_reach_target_time() == 0) return 0;
  return 1;
}

int Sub_system::Do_you_converge(int k) {
  for (Element* e : iterator_array[static_cast<std::size_t>(k)])
    if (e->Do_you_converge() == 0) return 0;
  return 1;
}

void Sub_system::Rewind_current_time(int k) {
  for (Element* e : iterator_array[static_cast<std::size_t>(k)]) e->Rewind_current_time();
}

void Sub_system::Flush_data(int k) {
  for (Element* e : iterator_array[static_cast<std::size_t>(k)]) e->Flush_data();
}

void Sub_system::Renew_fixed_time(int k) {
  for (Element* e : iterator_array[static_cast<std::size_t>(k)]) e->Renew_fixed_time();
}

void Sub_system::Renew_target_time(int k, Time step) {
  for (Element* e : iterator_array[static_cast<std::size_t>(k)]) e->Renew_target_time(step);
}

Time Sub_system::Calculate_iteration_step(int k) {
  Time m = LONG_MAX32;
  for (Element* e : iterator_array[static_cast<std::size_t>(k)]) {
    Time s = e->Calculate_iteration_step();
    if (s < m) m = s;
  }
  return m;
}

// ---------------------------------------------------------------- scheduling

int Sub_system::Work_iterator_set(int k, int& retries, Report_point diverged) {
  const std::vector<Element*>& set = iterator_array[static_cast<std::size_t>(k)];
  bool worked = false;
  for (;;) {
    bool sweep = false;
    for (Element* e : set)
      if (e->Work() == 1) sweep = true;
    if (!sweep) break;
    worked = true;
  }
  if (Do_you_reach_target_time(k) == 1) {
    if (Do_you_converge(k) == 1) {
      Flush_data(k);
      Renew_fixed_time(k);
      Renew_target_time(k, Calculate_iteration_step(k));
      retries = 0;
    } else {
      Rewind_current_time(k);
      if (++retries >= kMaxRetries) {
        Report_values(diverged, "\tin group [%d].\n", k);
        tz::stop(1);
      }
    }
  }
  return worked ? 1 : 0;
}

bool Sub_system::Work_passes(std::vector<int>& retries, Report_point diverged) {
  bool any = false;
  for (;;) {
    bool pass = false;
    for (Element* e : component_array)
      if (e->Work() == 1) pass = true;
    for (int k = 0; k < static_cast<int>(iterator_array.size()); ++k)
      if (Work_iterator_set(k, retries[static_cast<std::size_t>(k)], diverged) == 1) pass = true;
    if (!pass) return any;
    any = true;
  }
}

int Sub_system::Work() {
  std::vector<int> retries(iterator_array.size(), 0);
  bool any = false;
  try {
    any = Work_passes(retries, Sub_point::iterator_set_diverged);
  } catch (int) {
    // An input ran out of data: the system's clock still follows its
    // members as far as they got, so that the system above sees it.
    Renew_current_time();
    throw;
  }
  if (!any) return 0;
  if (Renew_current_time() == 1) return 1;
  Report(Sub_point::clock_not_renewed);
  return 0;
}

// ---------------------------------------------------------------- printing

void Sub_system::Print_components(FILE* f, const char* prefix) {
  std::vector<Object*> components(component_array.begin(), component_array.end());
  Print_objects(f, prefix, "Components :", components.data(), static_cast<int>(components.size()));
  for (std::size_t k = 0; k < iterator_array.size(); ++k) {
    std::vector<Object*> members(iterator_array[k].begin(), iterator_array[k].end());
    std::string title = "Iterators [" + std::to_string(k) + "] :";
    Print_objects(f, prefix, title.c_str(), members.data(), static_cast<int>(members.size()));
  }
}

// ---------------------------------------------------------------- framework files

char* Sub_system::Get_framework_line(FILE* f, char* buffer, int size, int& pushed_back, int& first_char,
                                     Report_point too_long) {
  if (pushed_back) return Get_line(f, buffer, size, pushed_back, first_char);
  // Get_line's rules (comment and blank lines skipped), read here so that a
  // line that fills the buffer and goes on past it is seen whole: it is
  // refused rather than read as two lines, and a comment or blank line is
  // skipped to its real end.
  for (;;) {
    if (!f || size < 2) return nullptr;
    const std::size_t len = tz::ReadLine(f, buffer, static_cast<std::size_t>(size));
    if (len == 0) return nullptr;
    bool comment = buffer[0] == '#';
    bool blank = !comment && tz::IsBlankLine(buffer);
    if (len + 1 == static_cast<std::size_t>(size) && buffer[len - 1] != '\n') {
      // A line that exactly fills the buffer ends here: its line end is
      // passed over.
      int c = std::getc(f);
      if (comment) {
        while (c != EOF && c != '\n') c = std::getc(f);
      } else if (blank) {
        while (c != EOF && tz::IsBlank(static_cast<char>(c))) c = std::getc(f);
      }
      if (c != EOF && c != '\n') {
        Report(too_long, buffer);
        tz::stop(1);
      }
    }
    if (!comment && !blank) break;
  }
  first_char = static_cast<unsigned char>(*Skip_blanks(buffer));
  return buffer;
}

int Sub_system::Read_header(const char* line, std::string& class_name, std::string& object_name, int& number) {
  if (!line) return 0;
  // Every word is shorter than the line.
  std::vector<char> a(std::strlen(line) + 1), b(std::strlen(line) + 1);
  int n = 0;
  if (std::sscanf(line, "%s %s %d", a.data(), b.data(), &n) == 3) {
    class_name = a.data();
    object_name = b.data();
    number = n;
    return 3;
  }
  if (std::sscanf(line, "%s %d", a.data(), &n) == 2) {
    class_name.clear();
    object_name = a.data();
    number = n;
    return 2;
  }
  if (std::sscanf(line, "%s", a.data()) == 1) {
    class_name.clear();
    object_name = a.data();
    number = 0;
    return 1;
  }
  return 0;
}

int Sub_system::Read_component_block(FILE* f, char*& line, int size, int& pushed_back, bool initial) {
  if (initial)
    Set_initial_state(f);
  else
    Set_parameter(f);
  int first = 0;
  if (!Get_framework_line(f, line, size, pushed_back, first, Sub_point::framework_line_long)) return 1;
  if (first != '{') {
    // Not a block: the line belongs to whoever reads next.
    pushed_back = 1;
    return 1;
  }
  for (;;) {
    if (!Get_framework_line(f, line, size, pushed_back, first, Sub_point::framework_line_long)) break;
    if (first == '}') break;
    std::string cls, name;
    int number = 0;
    Element* component = nullptr;
    switch (Read_header(line, cls, name, number)) {
      case 3:
        component = Get_component(cls.c_str(), name.c_str(), number);
        break;
      case 2:
        component = Get_component(name.c_str(), number);
        break;
      case 1:
        component = Get_component(name.c_str(), 0);
        break;
      default:
        Report(initial ? Sub_point::initial_header_empty : Sub_point::parameter_header_empty, line);
        tz::stop(1);
    }
    if (!component) {
      Report(Sub_point::header_names_no_component, line);
      tz::stop(1);
    }
    if (initial)
      component->Initial_state(f, line, size, pushed_back);
    else
      component->Parameter(f, line, size, pushed_back);
  }
  return 1;
}

int Sub_system::Parameter(FILE* f, char*& line, int size, int& pushed_back) {
  return Read_component_block(f, line, size, pushed_back, false);
}

int Sub_system::Initial_state(FILE* f, char*& line, int size, int& pushed_back) {
  return Read_component_block(f, line, size, pushed_back, true);
}

int Sub_system::Terminal_state(FILE* f) {
  if (!f) return 0;
  std::fprintf(f, "%s %s %d \n", Class_name(), text_or_null(Object_name()), Object_number());
  int written = Save_terminal_state(f) != 0 ? 1 : 0;
  std::fputs("\n{\n", f);
  bool first = true;
  for (Element* e : component_array) {
    if (!first) std::fputs("\n", f);
    first = false;
    if (e->Terminal_state(f) == 0) written = 0;
  }
  for (std::size_t k = 0; k < iterator_array.size(); ++k) {
    for (Element* e : iterator_array[k]) {
      std::fputs("\n", f);
      if (e->Terminal_state(f) == 0) written = 0;
    }
  }
  std::fputs("}\n", f);
  return written;
}
