#include "tempfiles.h"

#include <cstdio>
#include <cstdlib>

namespace tzframe {

namespace {
LiveTemp* g_first = nullptr;  // the newest listed file
}  // namespace

bool temp_folder_from_env() {
  const char* dir = std::getenv("TMPDIR");
  return dir != nullptr && *dir != '\0';
}

std::string temp_folder() { return temp_folder_from_env() ? std::getenv("TMPDIR") : "/tmp"; }

void LiveTemp::Track(const char* path) {
  Untrack();
  path_ = path;
  prev_ = nullptr;
  next_ = g_first;
  if (g_first) g_first->prev_ = this;
  g_first = this;
}

void LiveTemp::Untrack() {
  if (path_ == nullptr) return;
  if (prev_)
    prev_->next_ = next_;
  else
    g_first = next_;
  if (next_) next_->prev_ = prev_;
  path_ = nullptr;
  prev_ = next_ = nullptr;
}

void remove_temp_files() {
  while (LiveTemp* t = g_first) {
    std::remove(t->path_);
    t->Untrack();
  }
}

}  // namespace tzframe
