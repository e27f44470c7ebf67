// The total system: the root of a simulated system.
//
// A sub-system without owner that also holds the system's file ports (its
// input file ports are its send ports, its output file ports its receive
// ports), reads and writes the framework's files and runs the interactive
// main loop. The application derives one class from it and calls, in this
// order: Construct, Switch, Are_you_ready, Read_parameter_file,
// Read_initial_state_file, Read_send_port_file, Refuse_stock_of_another_start,
// Refuse_outputs_on_inputs, Initial_work, Work, Write_terminal_files (or
// Write_terminal_state and Write_send_port_stock, each on its own); then it
// ends with Exit_status().
//
// A stop asked by a signal (tz::StopSignal, util/tzsignal) ends the main
// loop where nothing computed is lost: a prompt ends as at the end of the
// input; the stepping stops at the end of the step in progress and the
// output files are written up to it. A line names the signal, the terminal
// files are written, and the exit status is 128 + the signal's number.
//
// The main loop asks on the console how far to run (the run length) and how
// often the components meet (the medium-term target time increment), lets
// the components work pass after pass up to each target, writes the output
// files at the end of the run segment and asks whether to quit; on N the
// input files are read again (they may have grown) and a new segment begins.
#ifndef QAVLEN_TOTAL_H
#define QAVLEN_TOTAL_H

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "report_points.h"
#include "sub.h"

namespace tz {
class FileReplacement;
class ReplacementBatch;
}  // namespace tz

class Total_system : public Sub_system {
 public:
  enum DataFileContent { PARSET = 0, INITIAL = 1, SDPDATA = 2 };

  Total_system();
  ~Total_system() override;

  using Sub_system::Init;
  // Names the system; no objects, the given number of iterator sets.
  int Init(const char* name, int number, int number_of_iterator_sets);

  // The application registers its input file ports here...
  virtual int Register_input_ports() = 0;
  // ... and its output file ports here, each with Register(port).
  virtual int Register_output_ports() = 0;

  int Register_send_ports() override { return Register_input_ports(); }
  int Register_receive_ports() override { return Register_output_ports(); }

  // Reads the start time ("%ld"; unreadable: total 366, exit 1) and gives it
  // to the whole tree.
  int Set_initial_state(FILE* f) override;
  Time Terminal_time() override { return terminal_time; }
  Time MediumTermTargetTime() override { return mMediumTermTargetTime; }
  int Initial_output() override { return 1; }
  // Reads the input files, then sweeps the components' initial work until
  // no sweep makes progress; 1 when all succeeded (target times set), else
  // total 528 with the components that failed, 0.
  int Initial_work() override;
  // The run-length prompt: asks until a value above 0 is keyed in. 0 when
  // the standard input has ended.
  Time Calculate_time_step() override;
  int Calculate() override { return 1; }
  // The main loop; 1 when the modeller quits, 0 when the standard input
  // ended at a prompt (the loop is left as after Y; see Exit_status).
  int Work() override;
  int Save_terminal_state(FILE* f) override;
  int Do_share_info() override;

  // ---- framework files ----
  // The parameter and initial-state files, read through dataFileOpen: the
  // system header ("class name number", "name number" or "name"; a header
  // that names another system ends the program: total 294, 301, 308, 313,
  // for the initial state 336, 343, 350, 355), then the system's block
  // (Sub_system::Parameter / Initial_state). A file without any line is
  // accepted and nothing is read. After the initial-state file a component
  // that starts later than the system ends the program (total 372): the
  // system's time would never reach it.
  int Read_parameter_file(const char* path);
  int Read_initial_state_file(const char* path);
  // The path of the one of them being read (for the components' reports).
  const char* Framework_file() const override { return framework_file; }
  // The terminal-state file, in the layout of the initial-state file with
  // three comment lines before it, and the components' own terminal files:
  // each written whole under a temporary name (tz::FileReplacement), then
  // all put in place together. One that cannot be created (total 386) or
  // written (total 392) is reported, and none of them replaces its earlier
  // file. 1 when the file and every component's files were written.
  int Write_terminal_state(const char* path);

  // The send-port stock files: every send port's buffered packs, written as
  // bracketed data blocks, one per element, with the components in braces;
  // read back into the same ports. A stock file that does not exist is
  // skipped silently; one that cannot be created (total 404) or written
  // (total 408) is reported, and an earlier file of its name stays as it
  // was.
  int Write_send_port_stock(const char* path);
  int Read_send_port_file(const char* path) { return Deliver_data_string(path, SDPDATA); }
  // The terminal-state file `tst` with the components' terminal files and
  // the stock file `tsd`, all put in place together at the end, or none
  // when one of them failed (the earlier files of their names stay as they
  // were). When the components never did their initial work (total 528
  // still stands: nothing was computed), nothing is written, a line says
  // so and the exit status is 1. 1 when everything was written.
  int Write_terminal_files(const char* tst, const char* tsd);

  // ---- checks of the run's files, before anything is written ----
  // Ends the program (total 380) when the stock file read (`stock`) is not
  // of the moment the initial-state file `initial` starts from: the packs
  // of an element's send ports must end at the element's start time, and
  // the packs of an input file port must fit its file (Stock_fits_file).
  // Nothing when no stock file was read.
  void Refuse_stock_of_another_start(const char* stock, const char* initial);
  // Ends the program (total 415) when an output of the run (an output file
  // port's file, the terminal-state file `tst`, the stock file `tsd`, a
  // file of the system's or a component's own) is the same file as one of
  // its inputs (the parameter, initial-state and stock files read, an input
  // file port's file, a component's own input), naming both.
  void Refuse_outputs_on_inputs(const char* tst, const char* tsd);
  // Reads a bracketed data file and hands each data block to the element
  // named by the header before it (for SDPDATA restoring its send ports).
  // A grammar error is reported with "TROUBLE: " on the standard output and
  // ends the reading; what was delivered before stays. 1 when the whole file
  // was read.
  int Deliver_data_string(const char* path, DataFileContent kind);
  // 1 when the parentheses and braces of the file balance (braces never
  // inside parentheses); otherwise a report with the line (total 102, 109,
  // 116, 120, 143, 148) and 0. The position of the stream is kept.
  int Check_data_file(FILE* fp, const char* path);

  // Every input file port reads its file (when modified).
  void Input_data();
  // Every output file port appends what is new. A system with outputs of
  // its own beside its output file ports writes them here too.
  virtual void Output_data();
  // The time window that all input file ports cover: from the latest of
  // their oldest published times to the earliest of their newest. 0 when a
  // port has published nothing.
  int Input_data_time(Time& from, Time& to);
  // The console menu of the time-control option.
  void Set_qavlen_option();

  // 0 after a run whose dialogue ended as asked and whose outputs were all
  // written; 1 when the standard input ended at a prompt, the initial work
  // never succeeded, or an output of the run (an output file port's file,
  // the terminal-state or stock file, a component's terminal file) could
  // not be created or written, so that the program ends with a nonzero
  // status after writing what it could; 128 + the signal's number after a
  // stop asked by a signal.
  int Exit_status() const;

 protected:
  Time terminal_time = LONG_MIN32;
  Time mMediumTermTargetTime = 0;

 private:
  const char* framework_file = nullptr;  // the framework file being read
  // Sweeps `step` (Do_initial_work, Do_share_info) over the components
  // until a sweep makes no progress; true when every one succeeded.
  bool Sweep_children(int (Element::*step)());
  // Asks each component `step` once more and prints the description of
  // each one that did not succeed.
  void Describe_undone_children(int (Element::*step)());
  // Reads the next answer word from the standard input, the console's
  // output flushed first; false at its end.
  bool Read_answer(std::string& word);
  // Asks with `prompt` until a whole number above 0 is keyed in; a refused
  // answer prints `refusal`. False at the end of the input.
  bool Ask_positive(const char* prompt, const char* refusal, Time& value);
  // The Quit prompt: 'Y' (true) or 'N' (false); at the end of the input
  // ended is set and true returned.
  bool Ask_quit();
  // The steps of Work. A new run segment: its length (the run-length
  // prompt) and the increment of its targets; false when the standard input
  // ended.
  bool Begin_segment(Time& increment);
  // The targets of the segment one after the other, each worked to in
  // passes, up to the terminal time (then End_segment), a target no
  // component worked toward, or one the components stopped short of.
  void Work_segment(Time increment, std::vector<int>& retries);
  // The end of a segment that reached its terminal time: the output files
  // and "# Done.".
  void End_segment();
  // Renews the current time after a target or a caught data failure.
  void Renew_time_after_pass();
  // The message for the end of the standard input at a prompt, or for a
  // stop signal there.
  void End_of_input();
  // The line of a stop signal met while stepping (or, `at_end`, while the
  // terminal files were written), once.
  void Announce_stop_signal(bool at_end);
  // Whether the initial work failed (total 528) and some component has not
  // done it since.
  bool Initial_work_standing();
  // The terminal-state and stock files into the replacement batch alive.
  int Stage_terminal_state(const char* path);
  int Stage_send_port_stock(const char* path);
  // Puts the files of the batch in place (a rename that fails: total 420);
  // false when nothing or not everything was.
  bool Put_in_place(tz::ReplacementBatch& batch);
  // Reads the system header of a parameter (initial false) or initial-state
  // file and checks that it names this system.
  void Check_system_header(char* line, bool initial);
  int Read_framework_file(const char* path, bool initial);
  // Ends the program (total 372) when a component of the system starts
  // later than the system itself, after the initial-state file `path`.
  void Check_start_times(const char* path);
  // The point of the trouble a step met; none when it went well.
  using Trouble = std::optional<Total_point>;
  // The steps of Deliver_data_string, each giving its trouble: a data block
  // for `to`, a brace that opens or closes the scope of a header's
  // components, a header that names the element of the next block.
  // Stop_delivery reports the trouble ("TROUBLE: " on the standard output),
  // closes the file and gives 0.
  struct Delivery;
  Trouble Deliver_block(const char* path, FILE* fp, int& c, DataFileContent kind, Element& to);
  Trouble Enter_or_leave_braces(int c, Delivery& at);
  Trouble Read_block_header(FILE* fp, int& c, Delivery& at);
  int Stop_delivery(FILE* fp, Total_point trouble);
  // Opens a framework file to be written whole; one that cannot be created
  // is reported at `failed`.
  FILE* Open_framework_file(tz::FileReplacement& file, Total_point failed, const char* path);
  // Closes a framework file written whole; a write that failed is reported
  // at `failed`.
  bool Close_framework_file(tz::FileReplacement& file, Total_point failed);

  bool input_ended = false;
  bool output_failed = false;            // the terminal-state or stock file, or a component's
  bool initial_work_failed = false;      // total 528 was reported
  bool initial_work_never_done = false;  // the run ended with 528 standing
  bool stop_announced = false;
  // The framework files read: their paths (the stock file only when it was
  // there).
  std::string parameter_file, initial_state_file, stock_file;
};

#endif
