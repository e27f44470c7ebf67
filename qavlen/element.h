// The element: the framework's unit of simulation.
//
// An element is a named object with its own clock, its receive and send
// ports, an optional fixed array of further objects and a data string (its
// share of a bracketed data file). A model class derives from it and
// supplies the pure operations; the framework drives every element through
// construction, the readiness checks, the file reading, the initial work,
// the stepping loop Work0 and the demand chain Creq.
//
// Ports and objects are held by the model class as members; the element's
// arrays only point to them. The owner of every registered object is the
// registering element.
#ifndef ELEMENT_H
#define ELEMENT_H

#include <cstddef>
#include <cstdio>
#include <string>
#include <unordered_set>
#include <vector>

#include "common.h"
#include "port.h"
#include "tzcheck.h"
#include "tzdefs.h"

class List;

class Element : public Object {
 public:
  enum OperationFlag { E_UNDONE = 0, E_DONE = 1, E_ALREADY = 2 };

  Element();
  Element(const char* name, int number, int number_of_objects, const char* data);
  Element(const char* name, int number, const char* data);
  ~Element() override;

  Element(const Element&) = delete;
  Element& operator=(const Element&) = delete;

  using Object::Init;
  // Names the element and sets up its object array and data string.
  int Init(const char* name, int number, int number_of_objects, const char* data);

  // ---- virtual operations, in slot order ----
  virtual int Register_receive_ports() = 0;
  virtual int Register_send_ports() = 0;
  virtual int Construct();
  virtual Element* Get_component(const char* class_name, const char* object_name, int number);
  virtual Element* Get_component(const char* object_name, int number);
  virtual Boolean Switch();
  virtual Boolean Are_you_ready();
  virtual void Clear_data_string();
  virtual int Set_parameter(FILE* f) = 0;
  virtual int Parameter(FILE* f, char*& line, int size, int& pushed_back);
  virtual int Set_initial_state(FILE* f) = 0;
  virtual int Initial_state(FILE* f, char*& line, int size, int& pushed_back);
  virtual int Share_info();
  virtual int Do_share_info();
  virtual void Save_send_port_stock(FILE* f);
  virtual Time Terminal_time();
  virtual Time MediumTermTargetTime();
  virtual int Renew_current_time();
  virtual void Rewind_current_time();
  virtual void Renew_fixed_time();
  virtual void Initialize_target_time();
  virtual void Renew_target_time(Time step);
  virtual Time Calculate_iteration_step();
  virtual Time Necessary_time_from(Receive_port* port);
  virtual Time Necessary_time_to(Receive_port* port);
  virtual int Initial_time(Time t);
  virtual int Initial_output() = 0;
  virtual int Initial_work();
  virtual int Do_initial_work();
  virtual Time Calculate_time_step() = 0;
  virtual int Can_you_calculate() = 0;
  virtual int Calculate() = 0;
  virtual int Print_status();
  virtual int Work() = 0;
  virtual int Do_you_reach_target_time();
  virtual int Do_you_converge();
  virtual void Flush_data();
  virtual void Send_stocked_data();
  virtual void Creq();
  // The element's own lines of the terminal-state file (and any file of
  // its own it writes with them): 0 when something could not be written.
  // A file of its own it writes there goes through tz::FileReplacement, so
  // that the system puts it in place with its other terminal files.
  virtual int Save_terminal_state(FILE* f) = 0;
  // "<class> <name> <number>\n", Save_terminal_state, "\n": 0 without a
  // file or when Save_terminal_state gave 0.
  virtual int Terminal_state(FILE* f);
  virtual Element* NewElement();
  virtual int Init(const char* name, int number, FILE* f);

  // A file the element reads or writes itself, not through a port, with
  // what it is ("edge parameter file").
  struct Own_file {
    std::string what;
    std::string path;
  };
  // Adds the files of its own the element reads and writes, for the check
  // that no output of a run is one of its inputs; none by default.
  virtual void Own_files(std::vector<Own_file>& inputs, std::vector<Own_file>& outputs);
  // Whether its initial work was done (at the initial work of the system,
  // or later by the element itself before its first step).
  virtual bool Initial_work_done() { return initialworkdone_p == 1; }

  // ---- registration (inside Construct) ----
  Boolean Register(Object* object);
  int Set_object_array(int n);
  int Register(Object* object, int index);
  int Make_object_array(void**& array, int& n);

  // ---- look-ups: first match in registration order ----
  Object* Get_from_list(const char* class_name, const char* object_name, int number);
  Object* Get_from_list(const char* object_name, int number);
  static Object* Get_from_array(Object* const* array, int n, const char* class_name,
                                const char* object_name, int number, Element* asker);
  static Object* Get_from_array(Object* const* array, int n, const char* object_name,
                                int number, Element* asker);
  Port* Get_receive_port(const char* class_name, const char* object_name, int number);
  Port* Get_send_port(const char* class_name, const char* object_name, int number);
  Port* Get_receive_port(const char* object_name, int number);
  Port* Get_send_port(const char* object_name, int number);
  Object* Get_object(const char* class_name, const char* object_name, int number);

  // ---- data string: NUL-ended items, an empty item ends the list ----
  // Copies length bytes (length <= 0: the text and its NUL); a null text
  // sets nothing. Refused while a data string is held.
  int Set_data_string(const char* text, int length);
  // Adopts the text without copying: it must come from new[] (the element
  // frees it) and end with an empty item. Refused while one is held.
  int Get_data_string(char* text);
  // Moves the cursor (null: the first item) to the next item; 0 when that
  // is the end item, the cursor then left at the end of the current one.
  int Look_data_string(char*& cursor);
  const char* Data_string() const { return data_string; }
  // Gives the send ports back the packs of the data string delivered from
  // a send-port stock file.
  void Restore_send_port_stock();

  // ---- clock ----
  Time Current_time() const { return current_time; }
  Time Fixed_time() const { return fixed_time; }
  Time Next_time() const;

  // ---- stepping ----
  int Can_you_calculate0();
  int Can_you_calculate1();
  void Set_data_pack_array();
  void Reduce_data_pack_stock();
  int Record_status();
  int Work0();
  int Work1();
  int Work2();

  // ---- framework file lines ----
  char* Get_line(FILE* f, char* buffer, int size, int& pushed_back, int& first_char);
  char* Get_line(FILE* f, char* buffer, int size, Report_point missing);
  // The framework file (parameter or initial-state file) that the root of
  // the tree is reading while it hands the element its lines, as its
  // reports name it; null at any other time and without a root.
  virtual const char* Framework_file() const;

  // ---- printing ----
  void Print_objects(FILE* f, const char* prefix, const char* title, Object* const* array, int n);
  void Print_connection(FILE* f, const char* prefix);

  int Number_of_receive_ports() const { return number_of_receive_ports; }
  int Number_of_send_ports() const { return number_of_send_ports; }
  int Number_of_objects() const { return number_of_objects; }
  Port* Receive_port_at(int i) const { return receive_port_array[i]; }
  Port* Send_port_at(int i) const { return send_port_array[i]; }

  // The owner of an object as an element (null for the root).
  static Element* Owner_element(const Object* object);

 protected:
  Boolean initialworkdone_p = 0;
  Boolean shareinfodone_p = 0;
  List* object_list = nullptr;
  std::vector<Port*> receive_port_array;
  int number_of_receive_ports = -1;
  std::vector<Port*> send_port_array;
  int number_of_send_ports = -1;
  std::vector<Object*> object_array;
  int number_of_objects = -1;
  char* data_string = nullptr;
  Time current_time = 0;
  Time time_step = -1;
  Time fixed_time = 0;
  Time target_time = 0;
  Boolean mCreqp = 0;

  // Turns the registration list into a port array (for Construct).
  int Make_port_array(std::vector<Port*>& array, int& n);
  // Turns the registration list into an array of T; every object
  // registered is a T (checked).
  template <class T>
  int Make_typed_array(std::vector<T*>& array, int& n);
  // Creates / deletes the registration list.
  void New_object_list();
  void Delete_object_list();

 private:
  bool in_creq = false;  // a demand is being passed upstream (cycle guard)

  // The stepping loop of Work0 and Work1: from a current time short of the
  // medium-term target (or under a demand), `choose_step` sets the next
  // step and says whether to take it, to end here (after the steps taken)
  // or to give the call up (0). A step is taken when the element can
  // calculate and its Calculate succeeds. After at least one step the new
  // packs are published and the stock released; 1.
  enum class Step_choice { take, end, abandon };
  template <class Choose_step>
  int Step_to_target(Choose_step choose_step);
  // Under the time-control option a step that would pass the terminal time
  // is cut to what is left of it; true when nothing is left.
  bool Cut_step_at_terminal_time();

  // The objects of the registration list by class word, name and number,
  // so that the duplicate test of Register costs the same however many are
  // registered. It follows the list: when the list no longer holds what it
  // was built from (emptied, replaced, grown elsewhere), it is built anew.
  struct Identity_hash {
    std::size_t operator()(const Object* o) const;
  };
  struct Same_identity {
    bool operator()(const Object* a, const Object* b) const;
  };
  std::unordered_set<const Object*, Identity_hash, Same_identity> registered;
  const List* registered_list = nullptr;
  const void* registered_tail = nullptr;
  // Brings `registered` in line with the registration list.
  void Follow_registration_list();
};

template <class T>
int Element::Make_typed_array(std::vector<T*>& array, int& n) {
  void** items = nullptr;
  if (Make_object_array(items, n) != 1) return 0;
  array.clear();
  for (int i = 0; i < n; ++i) {
    T* item = dynamic_cast<T*>(static_cast<Object*>(items[i]));
    TZ_CHECK(item != nullptr, "element.h");
    array.push_back(item);
  }
  delete[] items;
  return 1;
}

#endif
