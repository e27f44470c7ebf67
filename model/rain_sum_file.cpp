#include "rain_sum_file.h"

#include <cstdio>

#include "common.h"

RainSumFile::RainSumFile(const char* path) : path_(path ? path : "") { Reset(); }

void RainSumFile::Reset() {
  lines_.str(std::string());
  lines_.clear();
  created_ = false;
  dropped_ = false;
  failed_ = false;
}

bool RainSumFile::Create() {
  FILE* fp = std::fopen(path_.c_str(), "w");
  created_ = fp != nullptr && Close_written(fp, path_.c_str(), 0);
  if (created_) return true;
  failed_ = true;
  dropped_ = true;
  lines_.str(std::string());
  lines_.setstate(std::ios::badbit);
  Report("Cannot create " + path_ + ": the basin rain of the steps is not written.\n");
  return false;
}

bool RainSumFile::Write(bool create) { return Append(create, "the lines since are written with the next output"); }

bool RainSumFile::Close() {
  if (!Append(false, "the lines since are lost")) lines_.str(std::string());
  return !failed_;
}

bool RainSumFile::Append(bool create, const char* otherwise) {
  if (dropped_) return false;
  const std::string text = lines_.str();
  if (!created_) {
    if (text.empty() && !create) return true;
    if (!Create()) return false;
  }
  if (text.empty()) return true;
  off_t start = 0;
  FILE* fp = Open_to_append(path_.c_str(), start);
  if (fp) {
    std::fwrite(text.data(), 1, text.size(), fp);
    if (Close_written(fp, path_.c_str(), start)) {
      lines_.str(std::string());
      return true;
    }
  }
  failed_ = true;
  Report("Cannot write " + path_ + " (the disk may be full, or the file too large): " +
         "it keeps its lines up to the last output; " + otherwise + ".\n");
  return false;
}

void RainSumFile::Report(const std::string& message) const {
  std::fflush(stdout);
  std::fputs(message.c_str(), stderr);
}
