// What a line is: the lines of the suite's text files, how they end, which
// of them are blank, and the readers that hand them out.
//
// The network, parameter and state files of the model and the files of the
// tools share one layout: header keys ("[Data Format Name]", "[Number of
// Total Edges]", "[Data]", "[Comment]") found as the beginning of a line,
// each followed by its value or its records, and lines of blanks that hold
// nothing. The tests below take a line without its line end; the key
// searches read lines from a stream until one begins with the key. A line
// of a file written on another system may end in "\r\n": its carriage
// return is either dropped with the line end (WithoutCr, the readers that
// are asked to) or taken as a blank.
#ifndef TZLINES_H
#define TZLINES_H

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

#include "tzdefs.h"

namespace tz {

// Whether line begins with every character of key.
inline bool BeginsWith(std::string_view line, std::string_view key) {
  return line.size() >= key.size() && line.compare(0, key.size(), key) == 0;
}

// Whether c is a blank of a line: the blank, the tab, or the carriage
// return (the rest of a CRLF line end).
inline bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// Whether line holds blanks only (an empty line does). A NUL character is
// not a blank: a reader that sees its lines as C strings tests
// BlankOnly(UpToNul(line)).
bool BlankOnly(std::string_view line);

// The line as a C string shows it: up to its first NUL character.
std::string_view UpToNul(std::string_view line);

// The line without the carriage return a CRLF line end leaves at its end.
inline std::string_view WithoutCr(std::string_view line) {
  return !line.empty() && line.back() == '\r' ? line.substr(0, line.size() - 1) : line;
}

// Whether a line read as a C string with its line end (as fgets reads it)
// holds blanks only before that end: its first '\n' or '\r' (the start of
// a CRLF line end), or the end of the string.
bool IsBlankLine(const char* line);

// Reads lines with in.Next(line) up to and including the first one that
// begins with key, and leaves it in line; false when the lines end first.
// Every line passed over is handed to passed(line) (a reader that copies
// them). Lines is any reader whose bool Next(std::string_view&) gives the
// next line (empty lines included) and false at the end.
template <class Lines, class Passed>
bool SkipTo(Lines& in, std::string_view& line, std::string_view key, Passed passed) {
  while (in.Next(line)) {
    if (BeginsWith(line, key)) return true;
    passed(line);
  }
  return false;
}

template <class Lines>
bool SkipTo(Lines& in, std::string_view& line, std::string_view key) {
  return SkipTo(in, line, key, [](std::string_view) {});
}

// One whole line of f without its line end (the '\n' and, by WithoutCr,
// one '\r' before it), read character by character, so that f stands just
// after the line for the formatted reads that follow; false when the file
// has ended. An empty line is a line.
bool ReadLine(std::FILE* f, std::string& line);

// Reads one line of f, its line end included, or its first size - 1
// characters (size at least 1) into buffer and ends it with a NUL, as fgets
// does; the number of characters read (0 at the end of the file), so that
// a line holding a NUL byte is still measured by its real length.
std::size_t ReadLine(std::FILE* f, char* buffer, std::size_t size);

// Reads lines of f up to and including the first one that begins with key;
// false when the file ends first. f then stands after that line.
bool SkipTo(std::FILE* f, std::string_view key);

// The lines of a file or a stream, read in large blocks and handed out
// where they stand in the block, so that no line is copied. A line is its
// characters without the '\n' that ends it; a last line without a line end
// is a line too; an empty line is an empty view, told apart from the end
// of the input. A line stays valid until the next call of Next or Seek, and
// kPad bytes behind its end may be read (they belong to the block). A line
// longer than the block doubles it: nothing grows with the input but the
// longest line.
class LineReader {
 public:
  // What a reader does beyond handing out the lines; combined with '|'.
  enum Option : unsigned {
    kPlain = 0,
    kStripCr = 1u,      // a '\r' at the end of a line is dropped (WithoutCr)
    kCountLines = 2u,   // Number() counts the lines handed out
    kTellUnended = 4u,  // Ended() tells a last line without its line end
  };
  static constexpr std::size_t kPad = 64;
  static constexpr std::size_t kBlock = TzIoBlock(std::size_t(1) << 20);

  explicit LineReader(std::istream& s, std::size_t block = kBlock, unsigned options = kPlain);
  // A null file has no lines.
  explicit LineReader(std::FILE* f, std::size_t block = kBlock, unsigned options = kPlain);
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // The next line; false at the end of the input, with line empty.
  bool Next(std::string_view& line) {
    const char* const b = buf_.data() + beg_;
    const void* const nl = std::memchr(b, '\n', end_ - beg_);
    if (nl == nullptr) return NextUnfound(line);
    line = std::string_view(b, static_cast<std::size_t>(static_cast<const char*>(nl) - b));
    beg_ += line.size() + 1;
    return Hand(line, true);
  }
  // With kCountLines, the number of the line Next gave last (1 for the
  // first line); 0 otherwise.
  std::int64_t Number() const { return number_; }
  // With kTellUnended, whether the line Next gave last has its line end (a
  // last line without one may be a line another program is still writing);
  // true otherwise.
  bool Ended() const { return ended_; }
  // Whether no byte is left to be handed out: at the start, whether the
  // input is empty.
  bool AtEnd();
  // The offset in the input of the first byte not yet handed out.
  std::uint64_t Tell() const { return read_ - (end_ - beg_); }
  // Goes on reading from offset at of the input; false when the input
  // cannot be positioned there.
  bool Seek(std::uint64_t at);

 private:
  // The line when no line end is left in the block: more is read, or the
  // input ends.
  bool NextUnfound(std::string_view& line);
  // Hands out line, ended when its line end was found.
  bool Hand(std::string_view& line, bool ended) {
    if (options_ != kPlain) Apply(line, ended);
    return true;
  }
  void Apply(std::string_view& line, bool ended) {
    if (options_ & kStripCr) line = WithoutCr(line);
    if (options_ & kCountLines) ++number_;
    if (options_ & kTellUnended) ended_ = ended;
  }
  void Fill();

  std::istream* stream_ = nullptr;
  std::FILE* file_ = nullptr;
  std::size_t cap_;
  std::vector<char> buf_;          // cap_ bytes of block and the pad
  std::size_t beg_ = 0, end_ = 0;  // the bytes of the block not handed out yet
  std::uint64_t read_ = 0;         // the offset after the last byte read
  bool eof_ = false;
  const unsigned options_;
  std::int64_t number_ = 0;
  bool ended_ = true;
};

}  // namespace tz

#endif
