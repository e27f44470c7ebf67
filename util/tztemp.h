// Temporary files: the folder of temporary copies, and the list of the
// temporary files that exist at a moment (files replaced whole not yet in
// place, comment-free copies), so that a stop that runs no destructors
// removes them all the same.
//
// The list is fixed storage: listing takes no allocation, so that it works
// when memory has run out, and a signal handler may walk it. Every file
// still listed is removed when the program exits (exit, a return from
// main) and by RemoveTemporaries, which a stop signal's handler, a fatal
// report and the report of memory exhausted call.
#ifndef TZTEMP_H
#define TZTEMP_H

#include <string>

namespace tz {

// The folder for temporary copies: the environment's TMPDIR when it is set
// and not empty, else /tmp. It is not checked: a folder that does not exist
// or cannot be written shows when a copy cannot be made there.
std::string TempFolder();
// Whether TempFolder() comes from TMPDIR.
bool TempFolderFromEnv();
// The line, without its line end, that names a copy of the file at path
// which cannot be made in TempFolder(): `what` ("created", "written",
// "opened") and the cause (an errno), so that every program says it alike.
std::string CopyFaultLine(const std::string& path, const char* what, int cause);

// A temporary file on the list from Track to Untrack (or its removal by
// RemoveTemporaries). The list holds a copy of the path.
class ListedTemp {
 public:
  ListedTemp() = default;
  ~ListedTemp() { Untrack(); }
  ListedTemp(ListedTemp&& other) noexcept;
  ListedTemp& operator=(ListedTemp&& other) noexcept;
  ListedTemp(const ListedTemp&) = delete;
  ListedTemp& operator=(const ListedTemp&) = delete;

  // Puts the file at path on the list (one listed before is taken off);
  // false when the list is full or the path longer than a path can be: the
  // file is then removed only by its owner.
  bool Track(const std::string& path);
  // Takes the file off the list; the file itself stays.
  void Untrack();
  bool Listed() const;

 private:
  int slot_ = -1;  // its entry on the list; -1 while not listed
};

// Removes every listed file and empties the list. Safe in a signal handler
// (it only calls unlink).
void RemoveTemporaries() noexcept;

}  // namespace tz

#endif
