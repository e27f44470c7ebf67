// Common definitions of the Qavlen framework: the truth type, the report
// functions through which every framework diagnostic is written, the one
// place where allocation failure is reported, and a few text helpers.
//
// Reports name a unit ("object.cpp") and a position in it: a report point.
// The explanation of a report is not kept in the program: it is the "//"
// comment block at that line of the unit's explanation file, which
// Print_comments finds in the current directory or in the directories of
// QAVLENSDIR (the build generates those files from qavlen/explain/<unit>.txt;
// see docs/developing.md).
#ifndef QAVLEN_COMMON_H
#define QAVLEN_COMMON_H

#include <sys/types.h>

#include <cstdio>
#include <iosfwd>
#include <string>

// The framework's truth values.
typedef int Boolean;
constexpr Boolean YES = 1;
constexpr Boolean NO = 0;

// Name of the environment variable listing the directories, separated by
// ';', searched for the explanation files.
extern const char* const Mysdir;

class Object;

// ---- report points ----
// The points of a unit are one list of (name, position) pairs, from which
// QAVLEN_REPORT_POINTS makes the enumeration of the unit's points and the
// unit's table of them (Report_unit); the framework's units are listed in
// report_points.h, the model's in model_points.h. A report is made at a
// Report_point, which only an enumerator of such a list gives: no report
// names a bare number, and a test walks every table and finds each point's
// explanation (and each explanation's point).

// A named point: its name in the list and its position.
struct Point_row {
  const char* name;
  int position;
};

// The points of one unit, in the order of their list.
struct Report_unit {
  const char* name;  // the unit: "object.cpp", the explanation file's name
  const Point_row* rows;
  int count;
};

// A unit and a position, made from an enumerator of a unit's points.
class Report_point {
 public:
  template <class Point, class = decltype(Report_unit_of(Point()))>
  constexpr Report_point(Point point) : unit_(Report_unit_of(point).name), position_(static_cast<int>(point)) {}
  constexpr const char* Unit() const { return unit_; }
  constexpr int Position() const { return position_; }

 private:
  const char* unit_;
  int position_;
};

#define QAVLEN_POINT_ENUMERATOR(name, position) name = position,
#define QAVLEN_POINT_ROW(name, position) {#name, position},
// The enumeration Type of the points of `unit` ("object.cpp") and its table
// Type##_unit; `list` is a macro applying its argument to each
// (name, position) of the unit, with the positions increasing.
#define QAVLEN_REPORT_POINTS(Type, unit, list)                                                        \
  enum class Type { list(QAVLEN_POINT_ENUMERATOR) };                                                  \
  inline constexpr Point_row Type##_rows[] = {list(QAVLEN_POINT_ROW)};                                \
  inline constexpr Report_unit Type##_unit{unit, Type##_rows,                                         \
                                           static_cast<int>(sizeof Type##_rows / sizeof(Point_row))}; \
  constexpr const Report_unit& Report_unit_of(Type) { return Type##_unit; }
#define QAVLEN_REPORT_UNIT_ENTRY(Type, unit, list) &Type##_unit,
// The units of a library: `units` is a macro applying its argument to each
// (Type, unit, list) of the library. Makes each unit's enumeration and table
// (QAVLEN_REPORT_POINTS) and `all`, every unit's table, for the walk over
// all points.
#define QAVLEN_REPORT_LIBRARY(all, units) \
  units(QAVLEN_REPORT_POINTS) inline constexpr const Report_unit* all[] = {units(QAVLEN_REPORT_UNIT_ENTRY)};

// "E : <unit> : <position> : <message>\n"; with flag 1 the explanation
// follows.
void Eprint(Report_point point, const char* message, int flag);
void Eprint(Report_point point, int flag);
// The same as a warning: "W : <unit> : <position> : <message>\n".
void Wprint(Report_point point, const char* message, int flag);
void Wprint(Report_point point, int flag);

// "E : <unit> : <position> : Insufficient memory", then " (<type>" and
// " x <count>" (count > 0) and ")" when a type is given, then ".\n". The
// three-argument form has no count and takes its last argument as the flag.
void Eprint_memory(Report_point point, const char* type, int count, int flag);
void Eprint_memory(Report_point point, const char* type, int flag);
void Eprint_memory(Report_point point, int flag);

// "E : <unit> : <position> : Cannot open file '<path>' (mode \"<mode>\").\n"
void Eprint_fopen(Report_point point, const char* path, const char* mode, int flag);
// "E : <unit> : <position> : Cannot write file '<path>'.\n": a file was
// opened but what was written did not all reach it (a full disk, a
// file-size limit).
void Eprint_fwrite(Report_point point, const char* path, int flag);

// Echoes the explanation kept at `line` of the unit `file` (the explanation
// of a report point is at its position), each line after `prefix`. Prints
// nothing when no explanation file is found.
void Print_comments(FILE* out, const char* file, int line, const char* prefix);

// What happens when an allocation under a Memory_site fails.
enum class Memory_failure {
  stop,   // report, the object's Oprint, exit status 5
  report  // report, the object's Oprint, then std::bad_alloc to the caller
};

// Names the report point of the allocations made while it lives.
// Allocation failure anywhere in a program that links the framework reaches
// one handler (std::set_new_handler), which reports the innermost active
// site with Eprint_memory(point, type, count, flag), prints the object's
// Oprint with "    " when an object is given, and ends the program with
// status 5 (or, for Memory_failure::report, throws std::bad_alloc so that
// the caller can go on without what it wanted). Outside every site the
// report names the handler's own point (common.cpp 250).
class Memory_site {
 public:
  Memory_site(Report_point point, const char* type, int count, int flag, const Object* object = nullptr,
              Memory_failure on_failure = Memory_failure::stop);
  ~Memory_site();
  Memory_site(const Memory_site&) = delete;
  Memory_site& operator=(const Memory_site&) = delete;

  // The handler itself (installed at start-up); public for tests.
  static void Out_of_memory();

 private:
  Report_point point_;
  const char* type_;
  int count_;
  int flag_;
  const Object* object_;
  Memory_failure on_failure_;
  Memory_site* outer_;
};

// Output files that are checked to their close. A write that fails (a full
// disk, a file-size limit) may show only when the file is closed; the file
// is then cut back to where this round of writing began, so that no partial
// line or record stays in it.
//
// Opens `path` for appending; `start` receives its size, where the writes of
// this round begin. Null when it cannot be opened.
FILE* Open_to_append(const char* path, off_t& start);
// Closes fp, written from offset `start` on: true when every write reached
// the file. Otherwise false, and a regular file is cut back to `start` (a
// device has no size to cut back to).
bool Close_written(FILE* fp, const char* path, off_t start);

// The first character of s that is neither a blank nor a tab.
const char* Skip_blanks(const char* s);
// The next word of f, separated by white space; the character after it is
// left unread (as after a number). False when f ends first.
bool Read_word(FILE* f, std::string& word);

// Reverses a NUL-terminated text in place.
void reverse(char* s);
// Decimal text of n, with a leading '-' for a negative number.
std::string itoa(int n);

// Cuts `line` at its first newline and copies its words (separated by blanks
// or tabs; a word in double quotes or apostrophes may hold blanks, the quotes
// are dropped) into `buffer` as NUL-terminated items followed by an empty
// item. Returns buffer, or null when the line holds no word. A buffer smaller
// than the line's length + 2 (common 194) or an unclosed quote (common 205)
// ends the program with status 1.
char* str2dstr(char* line, char* buffer, int size);

// Reads up to and including the next c; the end of the input first ends the
// program with status 1 (common 225).
void ignore(std::istream& in, char c);
// At the end of the input or on a broken stream: "unrecoverable istream
// state" and status 1. On a failed stream: clears the state and returns the
// next character. Otherwise 0.
char pick_char(std::istream& in);
// Skips white space and at most one c, and leaves the next character unread.
void skip_white_and_char(std::istream& in, char c);

#endif
