#include "total.h"

#include <sys/types.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "dfopen.h"
#include "f_look.h"
#include "input_f.h"
#include "output_f.h"
#include "qoption.h"
#include "report_points.h"
#include "tzcheck.h"
#include "tzfile.h"
#include "tzreplace.h"
#include "tzsignal.h"

Total_system::Total_system() { class_name = "Total_system"; }

Total_system::~Total_system() = default;

int Total_system::Init(const char* name, int number, int number_of_iterator_sets) {
  return Sub_system::Init(name, number, 0, number_of_iterator_sets, nullptr);
}

int Total_system::Set_initial_state(FILE* f) {
  int t = 0;
  if (!f || std::fscanf(f, "%d", &t) != 1) {
    Report(Total_point::start_time_unread);
    tz::stop(1);
  }
  current_time = t;
  return Sub_system::Initial_time(current_time);
}

int Total_system::Save_terminal_state(FILE* f) {
  if (f) std::fprintf(f, "%d", current_time);
  return 1;
}

void Total_system::Input_data() {
  for (Port* p : send_port_array)
    if (Input_port* in = dynamic_cast<Input_port*>(p)) in->Input_data();
}

void Total_system::Output_data() {
  for (Port* p : receive_port_array)
    if (Output_port* out = dynamic_cast<Output_port*>(p)) out->Output_data();
}

int Total_system::Exit_status() const {
  if (tz::StopSignal() != 0) return 128 + tz::StopSignal();
  if (input_ended || output_failed || initial_work_never_done) return 1;
  for (const Port* p : receive_port_array) {
    const Output_port* out = dynamic_cast<const Output_port*>(p);
    if (out && out->Output_failed()) return 1;
  }
  return 0;
}

int Total_system::Input_data_time(Time& from, Time& to) {
  from = LONG_MIN32;
  to = LONG_MAX32;
  for (Port* p : send_port_array) {
    if (p->Number_of_data_packs() <= 0) return 0;
    Time oldest = p->Oldest_data_time();
    Time newest = p->Newest_data_time();
    if (oldest > from) from = oldest;
    if (newest < to) to = newest;
  }
  return 1;
}

int Total_system::Initial_work() {
  if (initialworkdone_p == NO) {
    if (Initial_output() == 0) {
      std::fputs("Cannot do initial_output for Total_system.\n", stderr);
      tz::stop(1);
    }
    initialworkdone_p = YES;
  }
  Input_data();
  // An element whose initial output needs data another one has not
  // produced yet succeeds in a later sweep.
  if (Sweep_children(&Element::Do_initial_work)) {
    Initialize_target_time();
    return 1;
  }
  initial_work_failed = true;
  Eprint(Total_point::initial_work_failed, 1);
  Describe_undone_children(&Element::Do_initial_work);
  return 0;
}

bool Total_system::Initial_work_standing() {
  if (!initial_work_failed) return false;
  bool undone = false;
  For_each_child([&](Element* e) {
    if (!e->Initial_work_done()) undone = true;
  });
  return undone;
}

int Total_system::Do_share_info() {
  if (shareinfodone_p == NO) {
    if (Share_info() == 0) {
      Report(Total_point::share_info_failed);
      tz::stop(1);
    }
    shareinfodone_p = YES;
  }
  if (Sweep_children(&Element::Do_share_info)) return E_ALREADY;
  Eprint(Total_point::components_share_info_failed, 1);
  Describe_undone_children(&Element::Do_share_info);
  return 0;
}

bool Total_system::Sweep_children(int (Element::*step)()) {
  bool progress;
  bool all_succeeded;
  do {
    progress = false;
    all_succeeded = true;
    For_each_child([&](Element* e) {
      int r = (e->*step)();
      if (r == E_DONE) progress = true;
      if (r == E_UNDONE) all_succeeded = false;
    });
  } while (progress);
  return all_succeeded;
}

void Total_system::Describe_undone_children(int (Element::*step)()) {
  For_each_child([step](Element* e) {
    if ((e->*step)() == E_UNDONE) e->Oprint(stderr, "    ");
  });
}

// ---- console ----

bool Total_system::Read_answer(std::string& word) {
  std::fflush(stdout);
  // A stop signal ends the wait for the answer: the read fails, as at the
  // end of the input.
  if (tz::StopSignal() != 0) return false;
  tz::InterruptibleReads interruptible;
  if (tz::StopSignal() != 0) return false;
  // The character after the word stays for the next read, as a line end
  // after a number does.
  return Read_word(stdin, word) && tz::StopSignal() == 0;
}

namespace {

// A word that is wholly a decimal number of the system's long range.
bool whole_number(const std::string& word, Time& value) {
  if (word.empty()) return false;
  const char* s = word.c_str();
  if (!std::isdigit(static_cast<unsigned char>(s[*s == '+' || *s == '-' ? 1 : 0]))) return false;
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(s, &end, 10);
  if (errno != 0 || *end != '\0' || v < LONG_MIN32 || v > LONG_MAX32) return false;
  value = static_cast<Time>(v);
  return true;
}

// Drops what is left of the current input line (a stop signal ends the
// wait for its end).
void discard_line() {
  tz::InterruptibleReads interruptible;
  int c;
  while ((c = std::getc(stdin)) != EOF && c != '\n') {
  }
}

}  // namespace

bool Total_system::Ask_positive(const char* prompt, const char* refusal, Time& value) {
  for (;;) {
    std::fputs(prompt, stdout);
    std::string word;
    if (!Read_answer(word)) return false;
    Time v = 0;
    if (!whole_number(word, v)) {
      std::fputs(refusal, stdout);
      discard_line();
      continue;
    }
    if (v > 0) {
      value = v;
      return true;
    }
    std::fputs(refusal, stdout);
  }
}

Time Total_system::Calculate_time_step() {
  char prompt[128];
  std::snprintf(prompt, sizeof prompt,
                "\n# Key in time_step for 'total_system'.\n# current_time = %d : time_step = ", current_time);
  Time step = 0;
  if (!Ask_positive(prompt, "# Invalid input : time_step <= 0\n", step)) {
    End_of_input();
    return 0;
  }
  return step;
}

bool Total_system::Ask_quit() {
  for (;;) {
    std::printf("# Now : current_time = %d : terminal_time = %d\n# Quit? [Y / N] : ", current_time, terminal_time);
    std::string word;
    if (!Read_answer(word)) {
      End_of_input();
      return true;
    }
    char c = word[0];
    if (c == 'Y' || c == 'y') return true;
    if (c == 'N' || c == 'n') return false;
    std::fputs("# Invalid input : Key in 'Y' or 'N'\n\n", stdout);
  }
}

void Total_system::End_of_input() {
  if (input_ended) return;
  input_ended = true;
  std::fflush(stdout);
  if (tz::StopSignal() != 0) {
    stop_announced = true;
    std::fprintf(stderr, "\n# Error : Signal %s at a prompt : the simulation ends here.\n",
                 tz::SignalName(tz::StopSignal()));
    return;
  }
  std::fputs("\n# Error : End of the standard input : the simulation ends here.\n", stderr);
}

void Total_system::Announce_stop_signal(bool at_end) {
  if (stop_announced || tz::StopSignal() == 0) return;
  stop_announced = true;
  std::fflush(stdout);
  if (at_end)
    std::fprintf(stderr, "\n# Error : Signal %s while the terminal files were written : they are complete.\n",
                 tz::SignalName(tz::StopSignal()));
  else
    std::fprintf(stderr, "\n# Error : Signal %s at current_time = %d : the simulation ends here.\n",
                 tz::SignalName(tz::StopSignal()), current_time);
}

void Total_system::Renew_time_after_pass() {
  if (Renew_current_time() != 1) std::fputs("\n# Error : Total_system::Renew_current_time(void)\n", stderr);
}

void Total_system::Set_qavlen_option() {
  std::fputs("\n# Key in simulation option.\n# TimeControlOption\n", stdout);
  if (QavlenOption::tc == QavlenOption::DoNotGoBeyondTerminalTime)
    std::fputs("#   current selection: DoNotGoBeyondTerminalTime\n", stdout);
  else
    std::fputs("#   current selection: GoBeyondTerminalTime\n", stdout);
  std::fputs("#   select 1 or 2\n#   1. GoBeyondTerminalTime (Default)\n#   2. DoNotGoBeyondTerminalTime\n", stdout);
  // The answer is read as an integer from the start of the next word (the
  // rest of the word goes with it).
  std::string word;
  bool two = false;
  if (Read_answer(word)) {
    char* end = nullptr;
    long long answer = std::strtoll(word.c_str(), &end, 10);
    two = end != word.c_str() && answer == 2;
  }
  QavlenOption::tc = two ? QavlenOption::DoNotGoBeyondTerminalTime : QavlenOption::GoBeyondTerminalTime;
}

// ---- the main loop ----

int Total_system::Work() {
  std::vector<int> retries(iterator_array.size(), 0);
  for (;;) {
    Time increment = 0;
    if (!Begin_segment(increment)) return 0;
    try {
      Work_segment(increment, retries);
    } catch (int) {
      // An input file port lacked the data asked for: write what was
      // computed and let the modeller decide (the input may grow).
      std::fflush(stdout);
      std::fputs("\n# Error : Now in catch block\n", stderr);
      Output_data();
      Renew_time_after_pass();
    }
    // A stop signal while stepping: the outputs are written up to the step
    // reached.
    if (tz::StopSignal() != 0) {
      Announce_stop_signal(false);
      return 0;
    }
    // Quit?
    bool quit = Ask_quit();
    if (input_ended) return 0;
    if (quit) {
      std::fputs("\n# Simulation ended.\n", stdout);
      return 1;
    }
    Input_data();
  }
}

bool Total_system::Begin_segment(Time& increment) {
  Time step = Calculate_time_step();
  if (input_ended) return false;
  if (!Ask_positive("# Medium_term_target_time_increment = ",
                    "# Invalid input : Medium_term_target_time_incremnt <= 0\n", increment)) {
    End_of_input();
    return false;
  }
  terminal_time = time_add(current_time, step);
  mMediumTermTargetTime = current_time;
  return true;
}

void Total_system::Work_segment(Time increment, std::vector<int>& retries) {
  for (;;) {
    // The next target.
    for (int& r : retries) r = 0;
    mMediumTermTargetTime = time_add(mMediumTermTargetTime, increment);
    // Under the time-control option no component steps past the terminal
    // time: the last target of the segment is the terminal time itself.
    if (QavlenOption::Get_time_control_option() == QavlenOption::DoNotGoBeyondTerminalTime &&
        mMediumTermTargetTime > terminal_time)
      mMediumTermTargetTime = terminal_time;
    // The components are at or past this target already (a step overshot
    // onto it or beyond): move the target on, or end the segment when the
    // terminal time has been reached.
    if (current_time >= mMediumTermTargetTime) {
      if (current_time < terminal_time) continue;
      End_segment();
      return;
    }
    if (!Work_passes(retries, Total_point::iteration_group_diverged) && tz::StopSignal() == 0) {
      std::fputs("\n# No object has worked.\n", stdout);
      return;
    }
    Renew_time_after_pass();
    if (tz::StopSignal() != 0) {
      Output_data();
      return;
    }
    if (current_time < mMediumTermTargetTime) {
      std::fflush(stdout);
      std::fputs("\n# Error : Stopped before MediumTermTargetTime\n", stderr);
      return;
    }
    if (mMediumTermTargetTime >= terminal_time) {
      End_segment();
      return;
    }
    std::printf("%d\n", mMediumTermTargetTime);
  }
}

void Total_system::End_segment() {
  Output_data();
  std::fputs("\n# Done.\n", stdout);
}

// ---- framework parameter and state files ----

namespace {

// The size of the line buffer of the framework files (lines of at most 255
// characters).
constexpr int DATA2STR_BUFFSIZE = 256;

}  // namespace

void Total_system::Check_system_header(char* line, bool initial) {
  std::string cls, name;
  int number = 0;
  Trouble mismatch;
  switch (Read_header(line, cls, name, number)) {
    case 3:
      if (!Compare(cls.c_str(), name.c_str(), number))
        mismatch = initial ? Total_point::initial_system_class : Total_point::parameter_system_class;
      break;
    case 2:
      if (!Compare(name.c_str(), number))
        mismatch = initial ? Total_point::initial_system_name_number : Total_point::parameter_system_name_number;
      break;
    case 1:
      if (!Compare(name.c_str(), 0))
        mismatch = initial ? Total_point::initial_system_name : Total_point::parameter_system_name;
      break;
    default: mismatch = initial ? Total_point::initial_first_line_empty : Total_point::parameter_first_line_empty;
  }
  if (!mismatch) return;
  Report(*mismatch, line);
  tz::stop(1);
}

int Total_system::Read_framework_file(const char* path, bool initial) {
  FILE* fp = dataFileOpen(path);
  (initial ? initial_state_file : parameter_file) = path ? path : "";
  std::vector<char> buffer(DATA2STR_BUFFSIZE);
  char* line = buffer.data();
  int pushed_back = 0;
  int first = 0;
  if (!Get_framework_line(fp, line, DATA2STR_BUFFSIZE, pushed_back, first,
                          initial ? Total_point::initial_line_long : Total_point::parameter_line_long)) {
    std::fclose(fp);
    return 1;
  }
  Check_system_header(line, initial);
  framework_file = path;
  if (initial)
    Initial_state(fp, line, DATA2STR_BUFFSIZE, pushed_back);
  else
    Parameter(fp, line, DATA2STR_BUFFSIZE, pushed_back);
  framework_file = nullptr;
  std::fclose(fp);
  if (initial) Check_start_times(path);
  return 1;
}

void Total_system::Check_start_times(const char* path) {
  For_each_child([&](Element* e) {
    if (e->Current_time() <= current_time) return;
    char message[512];
    std::snprintf(message, sizeof message, "In %s the system %s %d starts at %d, its component %s %d at %d.",
                  path ? path : "", Object_name() ? Object_name() : "", Object_number(), current_time,
                  e->Object_name() ? e->Object_name() : "", e->Object_number(), e->Current_time());
    std::fflush(stdout);
    e->Report(Total_point::component_starts_later, message);
    tz::stop(1);
  });
}

int Total_system::Read_parameter_file(const char* path) { return Read_framework_file(path, false); }

int Total_system::Read_initial_state_file(const char* path) { return Read_framework_file(path, true); }

FILE* Total_system::Open_framework_file(tz::FileReplacement& file, Total_point failed, const char* path) {
  FILE* fp = file.Open();
  if (fp) return fp;
  output_failed = true;
  std::fflush(stdout);
  Report_fopen(failed, path, "w");
  return nullptr;
}

bool Total_system::Close_framework_file(tz::FileReplacement& file, Total_point failed) {
  if (file.Close() && file.Commit()) return true;
  output_failed = true;
  std::fflush(stdout);
  Report_fwrite(failed, file.Path().c_str());
  return false;
}

int Total_system::Stage_terminal_state(const char* path) {
  tz::FileReplacement file(path ? path : "");
  FILE* fp = Open_framework_file(file, Total_point::terminal_state_cannot_create, path);
  if (!fp) {
    // The components still report on their own terminal files (the lines
    // that would name them go nowhere); none replaces its earlier file.
    if (FILE* scratch = std::tmpfile()) {
      Terminal_state(scratch);
      std::fclose(scratch);
    }
    return 0;
  }
  std::fprintf(fp, "# terminal state of %s \n# current_time = %d \n# \n", Object_name() ? Object_name() : "",
               current_time);
  const bool components_written = Terminal_state(fp) != 0;
  if (!components_written) output_failed = true;
  return Close_framework_file(file, Total_point::terminal_state_write_failed) && components_written ? 1 : 0;
}

int Total_system::Write_terminal_state(const char* path) {
  tz::ReplacementBatch batch;
  const int written = Stage_terminal_state(path);
  return Put_in_place(batch) ? written : 0;
}

// ---- send-port stock files ----

int Total_system::Stage_send_port_stock(const char* path) {
  tz::FileReplacement file(path ? path : "");
  FILE* fp = Open_framework_file(file, Total_point::stock_cannot_create, path);
  if (!fp) return 0;
  std::fprintf(fp, "# Send_port data of %s \n# current_time = %d \n# \n", Object_name() ? Object_name() : "",
               current_time);
  // The system's own send ports (its input file ports), then the
  // components in braces.
  Element::Save_send_port_stock(fp);
  if (number_of_components > 0 || number_of_iterator_sets > 0) {
    std::fputs("{\n", fp);
    For_each_child([fp](Element* e) { e->Save_send_port_stock(fp); });
    std::fputs("}\n", fp);
  }
  return Close_framework_file(file, Total_point::stock_write_failed) ? 1 : 0;
}

int Total_system::Write_send_port_stock(const char* path) {
  tz::ReplacementBatch batch;
  const int written = Stage_send_port_stock(path);
  return Put_in_place(batch) ? written : 0;
}

int Total_system::Write_terminal_files(const char* tst, const char* tsd) {
  int written = 0;
  if (Initial_work_standing()) {
    // Nothing was computed: the terminal files of the earlier run are
    // still the state to continue from.
    initial_work_never_done = true;
    std::fflush(stdout);
    std::fprintf(stderr,
                 "\n# Error : The initial work never succeeded : %s, %s and the terminal files of the components "
                 "are left as they were.\n",
                 tst ? tst : "", tsd ? tsd : "");
  } else {
    tz::ReplacementBatch batch;
    const int state = Stage_terminal_state(tst);
    const int stock = Stage_send_port_stock(tsd);
    written = Put_in_place(batch) && state && stock ? 1 : 0;
  }
  Announce_stop_signal(true);
  return written;
}

bool Total_system::Put_in_place(tz::ReplacementBatch& batch) {
  if (batch.Failed()) {
    batch.Commit();  // removes the temporary files
    return false;
  }
  std::string unplaced;
  if (batch.Commit(&unplaced)) return true;
  output_failed = true;
  std::fflush(stdout);
  Report(Total_point::cannot_put_in_place, ("Cannot put the new '" + unplaced + "' in place.").c_str());
  return false;
}

// ---- checks of the run's files ----

namespace {

// Every element of the tree below `sub`, nested sub-systems included.
template <class F>
void For_each_element(const Sub_system& sub, F f) {
  auto visit = [&](Element* e) {
    f(e);
    if (const Sub_system* inner = dynamic_cast<const Sub_system*>(e)) For_each_element(*inner, f);
  };
  for (int i = 0; i < sub.Number_of_components(); ++i) visit(sub.Component(i));
  for (int k = 0; k < sub.Number_of_iterator_sets(); ++k)
    for (int i = 0; i < sub.Number_of_iterators(k); ++i) visit(sub.Iterator(k, i));
}

}  // namespace

void Total_system::Refuse_stock_of_another_start(const char* stock, const char* initial) {
  if (stock_file.empty()) return;
  const std::string head = std::string("The send-port stock ") + (stock ? stock : "") + " does not belong to " +
                           (initial ? initial : "") + ": ";
  auto refuse = [&](const Object& what, const std::string& why) {
    std::fflush(stdout);
    const std::string todo = " Use the stock file written with the terminal state that became " +
                             std::string(initial ? initial : "") + ", or remove " + (stock ? stock : "") + ".";
    what.Report(Total_point::stock_of_another_start, (head + why + todo).c_str());
    tz::stop(1);
  };
  // The system's own send ports: its input file ports, whose packs must fit
  // their files.
  for (Port* p : send_port_array) {
    std::string why;
    Input_file* in = dynamic_cast<Input_file*>(p);
    if (in && !in->Stock_fits_file(why)) refuse(*in, why);
  }
  // An element's packs end at the time of the run's end that wrote them,
  // where the run continued from it starts.
  For_each_element(*this, [&](Element* e) {
    for (int i = 0; i < e->Number_of_send_ports(); ++i) {
      const Send_port* s = dynamic_cast<const Send_port*>(e->Send_port_at(i));
      if (!s || s->Number_of_stocked_packs() == 0) continue;
      const Time last = s->Stocked_pack(s->Number_of_stocked_packs() - 1)->Data_time();
      if (last == e->Current_time()) continue;
      const std::string name =
          std::string(e->Object_name() ? e->Object_name() : "") + " " + std::to_string(e->Object_number());
      refuse(*e, "it holds " + name + " at time " + std::to_string(last) + ", " + (initial ? initial : "") +
                     " starts it at " + std::to_string(e->Current_time()) + ".");
    }
  });
}

void Total_system::Refuse_outputs_on_inputs(const char* tst, const char* tsd) {
  std::vector<Own_file> inputs{{"parameter file", parameter_file}, {"initial-state file", initial_state_file}};
  if (!stock_file.empty()) inputs.push_back({"send-port stock file", stock_file});
  for (Port* p : send_port_array)
    if (dynamic_cast<Input_file*>(p)) inputs.push_back({"input file", p->Object_name() ? p->Object_name() : ""});
  std::vector<Own_file> outputs;
  for (Port* p : receive_port_array)
    if (dynamic_cast<Output_file*>(p)) outputs.push_back({"output file", p->Object_name() ? p->Object_name() : ""});
  outputs.push_back({"terminal-state file", tst ? tst : ""});
  outputs.push_back({"send-port stock file", tsd ? tsd : ""});
  Own_files(inputs, outputs);
  for (const Own_file& out : outputs)
    for (const Own_file& in : inputs) {
      if (out.path.empty() || in.path.empty() || !tz::SameFile(out.path.c_str(), in.path.c_str())) continue;
      const std::string message =
          "The " + out.what + " " + out.path + " is the " + in.what + " " + in.path + ": the run would overwrite it.";
      std::fflush(stdout);
      Report(Total_point::output_on_input, message.c_str());
      tz::stop(1);
    }
}

int Total_system::Check_data_file(FILE* fp, const char* path) {
  const off_t here = ftello(fp);
  std::rewind(fp);
  int line = 1;
  int parens = 0;
  int braces = 0;
  Trouble position;
  int previous = 0;
  int c;
  while ((c = std::getc(fp)) != EOF) {
    if (c == '#') {
      while ((c = std::getc(fp)) != EOF && c != '\n') {
      }
      if (c == EOF) break;
    }
    if (c == '\n') {
      ++line;
    } else if ((c == '(' || c == ')') && previous == '\\') {
      // A bracket escaped with a backslash is part of an item, as the
      // reader takes it.
      c = 0;
    } else if (c == '(') {
      ++parens;
    } else if (c == ')') {
      if (--parens < 0) {
        position = Total_point::parenthesis_unopened;
        break;
      }
    } else if (c == '{') {
      if (parens > 0) {
        position = Total_point::brace_in_parentheses;
        break;
      }
      ++braces;
    } else if (c == '}') {
      if (parens > 0) {
        position = Total_point::brace_close_in_parentheses;
        break;
      }
      if (--braces < 0) {
        position = Total_point::brace_unopened;
        break;
      }
    }
    previous = c;
  }
  if (!position) {
    if (braces != 0)
      position = Total_point::brace_unclosed;
    else if (parens != 0)
      position = Total_point::parenthesis_unclosed;
  }
  if (here >= 0) fseeko(fp, here, SEEK_SET);
  if (!position) return 1;
  Report_values(*position, "\tAt %s %d \n", path ? path : "", line);
  return 0;
}

// Where the reading of a bracketed data file is: the element that receives
// the next block, the system whose components the next header names, and
// the scopes of the enclosing braces.
struct Total_system::Delivery {
  Element* current;
  Element* scope;
  std::vector<Element*> outer;
};

namespace {

bool is_bracket(int c) { return c == '(' || c == ')' || c == '{' || c == '}'; }

}  // namespace

int Total_system::Deliver_data_string(const char* path, DataFileContent kind) {
  FILE* fp = path ? std::fopen(path, "r") : nullptr;
  if (!fp) {
    // The stock file is optional.
    if (kind == SDPDATA) return 0;
    Report_fopen(Total_point::data_file_cannot_open, path, "r");
    tz::stop(3);
  }
  if (kind == SDPDATA) stock_file = path;
  if (!Check_data_file(fp, path)) {
    Report(Total_point::data_file_unbalanced);
    std::fclose(fp);
    return 0;
  }
  Delivery at{this, this, {}};
  int c = 0;
  bool pending = false;  // c holds a character not yet looked at
  for (;;) {
    if (!pending) c = std::getc(fp);
    pending = false;
    Pass_whites_and_comments(fp, c, '#');
    Trouble trouble;
    if (c == EOF) {
      if (at.outer.empty()) {
        std::fclose(fp);
        return 1;
      }
      trouble = Total_point::data_file_ends_in_braces;
    } else if (c == ')') {
      trouble = Total_point::parenthesis_out_of_place;
    } else if (c == '(') {
      trouble = Deliver_block(path, fp, c, kind, *at.current);
    } else if (c == '{' || c == '}') {
      trouble = Enter_or_leave_braces(c, at);
    } else {
      trouble = Read_block_header(fp, c, at);
      pending = true;
    }
    if (trouble) return Stop_delivery(fp, *trouble);
  }
}

Total_system::Trouble Total_system::Deliver_block(const char* path, FILE* fp, int& c, DataFileContent kind,
                                                  Element& to) {
  char* text = nullptr;
  int length = 0;
  if (!Make_data_string(path, fp, c, text, length, '(', ')', '#', '\\')) return Total_point::data_block_malformed;
  to.Set_data_string(text, length);
  delete[] text;
  if (kind == SDPDATA) to.Restore_send_port_stock();
  to.Clear_data_string();
  return {};
}

Total_system::Trouble Total_system::Enter_or_leave_braces(int c, Delivery& at) {
  if (c == '{') {
    if (!at.current) return Total_point::brace_without_element;
    at.outer.push_back(at.scope);
    at.scope = at.current;
    at.current = this;
    return {};
  }
  if (at.outer.empty()) return Total_point::brace_closes_nothing;
  at.current = at.scope;
  at.scope = at.outer.back();
  at.outer.pop_back();
  return {};
}

Total_system::Trouble Total_system::Read_block_header(FILE* fp, int& c, Delivery& at) {
  // The class word and the object name.
  char** words = nullptr;
  int got = Get_strings(fp, c, words, 2, '#', '\\');
  std::string cls = got > 0 ? words[0] : "";
  std::string name = got > 1 ? words[1] : "";
  for (int k = 0; k < 2; ++k) delete[] words[k];
  delete[] words;
  if (got < 2) return Total_point::header_short;
  if (name.empty() || is_bracket(static_cast<unsigned char>(name[0]))) return Total_point::header_without_name;
  // The number; a bracket, a brace or the end of the file in its place
  // means 0 and stays to be read (the block of a two-word header).
  int number = 0;
  Pass_whites_and_comments(fp, c, '#');
  if (c != EOF && !is_bracket(c)) {
    char* word = nullptr;
    Get_string(fp, c, word, '\\');
    if (word) std::sscanf(word, "%d", &number);
    delete[] word;
  }
  if (Compare(cls.c_str(), name.c_str(), number)) {
    at.current = at.scope = this;
    return {};
  }
  at.current = at.scope->Get_component(cls.c_str(), name.c_str(), number);
  if (!at.current) return Total_point::header_names_no_element;
  return {};
}

int Total_system::Stop_delivery(FILE* fp, Total_point trouble) {
  Report_with(trouble, [] {
    std::fflush(stderr);
    std::fputs("TROUBLE: ", stdout);
    std::fflush(stdout);
  });
  std::fclose(fp);
  return 0;
}
