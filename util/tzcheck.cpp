#include "tzcheck.h"

#include <cstdio>
#include <cstdlib>

namespace tz {

namespace {
StopHook g_hook = nullptr;
CheckContext* g_context = nullptr;

// What the program printed so far reaches the console, then the context's
// line and the check's. A context is printed once: a check failing inside
// its Print reports without it.
void report_failed(const char* unit, int line, const char* text) {
  std::fflush(stdout);
  if (CheckContext* context = g_context) {
    g_context = nullptr;
    context->Print(stderr);
  }
  std::fprintf(stderr, "%s:%d: Assertion `%s' failed.\n", unit, line, text);
  std::fflush(stderr);
}
}  // namespace

CheckContext::CheckContext() : outer_(g_context) { g_context = this; }

CheckContext::~CheckContext() { g_context = outer_; }

StopHook set_stop_hook(StopHook hook) {
  StopHook old = g_hook;
  g_hook = hook;
  return old;
}

void check_failed(const char* unit, int line, const char* text) {
  report_failed(unit, line, text);
  if (g_hook) g_hook(-1);
  std::abort();
}

void check_failed_exit(const char* unit, int line, const char* text, int status) {
  report_failed(unit, line, text);
  stop(status);
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
