#include "nopath.h"

#include <cstring>

char* nopath(char* aFn) {
  char* slash = std::strrchr(aFn, '/');
  return slash ? slash + 1 : aFn;
}

std::ostream& operator<<(std::ostream& strm, const TzString& str) {
  if (str.Length() != 0) strm << static_cast<const char*>(str);
  return strm;
}
