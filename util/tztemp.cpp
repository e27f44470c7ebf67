#include "tztemp.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace tz {

namespace {

// The listed files in fixed storage that a signal handler can walk: an
// entry is filled before it is marked used. Its owner tells whether the
// entry is still the owner's after a removal freed it for another.
constexpr int kSlots = 32;
constexpr std::size_t kSlotPath = 4096;
struct Slot {
  volatile std::sig_atomic_t used;
  const ListedTemp* owner;
  char path[kSlotPath];
};
Slot g_slots[kSlots];
bool g_at_exit = false;

void remove_at_exit() { RemoveTemporaries(); }

}  // namespace

std::string TempFolder() {
  if (TempFolderFromEnv()) return std::getenv("TMPDIR");
#ifdef P_tmpdir
  return P_tmpdir;
#else
  return "/tmp";
#endif
}

bool TempFolderFromEnv() {
  const char* dir = std::getenv("TMPDIR");
  return dir != nullptr && *dir != '\0';
}

std::string CopyFaultLine(const std::string& path, const char* what, int cause) {
  return "File: " + path + ": its copy without comments cannot be " + what + " in " + TempFolder() + ": " +
         std::strerror(cause) + " (TMPDIR names the folder of such copies)";
}

ListedTemp::ListedTemp(ListedTemp&& other) noexcept { *this = std::move(other); }

ListedTemp& ListedTemp::operator=(ListedTemp&& other) noexcept {
  if (this == &other) return *this;
  Untrack();
  if (other.Listed()) {
    slot_ = other.slot_;
    g_slots[slot_].owner = this;
  }
  other.slot_ = -1;
  return *this;
}

bool ListedTemp::Track(const std::string& path) {
  Untrack();
  if (!g_at_exit) g_at_exit = std::atexit(remove_at_exit) == 0;
  if (path.size() >= kSlotPath) return false;
  for (int k = 0; k < kSlots; ++k) {
    Slot& s = g_slots[k];
    if (s.used) continue;
    std::memcpy(s.path, path.c_str(), path.size() + 1);
    s.owner = this;
    std::atomic_signal_fence(std::memory_order_release);
    s.used = 1;
    slot_ = k;
    return true;
  }
  return false;
}

void ListedTemp::Untrack() {
  if (Listed()) g_slots[slot_].used = 0;
  slot_ = -1;
}

bool ListedTemp::Listed() const { return slot_ >= 0 && g_slots[slot_].used && g_slots[slot_].owner == this; }

void RemoveTemporaries() noexcept {
  for (Slot& s : g_slots)
    if (s.used) {
      ::unlink(s.path);
      s.used = 0;
    }
}

}  // namespace tz
