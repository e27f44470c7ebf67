// Object: the identity of everything the framework builds (elements,
// sub-systems, the total system, ports): a class word, an object name, an
// object number and an owner. The framework finds objects by the three
// identifiers and prints them, with their chain of owners, in every
// diagnostic. An object is named once and owned once.
#ifndef QAVLEN_OBJECT_H
#define QAVLEN_OBJECT_H

#include <cstdio>
#include <string>

#include "common.h"

class Object {
 public:
  Object();
  Object(const char* name, int number);

  // "<prefix><class word> <name> <number>\n"
  virtual void Cprint(FILE* f, const char* prefix) const;
  // Cprint, then one line per owner up the chain:
  // "<prefix>    owner " + k times '>' + the k-th owner's Cprint with " ".
  virtual void Oprint(FILE* f, const char* prefix) const;
  // Gives the name (copied) and the number, exactly once: 1, else 0 after
  // a report (object 109: no name; object 114: named already).
  virtual Boolean Init(const char* name, int number);
  // Declared last: the virtual operations are Cprint, Oprint, Init and the
  // destructor, in this order, which the derived classes extend.
  virtual ~Object();

  // The same to the standard error stream.
  void Cprint(const char* prefix) const { Cprint(stderr, prefix); }
  void Oprint(const char* prefix) const { Oprint(stderr, prefix); }

  // Sets the owner once; the same owner again is accepted (1). A null owner
  // (object 59) or a different one (object 67) is refused with 0.
  Boolean Set_owner(Object* owner);

  const char* Class_name() const { return class_name; }
  // Null until the object is named.
  const char* Object_name() const { return named ? object_name.c_str() : nullptr; }
  int Object_number() const { return object_number; }
  Object* Owner() const { return owner; }

  // 1 when class word, name and number all equal the arguments (texts
  // compared exactly), else 0. The second form ignores the class word.
  Boolean Compare(const char* class_name, const char* object_name, int number) const;
  Boolean Compare(const char* object_name, int number) const;

  // "/<name>__<number>" for each object from the root down to this one.
  std::string Absname() const;

  // ---- reports about this object ----
  // A framework report about an object is one call at a report point: the
  // report line ("E : <unit> : <position> : <message>", as Eprint writes it)
  // with the explanation kept at that position, then the object's description
  // (Oprint with four blanks), which names it and its owners.
  void Report(Report_point point, const char* message = "") const;
  // The same as a warning ("W : ", as Wprint writes it): the program goes on.
  void Warn(Report_point point, const char* message = "") const;
  // The same with lines between the explanation and the description: what
  // was asked for or found, as printf writes `format` and its values.
  void Report_values(Report_point point, const char* format, ...) const __attribute__((format(printf, 3, 4)));
  void Warn_values(Report_point point, const char* format, ...) const __attribute__((format(printf, 3, 4)));
  // The same with what `write` prints there: the other objects concerned.
  template <class Write>
  void Report_with(Report_point point, const Write& write) const {
    Eprint(point, 1);
    write();
    Oprint(stderr, "    ");
  }
  template <class Write>
  void Warn_with(Report_point point, const Write& write) const {
    Wprint(point, 1);
    write();
    Oprint(stderr, "    ");
  }
  // A file that cannot be opened (Eprint_fopen) or written whole
  // (Eprint_fwrite), with the object's description.
  void Report_fopen(Report_point point, const char* path, const char* mode) const;
  void Report_fwrite(Report_point point, const char* path) const;

 protected:
  // The class word; each constructor of a derived class sets its own.
  const char* class_name;

 private:
  std::string object_name;
  bool named = false;
  int object_number = 0;
  Object* owner = nullptr;
};

#endif
