#include "tzfile.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

namespace tz {

bool SameFile(const char* a, const char* b) {
  struct stat sa, sb;
  return ::stat(a, &sa) == 0 && ::stat(b, &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

std::string TempFolder() {
  const char* dir = std::getenv("TMPDIR");
  if (dir != nullptr && *dir != '\0') return dir;
#ifdef P_tmpdir
  return P_tmpdir;
#else
  return "/tmp";
#endif
}

}  // namespace tz
