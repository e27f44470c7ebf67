#include "common.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <istream>
#include <new>

#include "object.h"
#include "report_points.h"
#include "tzcheck.h"

const char* const Mysdir = "QAVLENSDIR";

namespace {

const char* text_or_empty(const char* s) { return s ? s : ""; }

// Innermost active allocation site, and whether a memory report is being
// written (an allocation failing inside the report ends the program at once).
Memory_site* g_site = nullptr;
bool g_reporting = false;

struct Handler_installer {
  Handler_installer() { std::set_new_handler(&Memory_site::Out_of_memory); }
};
Handler_installer g_installer;

// Echoes the explanation from an open file; see Print_comments.
void echo_comment(FILE* in, FILE* out, int line, const char* prefix) {
  int c;
  for (int skipped = 1; skipped < line; ++skipped) {
    while ((c = std::getc(in)) != '\n') {
      if (c == EOF) return;
    }
  }
  // Scan at most 11 lines for the first "//"; then echo every following
  // line that holds "//", from after the slashes up to its line end.
  bool echoing = false;
  for (int scanned = 0; echoing || scanned < 11; ++scanned) {
    int prev = 0;
    bool found = false;
    while ((c = std::getc(in)) != EOF) {
      if (c == '\n') break;
      if (prev == '/' && c == '/') {
        found = true;
        break;
      }
      prev = c;
    }
    if (found) {
      std::fputs(prefix, out);
      while ((c = std::getc(in)) != EOF) {
        std::fputc(c, out);
        if (c == '\n') break;
      }
      if (c == EOF) return;
      echoing = true;
      continue;
    }
    if (c == EOF || echoing) return;
  }
}

}  // namespace

void Eprint(Report_point point, const char* message, int flag) {
  std::fprintf(stderr, "E : %s : %d : %s\n", point.Unit(), point.Position(), text_or_empty(message));
  if (flag == 1) Print_comments(stderr, point.Unit(), point.Position(), "   ");
}

void Eprint(Report_point point, int flag) { Eprint(point, "", flag); }

void Wprint(Report_point point, const char* message, int flag) {
  std::fprintf(stderr, "W : %s : %d : %s\n", point.Unit(), point.Position(), text_or_empty(message));
  if (flag == 1) Print_comments(stderr, point.Unit(), point.Position(), "   ");
}

void Wprint(Report_point point, int flag) { Wprint(point, "", flag); }

void Eprint_memory(Report_point point, const char* type, int count, int flag) {
  std::fprintf(stderr, "E : %s : %d : Insufficient memory", point.Unit(), point.Position());
  if (type && type[0] != '\0') {
    std::fprintf(stderr, " (%s", type);
    if (count > 0) std::fprintf(stderr, " x %d", count);
    std::fputs(")", stderr);
  }
  std::fputs(".\n", stderr);
  if (flag == 1) Print_comments(stderr, point.Unit(), point.Position(), "   ");
}

void Eprint_memory(Report_point point, const char* type, int flag) { Eprint_memory(point, type, 0, flag); }

void Eprint_memory(Report_point point, int flag) { Eprint_memory(point, "", 0, flag); }

void Eprint_fopen(Report_point point, const char* path, const char* mode, int flag) {
  std::fprintf(stderr, "E : %s : %d : Cannot open file '%s' (mode \"%s\").\n", point.Unit(), point.Position(),
               text_or_empty(path), text_or_empty(mode));
  if (flag == 1) Print_comments(stderr, point.Unit(), point.Position(), "   ");
}

void Eprint_fwrite(Report_point point, const char* path, int flag) {
  std::fprintf(stderr, "E : %s : %d : Cannot write file '%s'.\n", point.Unit(), point.Position(), text_or_empty(path));
  if (flag == 1) Print_comments(stderr, point.Unit(), point.Position(), "   ");
}

FILE* Open_to_append(const char* path, off_t& start) {
  start = 0;
  FILE* fp = path ? std::fopen(path, "a") : nullptr;
  if (!fp) return nullptr;
  struct stat st;
  if (fstat(fileno(fp), &st) == 0) start = st.st_size;
  return fp;
}

bool Close_written(FILE* fp, const char* path, off_t start) {
  bool failed = std::ferror(fp) != 0;
  if (std::fclose(fp) == 0 && !failed) return true;
  struct stat st;
  if (path && stat(path, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > start) {
    int cut = truncate(path, start);
    (void)cut;  // a file that cannot be cut back keeps the partial lines
  }
  return false;
}

void Print_comments(FILE* out, const char* file, int line, const char* prefix) {
  if (!out || !file) return;
  FILE* in = std::fopen(file, "r");
  if (!in) {
    const char* dirs = std::getenv(Mysdir);
    if (!dirs) return;
    // Entries are tried in order; an empty entry or the end of the value
    // ends the search. The path is built to the entry's full length.
    const char* entry = dirs;
    while (!in) {
      const char* end = std::strchr(entry, ';');
      std::size_t len = end ? static_cast<std::size_t>(end - entry) : std::strlen(entry);
      if (len == 0) return;
      std::string path(entry, len);
      path += '/';
      path += file;
      in = std::fopen(path.c_str(), "r");
      if (in) break;
      if (!end) return;
      entry = end + 1;
    }
  }
  echo_comment(in, out, line, text_or_empty(prefix));
  std::fclose(in);
}

Memory_site::Memory_site(Report_point point, const char* type, int count, int flag, const Object* object,
                         Memory_failure on_failure)
    : point_(point), type_(type), count_(count), flag_(flag), object_(object), on_failure_(on_failure), outer_(g_site) {
  g_site = this;
}

Memory_site::~Memory_site() { g_site = outer_; }

void Memory_site::Out_of_memory() {
  if (g_reporting) tz::stop(5);
  g_reporting = true;
  const Memory_site* s = g_site;
  if (!s) {
    Eprint_memory(Common_point::memory_out, 1);
    g_reporting = false;  // a stop hook may let the program go on
    tz::stop(5);
  }
  Eprint_memory(s->point_, s->type_, s->count_, s->flag_);
  if (s->object_) s->object_->Oprint(stderr, "    ");
  // The report is written: a later failure gets its own report, whether
  // the caller goes on here or a stop hook lets the program go on.
  g_reporting = false;
  if (s->on_failure_ == Memory_failure::report) throw std::bad_alloc();
  tz::stop(5);
}

const char* Skip_blanks(const char* s) {
  while (*s == ' ' || *s == '\t') ++s;
  return s;
}

bool Read_word(FILE* f, std::string& word) {
  word.clear();
  int c = std::getc(f);
  while (c != EOF && std::isspace(c)) c = std::getc(f);
  if (c == EOF) return false;
  while (c != EOF && !std::isspace(c)) {
    word += static_cast<char>(c);
    c = std::getc(f);
  }
  if (c != EOF) std::ungetc(c, f);
  return true;
}

void reverse(char* s) {
  if (!s) return;
  std::size_t n = std::strlen(s);
  for (std::size_t i = 0, j = n; i + 1 < j; ++i) {
    --j;
    char t = s[i];
    s[i] = s[j];
    s[j] = t;
  }
}

std::string itoa(int n) {
  // Digits from the lowest; the magnitude is taken in 64 bits so that the
  // smallest int has one too.
  long long m = n;
  bool negative = m < 0;
  if (negative) m = -m;
  std::string text;
  do {
    text += static_cast<char>('0' + m % 10);
    m /= 10;
  } while (m > 0);
  if (negative) text += '-';
  reverse(&text[0]);
  return text;
}

char* str2dstr(char* line, char* buffer, int size) {
  if (!line || !buffer) return nullptr;
  char* nl = std::strchr(line, '\n');
  if (nl) *nl = '\0';
  std::size_t len = std::strlen(line);
  // Every word takes its characters and one NUL, and one NUL ends the list:
  // at most the line's length + 2 bytes.
  if (size < 0 || static_cast<std::size_t>(size) < len + 2) {
    Eprint(Common_point::words_buffer_short, line, 1);
    tz::stop(1);
  }
  char* out = buffer;
  const char* p = line;
  int words = 0;
  while (*p) {
    if (*p == ' ' || *p == '\t') {
      ++p;
      continue;
    }
    if (*p == '"' || *p == '\'') {
      char quote = *p++;
      const char* close = std::strchr(p, quote);
      if (!close) {
        Eprint(Common_point::quote_unclosed, line, 1);
        tz::stop(1);
      }
      std::memcpy(out, p, static_cast<std::size_t>(close - p));
      out += close - p;
      p = close + 1;
    } else {
      while (*p && *p != ' ' && *p != '\t') *out++ = *p++;
    }
    *out++ = '\0';
    ++words;
  }
  *out = '\0';
  return words > 0 ? buffer : nullptr;
}

void ignore(std::istream& in, char c) {
  std::istream::int_type ch;
  while ((ch = in.get()) != std::istream::traits_type::eof()) {
    if (std::istream::traits_type::to_char_type(ch) == c) return;
  }
  Eprint(Common_point::character_missing, 1);
  tz::stop(1);
}

char pick_char(std::istream& in) {
  if (in.eof() || in.bad()) {
    std::fputs("unrecoverable istream state\n", stderr);
    tz::stop(1);
  }
  if (in.fail()) {
    in.clear();
    std::istream::int_type ch = in.get();
    return ch == std::istream::traits_type::eof() ? 0 : std::istream::traits_type::to_char_type(ch);
  }
  return 0;
}

void skip_white_and_char(std::istream& in, char c) {
  using traits = std::istream::traits_type;
  traits::int_type ch = in.get();
  while (ch != traits::eof() && std::isspace(static_cast<unsigned char>(traits::to_char_type(ch)))) ch = in.get();
  if (ch != traits::eof() && traits::to_char_type(ch) == c) ch = in.get();
  if (ch != traits::eof()) in.putback(traits::to_char_type(ch));
}
