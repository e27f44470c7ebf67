// Common definitions of the Qavlen framework: the truth type, the report
// functions through which every framework diagnostic is written, the one
// place where allocation failure is reported, and a few text helpers.
//
// Reports name a source unit ("object.cpp") and a position in it. The
// explanation of a report is not kept in the program: it is the "//" comment
// block at that line of the unit's explanation file, which Print_comments
// finds in the current directory or in the directories of QAVLENSDIR (the
// build generates those files from qavlen/explain/<unit>.txt; see README).
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

// "E : <file> : <line> : <message>\n"; with flag 1 the explanation follows.
void Eprint(const char* file, int line, const char* message, int flag);
void Eprint(const char* file, int line, int flag);
// The same as a warning: "W : <file> : <line> : <message>\n".
void Wprint(const char* file, int line, const char* message, int flag);
void Wprint(const char* file, int line, int flag);

// "E : <file> : <line> : Insufficient memory", then " (<type>" and " x <count>"
// (count > 0) and ")" when a type is given, then ".\n". The four-argument
// form has no count and takes its last argument as the flag.
void Eprint_memory(const char* file, int line, const char* type, int count, int flag);
void Eprint_memory(const char* file, int line, const char* type, int flag);
void Eprint_memory(const char* file, int line, int flag);

// "E : <file> : <line> : Cannot open file '<path>' (mode \"<mode>\").\n"
void Eprint_fopen(const char* file, int line, const char* path, const char* mode, int flag);
// "E : <file> : <line> : Cannot write file '<path>'.\n": a file was opened but
// what was written did not all reach it (a full disk, a file-size limit).
void Eprint_fwrite(const char* file, int line, const char* path, int flag);

// Echoes the explanation kept at `line` of the unit `file`, each line after
// `prefix`. Prints nothing when no explanation file is found.
void Print_comments(FILE* out, const char* file, int line, const char* prefix);

// What happens when an allocation under a Memory_site fails.
enum class Memory_failure {
  stop,   // report, the object's Oprint, exit status 5
  report  // report, the object's Oprint, then std::bad_alloc to the caller
};

// Names the position of the allocations made while it lives. Allocation
// failure anywhere in a program that links the framework reaches one
// handler (std::set_new_handler), which reports the innermost active site
// with Eprint_memory(file, line, type, count, flag), prints the object's
// Oprint with "    " when an object is given, and ends the program with
// status 5 (or, for Memory_failure::report, throws std::bad_alloc so that
// the caller can go on without what it wanted). Outside every site the
// report names the handler's own position.
//
// The four-argument report form is count 0 with the last argument as flag.
class Memory_site {
 public:
  Memory_site(const char* file, int line, const char* type, int count, int flag,
              const Object* object = nullptr, Memory_failure on_failure = Memory_failure::stop);
  ~Memory_site();
  Memory_site(const Memory_site&) = delete;
  Memory_site& operator=(const Memory_site&) = delete;

  // The handler itself (installed at start-up); public for tests.
  static void Out_of_memory();

 private:
  const char* file_;
  int line_;
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
