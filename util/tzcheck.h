// The check facility: conditions on input data and internal invariants.
//
// A failed check writes one report naming the condition, the source unit and
// the line to the standard error stream and ends the program abnormally
// (abort: no exit handlers run, so no file is written afterwards). The checks
// stay active in every build type. The condition is evaluated exactly once,
// so a check may hold the read it checks.
//
// Every program-ending path (a failed check, or an exit with a status after
// a report) goes through tz_stop_hook first, so that a test or fuzz driver can
// turn the stop into an exception; the programs leave the hook unset.
#ifndef TZCHECK_H
#define TZCHECK_H

namespace tz {

// Called before the program stops; status is the exit status, or -1 for an
// abnormal end. A hook may throw; if it returns, the stop goes on.
using StopHook = void (*)(int status);

// Installs a hook and returns the previous one (nullptr: none).
StopHook set_stop_hook(StopHook hook);

// Writes "<unit>:<line>: Assertion `<text>' failed.\n" to stderr and aborts.
[[noreturn]] void check_failed(const char* unit, int line, const char* text);

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

// TZ_CHECK(cond, unit, text): `text` is the condition as reports print it,
// `unit` the source unit ("morvelan2d-1.cpp"), the line is this line.
#define TZ_CHECK(cond, unit, text)                                 \
  do {                                                             \
    if (!(cond)) ::tz::check_failed((unit), __LINE__, (text));     \
  } while (0)

// The same with a fixed line number, where the reports name a line.
#define TZ_CHECK_AT(cond, unit, line, text)                        \
  do {                                                             \
    if (!(cond)) ::tz::check_failed((unit), (line), (text));       \
  } while (0)

#endif
