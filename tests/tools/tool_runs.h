// What the tests of the tools' failed runs share: a folder of their own for
// the comment-free copies of the inputs (TMPDIR), so that a test sees that
// a run leaves none behind, and a run with few file descriptors.
#ifndef TZ_TESTS_TOOL_RUNS_H
#define TZ_TESTS_TOOL_RUNS_H

#include <cstring>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace toolruns {

// The folder the runs of the cases given to in() make their copies in.
class Copies {
 public:
  cli::Case in(const cli::Case& c) const { return cli::Case(c).env("TMPDIR", dir_.path()); }
  const std::string& path() const { return dir_.path(); }
  // Whether no copy is left.
  bool empty() const { return dir_.entries().empty(); }

 private:
  cli::Folder dir_;
};

// The arguments of kShell that start the tool with the arguments args and
// the descriptors 0 to n - 1 only (n at most 10): those the shell got
// beyond the standard three (a test runner's) are closed first.
inline const cli::Program kShell{"/bin/sh"};
inline std::vector<std::string> with_descriptors(int n, const cli::Program& tool,
                                                 const std::vector<std::string>& args) {
  std::vector<std::string> words = {
      "-c", "exec 3<&- 4<&- 5<&- 6<&- 7<&- 8<&- 9<&-; ulimit -n " + std::to_string(n) + " && exec \"$0\" \"$@\"",
      tool.path};
  words.insert(words.end(), args.begin(), args.end());
  return words;
}

// The line that names the comment-free copy of `file` which cannot be
// `what` ("created", "written") in `folder`, for the errno `cause`.
inline std::string copy_fault(const std::string& file, const std::string& what, const std::string& folder, int cause) {
  return "File: " + file + ": its copy without comments cannot be " + what + " in " + folder + ": " +
         std::strerror(cause) + " (TMPDIR names the folder of such copies)\n";
}

}  // namespace toolruns

#endif
