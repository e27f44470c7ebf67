#include "object.h"

#include <cstdarg>
#include <cstring>
#include <vector>

#include "report_points.h"

namespace {
const char* name_text(const char* s) { return s ? s : "(null)"; }
}  // namespace

Object::Object() : class_name("Object") {}

Object::Object(const char* name, int number) : class_name("Object") { Init(name, number); }

Object::~Object() = default;

void Object::Cprint(FILE* f, const char* prefix) const {
  std::fprintf(f, "%s%s %s %d\n", prefix ? prefix : "", class_name, name_text(Object_name()), object_number);
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
    Report(Object_point::no_name);
    return NO;
  }
  if (named) {
    Report_values(Object_point::named_already, "\to_name(arg) = \"%s\", o_num(arg) = %d", name, number);
    return NO;
  }
  {
    std::size_t len = std::strlen(name);
    Memory_site site(Object_point::name_memory, "char", 0, static_cast<int>(len + 1), this);
    object_name.assign(name, len);
  }
  named = true;
  object_number = number;
  return YES;
}

Boolean Object::Set_owner(Object* o) {
  if (!o) {
    Report(Object_point::no_owner);
    return NO;
  }
  if (owner && owner != o) {
    Eprint(Object_point::owned_elsewhere, 1);
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

void Object::Report(Report_point point, const char* message) const {
  Eprint(point, message, 1);
  Oprint(stderr, "    ");
}

void Object::Warn(Report_point point, const char* message) const {
  Wprint(point, message, 1);
  Oprint(stderr, "    ");
}

void Object::Report_values(Report_point point, const char* format, ...) const {
  std::va_list values;
  va_start(values, format);
  Report_with(point, [&] { std::vfprintf(stderr, format, values); });
  va_end(values);
}

void Object::Warn_values(Report_point point, const char* format, ...) const {
  std::va_list values;
  va_start(values, format);
  Warn_with(point, [&] { std::vfprintf(stderr, format, values); });
  va_end(values);
}

void Object::Report_fopen(Report_point point, const char* path, const char* mode) const {
  Eprint_fopen(point, path, mode, 1);
  Oprint(stderr, "    ");
}

void Object::Report_fwrite(Report_point point, const char* path) const {
  Eprint_fwrite(point, path, 1);
  Oprint(stderr, "    ");
}
