#include "i_file_matrix.h"

#include <charconv>
#include <cinttypes>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "common.h"
#include "tzcheck.h"

namespace {

const char* const kUnit = "i_file_matrix.cpp";

// Whether the item [p, e) is wholly a number, as the general conversion
// reads one.
bool WhollyNumber(const char* p, const char* e) {
  std::string item(p, e);
  char* end = nullptr;
  std::strtod(item.c_str(), &end);
  return end == item.c_str() + item.size() && end != item.c_str();
}

// The value of one item [p, e), exactly as the reading form of the value
// type gives it (strtod, strtof, or the clamped strtoll prefix); false when
// the item is not wholly a number. The common decimal forms take the fast
// conversion, which rounds as the general one does.
bool ItemValue(const char* p, const char* e, double& v) {
  auto r = std::from_chars(p, e, v);
  if (r.ec == std::errc() && r.ptr == e) return true;
  std::string item(p, e);
  char* end = nullptr;
  v = std::strtod(item.c_str(), &end);
  return end == item.c_str() + item.size() && end != item.c_str();
}

bool ItemValue(const char* p, const char* e, float& v) {
  auto r = std::from_chars(p, e, v);
  if (r.ec == std::errc() && r.ptr == e) return true;
  std::string item(p, e);
  char* end = nullptr;
  v = std::strtof(item.c_str(), &end);
  return end == item.c_str() + item.size() && end != item.c_str();
}

bool ItemInt(const char* p, const char* e, int& v) {
  long long x = 0;
  auto r = std::from_chars(p, e, x);
  if (!(r.ec == std::errc() && r.ptr == e)) {
    if (!WhollyNumber(p, e)) return false;
    std::string item(p, e);
    char* end = nullptr;
    x = std::strtoll(item.c_str(), &end, 10);
    if (end == item.c_str()) x = 0;  // "+.5", ".5": no integer prefix
  }
  if (x > INT_MAX) x = INT_MAX;
  if (x < INT_MIN) x = INT_MIN;
  v = static_cast<int>(x);
  return true;
}

bool ItemValue(const char* p, const char* e, int& v) { return ItemInt(p, e, v); }
bool ItemValue(const char* p, const char* e, TzLong& v) { return ItemInt(p, e, v.v); }

// The lines of a file, each without its line end ('\n' and a '\r' before
// it), read in large blocks: a line is handed out in place when it lies
// within a block, else gathered; nothing grows with the file but the
// longest line.
class Lines {
 public:
  explicit Lines(FILE* fp) : fp_(fp), block_(kBlock) {}
  // False at the end of the file.
  bool Next(const char*& b, const char*& e) {
    carry_.clear();
    for (;;) {
      if (p_ == end_ && !Fill()) {
        if (carry_.empty()) return false;
        break;  // a last line without a line end
      }
      const char* nl = static_cast<const char*>(std::memchr(p_, '\n', static_cast<std::size_t>(end_ - p_)));
      if (nl) {
        if (carry_.empty()) {
          b = p_;
          e = nl;
          p_ = nl + 1;
          return Finish(b, e);
        }
        carry_.append(p_, nl);
        p_ = nl + 1;
        break;
      }
      carry_.append(p_, end_);
      p_ = end_;
    }
    b = carry_.data();
    e = b + carry_.size();
    return Finish(b, e);
  }
  std::int64_t Number() const { return number_; }
  // Whether the file held no character at all.
  bool Empty() {
    if (p_ == end_) Fill();
    return p_ == end_ && total_ == 0;
  }

 private:
  static constexpr std::size_t kBlock = TzIoBlock(1 << 20);
  bool Fill() {
    std::size_t n = std::fread(block_.data(), 1, block_.size(), fp_);
    p_ = block_.data();
    end_ = p_ + n;
    total_ += n;
    return n > 0;
  }
  bool Finish(const char*& b, const char*& e) {
    if (e > b && e[-1] == '\r') --e;
    ++number_;
    return true;
  }
  FILE* fp_;
  std::vector<char> block_;
  const char* p_ = nullptr;
  const char* end_ = nullptr;
  std::string carry_;
  std::size_t total_ = 0;
  std::int64_t number_ = 0;
};

// The integers at the start of a record header, read as "%ld %d %d" reads
// them (white space, an optional sign, decimal digits) but without wrapping:
// a number beyond the range of 64 bits is held at its end. Returns how many
// were read (0 to 3); `used` is the length of the text they took.
int HeaderNumbers(const std::string& header, long long item[3], std::size_t& used) {
  const char* p = header.c_str();
  int n = 0;
  for (; n < 3; ++n) {
    char* end = nullptr;
    const long long x = std::strtoll(p, &end, 10);
    if (end == p) break;
    item[n] = x;
    p = end;
  }
  used = static_cast<std::size_t>(p - header.c_str());
  return n;
}

// "File: <path>, record of time <t>, line <n>: <what>", then the failed
// check at the source line `at`.
[[noreturn]] void Refuse(const char* path, Long t, std::int64_t line, const std::string& what, int at,
                         const char* condition) {
  std::fflush(stdout);
  std::fprintf(stderr, "File: %s, record of time %d, line %" PRId64 ": %s\n", path, t, line,
               what.c_str());
  tz::check_failed(kUnit, at, condition);
}

}  // namespace

template <class T>
void I_file_matrix<T>::Input_data() {
  using E = std::remove_reference_t<decltype(std::declval<T&>().Elem(0, 0))>;
  this->Set_data_pack_array();
  this->Reduce_data_pack_stock();

  const char* path = this->Object_name();
  std::int64_t mtime = 0;
  if (!Input_file::Modification_time(path, mtime)) {
    std::fflush(stdout);
    Eprint(kUnit, 82, 1);
    this->Oprint(stderr, "    ");
    return;
  }
  if (mtime <= this->file_time_at_input) return;
  this->file_time_at_input = mtime;

  FILE* fp = std::fopen(path, "r");
  if (!fp) {
    std::fflush(stdout);
    Eprint_fopen(kUnit, 94, path, "r", 1);
    this->Oprint(stderr, "    ");
    tz::stop(3);
  }
  std::unique_ptr<Lines> lines_holder;
  {
    Memory_site site(kUnit, 114, "char", 0, 1, this);
    lines_holder.reset(new Lines(fp));
  }
  Lines& lines = *lines_holder;
  if (lines.Empty()) {
    std::fclose(fp);
    std::fflush(stdout);
    Eprint(kUnit, 106, 1);
    this->Oprint(stderr, "    ");
    return;
  }

  // Records not newer than this are refused by the stock: check them, keep
  // nothing.
  Long newest = this->Newest_data_time();
  bool anyNewest = this->Number_of_data_packs() > 0;
  T grid;
  // The values of the record being read, row by row as they come: storage
  // grows with the rows the file holds, never ahead of them with the size a
  // header claims. Kept from record to record.
  std::vector<E> values;
  const char* b;
  const char* e;
  while (lines.Next(b, e)) {
    if (b < e && *b == '#') continue;
    while (b < e && (*b == ' ' || *b == '\t')) ++b;
    if (b == e) continue;

    // The header.
    std::string header(b, e);
    long long item[3] = {0, 0, 0};
    std::size_t used = 0;
    const int n = HeaderNumbers(header, item, used);
    if (n != 3) {
      std::fflush(stdout);
      std::fprintf(stderr, "File: %s, line %" PRId64 ": not a record header \"<time> <nx> <ny>\"\n",
                   path, lines.Number());
    }
    TZ_CHECK(n == 3, kUnit, "sscanf(line_data, \"%ld %d %d\", &wt, &wGx, &wGy) == 3");
    for (long long x : item) {
      if (x < INT32_MIN || x > INT32_MAX) {
        std::fflush(stdout);
        std::fprintf(stderr,
                     "File: %s, line %" PRId64 ": the header number %lld lies outside "
                     "-2147483648 .. 2147483647\n",
                     path, lines.Number(), x);
        tz::check_failed(kUnit, __LINE__, "header numbers within the range of long");
      }
    }
    const Long wt = static_cast<Long>(item[0]);
    const int wGx = static_cast<int>(item[1]), wGy = static_cast<int>(item[2]);
    if (!(wGx > 0 && wGy > 0))
      Refuse(path, wt, lines.Number(), "the grid size must be above 0", __LINE__, "wGx > 0 && wGy > 0");
    for (std::size_t q = used; q < header.size(); ++q)
      if (header[q] != ' ' && header[q] != '\t')
        Refuse(path, wt, lines.Number(), "the header holds more than the time and the grid size", __LINE__, "header holds three items");

    const bool keep = !anyNewest || wt > newest;
    if (keep) values.clear();
    for (int row = 0; row < wGy; ++row) {
      bool got;
      do {
        got = lines.Next(b, e);
      } while (got && b < e && *b == '#');
      if (!got) {
        std::fflush(stdout);
        std::fprintf(stderr, "File: %s, record of time %d: the file ends after %d of its %d rows\n",
                     path, wt, row, wGy);
        tz::check_failed(kUnit, __LINE__, "fgets(line_data, c_max+1, fp) != NULL");
      }
      int count = 0;
      const char* p = b;
      for (;;) {
        while (p < e && (*p == ' ' || *p == '\t')) ++p;
        if (p == e) break;
        const char* q = p;
        while (q < e && *q != ' ' && *q != '\t') ++q;
        if (count >= wGx)
          Refuse(path, wt, lines.Number(), "more than " + std::to_string(wGx) + " values", __LINE__, "a data line holds nx values");
        E v{};
        if (!ItemValue(p, q, v))
          Refuse(path, wt, lines.Number(), "'" + std::string(p, q) + "' is not a number", __LINE__, "every value is a number");
        if (keep) values.push_back(v);
        ++count;
        p = q;
      }
      if (count < wGx)
        Refuse(path, wt, lines.Number(), std::to_string(count) + " values where the grid has " + std::to_string(wGx), __LINE__, "a data line holds nx values");
    }
    if (!keep) continue;
    // Every row is there: the grid, the first data line being the row of
    // the largest y index.
    grid.Resize(static_cast<unsigned>(wGx), static_cast<unsigned>(wGy), E(0));
    std::size_t k = 0;
    for (int row = 0; row < wGy; ++row) {
      const unsigned col = static_cast<unsigned>(wGy - 1 - row);
      for (unsigned i = 0; i < static_cast<unsigned>(wGx); ++i) grid.Elem(i, col) = values[k++];
    }
    Data<T>* pack;
    {
      Memory_site site("p_tmp.cpp", 504, "Data", 0, 1, this);
      pack = new Data<T>();
    }
    pack->Set_data(wt, grid);
    this->Stock(pack);
    newest = wt;
    anyNewest = true;
  }
  std::fclose(fp);
  this->Set_data_pack_array();
  if (this->Number_of_data_packs() > 0)
    std::fprintf(stderr, "File: %s  newest data time : %d\n", path, this->Newest_data_time());
}

template class I_file_matrix<TzMatrix<double>>;
template class I_file_matrix<TzMatrix<float>>;
template class I_file_matrix<TzMatrix<int>>;
template class I_file_matrix<TzMatrix<TzLong>>;
