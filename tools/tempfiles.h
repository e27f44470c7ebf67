// The temporary files of a tool's run: the folder of the comment-free
// copies, and the list of the temporary files that exist at a moment, so
// that a stop that runs no destructors (an exit after a report, a failed
// check, memory exhausted) removes them all the same.
#ifndef TEMPFILES_H
#define TEMPFILES_H

#include <string>

namespace tzframe {

// The folder of the comment-free copies: the one TMPDIR names when it is
// set and not empty, else /tmp.
std::string temp_folder();
// Whether temp_folder() comes from TMPDIR.
bool temp_folder_from_env();

// A temporary file on the list from Track to Untrack. Listing takes no
// allocation, so that it works when memory has run out.
class LiveTemp {
 public:
  LiveTemp() = default;
  ~LiveTemp() { Untrack(); }
  LiveTemp(const LiveTemp&) = delete;
  LiveTemp& operator=(const LiveTemp&) = delete;

  // Puts the file at path on the list; the text stays alive and unchanged
  // while the file is listed.
  void Track(const char* path);
  // Takes the file off the list; the file itself stays.
  void Untrack();
  bool Listed() const { return path_ != nullptr; }

 private:
  friend void remove_temp_files();
  const char* path_ = nullptr;  // null while not listed
  LiveTemp* prev_ = nullptr;
  LiveTemp* next_ = nullptr;
};

// Removes every listed file and empties the list; allocates nothing.
void remove_temp_files();

}  // namespace tzframe

#endif
