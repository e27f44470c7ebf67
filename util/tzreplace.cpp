#include "tzreplace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>

#include "tzfile.h"

namespace tz {

namespace {

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

// Make's answer for a name written in place.
constexpr int kInPlace = -2;

// Makes the rename of a file in `target`'s folder durable.
void sync_folder(const std::string& target) {
  int fd = ::open(SplitName(target).folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return;
  (void)::fsync(fd);
  ::close(fd);
}

ReplacementBatch* g_batch = nullptr;  // the outermost batch alive

}  // namespace

// ---- one file ----

FileReplacement::FileReplacement(std::string path) : path_(std::move(path)), target_(path_) {}

FileReplacement::~FileReplacement() { Discard(); }

// Creates the temporary file: its descriptor, open for writing; kInPlace
// for a name written in place; -1 when neither can be (the failure noted).
int FileReplacement::Make() {
  Discard();
  target_ = path_;
  synced_ = false;
  struct stat st;
  if (path_.empty()) {
    errno = ENOENT;
    Failed();
    return -1;
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
    return -1;
  }
  if (exists && !S_ISREG(st.st_mode)) return kInPlace;
  if (exists && access(target_.c_str(), W_OK) != 0) {
    Failed();
    return -1;
  }
  const mode_t mode = new_mode(exists ? &st : nullptr);
  const std::size_t base = target_.rfind('/') + 1;  // 0 without a folder
  std::string name = target_.substr(0, base) + target_.substr(base, kTempBase) + ".XXXXXX";
  int fd = mkstemp(name.data());
  if (fd < 0) {
    Failed();
    return -1;
  }
  temp_ = std::move(name);
  listed_.Track(temp_);
  if (fchmod(fd, mode) != 0) {
    ::close(fd);
    Failed();
    return -1;
  }
  return fd;
}

std::FILE* FileReplacement::Open() {
  const int fd = Make();
  if (fd == -1) return nullptr;
  fp_ = fd == kInPlace ? std::fopen(target_.c_str(), "w") : fdopen(fd, "w");
  if (!fp_) {
    if (fd >= 0) ::close(fd);
    Failed();
  }
  return fp_;
}

const char* FileReplacement::Create() {
  const int fd = Make();
  if (fd == -1) return nullptr;
  if (fd == kInPlace) return target_.c_str();
  ::close(fd);
  return temp_.c_str();
}

bool FileReplacement::Close() {
  if (!fp_) return false;
  std::FILE* fp = fp_;
  fp_ = nullptr;
  bool ok = std::fflush(fp) == 0 && std::ferror(fp) == 0;
  if (ok && !temp_.empty()) ok = synced_ = ::fsync(fileno(fp)) == 0;
  if (std::fclose(fp) != 0) ok = false;
  if (!ok) Failed();
  return ok;
}

bool FileReplacement::Commit() {
  if (temp_.empty()) return true;
  if (g_batch) {
    g_batch->pending_.push_back(ReplacementBatch::Pending{path_, temp_, target_, std::move(listed_), synced_});
    temp_.clear();
    return true;
  }
  if (std::rename(temp_.c_str(), target_.c_str()) != 0) return false;
  listed_.Untrack();
  temp_.clear();
  if (synced_) sync_folder(target_);
  return true;
}

void FileReplacement::Discard() {
  if (fp_) {
    std::fclose(fp_);
    fp_ = nullptr;
  }
  if (temp_.empty()) return;
  std::remove(temp_.c_str());
  listed_.Untrack();
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
    p.listed.Untrack();
    if (p.synced) sync_folder(p.target);
  }
  pending_.clear();
  return true;
}

void ReplacementBatch::Discard() {
  for (Pending& p : pending_) {
    std::remove(p.temp.c_str());
    p.listed.Untrack();
  }
  pending_.clear();
}

}  // namespace tz
