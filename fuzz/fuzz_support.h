// Support shared by the fuzz targets: program ends turned into exceptions,
// a private working folder for the files a target writes, and the division
// of one input into several files.
//
// Every program-ending path of the suite (tz::stop, a failed check, the
// utility library's error line) calls the stop hook first. The targets
// install a hook that throws Stopped, so that a reader's report and exit
// are an expected end of the input, not a crash; anything else a sanitizer
// or the fuzzer sees (a crash, an overrun, undefined behaviour, a hang, an
// allocation without bound) is a finding.
#ifndef TZ_FUZZ_SUPPORT_H
#define TZ_FUZZ_SUPPORT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace fz {

// Thrown by the stop hook; status is the exit status, -1 an abnormal end.
struct Stopped {
  int status;
};

// Installs the stop hook and makes the private working folder (under
// /dev/shm when there is one); called once from LLVMFuzzerInitialize. The
// folder is removed when the fuzzer ends.
void setup();

// Makes the working folder the current directory (made by setup() when it
// has not run yet), for programs that open fixed names in it...
void enter_working_folder();
// ... and returns to the directory the fuzzer was started in.
void leave_working_folder();

// The absolute path of a file of the working folder.
std::string path(const char* name);

// Writes bytes into a file of the working folder; returns its path.
std::string write_file(const char* name, std::string_view bytes);

// Makes a file of the working folder the standard input (std::cin included).
void feed_stdin(const char* name, std::string_view bytes);

// The separator line between the files of one input: "\n====\n".
constexpr std::string_view kSeparator = "\n====\n";

// Splits the input into n parts at the first n-1 separators; missing parts
// are empty.
std::vector<std::string_view> split(const std::uint8_t* data, std::size_t size, std::size_t n);

// The open FILE streams and file descriptors at one moment.
struct Open_files {
  std::vector<std::FILE*> streams;  // sorted
  std::vector<int> fds;             // above the standard ones, sorted
};
Open_files open_files();
// Closes the streams and descriptors open now that were not open `before`:
// a stop unwinds past streams held by plain pointers, which in the programs
// the end of the process closes; left open, they would pile up from one
// input to the next.
void close_files_since(const Open_files& before);

// Runs f; a stop of the suite ends it quietly.
template <class F>
void run(F&& f) {
  const Open_files before = open_files();
  try {
    f();
  } catch (const Stopped&) {
    close_files_since(before);
  }
}

}  // namespace fz

#endif
