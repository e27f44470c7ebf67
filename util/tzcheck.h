// The check facility: conditions on input data and internal invariants.
//
// A failed check writes one report naming the condition, the source unit and
// the line to the standard error stream and ends the program abnormally
// (abort: no exit handlers run, so no file is written afterwards). The checks
// stay active in every build type. The condition is evaluated exactly once,
// so a check may hold the read it checks.
//
// Every program-ending path (a failed check, or an exit with a status after
// a report) goes through the stop hook first: the preparation tools set one
// that removes their temporary files, and a test or fuzz driver may set one
// that turns the stop into an exception. tmorvelan2d sets none.
//
// A reader sets a CheckContext while it reads a user's file: a check that
// fails meanwhile first writes the context's line (the file and the record),
// so that the report says what to mend.
#ifndef TZCHECK_H
#define TZCHECK_H

#include <cstdio>

namespace tz {

// Called before the program stops; status is the exit status, or -1 for an
// abnormal end. A hook may throw; if it returns, the stop goes on.
using StopHook = void (*)(int status);

// Installs a hook and returns the previous one (nullptr: none).
StopHook set_stop_hook(StopHook hook);

// Writes "<unit>:<line>: Assertion `<text>' failed.\n" to stderr and aborts.
[[noreturn]] void check_failed(const char* unit, int line, const char* text);

// The same report, then the end of the program with an exit status: for a
// check on input that stops like a reader's refusal, not like a fault.
[[noreturn]] void check_failed_exit(const char* unit, int line, const char* text, int status);

// What the program is reading while one is alive: a failed check writes the
// line of the innermost context before its report. Contexts nest and end in
// the reverse order of their making (one per scope). Updating one per
// record costs a few stores: its text is made only when a check fails.
class CheckContext {
 public:
  CheckContext();
  virtual ~CheckContext();
  CheckContext(const CheckContext&) = delete;
  CheckContext& operator=(const CheckContext&) = delete;

  // Writes one line, its line end included.
  virtual void Print(std::FILE* err) const = 0;

 private:
  CheckContext* outer_;
};

// Ends the program with an exit status after a report was written.
[[noreturn]] void stop(int status);

// Ends the program abnormally after a report was written (the utility
// library's error line).
[[noreturn]] void stop_abnormal();

// The utility library's fatal error: writes
// "Error occured in file: <unit>, at line: <line>\n" to stderr (the bare unit
// name, "tzgrid"), flushes it and ends the program through stop_abnormal().
[[noreturn]] void error_line(const char* unit, int line);

}  // namespace tz

// TZ_CHECK(cond, unit): a failed check reports its condition as written,
// the source unit ("morvelan2d-1.cpp") and this line.
#define TZ_CHECK(cond, unit)                                  \
  do {                                                        \
    if (!(cond)) ::tz::check_failed((unit), __LINE__, #cond); \
  } while (0)

// The same with a fixed line number, where the reports name a line.
#define TZ_CHECK_AT(cond, unit, line)                       \
  do {                                                      \
    if (!(cond)) ::tz::check_failed((unit), (line), #cond); \
  } while (0)

// The exceptions: a check whose report gives `text` in place of its
// condition, a text its users know the check by while the condition is
// written otherwise here ("fp != NULL" for fp != nullptr).
#define TZ_CHECK_TEXT(cond, unit, text)                        \
  do {                                                         \
    if (!(cond)) ::tz::check_failed((unit), __LINE__, (text)); \
  } while (0)

#define TZ_CHECK_TEXT_AT(cond, unit, line, text)             \
  do {                                                       \
    if (!(cond)) ::tz::check_failed((unit), (line), (text)); \
  } while (0)

#endif
