#include "data2str.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

const char* Take_item(char*& cursor) {
  if (!cursor || *cursor == '\0') return nullptr;
  const char* item = cursor;
  cursor += std::strlen(cursor) + 1;
  return item;
}

namespace {

// strtol-like parse of a 32-bit integer; out-of-range values are held at
// the nearest end of the range.
bool parse_int(const char* item, int& x) {
  char* end;
  errno = 0;
  long long v = std::strtoll(item, &end, 10);
  if (end == item) return false;
  if (v > INT_MAX) v = INT_MAX;
  if (v < INT_MIN) v = INT_MIN;
  x = static_cast<int>(v);
  return true;
}

}  // namespace

void data2file(double x, FILE* f) { std::fprintf(f, "(%g)\n", x); }
void data2file(float x, FILE* f) { std::fprintf(f, "(%g)\n", static_cast<double>(x)); }
void data2file(int x, FILE* f) { std::fprintf(f, "(%d)\n", x); }
void data2file(TzLong x, FILE* f) { std::fprintf(f, "(%d)\n", x.v); }
// The empty text would give an empty item, which a reader cannot tell from
// the end of the list: it is written as a line end between the brackets.
void data2file(const QavlenString& x, FILE* f) {
  if (x.c_str()[0] == '\0')
    std::fputs("(\n)\n", f);
  else
    std::fprintf(f, "(%s)\n", x.c_str());
}

void data2ofile(double x, FILE* f) { std::fprintf(f, "%g", x); }
void data2ofile(float x, FILE* f) { std::fprintf(f, "%g", static_cast<double>(x)); }
void data2ofile(int x, FILE* f) { std::fprintf(f, "%d", x); }
void data2ofile(TzLong x, FILE* f) { std::fprintf(f, "%d", x.v); }
void data2ofile(const QavlenString& x, FILE* f) { std::fprintf(f, "\"%s\"", x.c_str()); }

namespace {

// A real item by the C conversion of its type; x stays as it was when the
// item is missing or does not start with a number.
template <class T, class Convert>
void Read_real(char*& cursor, T& x, Convert convert) {
  const char* item = Take_item(cursor);
  if (!item) return;
  char* end;
  const T v = convert(item, &end);
  if (end != item) x = v;
}

}  // namespace

void dstr2data(char*& cursor, double& x) {
  Read_real(cursor, x, [](const char* s, char** end) { return std::strtod(s, end); });
}

void dstr2data(char*& cursor, float& x) {
  Read_real(cursor, x, [](const char* s, char** end) { return std::strtof(s, end); });
}

bool Read_item(char*& cursor, int& x) {
  const char* item = Take_item(cursor);
  return item && parse_int(item, x);
}

void dstr2data(char*& cursor, int& x) { Read_item(cursor, x); }

void dstr2data(char*& cursor, TzLong& x) {
  const char* item = Take_item(cursor);
  if (item) parse_int(item, x.v);
}

void dstr2data(char*& cursor, QavlenString& x) {
  const char* item = Take_item(cursor);
  if (!item) return;
  // An item of line ends only is the data form of the empty text.
  x = item[std::strspn(item, "\r\n")] == '\0' ? "" : item;
}

std::vector<char> Make_item_list(const char* line) {
  std::vector<char> items;
  if (!line) line = "";
  items.reserve(std::strlen(line) + 3);  // the most a line can give
  const char* p = line;
  for (;;) {
    while (*p == ' ' || *p == '\t') ++p;
    if (*p == '\n' || *p == '\0') break;
    if (*p == '\'' || *p == '"') {
      char quote = *p++;
      while (*p != quote && *p != '\n' && *p != '\0') items.push_back(*p++);
      if (*p == quote) ++p;
    } else {
      while (*p != ' ' && *p != '\t' && *p != '\n' && *p != '\0') items.push_back(*p++);
    }
    items.push_back('\0');
  }
  items.push_back('\0');
  items.push_back('\0');
  return items;
}
