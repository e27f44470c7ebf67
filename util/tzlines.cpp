#include "tzlines.h"

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

bool ReadLine(std::FILE* f, std::string& line) {
  line.clear();
  int c;
  bool any = false;
  while ((c = std::getc(f)) != EOF) {
    any = true;
    if (c == '\n') break;
    line += static_cast<char>(c);
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return any;
}

bool SkipTo(std::FILE* f, std::string_view key) {
  FileLines lines{f, {}};
  std::string_view line;
  return SkipTo(lines, line, key);
}

}  // namespace tz
