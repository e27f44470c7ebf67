#include "outfile.h"

#include <sys/stat.h>

#include "tzfile.h"

namespace tzframe {

bool one_file(const std::string& a, const std::string& b) {
  struct stat st;
  if (stat(a.c_str(), &st) == 0 || stat(b.c_str(), &st) == 0) return tz::SameFile(a.c_str(), b.c_str());
  if (a == b) return true;
  const tz::NameParts pa = tz::SplitName(a), pb = tz::SplitName(b);
  return !pa.last.empty() && pa.last == pb.last && tz::SameFile(pa.folder.c_str(), pb.folder.c_str());
}

bool PendingOutput::Open() {
  const char* name = file.Create();
  if (name == nullptr) return false;
  out.open(name, std::ios::out | std::ios::trunc);
  if (!out) file.Discard();
  return static_cast<bool>(out);
}

bool PendingOutput::Close() {
  out.close();
  return !out.fail();
}

void PendingOutput::Discard() {
  if (out.is_open()) out.close();
  file.Discard();
}

}  // namespace tzframe
