#include "tzfile.h"

#include <sys/stat.h>

namespace tz {

bool SameFile(const char* a, const char* b) {
  struct stat sa, sb;
  return ::stat(a, &sa) == 0 && ::stat(b, &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

NameParts SplitName(const std::string& name) {
  const std::size_t slash = name.rfind('/');
  if (slash == std::string::npos) return {".", name};
  return {slash == 0 ? "/" : name.substr(0, slash), name.substr(slash + 1)};
}

}  // namespace tz
