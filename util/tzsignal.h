// The signals a program meets from outside.
//
// A stop asked by a signal (SIGINT: Ctrl-C; SIGTERM: kill; SIGHUP: the
// terminal closed) is noted, not obeyed at once: the program asks
// StopSignal() where it can end without losing what it computed (after a
// step, at a prompt) and ends there. A second stop signal ends the program
// at once, as the signal would, after removing the temporary files of the
// run (tztemp.h). A signal that was ignored when the program started
// (nohup) stays ignored.
//
// A file-size limit (ulimit -f) sends SIGXFSZ, which would kill the program
// in the middle of a line; ignored, the limit is a write that fails and is
// reported like a full disk.
#ifndef TZSIGNAL_H
#define TZSIGNAL_H

#include <csignal>

namespace tz {

namespace detail {
extern volatile std::sig_atomic_t stop_signal;
}

// Installs the handlers of the stop signals; reads that wait go on after
// the handler (see InterruptibleReads).
void CatchStopSignals();
// Makes a write beyond a file-size limit fail instead of killing.
void IgnoreFileSizeSignal();
// The first stop signal received; 0 while none has come.
inline int StopSignal() { return detail::stop_signal; }
// "SIGINT", "SIGTERM", "SIGHUP"; "signal <n>" for others.
const char* SignalName(int sig);

// While one lives, a read that waits for input (a prompt) is interrupted by
// a stop signal: it fails with EINTR instead of going on waiting. Check
// StopSignal() before the read and when it fails.
class InterruptibleReads {
 public:
  InterruptibleReads();
  ~InterruptibleReads();
  InterruptibleReads(const InterruptibleReads&) = delete;
  InterruptibleReads& operator=(const InterruptibleReads&) = delete;
};

}  // namespace tz

#endif
