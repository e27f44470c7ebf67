#include "tzcheck.h"

#include <cstdio>
#include <cstdlib>

namespace tz {

namespace {
StopHook g_hook = nullptr;
}

StopHook set_stop_hook(StopHook hook) {
  StopHook old = g_hook;
  g_hook = hook;
  return old;
}

void check_failed(const char* unit, int line, const char* text) {
  // What the program printed so far reaches the console; nothing more.
  std::fflush(stdout);
  std::fprintf(stderr, "%s:%d: Assertion `%s' failed.\n", unit, line, text);
  std::fflush(stderr);
  if (g_hook) g_hook(-1);
  std::abort();
}

void stop(int status) {
  if (g_hook) g_hook(status);
  std::exit(status);
}

void stop_abnormal() {
  std::fflush(stdout);
  std::fflush(stderr);
  if (g_hook) g_hook(-1);
  std::abort();
}

void error_line(const char* unit, int line) {
  std::fflush(stdout);
  std::fprintf(stderr, "Error occured in file: %s, at line: %d\n", unit, line);
  std::fflush(stderr);
  stop_abnormal();
}

}  // namespace tz
