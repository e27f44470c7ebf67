// Files by name.
#ifndef TZFILE_H
#define TZFILE_H

#include <string>

namespace tz {

// Whether the two names lead to one existing file (the same file however it
// is reached: "./x" and "x", a link and its target).
bool SameFile(const char* a, const char* b);

// The folder for temporary copies: the environment's TMPDIR when it is set
// and not empty, else /tmp. It is not checked: a folder that does not exist
// or cannot be written shows when a copy cannot be made there.
std::string TempFolder();

}  // namespace tz

#endif
