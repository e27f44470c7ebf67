// dorvask: the connectivity builder.
//
// Reads an "edge format V.4" file and writes an "edge connection V.4" file:
// every record of the input with two signed neighbour lists added, the edges
// that meet it at its upper node and at its lower node. In the upper list +k
// names an edge k that ends at this edge's upper node, -k an edge k that
// starts there; in the lower list -k names an edge k that starts at this
// edge's lower node, +k an edge k that ends there.
//
// The order of the entries within a list follows the historical search
// trees of this tool: the end values of all edges were shuffled with the
// platform's rand() (never seeded), inserted into two unbalanced trees keyed
// by node number (values of one node in insertion order), and each list was
// gathered by walking those trees from a probe. Here the same shuffle gives
// per-node buckets in insertion order, and the lists are read off the
// buckets in the very order the tree walks produced, at a constant cost per
// neighbour instead of a walk along a chain of all values of a node.
//
// The reals of a record are not computed with; they are written again in
// the tools' number format (as "%g"). Inputs written by pelmic are already
// in that form, so a real of at most six significant digits is rewritten
// from its decimal digits directly, without a binary round trip; any other
// real goes through the double it denotes. A record whose line is already
// in the output form is copied from the line; any other record is read into
// the builder's Edge record (dorvask.h) when it is written, and written by
// its writer.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dorvask.h"
#include "nopath.h"
#include "outfile.h"
#include "toolframe.h"
#include "tzcheck.h"
#include "tzcursor.h"
#include "tzdefs.h"
#include "tzfastio.h"
#include "tzfile.h"
#include "tzlines.h"
#include "tzstr.h"

namespace {

static_assert(RAND_MAX == 2147483647, "the shuffle scales rand() as 31-bit values");

const char kUnit[] = "dorvask.cpp";

// Error points; the number is part of the report.
enum ErrorPoint {
  ERR_SAME_FILE = 489,      // the output file is the input file
  ERR_FORMAT = 496,         // not an "edge format V.4" file
  ERR_NO_COUNT_LINE = 510,  // no "[Number of Total Edges]" line
  ERR_COUNT = 521,          // the number of total edges is missing or not a non-negative integer
  ERR_NO_DATA = 531,        // no "[Data]" line
  ERR_RECORDS_END = 553,    // fewer records than the count gives
  ERR_RECORD = 560,         // a record whose items cannot be read (or read again)
  ERR_ATTRIBUTE = 576,      // an attribute other than 1, 2 and 3: reported, the run goes on
  ERR_UNSIGNED_EDGE = 583,  // an edge number that cannot be given a sign
  ERR_SAME_NODES = 587,     // an edge whose upper and lower node are one
  ERR_EDGE_TWICE = 592,     // an edge number given twice
};

// A buffered writer on a stream: the data leave one large buffer at a time.
class Writer {
 public:
  explicit Writer(std::ostream& os) : os_(os), buf_(TzIoBlock(1u << 20)), used_(0) {}
  void Put(const char* p, std::size_t n) {
    if (n > buf_.size() - used_) {
      Drain();
      if (n > buf_.size()) {
        os_.write(p, static_cast<std::streamsize>(n));
        return;
      }
    }
    std::memcpy(buf_.data() + used_, p, n);
    used_ += n;
  }
  void Put(std::string_view s) { Put(s.data(), s.size()); }
  void Put(char c) {
    if (used_ == buf_.size()) Drain();
    buf_[used_++] = c;
  }
  // Room for n bytes (n at most Capacity()), to be filled and then handed
  // over with Commit.
  char* Room(std::size_t n) {
    if (n > buf_.size() - used_) Drain();
    return buf_.data() + used_;
  }
  void Commit(char* end) { used_ = static_cast<std::size_t>(end - buf_.data()); }
  std::size_t Capacity() const { return buf_.size(); }
  // Writes what is buffered and flushes the stream; false after any failed
  // write.
  bool Flush() {
    Drain();
    os_.flush();
    return static_cast<bool>(os_);
  }
  // Hands what is buffered over to the stream, before something is written
  // to the stream itself.
  void Drain() {
    if (used_ > 0) os_.write(buf_.data(), static_cast<std::streamsize>(used_));
    used_ = 0;
  }

 private:
  std::ostream& os_;
  std::vector<char> buf_;
  std::size_t used_;
};

// The run's files and the report of an error point. The output is written
// beside its name and takes its place only when complete: a run that stops
// leaves an earlier file of that name as it was.
struct Run {
  Run(std::string input, std::string output, TzString cmd)
      : iName(std::move(input)), oName(std::move(output)), command(std::move(cmd)), out(oName) {}
  std::string iName, oName;
  TzString command;
  std::FILE* in = nullptr;
  int inError = 0;  // why the input cannot be opened (an error number)
  tzframe::PendingOutput out;
  Writer* file = nullptr;     // the output file
  Writer* console = nullptr;  // the standard output

  // The report of an error point, after what the console holds: the run
  // goes on.
  void Report(tzframe::Point point, const std::vector<std::string>& reasons) {
    if (console) console->Flush();
    tzframe::report(kUnit, point, reasons);
  }
  // The same, then the end with status 1; the frame removes the unfinished
  // output.
  [[noreturn]] void Fatal(tzframe::Point point, const std::vector<std::string>& reasons) {
    if (console) console->Flush();
    tzframe::fatal(kUnit, point, reasons);
  }
};

// ---------------------------------------------------------------------------
// Reading

// The lines of the input as its readers see them: as in the other tools'
// line loops, an empty line ends the input (no line after it is delivered).
// LineReader::kPad bytes behind the end of a line may be read.
class InputLines {
 public:
  explicit InputLines(std::FILE* f) : lines_(f) {}
  bool Next(std::string_view& line) {
    if (ended_) return false;
    if (lines_.Next(line) && !line.empty()) return true;
    ended_ = true;
    return false;
  }
  // The offset in the file of the first byte not yet delivered.
  std::uint64_t Tell() const { return lines_.Tell(); }
  // Reads again from offset at; false when the file cannot be positioned
  // there.
  bool Seek(std::uint64_t at) {
    ended_ = false;
    return lines_.Seek(at);
  }

 private:
  tz::LineReader lines_;
  bool ended_ = false;
};

// The lines of the input that hold more than blanks.
class ContentLines {
 public:
  explicit ContentLines(InputLines& in) : in_(in) {}
  bool Next(std::string_view& line) {
    while (in_.Next(line))
      if (!tz::BlankOnly(line)) return true;
    return false;
  }

 private:
  InputLines& in_;
};

// The items of a record line: separated by blanks, tabs and carriage
// returns.
using RecordItems = tz::ItemCursor<tz::Blanks::kLineBlanks>;

// The blank-separated items of a record line, read one by one and written
// again at out in the output form, each followed by a blank unless it is
// the last of the record. An item already in the output form is copied as
// it stands. Once an item cannot be read (none is left, or it is not of
// the kind asked for), nothing more is read and Ok() is false.
class RecordRewriter {
 public:
  RecordRewriter(std::string_view s, char* out) : items_(s), p_(out) {}

  void Integer(Long& v) { Put(ok_ ? RewriteInteger(v) : nullptr, true); }
  void Real(bool last = false) { Put(ok_ ? RewriteReal() : nullptr, !last); }
  bool Ok() const { return ok_; }
  // The end of the text written.
  char* End() const { return p_; }

 private:
  void Put(char* end, bool blank) {
    if (end == nullptr) {
      ok_ = false;
      return;
    }
    p_ = end;
    if (blank) *p_++ = ' ';
  }
  // An optional sign and decimal digits within the range of 32 bits.
  char* RewriteInteger(Long& v) {
    if (!items_.Integer(v)) return nullptr;
    const std::string_view item = items_.Item();
    // Written as it stands unless a sign or leading zeros make it differ.
    const bool minus = item[0] == '-';
    if (item[0] != '+' && item[minus] != '0' && item.size() <= 11) return tz::CopyItem16(p_, item);
    return tz::PutInt(p_, v);
  }
  // A real; one already in the output form ("%g" of at most six digits
  // without an exponent, at most 12 characters) is copied.
  char* RewriteReal() {
    if (!items_.More()) return nullptr;
    const char* const c = tz::WrittenRealEnd(items_.Here(), items_.End());
    if (c != nullptr && items_.Ends(c)) return tz::CopyItem16(p_, items_.Take(c));
    std::string_view item;
    items_.Next(item);
    return tz::RewriteReal(p_, item);
  }
  RecordItems items_;
  char* p_;
  bool ok_ = true;
};

// A growing store of text that is written in place; its bytes are not
// initialised, so only the pages written are touched.
class TextStore {
 public:
  void Reserve(std::size_t cap) {
    if (cap <= cap_) return;
    std::unique_ptr<char[]> n(new char[cap]);
    if (size_ > 0) std::memcpy(n.get(), buf_.get(), size_);
    buf_.swap(n);
    cap_ = cap;
  }
  // Room for n more bytes at End().
  char* Room(std::size_t n) {
    if (cap_ - size_ < n) Reserve(std::max(2 * cap_, size_ + n));
    return buf_.get() + size_;
  }
  void Commit(char* end) { size_ = static_cast<std::size_t>(end - buf_.get()); }
  std::size_t Size() const { return size_; }
  const char* Data() const { return buf_.get(); }

 private:
  std::unique_ptr<char[]> buf_;
  std::size_t size_ = 0, cap_ = 0;
};

// Where the output text of a record's items lies: "num upper upx upy upz
// lower lowx lowy lowz " (headLen bytes), then "atr " and, by attribute,
// length, gradient, area (len bytes in all). A record whose input line
// begins with exactly that text (pelmic's records do) is written from the
// line, read again, or, when the input cannot be read again, from the text
// store at `off`. A record in any other form is kept as its line in the
// text store (headLen kAsEdge, len the line's length) and written as an
// Edge.
struct RecordText {
  static constexpr std::uint64_t kFromLine = UINT64_MAX;
  static constexpr std::uint32_t kAsEdge = UINT32_MAX;
  std::uint64_t off;
  std::uint32_t headLen, len;
};

// The edge of a record line; length, gradient and area -1.0 where the
// attribute has none (for an attribute other than 1, 2 and 3 all three).
// The line has been read as a record: its items are numbers.
void ReadEdge(std::string_view line, Edge& e) {
  RecordItems it(line);
  auto integer = [&it] {
    Long v = 0;
    it.Integer(v);
    return v;
  };
  auto real = [&it] {
    double v = 0;
    it.Real(v);
    return v;
  };
  const Long num = integer(), upperNode = integer();
  const double upx = real(), upy = real(), upz = real();
  const Long lowerNode = integer();
  const double lowx = real(), lowy = real(), lowz = real();
  const Int atr = integer();
  double len = -1.0, grd = -1.0, area = -1.0;
  if (atr == 1 || atr == 3) {
    len = real();
    grd = real();
    if (atr == 1) area = real();
  }
  e.Init(num, upperNode, upx, upy, upz, lowerNode, lowx, lowy, lowz, atr, len, grd, area);
}

// The entries of a list text "count entries...".
template <class Add>
void ReadList(const char* p, std::size_t n, Add add) {
  const char* const e = p + n;
  bool count = true;
  while (p != e) {
    std::int64_t v = 0;
    p = std::from_chars(p, e, v).ptr;
    ++p;  // the blank
    if (!count) add(static_cast<Long>(v));
    count = false;
  }
}

// Fisher-Yates with the platform's unseeded rand(): every run draws the
// same sequence. j = floor(r (i + 1) 2^-31) is computed exactly.
// The draws are taken a batch ahead of the exchanges, so that the values
// to exchange can be fetched from memory meanwhile; the exchanges are made
// in the same order.
void Shuffle(Long n, WorkNode* v) {
  constexpr Long kBatch = 32;
  Long j[kBatch];
  for (Long i = n - 1; i >= 1; i -= kBatch) {
    const Long m = std::min<Long>(kBatch, i);  // exchanges at i, i - 1, ..., i - m + 1
    for (Long k = 0; k < m; ++k) {
      std::uint64_t r = static_cast<std::uint64_t>(std::rand());
      j[k] = static_cast<Long>((r * static_cast<std::uint64_t>(i - k + 1)) >> 31);
      tz::Prefetch(&v[j[k]]);
    }
    for (Long k = 0; k < m; ++k) std::swap(v[i - k], v[j[k]]);
  }
}

// The values of one end, grouped by node number; within a node in shuffled
// (insertion) order. `value[p]` is the value at place p, `place[at]` the
// place of record at's own value.
struct Buckets {
  std::vector<WorkNode> value;
  std::vector<std::uint32_t> place;

  // a and b: scratch of at least v.size() values.
  void Build(const std::vector<WorkNode>& v, std::vector<std::uint64_t>& a, std::vector<std::uint64_t>& b) {
    const std::size_t n = v.size();
    // Stable radix sort of (node number, insertion place) by node number,
    // in digits of 11 bits; a digit that all values share needs no pass.
    for (std::size_t i = 0; i < n; ++i)
      a[i] = (static_cast<std::uint64_t>(static_cast<std::uint32_t>(v[i].NodeNum()) ^ 0x80000000u) << 32) | i;
    std::vector<std::uint32_t> count(1u << 11);
    for (int shift = 32; shift < 64; shift += 11) {
      std::fill(count.begin(), count.end(), 0);
      for (std::size_t i = 0; i < n; ++i) ++count[(a[i] >> shift) & 0x7ffu];
      if (n == 0 || count[(a[0] >> shift) & 0x7ffu] == n) continue;
      std::uint32_t sum = 0;
      for (std::uint32_t& c : count) {
        std::uint32_t t = c;
        c = sum;
        sum += t;
      }
      for (std::size_t i = 0; i < n; ++i) b[count[(a[i] >> shift) & 0x7ffu]++] = a[i];
      a.swap(b);
    }
    value.resize(n);
    place.resize(n);
    for (std::size_t q = 0; q < n; ++q) {
      const WorkNode& w = v[static_cast<std::uint32_t>(a[q])];
      value[q] = w;
      place[w.At()] = static_cast<std::uint32_t>(q);
    }
  }
};

// Walks the nodes of own in order: visit(f, l, t, u) for each node, whose
// values are own's [f, l) and other's [t, u) (both hold the same number of
// values).
template <class Visit>
void ForEachNode(const Buckets& own, const Buckets& other, Visit visit) {
  const std::size_t n = own.value.size();
  for (std::size_t f = 0, t = 0; f < n;) {
    std::size_t l = f + 1;
    const Long node = own.value[f].NodeNum();
    while (l < n && own.value[l].NodeNum() == node) ++l;
    while (t < n && other.value[t].NodeNum() < node) ++t;
    std::size_t u = t;
    while (u < n && other.value[u].NodeNum() == node) ++u;
    visit(f, l, t, u);
    f = l;
    t = u;
  }
}

// The lists of the values of `own`, made in the order of its places, so that
// both `own` and `other` are read in sequence. The list of the value at place
// q, whose node's values are own's [f, l) and other's [of, ol): first
// other's, newest first, with sign otherSign (the values before a probe
// inserted after all of them), then those of its own node inserted before
// it, newest first, then those inserted after it, with sign ownSign. Each
// list is "count entries...", every item followed by a blank; the list of
// place q is [off[q], off[q + 1]) in the store, whose bytes are not
// initialised (only the pages written are touched).
void MakeLists(const Buckets& own, int ownSign, const Buckets& other, int otherSign, std::unique_ptr<char[]>& store,
               std::vector<std::uint64_t>& off) {
  // The size of the store: at most 12 characters per item.
  std::size_t bound = 0;
  ForEachNode(own, other, [&bound](std::size_t f, std::size_t l, std::size_t t, std::size_t u) {
    bound += 12 * (l - f) * ((l - f) + (u - t));
  });
  store.reset(new char[bound + 1]);
  char* p = store.get();
  auto put = [&p](std::int64_t v) {
    p = std::to_chars(p, p + 12, v).ptr;
    *p++ = ' ';
  };
  ForEachNode(own, other, [&](std::size_t f, std::size_t l, std::size_t t, std::size_t u) {
    for (std::size_t q = f; q < l; ++q) {
      off[q] = static_cast<std::uint64_t>(p - store.get());
      put(static_cast<std::int64_t>((u - t) + (l - f) - 1));
      for (std::size_t j = u; j > t; --j) put(static_cast<std::int64_t>(otherSign) * other.value[j - 1].EdgeNum());
      for (std::size_t j = q; j > f; --j) put(static_cast<std::int64_t>(ownSign) * own.value[j - 1].EdgeNum());
      for (std::size_t j = q + 1; j < l; ++j) put(static_cast<std::int64_t>(ownSign) * own.value[j].EdgeNum());
    }
  });
  off[own.value.size()] = static_cast<std::uint64_t>(p - store.get());
}

// Writes a record in the output form from its text and its two lists.
void CopyRecord(const RecordText& e, const char* from, const char* upper, std::size_t upperLen, const char* lower,
                std::size_t lowerLen, Writer& file, std::vector<char>& big) {
  const std::size_t size = e.len + upperLen + lowerLen + 1;
  char* start;
  if (size <= file.Capacity()) {
    start = file.Room(size);
  } else {
    big.resize(size);
    start = big.data();
  }
  char* p = std::copy_n(from, e.headLen, start);
  p = std::copy_n(upper, upperLen, p);
  p = std::copy_n(lower, lowerLen, p);
  p = std::copy(from + e.headLen, from + e.len, p);
  *p++ = '\n';
  if (start == big.data())
    file.Put(big.data(), size);
  else
    file.Commit(p);
}

std::string Quoted(std::string_view s) { return "\"" + std::string(s) + "\""; }

// The builder's work on the files of a run, step by step.
class Builder {
 public:
  // The run's files are open.
  explicit Builder(Run& run) : run_(run), console_(std::cout), file_(run.out.Stream()), in_(run.in), content_(in_) {
    run_.console = &console_;
    run_.file = &file_;
  }
  void Build() {
    tzframe::doing("reading the input file", run_.iName);
    Records(Header());
    tzframe::doing("checking the edge numbers of", run_.iName);
    UniqueNumbers();
    tzframe::doing("building the neighbour lists of", run_.iName);
    Lists();
    tzframe::doing("writing the output file", run_.oName);
    WriteRecords();
    Close();
  }

 private:
  // What the builder keeps of a record's items as it reads them.
  struct KeptItems {
    Long num = 0, upperNode = 0, lowerNode = 0;
    std::size_t headLen = 0;  // the output text up to the attribute
    char* end = nullptr;      // the end of the output text
  };

  Long Header();
  Long Count();
  void Records(Long n);
  void ReadRecord(Long i);
  bool ReadItems(char* rec, KeptItems& r, Long i);
  void CheckEnds(const KeptItems& r);
  void UniqueNumbers();
  void Lists();
  void WriteRecords();
  void WriteRecord(std::size_t i);
  void PutDone(std::size_t i);
  void Close();
  void PutLine(std::string_view s) {
    file_.Put(s);
    file_.Put('\n');
  }
  // The reason line that names record i (from 0).
  static std::string NthData(std::size_t i) { return std::to_string(i + 1) + "th data"; }
  // The line that tells what the input lacks.
  std::string Lacks(const char* key) const { return "the input file " + run_.iName + " has no " + key + " line."; }

  Run& run_;
  Writer console_;  // the standard output
  Writer file_;     // the output file
  InputLines in_;
  ContentLines content_;
  std::string_view line_;  // the line read last
  // The records: where their output text lies, the text kept of them, and
  // the end values of the edges (the two arrays of the historical trees).
  std::vector<RecordText> edges_;
  TextStore text_;
  std::vector<WorkNode> upperNodeArray_, lowerNodeArray_;
  std::uint64_t dataAt_ = 0;  // the offset of the first record
  bool reread_ = false;       // the records can be read again from the file
  // The list places of the sort's scratch, and the two buckets and lists.
  std::vector<std::uint64_t> upperOff_, lowerOff_;
  Buckets ups_, lows_;
  std::unique_ptr<char[]> upperLists_, lowerLists_;
  std::vector<char> big_;  // a record longer than the writer's buffer
};

// The header, copied up to its "[Data]" line with the builder's line and
// the new format name; returns the number of records.
Long Builder::Header() {
  auto copy = [this](std::string_view s) { PutLine(s); };
  const bool found = tz::SkipTo(content_, line_, "[Data Format Name]", copy);
  file_.Put("This data was generated from ");
  file_.Put(run_.iName);
  file_.Put(" by ");
  if (run_.command.Length() > 0) file_.Put(static_cast<const char*>(run_.command));
  file_.Put(".\n");
  if (found) PutLine(line_);
  if (!found || !in_.Next(line_) || !tz::BeginsWith(line_, "edge format V.4")) {
    std::vector<std::string> reasons = {"iFile must be edge format V.4 data."};
    if (run_.in == nullptr)
      reasons.push_back("the input file " + run_.iName + " cannot be read: " + tzframe::cause(run_.inError) + ".");
    run_.Fatal(ERR_FORMAT, reasons);
  }
  PutLine("edge connection V.4");
  if (!tz::SkipTo(content_, line_, "[Number of Total Edges]", copy))
    run_.Fatal(ERR_NO_COUNT_LINE, {Lacks("[Number of Total Edges]")});
  PutLine(line_);
  const Long n = Count();
  if (!tz::SkipTo(content_, line_, "[Data]")) run_.Fatal(ERR_NO_DATA, {Lacks("[Data]")});
  PutLine(line_);
  return n;
}

// The line after "[Number of Total Edges]", copied: a non-negative
// integer between blanks.
Long Builder::Count() {
  Long n = -1;
  const bool haveCount = in_.Next(line_);
  if (haveCount) {
    PutLine(line_);
    RecordItems count(line_);
    if (!(count.Integer(n) && !count.More())) n = -1;
  }
  if (n < 0)
    run_.Fatal(ERR_COUNT, {haveCount ? "the number of total edges in " + run_.iName +
                                           " must be a non-negative integer, not " + Quoted(line_) + "."
                                     : "the number of total edges is missing in " + run_.iName + "."});
  return n;
}

// The records. The output text of a record's items goes into the store,
// unless the line holds it and the input is a file that can be read again.
void Builder::Records(Long n) {
  dataAt_ = in_.Tell();
  struct stat st;
  reread_ = run_.in != nullptr && ::fstat(::fileno(run_.in), &st) == 0 && S_ISREG(st.st_mode);
  const std::size_t expect = static_cast<std::size_t>(std::min<Long>(n, 1 << 22));
  edges_.reserve(expect);
  upperNodeArray_.reserve(expect);
  lowerNodeArray_.reserve(expect);
  for (Long i = 0; i < n; ++i) {
    if (!content_.Next(line_))
      run_.Fatal(ERR_RECORDS_END,
                 {NthData(i), "the records of " + run_.iName + " end after " + std::to_string(i) + " of the " +
                                  std::to_string(n) +
                                  " that [Number of Total Edges] gives (at the end of the file or an empty line)."});
    ReadRecord(i);
  }
}

// One record: its items, its ends, and where its output text lies.
void Builder::ReadRecord(Long i) {
  // 13 items of at most 32 characters and a blank, and the 16 bytes an
  // item copied as it stands may write beyond its end.
  char* const rec = text_.Room(16 * 40);
  KeptItems r;
  if (!ReadItems(rec, r, i))
    run_.Fatal(ERR_RECORD, {NthData(i), "the record cannot be read in " + run_.iName + ": " + Quoted(line_)});
  CheckEnds(r);
  const std::size_t headLen = r.headLen, len = static_cast<std::size_t>(r.end - rec);
  const bool outputForm = len <= line_.size() && std::memcmp(rec, line_.data(), len) == 0;
  if (outputForm && reread_) {
    edges_.push_back(
        RecordText{RecordText::kFromLine, static_cast<std::uint32_t>(headLen), static_cast<std::uint32_t>(len)});
  } else if (outputForm) {
    edges_.push_back(RecordText{text_.Size(), static_cast<std::uint32_t>(headLen), static_cast<std::uint32_t>(len)});
    text_.Commit(r.end);
  } else {
    edges_.push_back(RecordText{text_.Size(), RecordText::kAsEdge, static_cast<std::uint32_t>(line_.size())});
    char* r = text_.Room(line_.size());
    text_.Commit(std::copy_n(line_.data(), line_.size(), r));
  }
  upperNodeArray_.push_back(WorkNode(r.num, r.upperNode, static_cast<std::uint32_t>(i)));
  lowerNodeArray_.push_back(WorkNode(r.num, r.lowerNode, static_cast<std::uint32_t>(i)));
}

// The items of record i, written again at rec in the output form; false
// when one cannot be read. An attribute other than 1, 2 and 3 is reported.
bool Builder::ReadItems(char* rec, KeptItems& r, Long i) {
  RecordRewriter items(line_, rec);
  Long atr = 0;
  items.Integer(r.num);
  items.Integer(r.upperNode);
  items.Real(), items.Real(), items.Real();
  items.Integer(r.lowerNode);
  items.Real(), items.Real(), items.Real();
  r.headLen = static_cast<std::size_t>(items.End() - rec);
  items.Integer(atr);
  if (items.Ok() && atr == 1) {
    items.Real(), items.Real(), items.Real(true);
  } else if (items.Ok() && atr == 3) {
    items.Real(), items.Real(true);
  } else if (items.Ok() && atr != 2) {
    run_.Report(ERR_ATTRIBUTE,
                {"record " + std::to_string(i + 1) + " (edge " + std::to_string(r.num) + ") of " + run_.iName +
                 " has the attribute " + std::to_string(atr) + "; it is kept, without length, gradient and area."});
  }
  r.end = items.End();
  return items.Ok();
}

// The lists name an edge k as +k or -k, so the smallest long, which has no
// negative of 32 bits, names none; an edge joins two nodes.
void Builder::CheckEnds(const KeptItems& r) {
  if (r.num == LONG_MIN32)
    run_.Fatal(ERR_UNSIGNED_EDGE, {"edge " + std::to_string(r.num) + " in " + run_.iName +
                                   " cannot be named with a sign; edge numbers lie from -2147483647 to 2147483647."});
  if (r.upperNode == r.lowerNode)
    run_.Fatal(ERR_SAME_NODES, {"edge " + std::to_string(r.num) + " in " + run_.iName +
                                " has the same upper and lower node " + std::to_string(r.upperNode) + "."});
}

// Edge numbers must be unique: report the earliest record that repeats one.
// The scratch holds one more than the values: it serves for the list
// places later.
void Builder::UniqueNumbers() {
  const std::size_t count = upperNodeArray_.size();
  upperOff_.resize(count + 1);
  lowerOff_.resize(count + 1);
  std::vector<std::uint64_t>& byNum = upperOff_;
  for (std::size_t i = 0; i < count; ++i)
    byNum[i] =
        (static_cast<std::uint64_t>(static_cast<std::uint32_t>(upperNodeArray_[i].EdgeNum()) ^ 0x80000000u) << 32) | i;
  // pelmic writes the records sorted by edge number: then nothing to sort.
  if (!std::is_sorted(byNum.begin(), byNum.begin() + static_cast<std::ptrdiff_t>(count)))
    std::sort(byNum.begin(), byNum.begin() + static_cast<std::ptrdiff_t>(count));
  std::size_t repeat = SIZE_MAX, original = 0;
  for (std::size_t q = 1; q < count; ++q) {
    if ((byNum[q] >> 32) == (byNum[q - 1] >> 32)) {
      std::size_t at = static_cast<std::uint32_t>(byNum[q]);
      if (at < repeat) {
        repeat = at;
        original = static_cast<std::uint32_t>(byNum[q - 1]);
      }
    }
  }
  if (repeat != SIZE_MAX)
    run_.Fatal(ERR_EDGE_TWICE,
               {"edge " + std::to_string(upperNodeArray_[repeat].EdgeNum()) + " is given twice in " + run_.iName +
                ", in records " + std::to_string(original + 1) + " and " + std::to_string(repeat + 1) + "."});
}

// The neighbour lists. The buckets of the upper and of the lower ends, in
// place of the trees; the upper lists: edges ending at the upper end's node
// (+), then the other edges starting there (-); the lower lists: edges
// starting at the lower end's node (-), then the other edges ending there
// (+). The sort's scratch then holds where the lists of each place lie.
void Builder::Lists() {
  console_.Put("trees has been built.\n");
  const Long n = static_cast<Long>(upperNodeArray_.size());
  Shuffle(n, upperNodeArray_.data());
  Shuffle(n, lowerNodeArray_.data());
  ups_.Build(upperNodeArray_, upperOff_, lowerOff_);
  lows_.Build(lowerNodeArray_, upperOff_, lowerOff_);
  MakeLists(ups_, -1, lows_, +1, upperLists_, upperOff_);
  MakeLists(lows_, +1, ups_, -1, lowerLists_, lowerOff_);
}

// The records again, in file order, with their lists.
void Builder::WriteRecords() {
  if (reread_ && !in_.Seek(dataAt_)) reread_ = false;
  const std::size_t count = edges_.size();
  for (std::size_t i = 0; i < count; ++i) {
    // The lists lie in bucket order: fetch where those of the records ahead
    // are, and then the lists themselves.
    if (i + 16 < count) {
      tz::Prefetch(&upperOff_[ups_.place[i + 16]]);
      tz::Prefetch(&lowerOff_[lows_.place[i + 16]]);
    }
    if (i + 8 < count) {
      tz::Prefetch(upperLists_.get() + upperOff_[ups_.place[i + 8]]);
      tz::Prefetch(lowerLists_.get() + lowerOff_[lows_.place[i + 8]]);
    }
    WriteRecord(i);
    PutDone(i);
  }
}

// One record with its lists: copied from its line or its text, or written
// as an Edge.
void Builder::WriteRecord(std::size_t i) {
  const std::uint32_t pu = ups_.place[i], pl = lows_.place[i];
  const char* const upper = upperLists_.get() + upperOff_[pu];
  const char* const lower = lowerLists_.get() + lowerOff_[pl];
  const std::size_t upperLen = upperOff_[pu + 1] - upperOff_[pu], lowerLen = lowerOff_[pl + 1] - lowerOff_[pl];
  const RecordText& e = edges_[i];
  // Every record's line is read again, so that the lines stay in step.
  if (reread_ && (!content_.Next(line_) || (e.off == RecordText::kFromLine && line_.size() < e.len))) reread_ = false;
  if (e.off == RecordText::kFromLine && !reread_)
    run_.Fatal(ERR_RECORD, {NthData(i), "the record cannot be read again in " + run_.iName + "."});
  if (e.headLen != RecordText::kAsEdge) {
    CopyRecord(e, e.off == RecordText::kFromLine ? line_.data() : text_.Data() + e.off, upper, upperLen, lower,
               lowerLen, file_, big_);
    return;
  }
  Edge edge;
  ReadEdge(std::string_view(text_.Data() + e.off, e.len), edge);
  ReadList(upper, upperLen, [&edge](Long k) { edge.AddUpperEdge(k); });
  ReadList(lower, lowerLen, [&edge](Long k) { edge.AddLowerEdge(k); });
  file_.Drain();
  run_.out.Stream() << edge;
  run_.out.Stream().put('\n');
}

// "edge <i + 1> done" on the console.
void Builder::PutDone(std::size_t i) {
  char* c = console_.Room(32);
  c = std::copy_n("edge ", 5, c);
  c = std::to_chars(c, c + 12, static_cast<std::int64_t>(i) + 1).ptr;
  c = std::copy_n(" done\n", 6, c);
  console_.Commit(c);
}

// The output, flushed, closed and put in place of its name; a write that
// failed is reported.
void Builder::Close() {
  console_.Flush();
  const bool written = file_.Flush() && run_.out.Close() && run_.out.Commit();
  run_.file = nullptr;
  if (!written) run_.Fatal(tzframe::ERR_CANNOT_WRITE, {tzframe::cannot_write(run_.oName)});
  if (run_.in) std::fclose(run_.in);
}

// The files. The output is checked first: named like the input it would
// replace it, and a folder where it cannot be made is found before anything
// is read.
void Open(Run& run) {
  tzframe::doing("creating the output file", run.oName);
  if (tz::SameFile(run.iName.c_str(), run.oName.c_str()))
    tzframe::fatal(kUnit, ERR_SAME_FILE, {"the output file " + run.oName + " is the input file."});
  if (!run.out.Open()) tzframe::fatal(kUnit, tzframe::ERR_CANNOT_WRITE, {tzframe::cannot_write(run.oName)});
  errno = 0;
  run.in = std::fopen(run.iName.c_str(), "r");
  if (run.in == nullptr) {
    run.inError = errno != 0 ? errno : EIO;
    return;
  }
  struct stat st;
  if (::fstat(::fileno(run.in), &st) == 0 && S_ISDIR(st.st_mode)) {  // opens, but has no lines
    std::fclose(run.in);
    run.in = nullptr;
    run.inError = EISDIR;
  }
}

void Build(Run& run) {
  Open(run);
  Builder(run).Build();
}

}  // namespace

int main(int argc, char** argv) {
  tzframe::start(kUnit, tzframe::ErrorForm::kErrorLine);
  tzframe::doing("reading the file names");
  const tzframe::ToolTexts& texts = *tzframe::tool_texts("dorvask");
  const TzString command(nopath(argv[0]));
  const int firstArg = tzframe::options(argc, argv, texts, command);
  if (argc != 1 && argc != 3) tzframe::usage(texts, command);
  std::vector<std::string> names =
      tzframe::file_names(argc, argv, firstArg, kUnit,
                          {"# edge format V.4 data (input file) : ", "# edge connection V.4 data (output file) : "});
  Run run(names[0], names[1], command);
  Build(run);
  return 0;
}
