#include "tzlines.h"

#include <sys/types.h>

#include <cstring>

namespace tz {

namespace {

// The lines of a file, for the key search.
struct FileLines {
  std::FILE* f;
  std::string text;
  bool Next(std::string_view& line) {
    if (!ReadLine(f, text)) return false;
    line = text;
    return true;
  }
};

}  // namespace

bool BlankOnly(std::string_view line) {
  for (char c : line)
    if (!IsBlank(c)) return false;
  return true;
}

std::string_view UpToNul(std::string_view line) {
  if (line.empty()) return line;
  const void* nul = std::memchr(line.data(), '\0', line.size());
  return nul ? line.substr(0, static_cast<std::size_t>(static_cast<const char*>(nul) - line.data())) : line;
}

bool IsBlankLine(const char* line) { return BlankOnly(std::string_view(line, std::strcspn(line, "\n\r"))); }

bool ReadLine(std::FILE* f, std::string& line) {
  line.clear();
  int c;
  bool any = false;
  while ((c = std::getc(f)) != EOF) {
    any = true;
    if (c == '\n') break;
    line += static_cast<char>(c);
  }
  line.resize(WithoutCr(line).size());
  return any;
}

std::size_t ReadLine(std::FILE* f, char* buffer, std::size_t size) {
  const std::size_t most = size - 1;
  std::size_t n = 0;
  while (n < most) {
    const int c = std::getc(f);
    if (c == EOF) break;
    buffer[n++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  buffer[n] = '\0';
  return n;
}

bool SkipTo(std::FILE* f, std::string_view key) {
  FileLines lines{f, {}};
  std::string_view line;
  return SkipTo(lines, line, key);
}

LineReader::LineReader(std::istream& s, std::size_t block, unsigned options)
    : stream_(&s), cap_(block), buf_(cap_ + kPad), options_(options) {}

LineReader::LineReader(std::FILE* f, std::size_t block, unsigned options)
    : file_(f), cap_(block), buf_(cap_ + kPad), options_(options) {}

bool LineReader::NextUnfound(std::string_view& line) {
  for (;;) {
    if (eof_) {
      if (beg_ == end_) {
        line = std::string_view();
        return false;
      }
      line = std::string_view(buf_.data() + beg_, end_ - beg_);  // a last line without a line end
      beg_ = end_;
      return Hand(line, false);
    }
    Fill();
    const char* const b = buf_.data() + beg_;
    const void* const nl = std::memchr(b, '\n', end_ - beg_);
    if (nl != nullptr) {
      line = std::string_view(b, static_cast<std::size_t>(static_cast<const char*>(nl) - b));
      beg_ += line.size() + 1;
      return Hand(line, true);
    }
  }
}

bool LineReader::AtEnd() {
  while (beg_ == end_ && !eof_) Fill();
  return beg_ == end_;
}

bool LineReader::Seek(std::uint64_t at) {
  beg_ = end_ = 0;
  eof_ = false;
  read_ = at;
  if (stream_ != nullptr) {
    stream_->clear();
    stream_->seekg(static_cast<std::streamoff>(at));
    return !stream_->fail();
  }
  return file_ != nullptr && fseeko(file_, static_cast<off_t>(at), SEEK_SET) == 0;
}

// Keeps the unfinished line at the front of the block, with room behind
// it, and reads more; at the end of the input eof_ is set.
void LineReader::Fill() {
  if (beg_ > 0) {
    std::memmove(buf_.data(), buf_.data() + beg_, end_ - beg_);
    end_ -= beg_;
    beg_ = 0;
  }
  if (end_ == cap_) {
    cap_ *= 2;
    buf_.resize(cap_ + kPad);
  }
  std::size_t got = 0;
  if (stream_ != nullptr) {
    stream_->read(buf_.data() + end_, static_cast<std::streamsize>(cap_ - end_));
    got = static_cast<std::size_t>(stream_->gcount());
  } else if (file_ != nullptr) {
    got = std::fread(buf_.data() + end_, 1, cap_ - end_, file_);
  }
  end_ += got;
  read_ += got;
  if (got == 0) eof_ = true;
}

}  // namespace tz
