#include "outfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "tzfile.h"

namespace tzframe {

namespace {

// The folder of a name ("." when it names none) and its last part.
std::pair<std::string, std::string> split_name(const std::string& name) {
  std::size_t slash = name.rfind('/');
  if (slash == std::string::npos) return {".", name};
  return {slash == 0 ? "/" : name.substr(0, slash), name.substr(slash + 1)};
}

// The permissions the file made for target gets: those of the file it
// replaces, or those of a new file (the process's umask applied).
mode_t new_mode(const struct stat* replaced) {
  if (replaced) return replaced->st_mode & 07777;
  mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

// The longest last part kept in a temporary name, so that with ".XXXXXX"
// it stays within the 255 characters a folder entry may have.
const std::size_t kTempBase = 248;

}  // namespace

bool one_file(const std::string& a, const std::string& b) {
  struct stat st;
  if (stat(a.c_str(), &st) == 0 || stat(b.c_str(), &st) == 0) return tz::SameFile(a.c_str(), b.c_str());
  if (a == b) return true;
  std::pair<std::string, std::string> pa = split_name(a), pb = split_name(b);
  return !pa.second.empty() && pa.second == pb.second && tz::SameFile(pa.first.c_str(), pb.first.c_str());
}

PendingOutput::PendingOutput(std::string name) : target(std::move(name)) {}

PendingOutput::~PendingOutput() { Discard(); }

bool PendingOutput::Open() {
  if (target.empty()) return false;
  struct stat st;
  if (lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char* real = realpath(target.c_str(), nullptr)) {
      target = real;
      std::free(real);
    }
  }
  const bool exists = stat(target.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) return false;
  if (exists && !S_ISREG(st.st_mode)) {
    out.open(target, std::ios::out | std::ios::trunc);
    return static_cast<bool>(out);
  }
  if (exists && access(target.c_str(), W_OK) != 0) return false;
  const mode_t mode = new_mode(exists ? &st : nullptr);

  const std::size_t base = target.rfind('/') + 1;  // 0 without a folder
  // The name is made before the file, so that the file is listed as soon
  // as it exists.
  temp = target.substr(0, base) + target.substr(base, kTempBase) + ".XXXXXX";
  int fd = mkstemp(temp.data());
  if (fd < 0) {
    temp.clear();
    return false;
  }
  live.Track(temp.c_str());
  const bool made = fchmod(fd, mode) == 0;
  ::close(fd);
  if (made) out.open(temp, std::ios::out | std::ios::trunc);
  if (!made || !out) {
    Discard();
    return false;
  }
  return true;
}

bool PendingOutput::Close() {
  out.close();
  return !out.fail();
}

bool PendingOutput::Commit() {
  if (temp.empty()) return true;
  if (std::rename(temp.c_str(), target.c_str()) != 0) return false;
  live.Untrack();
  temp.clear();
  return true;
}

void PendingOutput::Discard() {
  if (out.is_open()) out.close();
  if (temp.empty()) return;
  std::remove(temp.c_str());
  live.Untrack();
  temp.clear();
}

}  // namespace tzframe
