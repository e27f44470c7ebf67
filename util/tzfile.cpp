#include "tzfile.h"

#include <sys/stat.h>

namespace tz {

bool SameFile(const char* a, const char* b) {
  struct stat sa, sb;
  return ::stat(a, &sa) == 0 && ::stat(b, &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

}  // namespace tz
