#include "tzreplace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace tz {

namespace {

// The temporary files not yet in place, in fixed storage that a signal
// handler can walk: an entry is filled before it is marked used.
constexpr int kSlots = 32;
constexpr std::size_t kSlotPath = 4096;
struct Slot {
  volatile std::sig_atomic_t used;
  char path[kSlotPath];
};
Slot g_slots[kSlots];
bool g_at_exit = false;

void remove_at_exit() { RemovePendingTemporaries(); }

// An entry for `path`; -1 when none is free or the path is too long (the
// file is then removed only by its owner).
int hold(const std::string& path) {
  if (!g_at_exit) g_at_exit = std::atexit(remove_at_exit) == 0;
  if (path.size() >= kSlotPath) return -1;
  for (int k = 0; k < kSlots; ++k) {
    if (g_slots[k].used) continue;
    std::memcpy(g_slots[k].path, path.c_str(), path.size() + 1);
    g_slots[k].used = 1;
    return k;
  }
  return -1;
}

void release(int slot) {
  if (slot >= 0) g_slots[slot].used = 0;
}

// The permissions the new file gets: those of the file it replaces, or
// those of a new file.
mode_t new_mode(const struct stat* replaced) {
  if (replaced) return replaced->st_mode & 07777;
  mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

// The longest last part kept in a temporary name, so that with ".XXXXXX"
// it stays within the 255 characters a folder entry may have.
constexpr std::size_t kTempBase = 248;

// Makes the rename of a file in `target`'s folder durable.
void sync_folder(const std::string& target) {
  const std::size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return;
  (void)::fsync(fd);
  ::close(fd);
}

ReplacementBatch* g_batch = nullptr;  // the outermost batch alive

}  // namespace

void RemovePendingTemporaries() noexcept {
  for (Slot& s : g_slots)
    if (s.used) {
      ::unlink(s.path);
      s.used = 0;
    }
}

// ---- one file ----

FileReplacement::FileReplacement(std::string path) : path_(std::move(path)), target_(path_) {}

FileReplacement::~FileReplacement() { Discard(); }

std::FILE* FileReplacement::Open() {
  Discard();
  target_ = path_;
  struct stat st;
  if (path_.empty()) {
    errno = ENOENT;
    Failed();
    return nullptr;
  }
  if (lstat(target_.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char* real = realpath(target_.c_str(), nullptr)) {
      target_ = real;
      std::free(real);
    }
  }
  const bool exists = stat(target_.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) {
    errno = EISDIR;
    Failed();
    return nullptr;
  }
  if (exists && !S_ISREG(st.st_mode)) {
    fp_ = std::fopen(target_.c_str(), "w");
    if (!fp_) Failed();
    return fp_;
  }
  if (exists && access(target_.c_str(), W_OK) != 0) {
    Failed();
    return nullptr;
  }
  const mode_t mode = new_mode(exists ? &st : nullptr);
  const std::size_t base = target_.rfind('/') + 1;  // 0 without a folder
  std::string name = target_.substr(0, base) + target_.substr(base, kTempBase) + ".XXXXXX";
  int fd = mkstemp(name.data());
  if (fd < 0) {
    Failed();
    return nullptr;
  }
  temp_ = name;
  slot_ = hold(temp_);
  if (fchmod(fd, mode) != 0 || !(fp_ = fdopen(fd, "w"))) {
    ::close(fd);
    Failed();
    return nullptr;
  }
  return fp_;
}

bool FileReplacement::Close() {
  if (!fp_) return false;
  std::FILE* fp = fp_;
  fp_ = nullptr;
  bool ok = std::fflush(fp) == 0 && std::ferror(fp) == 0;
  if (ok && !temp_.empty()) ok = ::fsync(fileno(fp)) == 0;
  if (std::fclose(fp) != 0) ok = false;
  if (!ok) Failed();
  return ok;
}

bool FileReplacement::Commit() {
  if (temp_.empty()) return true;
  if (g_batch) {
    g_batch->pending_.push_back(ReplacementBatch::Pending{path_, temp_, target_, slot_});
    temp_.clear();
    slot_ = -1;
    return true;
  }
  if (std::rename(temp_.c_str(), target_.c_str()) != 0) return false;
  release(slot_);
  slot_ = -1;
  temp_.clear();
  sync_folder(target_);
  return true;
}

void FileReplacement::Discard() {
  if (fp_) {
    std::fclose(fp_);
    fp_ = nullptr;
  }
  if (temp_.empty()) return;
  std::remove(temp_.c_str());
  release(slot_);
  slot_ = -1;
  temp_.clear();
}

void FileReplacement::Failed() {
  Discard();
  if (g_batch) g_batch->Fail();
}

// ---- several files together ----

ReplacementBatch::ReplacementBatch() : outer_(g_batch) {
  if (!outer_) g_batch = this;
}

ReplacementBatch::~ReplacementBatch() {
  if (outer_) return;
  Discard();
  g_batch = nullptr;
}

void ReplacementBatch::Fail() {
  if (outer_) {
    outer_->Fail();
    return;
  }
  failed_ = true;
}

bool ReplacementBatch::Failed() const { return outer_ ? outer_->Failed() : failed_; }

bool ReplacementBatch::Commit(std::string* unplaced) {
  if (outer_) return true;
  if (failed_) {
    Discard();
    return false;
  }
  for (std::size_t k = 0; k < pending_.size(); ++k) {
    Pending& p = pending_[k];
    if (std::rename(p.temp.c_str(), p.target.c_str()) != 0) {
      if (unplaced) *unplaced = p.name;
      pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(k));
      Discard();
      return false;
    }
    release(p.slot);
    sync_folder(p.target);
  }
  pending_.clear();
  return true;
}

void ReplacementBatch::Discard() {
  for (Pending& p : pending_) {
    std::remove(p.temp.c_str());
    release(p.slot);
  }
  pending_.clear();
}

}  // namespace tz
