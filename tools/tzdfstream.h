// TzDfstream: an input file stream over a comment-free temporary copy of a
// text file.
//
// A '#' starts a comment that runs to the end of its line; a whole-line
// comment vanishes with its newline, a trailing comment leaves the newline.
// Text between apostrophes or double quotes is copied verbatim ('#' and
// newlines included). Empty lines stay. A quoted stretch or a comment that
// the end of the file leaves open stops the program, after one line naming
// the file and the line where the stretch opened. The copy is made in the
// folder of temporary copies (tz::TempFolder: TMPDIR, else /tmp) when the
// stream is opened and removed when it is closed or destroyed; the source
// file is only read. Reading uses the ordinary stream operations.
//
// An open fails when the source cannot be opened or read (SourceError
// tells why) or when the copy cannot be created or filled: the disk is
// full, a size limit, too many open files. For the copy, one line naming
// the source, the folder of the copy and the cause is written to the
// standard error stream, so that the caller's report that follows is not
// taken for a fault of the file.
#ifndef TZDFSTREAM_H
#define TZDFSTREAM_H

#include <fstream>
#include <memory>
#include <string>

#include "tztemp.h"

class TzDfstream : public std::ifstream {
 public:
  TzDfstream();
  // Opens name; a failure shows in the stream state.
  explicit TzDfstream(const char* name);
  TzDfstream(const TzDfstream&) = delete;
  TzDfstream& operator=(const TzDfstream&) = delete;
  ~TzDfstream() override;

  // Builds the comment-free copy of name and opens the stream on it; a
  // stream already open is closed first.
  void open(const char* name);
  // Closes the stream and removes its copy; nothing when not open.
  void close();
  // After an open that failed on the source: why it could not be opened or
  // read (an error number, as errno); 0 otherwise (a failed copy among them).
  int SourceError() const { return sourceError; }

 protected:
  std::string dfname;  // the copy's name, made from "<folder>/tzdfstream.XXXXXX"
  int openFlag;        // 1 while the stream owns and reads a copy

 private:
  void Fail(int err);
  void CopyFault(const char* name, const char* what, int err);

  int sourceError = 0;
  tz::ListedTemp live;  // the copy, listed while it exists
  // The stream reads its copy through this buffer, in large blocks.
  std::unique_ptr<char[]> readBuffer;
};

#endif
