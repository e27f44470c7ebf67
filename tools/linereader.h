// The lines of a tool's input, read in large blocks and handed out where
// they stand in the block, so that no line is copied.
#ifndef LINEREADER_H
#define LINEREADER_H

#include <cstdint>
#include <cstdio>
#include <istream>
#include <string_view>
#include <vector>

#include "tzdefs.h"

namespace tzframe {

// A line is its characters without the '\n' that ends it; a last line
// without a line end is a line like any other; an empty line is an empty
// view, told apart from the end of the input. A line stays valid until the
// next call of Next or Seek, and kPad bytes behind its end may be read
// (they belong to the block). A line longer than the block doubles it.
class LineReader {
 public:
  static constexpr std::size_t kPad = 64;
  static constexpr std::size_t kBlock = TzIoBlock(std::size_t(1) << 20);

  explicit LineReader(std::istream& s, std::size_t block = kBlock);
  // A null file has no lines.
  explicit LineReader(std::FILE* f, std::size_t block = kBlock);
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // The next line; false at the end of the input, with line empty.
  bool Next(std::string_view& line);
  // The offset in the input of the first byte not yet handed out.
  std::uint64_t Tell() const { return read_ - (end_ - beg_); }
  // Goes on reading from offset at of the input; false when the input
  // cannot be positioned there.
  bool Seek(std::uint64_t at);

 private:
  void Fill();

  std::istream* stream_ = nullptr;
  std::FILE* file_ = nullptr;
  std::size_t cap_;
  std::vector<char> buf_;  // cap_ bytes of block and the pad
  std::size_t beg_ = 0, end_ = 0;  // the bytes of the block not handed out yet
  std::uint64_t read_ = 0;         // the offset after the last byte read
  bool eof_ = false;
};

}  // namespace tzframe

#endif
