#include "i_file_matrix.h"

#include <charconv>
#include <cinttypes>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "common.h"
#include "model_points.h"
#include "report_points.h"
#include "tzcheck.h"
#include "tzcursor.h"
#include "tzfastio.h"
#include "tzlines.h"

namespace {

// The items of the lines of a grid file: separated by blanks and tabs.
using GridItems = tz::ItemCursor<tz::Blanks::kBlanksAndTabs>;

// How one item of a data line reads.
enum class Reading { number, not_number, not_finite };

// The item [p, e) read by strtod: `v` and whether it is wholly a number.
bool WhollyStrtod(const char* p, const char* e, double& v) {
  std::string item(p, e);
  char* end = nullptr;
  v = std::strtod(item.c_str(), &end);
  return end == item.c_str() + item.size() && end != item.c_str();
}

// The value of one item [p, e), exactly as the reading form of the value
// type gives it (strtod, strtof, or the clamped strtoll prefix, which take
// a '+' before a number). An item that is not wholly a number, or whose
// value is not finite ("inf", "nan", a number beyond the range of the
// type), is refused. The common decimal forms take the fast conversion
// (tz::ReadReal, from_chars for the rest), which rounds as the general one
// does.
Reading ItemValue(const char* p, const char* e, double& v) {
  if (tz::ReadReal(p, e, v) != e && !WhollyStrtod(p, e, v)) return Reading::not_number;
  return std::isfinite(v) ? Reading::number : Reading::not_finite;
}

Reading ItemValue(const char* p, const char* e, float& v) {
  auto r = std::from_chars(p, e, v);
  if (!(r.ec == std::errc() && r.ptr == e)) {
    std::string item(p, e);
    char* end = nullptr;
    v = std::strtof(item.c_str(), &end);
    if (!(end == item.c_str() + item.size() && end != item.c_str())) return Reading::not_number;
  }
  return std::isfinite(v) ? Reading::number : Reading::not_finite;
}

Reading ItemInt(const char* p, const char* e, int& v) {
  long long x = 0;
  auto r = std::from_chars(p, e, x);
  if (!(r.ec == std::errc() && r.ptr == e)) {
    double d = 0;
    if (!WhollyStrtod(p, e, d)) return Reading::not_number;
    if (!std::isfinite(d)) return Reading::not_finite;
    std::string item(p, e);
    char* end = nullptr;
    x = std::strtoll(item.c_str(), &end, 10);
    if (end == item.c_str()) x = 0;  // "+.5", ".5": no integer prefix
  }
  if (x > INT_MAX) x = INT_MAX;
  if (x < INT_MIN) x = INT_MIN;
  v = static_cast<int>(x);
  return Reading::number;
}

Reading ItemValue(const char* p, const char* e, int& v) { return ItemInt(p, e, v); }
Reading ItemValue(const char* p, const char* e, TzLong& v) { return ItemInt(p, e, v.v); }

// The lines of a grid file: without the '\r' of a CRLF line end, counted,
// and a last line without its line end told apart.
constexpr unsigned kGridLines = tz::LineReader::kStripCr | tz::LineReader::kCountLines | tz::LineReader::kTellUnended;

// Whether a line of a grid file is a comment: its first character is '#'.
bool Is_comment(std::string_view line) { return !line.empty() && line[0] == '#'; }

// The line from its first item on; empty for a line of blanks.
std::string_view From_first_item(std::string_view line) {
  GridItems items(line);
  items.More();
  return std::string_view(items.Here(), static_cast<std::size_t>(items.End() - items.Here()));
}

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

struct Header {
  Long time;
  int nx, ny;
  std::int64_t line;
};

// "<path>, record of time <t>, line <n>: "
std::string Record_place(const char* path, const Header& h, std::int64_t line) {
  return std::string(path) + ", record of time " + std::to_string(h.time) + ", line " + std::to_string(line) + ": ";
}

// The warnings of one read about the records dropped for their time (not
// greater than that of an earlier record): one per record, none for a
// record warned about at an earlier read (the same line and time), and
// beyond the first ten of the read one warning that counts the rest.
class Dropped_records {
 public:
  Dropped_records(const char* path, const Object& port, std::set<std::pair<std::int64_t, Long>>& warned)
      : path_(path), port_(port), warned_(warned) {}

  // At the end of the read: the warning that counts the records beyond the
  // first ten.
  void Count_the_rest() const {
    if (more_ == 0) return;
    const std::string what = std::string(path_) + ": " + std::to_string(more_) +
                             " more records are dropped for their time, the last on line " + std::to_string(last_) +
                             ".";
    std::fflush(stdout);
    port_.Warn(I_file_matrix_point::more_out_of_order, what.c_str());
  }

  // The record h, whose time is not greater than that of the earlier
  // record `earlier`, is dropped.
  void Dropped(const Header& h, const Header& earlier) {
    if (!warned_.insert({h.line, h.time}).second) return;
    if (shown_ == kShown) {
      ++more_;
      last_ = h.line;
      return;
    }
    ++shown_;
    const std::string what = Record_place(path_, h, h.line) + "an earlier record (line " +
                             std::to_string(earlier.line) + ") has " +
                             (h.time == earlier.time ? std::string("the same time and other values")
                                                     : "the later time " + std::to_string(earlier.time)) +
                             ": this record is dropped.";
    std::fflush(stdout);
    port_.Warn(I_file_matrix_point::record_out_of_order, what.c_str());
  }

 private:
  static constexpr int kShown = 10;
  const char* path_;
  const Object& port_;
  std::set<std::pair<std::int64_t, Long>>& warned_;
  int shown_ = 0;
  std::int64_t more_ = 0;
  std::int64_t last_ = 0;  // the line of the last record counted in more_
};

// How the reading of a record ended.
enum class Read {
  record,  // the record is whole and sound
  end,     // the file ends before another record
  cut,     // the file ends inside the record: reported, the reading stops
  refused  // the record cannot be used: reported, the reading stops
};

// Reads the records of a grid file one by one and reports the record that
// ends the reading early: one cut short by the end of the file (a warning:
// a feed may still be writing it) or one that cannot be used (an error).
// The reports name the file, the record's time and the line.
template <class E>
class Record_reader {
 public:
  Record_reader(const char* path, const Object& port, tz::LineReader& lines)
      : path_(path), port_(port), lines_(lines) {}

  // The header of the next record, comment and blank lines before it
  // skipped.
  Read Next_header(Header& h) {
    std::string_view text;
    do {
      if (!lines_.Next(text)) return Read::end;
    } while (Is_comment(text) || (text = From_first_item(text)).empty());
    const std::int64_t line = lines_.Number();
    if (!lines_.Ended()) return Cut(Untimed_place(line) + "the header has no line end yet.");
    const std::string header(text);
    long long item[3] = {0, 0, 0};
    std::size_t used = 0;
    if (HeaderNumbers(header, item, used) != 3)
      return Refuse(Untimed_place(line) + "not a record header \"<time> <nx> <ny>\".");
    for (long long x : item)
      if (x < INT32_MIN || x > INT32_MAX)
        return Refuse(Untimed_place(line) + "the header number " + std::to_string(x) +
                      " lies outside -2147483648 .. 2147483647.");
    h = Header{static_cast<Long>(item[0]), static_cast<int>(item[1]), static_cast<int>(item[2]), line};
    if (!(h.nx > 0 && h.ny > 0)) return Refuse(Place(h, line) + "the grid size must be above 0.");
    if (GridItems(std::string_view(header).substr(used)).More())
      return Refuse(Place(h, line) + "the header holds more than the time and the grid size.");
    if (!any_) {
      nx_ = h.nx;
      ny_ = h.ny;
    } else if (h.nx != nx_ || h.ny != ny_) {
      return Refuse(Place(h, line) + "a grid of " + Size(h.nx, h.ny) + " cells where the first record has " +
                    Size(nx_, ny_) + ".");
    }
    any_ = true;
    previous_ = h.time;
    return Read::record;
  }

  // The record's ny data lines, comment lines between them skipped; their
  // values are appended to `values` as they come, the first data line (the
  // row of the largest y index) first.
  Read Rows(const Header& h, std::vector<E>& values) {
    std::string_view text;
    for (int row = 0; row < h.ny; ++row) {
      bool got;
      do {
        got = lines_.Next(text);
      } while (got && Is_comment(text));
      if (!got)
        return Cut(Place(h, h.line) + "the file ends after " + std::to_string(row) + " of its " + std::to_string(h.ny) +
                   " rows.");
      if (!lines_.Ended()) return Cut(Place(h, lines_.Number()) + "the row has no line end yet.");
      int count = 0;
      GridItems items(text);
      for (std::string_view item; items.Next(item); ++count) {
        if (count >= h.nx) return Refuse(Place(h, lines_.Number()) + "more than " + std::to_string(h.nx) + " values.");
        E v{};
        const Reading reading = ItemValue(item.data(), item.data() + item.size(), v);
        if (reading != Reading::number)
          return Refuse(Place(h, lines_.Number()) + "'" + std::string(item) +
                        (reading == Reading::not_finite ? "' is not a finite number." : "' is not a number."));
        values.push_back(v);
      }
      if (count < h.nx)
        return Refuse(Place(h, lines_.Number()) + std::to_string(count) + " values where the grid has " +
                      std::to_string(h.nx) + ".");
    }
    return Read::record;
  }

 private:
  // "<path>, record of time <t>, line <n>: "
  std::string Place(const Header& h, std::int64_t line) const { return Record_place(path_, h, line); }
  // Where the time of the record is not known yet: "<path>, record after
  // time <t>, line <n>: ", or "<path>, first record, line <n>: ".
  std::string Untimed_place(std::int64_t line) const {
    return std::string(path_) + (any_ ? ", record after time " + std::to_string(previous_) : ", first record") +
           ", line " + std::to_string(line) + ": ";
  }
  static std::string Size(int nx, int ny) { return std::to_string(nx) + " x " + std::to_string(ny); }

  Read Cut(const std::string& what) const {
    std::fflush(stdout);
    port_.Warn(I_file_matrix_point::record_unfinished, what.c_str());
    return Read::cut;
  }
  Read Refuse(const std::string& what) const {
    std::fflush(stdout);
    port_.Report(I_file_matrix_point::record_unusable, what.c_str());
    return Read::refused;
  }

  const char* path_;
  const Object& port_;
  tz::LineReader& lines_;
  bool any_ = false;     // a header has been read
  Long previous_ = 0;    // the time of the last header read
  int nx_ = 0, ny_ = 0;  // the grid size of the first record
};

// Stocks the records of the file that are newer than the newest pack held,
// up to the first record that ends the reading early. Records not newer are
// checked like the others but not stocked; a record whose time is not
// greater than that of the last record in order before it is dropped, and
// `dropped` told, unless it repeats that record whole.
template <class T>
Read Stock_records(I_file_matrix<T>& port, tz::LineReader& lines, Dropped_records& dropped) {
  using E = std::remove_reference_t<decltype(std::declval<T&>().Elem(0, 0))>;
  Record_reader<E> reader(port.Object_name(), port, lines);
  Long newest = port.Newest_data_time();
  bool anyNewest = port.Number_of_data_packs() > 0;
  T grid;
  // The values of the record being read, row by row as they come (storage
  // grows with the rows the file holds, never ahead of them with the size
  // a header claims), and those of the last record in order. Kept from
  // record to record.
  std::vector<E> values, last;
  Header before{};
  bool anyBefore = false;
  for (;;) {
    Header h;
    Read r = reader.Next_header(h);
    if (r != Read::record) return r;
    values.clear();
    r = reader.Rows(h, values);
    if (r != Read::record) return r;
    if (anyBefore && h.time <= before.time) {
      if (!(h.time == before.time && values == last)) dropped.Dropped(h, before);
      continue;
    }
    before = h;
    anyBefore = true;
    if (!anyNewest || h.time > newest) {
      // The first data line is the row of the largest y index.
      grid.Resize(static_cast<unsigned>(h.nx), static_cast<unsigned>(h.ny), E(0));
      std::size_t k = 0;
      for (int row = 0; row < h.ny; ++row) {
        const unsigned col = static_cast<unsigned>(h.ny - 1 - row);
        for (unsigned i = 0; i < static_cast<unsigned>(h.nx); ++i) grid.Elem(i, col) = values[k++];
      }
      Data<T>* pack;
      {
        Memory_site site(P_tmp_point::read_pack_memory, "Data", 0, 1, &port);
        pack = new Data<T>();
      }
      pack->Set_data(h.time, grid);
      port.Stock(pack);
      newest = h.time;
      anyNewest = true;
    }
    std::swap(values, last);
  }
}

}  // namespace

template <class T>
void I_file_matrix<T>::Report_read(Read_failure failure) const {
  std::fflush(stdout);
  switch (failure) {
    case Read_failure::no_status: this->Report(I_file_matrix_point::no_status); return;
    case Read_failure::not_opened:
      this->Report_fopen(I_file_matrix_point::cannot_open, this->Object_name(), "r");
      return;
    case Read_failure::empty: this->Report(I_file_matrix_point::file_empty); return;
  }
}

template <class T>
bool I_file_matrix<T>::Stock_file(FILE* fp) {
  std::unique_ptr<tz::LineReader> lines;
  {
    Memory_site site(I_file_matrix_point::read_memory, "char", 0, 1, this);
    lines.reset(new tz::LineReader(fp, tz::LineReader::kBlock, kGridLines));
  }
  if (lines->AtEnd()) return false;
  Dropped_records dropped(this->Object_name(), *this, dropped_warned);
  Stock_records(*this, *lines, dropped);
  dropped.Count_the_rest();
  return true;
}

namespace {

// The grid size the header of the file's first record gives; false when
// the file cannot be opened or has no such header (its read reports that).
bool First_grid_size(const char* path, long long& nx, long long& ny) {
  FILE* fp = path ? std::fopen(path, "r") : nullptr;
  if (!fp) return false;
  bool found = false;
  {
    tz::LineReader lines(fp, tz::LineReader::kBlock, kGridLines);
    std::string_view text;
    while (lines.Next(text)) {
      if (Is_comment(text) || (text = From_first_item(text)).empty()) continue;
      long long item[3] = {0, 0, 0};
      std::size_t used = 0;
      found = HeaderNumbers(std::string(text), item, used) == 3 && item[1] > 0 && item[2] > 0;
      nx = item[1];
      ny = item[2];
      break;
    }
  }
  std::fclose(fp);
  return found;
}

}  // namespace

template <class T>
bool I_file_matrix<T>::Stock_fits_file(std::string& why) {
  const int n = this->Number_of_stocked_packs();
  long long nx = 0, ny = 0;
  if (n == 0 || !First_grid_size(this->Object_name(), nx, ny)) return true;
  for (int k = 0; k < n; ++k) {
    const T& grid = static_cast<const Data<T>*>(this->Stocked_pack(k))->Value();
    if (grid.GetRows() == nx && grid.GetCols() == ny) continue;
    why = "it holds grids of " + std::to_string(grid.GetRows()) + " x " + std::to_string(grid.GetCols()) +
          " cells for " + this->Object_name() + ", whose first record has " + std::to_string(nx) + " x " +
          std::to_string(ny) + ".";
    return false;
  }
  return true;
}

template class I_file_matrix<TzMatrix<double>>;
template class I_file_matrix<TzMatrix<float>>;
template class I_file_matrix<TzMatrix<int>>;
template class I_file_matrix<TzMatrix<TzLong>>;
