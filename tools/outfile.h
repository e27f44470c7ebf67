// The tools' output files: whether two output names lead to one file, and
// an output that takes the place of an earlier file of its name only once
// it is complete, so that a failure leaves the earlier file as it was.
// Whether two names lead to one existing file is tz::SameFile (tzfile).
#ifndef OUTFILE_H
#define OUTFILE_H

#include <fstream>
#include <string>

#include "tempfiles.h"

namespace tzframe {

// Whether two output names lead to one file: one existing file, or, while
// neither exists, one name in one folder ("p.dat" and "./p.dat").
bool one_file(const std::string& a, const std::string& b);

// An output file written under a temporary name beside its own and renamed
// to it by Commit; until then an earlier file of that name stays as it was.
// The new file gets the permissions of the file it replaces, or those a
// new file gets. A name that is a symbolic link has the file it leads to
// replaced. A file that is not a regular file (a device) is written in
// place: it holds nothing that could be lost. The temporary file is on the
// list of tempfiles while it exists, so that any stop removes it.
class PendingOutput {
 public:
  explicit PendingOutput(std::string name);
  PendingOutput(const PendingOutput&) = delete;
  PendingOutput& operator=(const PendingOutput&) = delete;
  ~PendingOutput();  // discards what was not committed

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
  bool Commit();
  // Removes the temporary file; nothing once committed.
  void Discard();

 private:
  std::string target;  // the file replaced: the name, or where its link leads
  std::string temp;    // the temporary file; empty when written in place or committed
  std::ofstream out;
  LiveTemp live;
};

}  // namespace tzframe

#endif
