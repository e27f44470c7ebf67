#include "fuzz_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <new>

#include "tzcheck.h"

// Sanitizer defaults of every target. An allocation larger than 64 MB
// fails as the platform's out-of-memory would (the new handler runs, new
// throws: the suite's own report and status follow) instead of being
// taken as a crash. Leaks are
// not looked for: a stop unwinds through code that holds memory by plain
// pointers, which in the programs the end of the process frees (the
// sanitizer build of the tests checks the normal paths for leaks).
extern "C" const char* __asan_default_options() {
  return "allocator_may_return_null=1:max_allocation_size_mb=64:quarantine_size_mb=64:detect_leaks=0";
}
extern "C" const char* __ubsan_default_options() { return "print_stacktrace=1:halt_on_error=1"; }

// The plain forms of new and delete over malloc and free: AddressSanitizer's
// own operator new ends the program on an allocation it refuses, even when
// its malloc may return null; these fail the standard way. (Mixed forms,
// new with delete[], are no longer reported.)
namespace {
void* allocate(std::size_t n) {
  for (;;) {
    if (void* p = std::malloc(n ? n : 1)) return p;
    std::new_handler h = std::get_new_handler();
    if (!h) throw std::bad_alloc();
    h();
  }
}
void* allocate(std::size_t n, const std::nothrow_t&) noexcept {
  try {
    return allocate(n);
  } catch (...) {
    return nullptr;
  }
}
}  // namespace

void* operator new(std::size_t n) { return allocate(n); }
void* operator new[](std::size_t n) { return allocate(n); }
void* operator new(std::size_t n, const std::nothrow_t& t) noexcept { return allocate(n, t); }
void* operator new[](std::size_t n, const std::nothrow_t& t) noexcept { return allocate(n, t); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

// glibc's list of the open FILE streams.
struct _IO_FILE_plus;
extern "C" _IO_FILE_plus* _IO_list_all;

namespace fz {

namespace {

// The working folder; made on first use and never destroyed, so that it
// serves static initialisers of the programs and the exit handler alike.
std::string& dir() {
  static std::string* d = new std::string;
  return *d;
}

[[noreturn]] void throwing_hook(int status) { throw Stopped{status}; }

void remove_dir() {
  if (dir().empty()) return;
  std::error_code ec;
  std::filesystem::remove_all(dir(), ec);
}

}  // namespace

void setup() {
  tz::set_stop_hook(throwing_hook);
  if (!dir().empty()) return;
  struct stat st;
  std::string base = stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) ? "/dev/shm" : "/tmp";
  std::string templ = base + "/tzfuzz.XXXXXX";
  std::vector<char> buf(templ.begin(), templ.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) {
    std::perror("tzfuzz working folder");
    std::abort();
  }
  dir() = buf.data();
  std::atexit(remove_dir);
}

Open_files open_files() {
  Open_files now;
  for (std::FILE* f = reinterpret_cast<std::FILE*>(_IO_list_all); f; f = f->_chain) now.streams.push_back(f);
  std::sort(now.streams.begin(), now.streams.end());
  DIR* d = opendir("/proc/self/fd");
  if (!d) return now;
  const int own = dirfd(d);
  while (const dirent* e = readdir(d)) {
    const int fd = std::atoi(e->d_name);
    if (fd > 2 && fd != own) now.fds.push_back(fd);
  }
  closedir(d);
  std::sort(now.fds.begin(), now.fds.end());
  return now;
}

void close_files_since(const Open_files& before) {
  const Open_files now = open_files();
  for (std::FILE* f : now.streams)
    if (!std::binary_search(before.streams.begin(), before.streams.end(), f)) std::fclose(f);
  for (int fd : open_files().fds)
    if (!std::binary_search(before.fds.begin(), before.fds.end(), fd)) close(fd);
}

namespace {
int g_start_dir = -1;
}

void enter_working_folder() {
  setup();
  if (g_start_dir < 0) g_start_dir = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (chdir(dir().c_str()) != 0) {
    std::perror(dir().c_str());
    std::abort();
  }
}

void leave_working_folder() {
  if (g_start_dir >= 0 && fchdir(g_start_dir) != 0) {
    std::perror("tzfuzz start folder");
    std::abort();
  }
}

std::string path(const char* name) { return dir() + "/" + name; }

std::string write_file(const char* name, std::string_view bytes) {
  const std::string p = path(name);
  std::FILE* f = std::fopen(p.c_str(), "wb");
  if (!f) {
    std::perror(p.c_str());
    std::abort();
  }
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  return p;
}

void feed_stdin(const char* name, std::string_view bytes) {
  const std::string p = write_file(name, bytes);
  if (!std::freopen(p.c_str(), "rb", stdin)) {
    std::perror(p.c_str());
    std::abort();
  }
  std::cin.clear();
}

std::vector<std::string_view> split(const std::uint8_t* data, std::size_t size, std::size_t n) {
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  std::vector<std::string_view> parts;
  while (parts.size() + 1 < n) {
    std::size_t at = rest.find(kSeparator);
    if (at == std::string_view::npos) break;
    parts.push_back(rest.substr(0, at));
    rest.remove_prefix(at + kSeparator.size());
  }
  parts.push_back(rest);
  while (parts.size() < n) parts.push_back(std::string_view());
  return parts;
}

}  // namespace fz
