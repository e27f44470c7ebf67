// Files by name.
#ifndef TZFILE_H
#define TZFILE_H

#include <string>

namespace tz {

// Whether the two names lead to one existing file (the same file however it
// is reached: "./x" and "x", a link and its target).
bool SameFile(const char* a, const char* b);

// The folder of a name ("." when it names none, "/" for one in the root)
// and its last part (empty after a final slash).
struct NameParts {
  std::string folder, last;
};
NameParts SplitName(const std::string& name);

}  // namespace tz

#endif
