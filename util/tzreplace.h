// Files replaced whole, never rewritten in place.
//
// A FileReplacement writes the new content of a file under a temporary name
// in the folder of its name, checks it to its close and only then renames it
// over the name: a stop at any moment leaves the earlier file or the new
// one, never half of either. The new file gets the permissions of the file
// it replaces, or those of a new file (the umask applied). A name that is a
// symbolic link has the file it leads to replaced. A name that is not a
// regular file (a device) is written in place: it holds nothing that could
// be lost.
//
// The content is written through the stream Open gives, which Close flushes
// to the disk before the rename (the rename is flushed too); or by a writer
// with a stream of its own on the name Create gives (the preparation tools'
// outputs), and then neither is flushed to the disk: for a tool, whose run
// is short and whose output is large, the flush would be a noticeable part
// of the run.
//
// A ReplacementBatch puts the files committed while it lives in place
// together, at its own Commit, or none of them when one failed: files that
// belong together (a terminal state and the files it names) are all of one
// run or all of the earlier one.
//
// Every temporary file not yet in place is on the list of temporary files
// (tztemp.h): the program's exit and every stop remove it.
#ifndef TZREPLACE_H
#define TZREPLACE_H

#include <cstdio>
#include <string>
#include <vector>

#include "tztemp.h"

namespace tz {

class FileReplacement {
 public:
  explicit FileReplacement(std::string path);
  ~FileReplacement();  // removes what was not committed
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // Creates the temporary file and opens it for writing; null when it cannot
  // be created (no such folder, no permission) or the name is a folder or a
  // write-protected file.
  std::FILE* Open();
  // Closes the file, flushed to the disk; false when a write failed (the
  // temporary file is then removed).
  bool Close();
  // For a writer with a stream of its own, instead of Open and Close:
  // creates the temporary file, empty, and gives the name to open for
  // writing (the name itself when it is written in place), null as Open.
  // The writer closes its stream, checked, before Commit.
  const char* Create();
  // Puts the closed file in place of its name, or hands it to the batch
  // that lives; false when the rename fails.
  bool Commit();
  // Removes the temporary file; nothing once committed.
  void Discard();

  const std::string& Path() const { return path_; }

 private:
  int Make();
  void Failed();

  std::string path_;     // the name given
  std::string target_;   // the file replaced: the name, or where its link leads
  std::string temp_;     // the temporary file; empty when written in place or committed
  ListedTemp listed_;    // temp_ on the list of temporary files
  bool synced_ = false;  // the content was flushed to the disk; the rename will be
  std::FILE* fp_ = nullptr;
};

class ReplacementBatch {
 public:
  // A batch made while another lives joins it: the outer one commits.
  ReplacementBatch();
  ~ReplacementBatch();  // removes what was not put in place
  ReplacementBatch(const ReplacementBatch&) = delete;
  ReplacementBatch& operator=(const ReplacementBatch&) = delete;

  // Marks the batch failed: nothing of it will be put in place.
  void Fail();
  bool Failed() const;
  // Puts every committed file in place, in the order committed; false when
  // the batch failed (nothing is put in place) or a rename failed (that file
  // and the ones after it are left as they were; `unplaced` receives its name). A
  // joined batch does nothing and gives true.
  bool Commit(std::string* unplaced = nullptr);

 private:
  friend class FileReplacement;
  struct Pending {
    std::string name, temp, target;
    ListedTemp listed;
    bool synced;
  };
  void Discard();

  ReplacementBatch* outer_;
  bool failed_ = false;
  std::vector<Pending> pending_;
};

}  // namespace tz

#endif
