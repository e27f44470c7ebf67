// The sub-system: an element made of other elements.
//
// A sub-system holds components, which work independently in every pass of
// the scheduler, and iterator sets, groups of elements worked together
// repeatedly until they converge at each target time. It registers,
// constructs and connects them, forwards the construction checks, the file
// work and the initial work through the tree, keeps its clock as the
// minimum of its members' clocks and schedules a nested system's work. The
// application's class supplies the pure operations (which components and
// sets it has, how their ports connect).
#ifndef SUB_H
#define SUB_H

#include <initializer_list>
#include <string>
#include <vector>

#include "element.h"

class Sub_system : public Element {
 public:
  Sub_system();
  Sub_system(const char* name, int number, int number_of_objects, int number_of_iterator_sets, const char* data);
  Sub_system(const char* name, int number, int number_of_objects, const char* data);
  Sub_system(const char* name, int number, const char* data);
  ~Sub_system() override;

  using Element::Init;
  int Init(const char* name, int number, int number_of_objects, int number_of_iterator_sets, const char* data);
  int Init(const char* name, int number, int number_of_objects, const char* data);

  // ---- virtual operations added by the sub-system, in slot order ----
  virtual int Register_components() = 0;
  virtual int Register_iterators() = 0;
  virtual int Connect_ports() = 0;
  virtual int Connect_components() = 0;
  virtual Time Necessary_time_from(void* port);
  virtual Time Necessary_time_to(void* port);
  using Element::Necessary_time_from;
  using Element::Necessary_time_to;

  // ---- overrides of the element ----
  int Construct() override;
  Element* Get_component(const char* class_name, const char* object_name, int number) override;
  Element* Get_component(const char* object_name, int number) override;
  Boolean Switch() override;
  Boolean Are_you_ready() override;
  void Clear_data_string() override;
  int Set_parameter(FILE* f) override;
  int Set_initial_state(FILE* f) override;
  int Do_share_info() override;
  int Do_initial_work() override;
  // Its own initial work and that of every component.
  bool Initial_work_done() override;
  // The files of its components.
  void Own_files(std::vector<Own_file>& inputs, std::vector<Own_file>& outputs) override;
  void Save_send_port_stock(FILE* f) override;
  int Renew_current_time() override;
  void Initialize_target_time() override;
  int Initial_time(Time t) override;
  int Initial_output() override;
  int Initial_work() override;
  Time Calculate_time_step() override;
  int Can_you_calculate() override;
  int Calculate() override;
  int Work() override;
  int Save_terminal_state(FILE* f) override;

  // ---- framework parameter and state files ----
  // The block readers: the system's own lines (Set_parameter /
  // Set_initial_state), then, when the next line opens a block with '{',
  // one header line per component ("class name number", "name number" or
  // "name") followed by the component's own lines, up to '}' or the end of
  // the file. Any other line is pushed back. A header that holds no word
  // (sub 530 / 583) or names no component (sub 535) ends the program.
  int Parameter(FILE* f, char*& line, int size, int& pushed_back) override;
  int Initial_state(FILE* f, char*& line, int size, int& pushed_back) override;
  // "<class> <name> <number> \n", the own terminal state and "\n", then the
  // components' blocks in braces. 0 when the system or a component could
  // not write its part (every part is still written).
  int Terminal_state(FILE* f) override;

  // ---- registration ----
  // One component (inside Register_components), or a port (inside the
  // port registration operations).
  using Element::Register;
  // One iterator set of n elements, in the order given (inside
  // Register_iterators, once per set): fills the first set not yet
  // registered.
  int Register(int n, Element* const* members);
  int Register(int n, std::initializer_list<Element*> members);

  // ---- connection: receiver first, then sender ----
  int Connect(Port* sender, Element* element, const char* class_name, const char* name, int number);
  int Connect(Element* element1, const char* class_name1, const char* name1, int number1, Element* element2,
              const char* class_name2, const char* name2, int number2);
  int Connect(Element* element, const char* class_name, const char* name, int number, Port* receiver);
  int Connect(Port* sender, Element* element, const char* name, int number);
  int Connect(Element* element1, const char* name1, int number1, Element* element2, const char* name2, int number2);
  int Connect(Element* element, const char* name, int number, Port* receiver);
  int Connect(Port* sender, Port* receiver);

  // ---- iterator set k ----
  int Do_you_reach_target_time(int k);
  int Do_you_converge(int k);
  void Rewind_current_time(int k);
  void Flush_data(int k);
  void Renew_fixed_time(int k);
  void Renew_target_time(int k, Time step);
  Time Calculate_iteration_step(int k);
  using Element::Calculate_iteration_step;
  using Element::Do_you_converge;
  using Element::Do_you_reach_target_time;
  using Element::Flush_data;
  using Element::Renew_fixed_time;
  using Element::Renew_target_time;
  using Element::Rewind_current_time;

  void Print_components(FILE* f, const char* prefix);

  int Number_of_components() const { return number_of_components; }
  Element* Component(int i) const { return component_array[static_cast<std::size_t>(i)]; }
  int Number_of_iterator_sets() const { return number_of_iterator_sets; }
  // -1 until set k is registered.
  int Number_of_iterators(int k) const { return number_of_iterators[static_cast<std::size_t>(k)]; }
  Element* Iterator(int k, int i) const {
    return iterator_array[static_cast<std::size_t>(k)][static_cast<std::size_t>(i)];
  }

 protected:
  std::vector<Element*> component_array;
  int number_of_components = -1;
  std::vector<std::vector<Element*>> iterator_array;
  int number_of_iterator_sets = 0;
  std::vector<int> number_of_iterators;

  // Every component, then every member of every set, in order.
  template <class F>
  void For_each_child(F f) {
    for (Element* e : component_array) f(e);
    for (std::size_t k = 0; k < iterator_array.size(); ++k)
      for (Element* e : iterator_array[k]) f(e);
  }

  // Get_line for the framework's own lines: a line longer than the buffer
  // is not split into two; it is reported at `too_long` with its beginning
  // and the program ends with status 1. Comment and blank lines are skipped
  // whatever their length; a long line that begins with blanks is refused
  // like any other.
  char* Get_framework_line(FILE* f, char* buffer, int size, int& pushed_back, int& first_char, Report_point too_long);

  // The identifiers of a header line: "%s %s %d" (3), else "%s %d" (2),
  // else "%s" (1, number 0), else 0. The words are held whole, however
  // long the line.
  static int Read_header(const char* line, std::string& class_name, std::string& object_name, int& number);
  // The block reader of Parameter (initial false) and Initial_state (true).
  int Read_component_block(FILE* f, char*& line, int size, int& pushed_back, bool initial);

  // Turns the registration list into an element array.
  int Make_element_array(std::vector<Element*>& array, int& n);
  // One pass's work on iterator set k: sweeps of Work over its members
  // while one of them works, then, at the set's target, either the flush
  // and the next target (converged; retry counter reset) or a rewind (the
  // counter counts it; at 1000 the report at `diverged`, "\tin group [k].\n",
  // the system's Oprint and exit status 1). 1 when a member worked.
  int Work_iterator_set(int k, int& retries, Report_point diverged);
  // Passes until one makes no progress: each component works, then each
  // iterator set (Work_iterator_set, its retry counter in `retries`, a
  // group given up reported at `diverged`). True when a pass made progress.
  bool Work_passes(std::vector<int>& retries, Report_point diverged);
};

#endif
