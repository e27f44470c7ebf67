#include "object.h"

#include <cstdarg>
#include <cstring>
#include <vector>

namespace {
const char* name_text(const char* s) { return s ? s : "(null)"; }
}  // namespace

Object::Object() : class_name("Object") {}

Object::Object(const char* name, int number) : class_name("Object") { Init(name, number); }

Object::~Object() = default;

void Object::Cprint(FILE* f, const char* prefix) const {
  std::fprintf(f, "%s%s %s %d\n", prefix ? prefix : "", class_name, name_text(Object_name()),
               object_number);
}

void Object::Oprint(FILE* f, const char* prefix) const {
  const char* p = prefix ? prefix : "";
  Cprint(f, p);
  // The chain is walked upwards; an owner met twice ends it, so that a
  // cycle of owners cannot print for ever.
  std::vector<const Object*> seen{this};
  int depth = 0;
  for (const Object* o = owner; o; o = o->owner) {
    for (const Object* s : seen)
      if (s == o) return;
    seen.push_back(o);
    ++depth;
    std::fprintf(f, "%s    owner ", p);
    for (int k = 0; k < depth; ++k) std::fputc('>', f);
    o->Cprint(f, " ");
  }
}

Boolean Object::Init(const char* name, int number) {
  if (!name) {
    Report("object.cpp", 109);
    return NO;
  }
  if (named) {
    Report_values("object.cpp", 114, "\to_name(arg) = \"%s\", o_num(arg) = %d", name, number);
    return NO;
  }
  {
    std::size_t len = std::strlen(name);
    Memory_site site("object.cpp", 123, "char", 0, static_cast<int>(len + 1), this);
    object_name.assign(name, len);
  }
  named = true;
  object_number = number;
  return YES;
}

Boolean Object::Set_owner(Object* o) {
  if (!o) {
    Report("object.cpp", 59);
    return NO;
  }
  if (owner && owner != o) {
    Eprint("object.cpp", 67, 1);
    owner->Oprint(stderr, "    first : ");
    o->Oprint(stderr, "    next  : ");
    Cprint(stderr, "    ");
    return NO;
  }
  owner = o;
  return YES;
}

Boolean Object::Compare(const char* cname, const char* oname, int number) const {
  if (!cname || std::strcmp(cname, class_name) != 0) return NO;
  return Compare(oname, number);
}

Boolean Object::Compare(const char* oname, int number) const {
  if (!named || !oname) return NO;
  return object_name == oname && object_number == number ? YES : NO;
}

std::string Object::Absname() const {
  std::vector<const Object*> chain;
  for (const Object* o = this; o; o = o->owner) {
    bool again = false;
    for (const Object* s : chain) again = again || s == o;
    if (again) break;
    chain.push_back(o);
  }
  std::string name;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    name += '/';
    name += (*it)->named ? (*it)->object_name : std::string();
    name += "__";
    name += itoa((*it)->object_number);
  }
  return name;
}

void Object::Report(const char* unit, int position, const char* message) const {
  Eprint(unit, position, message, 1);
  Oprint(stderr, "    ");
}

void Object::Warn(const char* unit, int position, const char* message) const {
  Wprint(unit, position, message, 1);
  Oprint(stderr, "    ");
}

void Object::Report_values(const char* unit, int position, const char* format, ...) const {
  std::va_list values;
  va_start(values, format);
  Report_with(unit, position, [&] { std::vfprintf(stderr, format, values); });
  va_end(values);
}

void Object::Warn_values(const char* unit, int position, const char* format, ...) const {
  std::va_list values;
  va_start(values, format);
  Warn_with(unit, position, [&] { std::vfprintf(stderr, format, values); });
  va_end(values);
}

void Object::Report_fopen(const char* unit, int position, const char* path, const char* mode) const {
  Eprint_fopen(unit, position, path, mode, 1);
  Oprint(stderr, "    ");
}

void Object::Report_fwrite(const char* unit, int position, const char* path) const {
  Eprint_fwrite(unit, position, path, 1);
  Oprint(stderr, "    ");
}
