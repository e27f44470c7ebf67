#include "input_f.h"

#include <sys/stat.h>

#include <memory>

#include "report_points.h"
#include "tzcheck.h"

Input_file::Input_file() { class_name = "Input_file"; }

Input_file::Input_file(const char* path) {
  class_name = "Input_file";
  Init(path);
}

Input_file::~Input_file() = default;

bool Input_file::Stock_fits_file(std::string&) { return true; }

Boolean Input_file::Init(const char* path) { return Init(path, 0); }

void Input_file::Cprint(FILE* f, const char* prefix) const {
  std::fprintf(f, "%sInput_file : %s<%s> %s \n", prefix ? prefix : "", Class_name(), Data_pack_type(),
               Object_name() ? Object_name() : "");
}

void Input_file::Oprint(FILE* f, const char* prefix) const { Cprint(f, prefix); }

void Input_file::Creq() {
  std::fprintf(stderr, "Cannot get data from %s \n", Object_name() ? Object_name() : "");
  throw 99;
}

// The modification time with the platform's full resolution. Dates beyond
// the range of 64-bit nanoseconds (before 1678, after 2262) are held at its
// ends, later than Not_read: never a wrapped value.
bool Input_file::File_status(const char* path, std::int64_t& mtime, std::int64_t& size) {
  struct stat st;
  if (!path || stat(path, &st) != 0) return false;
  constexpr std::int64_t ns = 1000000000;
  const std::int64_t sec = static_cast<std::int64_t>(st.st_mtim.tv_sec);
  if (sec >= INT64_MAX / ns)
    mtime = INT64_MAX;
  else if (sec <= INT64_MIN / ns)
    mtime = Input_file::Not_read + 1;
  else
    mtime = sec * ns + st.st_mtim.tv_nsec;
  size = static_cast<std::int64_t>(st.st_size);
  return true;
}

namespace {

// Closes the file being read, also when a stop leaves the read.
struct File_closer {
  void operator()(FILE* fp) const { std::fclose(fp); }
};

// The longest line of f, its line end included (a last line without one
// counts its characters), and in `total` the bytes of f; f is left at its
// end.
std::int64_t Longest_line(FILE* f, std::int64_t& total) {
  std::int64_t longest = 0;
  std::int64_t current = 0;
  total = 0;
  int c;
  while ((c = std::getc(f)) != EOF) {
    ++current;
    ++total;
    if (c == '\n') {
      if (current > longest) longest = current;
      current = 0;
    }
  }
  return current > longest ? current : longest;
}

}  // namespace

void Input_file::Input_data() {
  Set_data_pack_array();
  Reduce_data_pack_stock();

  const char* path = Object_name();
  std::int64_t mtime = 0, size = 0;
  if (!File_status(path, mtime, size)) {
    Report_read(Read_failure::no_status);
    return;
  }
  if (!Changed_since_read(mtime, size)) return;
  std::unique_ptr<FILE, File_closer> fp(std::fopen(path, "r"));
  if (!fp) {
    Report_read(Read_failure::not_opened);
    tz::stop(3);
  }
  const bool any = Stock_file(fp.get());
  fp.reset();
  if (!any) {
    Report_read(Read_failure::empty);
    return;
  }
  Set_data_pack_array();
  if (Number_of_data_packs() > 0) std::fprintf(stderr, "File: %s  newest data time : %d\n", path, Newest_data_time());
}

void Input_file::Report_read(Read_failure failure) const {
  switch (failure) {
    case Read_failure::no_status: Report(Input_f_point::no_status); return;
    case Read_failure::not_opened: Report_fopen(Input_f_point::cannot_open, Object_name(), "r"); return;
    case Read_failure::empty: Report(Input_f_point::file_empty); return;
  }
}

bool Input_file::Changed_since_read(std::int64_t mtime, std::int64_t size) {
  if (mtime == file_time_at_input && size == file_size_at_input) return false;
  file_time_at_input = mtime;
  file_size_at_input = size;
  return true;
}

bool Input_file::Stock_file(FILE* fp) {
  // First pass: the longest line, so that the buffer holds every line whole.
  std::int64_t total = 0;
  const std::int64_t longest = Longest_line(fp, total);
  if (longest == 0) return false;
  if (longest >= INT32_MAX) {
    Memory_site site(Input_f_point::line_buffer_memory, "char", INT32_MAX, 1, this);
    Memory_site::Out_of_memory();
  }
  const int size = static_cast<int>(longest) + 1;
  std::unique_ptr<char[]> buffer;
  {
    Memory_site site(Input_f_point::line_buffer_memory, "char", size, 1, this);
    buffer.reset(new char[static_cast<std::size_t>(size)]);
  }
  std::rewind(fp);
  if (!Stock_lines(fp, buffer.get(), size, total)) file_size_at_input = Unknown_size;
  return true;
}

bool Input_file::Stock_lines(FILE* fp, char* buffer, int size, std::int64_t total) {
  // One pack per data line, over the bytes counted in the first pass. What
  // is appended meanwhile (the file may grow while it is read) waits for the
  // next read, which its new size brings, rather than being cut into pieces
  // of the longest line counted.
  //
  // A line that lacks its line end although the file goes on after it (a
  // line rewritten longer, or one being written at the moment of the count)
  // or although the count promised more (a file cut short) was changed
  // while it was read: the read stops before it, so that no piece of a line
  // becomes a pack, and the file is read again at the next call whatever
  // its status says.
  std::int64_t remaining = total;
  while (remaining > 0) {
    char* line = buffer;
    int length = 0;
    int c;
    while (remaining > 0 && (c = std::getc(fp)) != EOF) {
      --remaining;
      line[length++] = static_cast<char>(c);
      // A file rewritten meanwhile may hold longer lines: never past the
      // buffer.
      if (c == '\n' || length == size - 1) break;
    }
    if (length == 0) return false;  // shorter than counted
    if (line[length - 1] != '\n' && (remaining > 0 || std::getc(fp) != EOF)) return false;
    line[length] = '\0';
    if (line[0] == '#') continue;
    while (*line == ' ' || *line == '\t') ++line;
    if (*line == '\n' || *line == '\0') continue;
    Stock(Make_data_pack(line));
  }
  return true;
}

// Every one of the thirteen value types is compiled here, used or not.
template class I_file<double>;
template class I_file<float>;
template class I_file<int>;
template class I_file<TzLong>;
template class I_file<QavlenString>;
template class I_file<Vary<double>>;
template class I_file<Vary<float>>;
template class I_file<Vary<int>>;
template class I_file<Vary<TzLong>>;
template class I_file<TzMatrix<double>>;
template class I_file<TzMatrix<float>>;
template class I_file<TzMatrix<int>>;
template class I_file<TzMatrix<TzLong>>;
