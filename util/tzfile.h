// Files by name.
#ifndef TZFILE_H
#define TZFILE_H

namespace tz {

// Whether the two names lead to one existing file (the same file however it
// is reached: "./x" and "x", a link and its target).
bool SameFile(const char* a, const char* b);

}  // namespace tz

#endif
