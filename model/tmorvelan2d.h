// The run of the simulation program tmorvelan2d on its basin system.
//
// Builds the system, lets the framework construct and check it, reads the
// fixed files "tmorvelan2d.pmt", "tmorvelan2d.ist" and "tmorvelan2d.isd",
// refuses a stock file of another start and outputs that are inputs (before
// anything is written), does the initial work and the interactive main
// loop, writes "tmorvelan2d.tst" and "tmorvelan2d.tsd" (with the element's
// terminal file, all put in place together) and destroys the system. A system
// that cannot be constructed, switched or made ready is reported on the
// standard output ("\n# Failure : Construct.\n", "...Switch.", "...
// Are_you_ready.") and destroyed; the program ends with status 1 without
// reading any file.
#ifndef MODEL_TMORVELAN2D_H
#define MODEL_TMORVELAN2D_H

#include <cstdio>
#include <memory>

#include "total.h"
#include "tzcheck.h"

namespace tmorvelan2d {

template <class System>
[[noreturn]] void Failure(std::unique_ptr<System>& system, const char* text) {
  std::fputs(text, stdout);
  system.reset();
  tz::stop(1);
}

// The program's exit status: 0, or 1 when the standard input ended at a
// prompt of the main loop, the initial work never succeeded or an output of
// the run could not be created or written, 128 + the signal after a stop
// asked by a signal (Total_system::Exit_status).
template <class System>
int Run() {
  auto system = std::make_unique<System>();
  if (system->Construct() != YES) Failure(system, "\n# Failure : Construct.\n");
  if (system->Switch() != YES) Failure(system, "\n# Failure : Switch.\n");
  if (system->Are_you_ready() != YES) Failure(system, "\n# Failure : Are_you_ready.\n");

  system->Read_parameter_file("tmorvelan2d.pmt");
  system->Read_initial_state_file("tmorvelan2d.ist");
  system->Read_send_port_file("tmorvelan2d.isd");
  system->Refuse_stock_of_another_start("tmorvelan2d.isd", "tmorvelan2d.ist");
  system->Refuse_outputs_on_inputs("tmorvelan2d.tst", "tmorvelan2d.tsd");

  system->Initial_work();
  system->Work();

  system->Write_terminal_files("tmorvelan2d.tst", "tmorvelan2d.tsd");

  const int status = system->Exit_status();
  system.reset();
  return status;
}

}  // namespace tmorvelan2d

#endif
