#include "tzsignal.h"

#include <cstdio>

#include "tztemp.h"

namespace tz {

namespace detail {
volatile std::sig_atomic_t stop_signal = 0;
}

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
bool g_caught[sizeof kStopSignals / sizeof kStopSignals[0]] = {};

void on_stop(int sig) {
  if (detail::stop_signal == 0) {
    detail::stop_signal = sig;
    return;
  }
  // The second stop: at once, as the signal itself ends a program.
  RemoveTemporaries();
  std::signal(sig, SIG_DFL);
  std::raise(sig);  // delivered when the handler returns
}

// Installs the handler of every stop signal caught, `restart` deciding
// whether an interrupted read goes on waiting.
void install(bool restart) {
  struct sigaction sa {};
  sa.sa_handler = on_stop;
  sigemptyset(&sa.sa_mask);
  for (int s : kStopSignals) sigaddset(&sa.sa_mask, s);
  sa.sa_flags = restart ? SA_RESTART : 0;
  for (std::size_t k = 0; k < sizeof kStopSignals / sizeof kStopSignals[0]; ++k)
    if (g_caught[k]) sigaction(kStopSignals[k], &sa, nullptr);
}

}  // namespace

void CatchStopSignals() {
  for (std::size_t k = 0; k < sizeof kStopSignals / sizeof kStopSignals[0]; ++k) {
    struct sigaction old {};
    g_caught[k] = sigaction(kStopSignals[k], nullptr, &old) == 0 && old.sa_handler != SIG_IGN;
  }
  install(true);
}

void IgnoreFileSizeSignal() { std::signal(SIGXFSZ, SIG_IGN); }

const char* SignalName(int sig) {
  switch (sig) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    default: {
      static char name[32];
      std::snprintf(name, sizeof name, "signal %d", sig);
      return name;
    }
  }
}

InterruptibleReads::InterruptibleReads() { install(false); }

InterruptibleReads::~InterruptibleReads() { install(true); }

}  // namespace tz
