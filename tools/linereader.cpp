#include "linereader.h"

#include <sys/types.h>

#include <cstdio>
#include <cstring>

namespace tzframe {

LineReader::LineReader(std::istream& s, std::size_t block) : stream_(&s), cap_(block), buf_(cap_ + kPad) {}

LineReader::LineReader(std::FILE* f, std::size_t block) : file_(f), cap_(block), buf_(cap_ + kPad) {}

bool LineReader::Next(std::string_view& line) {
  for (;;) {
    const char* b = buf_.data() + beg_;
    const void* nl = std::memchr(b, '\n', end_ - beg_);
    if (nl != nullptr) {
      line = std::string_view(b, static_cast<std::size_t>(static_cast<const char*>(nl) - b));
      beg_ += line.size() + 1;
      return true;
    }
    if (eof_) {
      if (beg_ == end_) {
        line = std::string_view();
        return false;
      }
      line = std::string_view(b, end_ - beg_);  // a last line without a line end
      beg_ = end_;
      return true;
    }
    Fill();
  }
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

}  // namespace tzframe
