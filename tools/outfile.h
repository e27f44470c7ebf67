// The tools' output files: whether two output names lead to one file, and
// an output that takes the place of an earlier file of its name only once
// it is complete (tz::FileReplacement, tzreplace), written through a file
// stream of its own. Whether two names lead to one existing file is
// tz::SameFile (tzfile).
#ifndef OUTFILE_H
#define OUTFILE_H

#include <fstream>
#include <string>
#include <utility>

#include "tzreplace.h"

namespace tzframe {

// Whether two output names lead to one file: one existing file, or, while
// neither exists, one name in one folder ("p.dat" and "./p.dat").
bool one_file(const std::string& a, const std::string& b);

// An output file written under a temporary name beside its own and renamed
// to it by Commit; until then an earlier file of that name stays as it was
// (permissions, links and devices as tz::FileReplacement has them). A
// failure removes the temporary file at any stop.
class PendingOutput {
 public:
  explicit PendingOutput(std::string name) : file(std::move(name)) {}
  PendingOutput(const PendingOutput&) = delete;
  PendingOutput& operator=(const PendingOutput&) = delete;
  ~PendingOutput() { Discard(); }

  // Creates the temporary file; false when it cannot be created (no such
  // folder, no permission) or the name is a folder or a write-protected file.
  bool Open();
  // The stream writes through buf (n bytes) instead of a buffer of its
  // own; given before Open, buf lives as long as the stream is open.
  void UseBuffer(char* buf, std::streamsize n) { out.rdbuf()->pubsetbuf(buf, n); }
  std::ofstream& Stream() { return out; }
  // Flushes and closes the file; false when some write failed.
  bool Close();
  // Puts the closed file in place of the name; false when it cannot.
  bool Commit() { return file.Commit(); }
  // Removes the temporary file; nothing once committed.
  void Discard();

 private:
  tz::FileReplacement file;
  std::ofstream out;
};

}  // namespace tzframe

#endif
