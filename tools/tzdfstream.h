// TzDfstream: an input file stream over a comment-free temporary copy of a
// text file.
//
// A '#' starts a comment that runs to the end of its line; a whole-line
// comment vanishes with its newline, a trailing comment leaves the newline.
// Text between apostrophes or double quotes is copied verbatim ('#' and
// newlines included). Empty lines stay. A quoted stretch or a comment that
// the end of the file leaves open stops the program, after one line naming
// the file and the line where the stretch opened. The copy is made in /tmp when the
// stream is opened and removed when it is closed or destroyed; the source
// file is only read. Reading uses the ordinary stream operations.
#ifndef TZDFSTREAM_H
#define TZDFSTREAM_H

#include <fstream>
#include <memory>

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

 protected:
  char dfname[128];  // the copy's name, made from "/tmp/tzdfstream.XXXXXX"
  int openFlag;      // 1 while the stream owns and reads a copy

 private:
  // The stream reads its copy through this buffer, in large blocks.
  std::unique_ptr<char[]> readBuffer;
};

#endif
