// The runoff element Morvelan2d, and the basin network it reads: the edges
// of an edge connection file and the network topology.
#include "morvelan2d-1.h"

#include <sys/types.h>

#include <array>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <sstream>

#include "common.h"
#include "dfopen.h"
#include "edge.h"
#include "model_points.h"
#include "tzcheck.h"
#include "tzfile.h"
#include "tzlines.h"
#include "tzreplace.h"

namespace {
const char* const kUnit = "morvelan2d-1.cpp";
}

// ---------------------------------------------------------------------------
// Edge: one record of an edge connection file (versions 2 to 5)
// ---------------------------------------------------------------------------

void Edge::TopographicData(FILE* fpTopo, int type) {
  ReadNumberAndPoint(fpTopo, type);
  ReadUpperEdges(fpTopo);
  const bool drainsOn = ReadLowerEdges(fpTopo);
  ReadAttribute(fpTopo, drainsOn);
  if (type == 3 || type == 5) ReadDistribution(fpTopo);
}

void Edge::ReadNumberAndPoint(FILE* fpTopo, int type) {
  std::fscanf(fpTopo, "%d", &mNum);
  TZ_CHECK(mNum > 0, kUnit);

  if (type == 2 || type == 3) {
    std::fscanf(fpTopo, "%lf %lf %lf", &mX, &mY, &mZ);
  } else if (type == 4 || type == 5) {
    // Both ends of the edge; its point is their midpoint. The node numbers
    // are not kept.
    Long upNode = 0, lowNode = 0;
    double ux = 0, uy = 0, uz = 0, lx = 0, ly = 0, lz = 0;
    std::fscanf(fpTopo, "%d %lf %lf %lf %d %lf %lf %lf", &upNode, &ux, &uy, &uz, &lowNode, &lx,
                &ly, &lz);
    mX = (ux + lx) * 0.5;
    mY = (uy + ly) * 0.5;
    mZ = (uz + lz) * 0.5;
  } else {
    std::fflush(stdout);
    std::fprintf(stderr, "E: data format error");
    tz::stop(1);
  }
}

void Edge::ReadUpperEdges(FILE* fpTopo) {
  // The list grows with the entries actually read, so a corrupt count ends
  // at the first missing entry instead of reserving memory for it.
  Long num = 0;
  TZ_CHECK_TEXT(std::fscanf(fpTopo, "%d", &numberOfUpperEdges) == 1, kUnit,
                "fscanf(fpTopo, \"%d\", &numberOfUpperEdges) == 1");
  TZ_CHECK(numberOfUpperEdges >= 0, kUnit);
  upperEdgeNumArray.clear();
  for (int i = 0; i < numberOfUpperEdges; i++) {
    TZ_CHECK_TEXT(std::fscanf(fpTopo, "%d", &num) == 1, kUnit, "fscanf(fpTopo, \"%ld\", &num) == 1");
    upperEdgeNumArray.push_back(num);
  }
  upperEdgeNumArray.resize(numberOfUpperEdges > 0 ? numberOfUpperEdges : 1, 0);
  upperEdgeArray.assign(upperEdgeNumArray.size(), nullptr);
  nextUpperSlot = 0;
}

bool Edge::ReadLowerEdges(FILE* fpTopo) {
  // Only whether one of them receives this edge's water.
  int tmp = 0;
  Long num = 0;
  TZ_CHECK_TEXT(std::fscanf(fpTopo, "%d", &tmp) == 1, kUnit, "fscanf(fpTopo, \"%d\", &tmp) == 1");
  TZ_CHECK(tmp >= 0, kUnit);
  bool drainsOn = false;
  for (int i = 0, n = tmp; i < n; i++) {
    TZ_CHECK_TEXT(std::fscanf(fpTopo, "%d", &num) == 1, kUnit, "fscanf(fpTopo, \"%ld\", &num) == 1");
    if (num < 0) drainsOn = true;
  }
  return drainsOn;
}

void Edge::ReadAttribute(FILE* fpTopo, bool drainsOn) {
  int tmp = 0;
  TZ_CHECK_TEXT(std::fscanf(fpTopo, "%d", &tmp) == 1, kUnit, "fscanf(fpTopo, \"%d\", &tmp) == 1");
  TZ_CHECK(tmp == 1 || tmp == 2, kUnit);
  mAtr = tmp;
  lowestEdge = (mAtr == 2 && !drainsOn) ? EDGE_YES : EDGE_NO;
  if (mAtr != 1) return;

  // The slope: its length, gradient and area.
  double wlen = 0, wgrd = 0, warea = 0;
  TZ_CHECK_TEXT(std::fscanf(fpTopo, "%lf %lf %lf", &wlen, &wgrd, &warea) == 3, kUnit,
                "fscanf(fpTopo, \"%lf %lf %lf\", &wlen, &wgrd, &warea) == 3");
  TZ_CHECK(wlen > 0.0, kUnit);
  if (wgrd <= 0.0) wgrd = 0.00001;
  TZ_CHECK(warea > 0.0, kUnit);
  // "nan" and "inf" are read as numbers; any of them here would make every
  // discharge downstream of the edge no number.
  TZ_CHECK(std::isfinite(wlen) && std::isfinite(wgrd) && std::isfinite(warea), kUnit);
  mArea = warea;
  mWidth = warea / wlen;
  mL = wlen * std::sqrt(wgrd * wgrd + 1);
  mGrd = std::sin(std::atan(wgrd));
  mCos = std::cos(std::asin(mGrd));
}

void Edge::ReadDistribution(FILE* fpTopo) {
  TZ_CHECK_TEXT(std::fscanf(fpTopo, "%lf %lf", &mDist, &mUpperArea) == 2, kUnit,
                "fscanf(fpTopo, \"%lf %lf\", &mDist, &mUpperArea) == 2");
  TZ_CHECK(mDist > 0.0, kUnit);
  TZ_CHECK(mUpperArea >= 0.0, kUnit);
  TZ_CHECK(std::isfinite(mDist) && std::isfinite(mUpperArea), kUnit);
}

// ---------------------------------------------------------------------------
// Edge: network topology
// ---------------------------------------------------------------------------

Int Edge::RegisterUpperEdge(Edge* p) {
  if (nextUpperSlot >= upperEdgeArray.size()) return EDGE_NO;
  upperEdgeArray[nextUpperSlot] = p;
  if (p != nullptr) nextUpperSlot++;  // an empty pointer leaves the slot empty
  return EDGE_YES;
}

void Edge::DistributionRate() {
  if (mAtr == 2) {
    // The inflow at the upper node is shared equally by all edges leaving it.
    int h = 1;
    for (int i = 0; i < numberOfUpperEdges; i++) {
      if (upperEdgeNumArray[i] < 0) h++;
    }
    mDist = 1.0 / h;
    return;
  }
  // A slope edge shares with the slope edges leaving its upper node in
  // proportion to sqrt(gradient) x width; equally when a river edge leaves it.
  double f = std::sqrt(mGrd) * mWidth;
  double g = f;
  double h = 1;
  bool riverLeaves = false;
  for (int i = 0; i < numberOfUpperEdges; i++) {
    if (upperEdgeNumArray[i] >= 0) continue;
    const Edge* k = upperEdgeArray[i];
    h = h + 1;
    if (k->mAtr == 1)
      g = g + std::sqrt(k->mGrd) * k->mWidth;
    else if (k->mAtr == 2)
      riverLeaves = true;
  }
  mDist = riverLeaves ? 1 / h : f / g;
}

const Edge* Edge::UpperRiver() const {
  for (int i = 0; i < numberOfUpperEdges; i++)
    if (upperEdgeNumArray[i] > 0 && upperEdgeArray[i]->mAtr == 2) return upperEdgeArray[i];
  return nullptr;
}

void Edge::CalcUpperArea() {
  if (const Edge* k = UpperRiver()) {
    std::fflush(stdout);
    std::fprintf(stderr, "wrong connection of edges:\n");
    std::fprintf(stderr, "from %d to %d\n", k->mNum, mNum);
    tz::stop(1);
  }
  mUpperArea = 0;
  for (int i = 0; i < numberOfUpperEdges; i++) {
    if (upperEdgeNumArray[i] <= 0) continue;
    const Edge* k = upperEdgeArray[i];
    mUpperArea = mUpperArea + (k->mArea + k->mUpperArea);
  }
  mUpperArea = mUpperArea * mDist;
}

// ---------------------------------------------------------------------------
// Morvelan2d: reading helpers
// ---------------------------------------------------------------------------

namespace {

// The characters other than white space from the position of f to its end;
// f is left where it was.
std::uint64_t NonBlankLeft(FILE* f) {
  const off_t at = ftello(f);
  std::uint64_t n = 0;
  char block[1 << 16];
  std::size_t got;
  while ((got = std::fread(block, 1, sizeof block, f)) > 0)
    for (std::size_t k = 0; k < got; k++)
      if (!std::isspace(static_cast<unsigned char>(block[k]))) n++;
  std::clearerr(f);
  fseeko(f, at, SEEK_SET);
  return n;
}

// A double in the default formatting of an output stream.
std::string StreamText(double v) {
  std::ostringstream os;
  os << v;
  return os.str();
}

}  // namespace

std::ostream* Morvelan2d::rainSumStream = nullptr;

// ---------------------------------------------------------------------------
// Morvelan2d: construction
// ---------------------------------------------------------------------------

Morvelan2d::Morvelan2d(const char* name, int number) {
  class_name = "Morvelan2d";
  Init(name, number);
}

Morvelan2d::Morvelan2d() { class_name = "Morvelan2d"; }

Morvelan2d::~Morvelan2d() {
  edgeArray.reset();
  treeKeyedByEdgeNumber.Erase();
}

Boolean Morvelan2d::Init(const char* name, int number) {
  rp.Init("rp", 0);
  sp.Init("sp", 0);
  spSarea.Init("spSarea", 0);
  spStorage.Init("spStorage", 0);
  mStorage = 0;
  return Element::Init(name, number, 0, nullptr);
}

int Morvelan2d::Init(const char* name, int number, FILE*) { return Init(name, number); }

int Morvelan2d::Register_receive_ports() { return Register(&rp) == YES ? 1 : 0; }

int Morvelan2d::Register_send_ports() {
  int ok = 1;
  if (Register(&sp) != YES) ok = 0;
  if (Register(&spSarea) != YES) ok = 0;
  if (Register(&spStorage) != YES) ok = 0;
  return ok;
}

void Morvelan2d::Fail(Morvelan2d_point point, const std::string& extra) const {
  std::fflush(stdout);
  Report_values(point, "%s", extra.c_str());
  tz::stop(1);
}

Edge* Morvelan2d::FindEdge(Long num) const {
  TzKeyedData<Long, Edge*>* d = treeKeyedByEdgeNumber.GetPtrToData(num);
  return d ? d->Data() : nullptr;
}

// ---------------------------------------------------------------------------
// Morvelan2d: where a reader is in its file
// ---------------------------------------------------------------------------

namespace {

// "File: <path>, edge <n>, line <l>": a record by its edge number once that
// is read (above 0), else by its place among the records (from 1); neither
// for a line before the records, no line when it is not known (0).
std::string Place(const std::string& path, Long edge, Long record, std::int64_t line) {
  std::string s = "File: " + path;
  if (edge > 0)
    s += ", edge " + std::to_string(edge);
  else if (record > 0)
    s += ", record " + std::to_string(record);
  if (line > 0) s += ", line " + std::to_string(line);
  return s;
}

}  // namespace

// The place of a reader in one of the element's files while it lives: a
// check that fails meanwhile first names the file, the record and the line
// in the user's file, and a value of a record that is not a finite number
// is refused in the element's report naming the same. A record costs a
// store or two; the line is found only for the report.
class Morvelan2d::ReadingPlace : public tz::CheckContext {
 public:
  ReadingPlace(const Morvelan2d& element, const std::string& path, FILE* copy)
      : element_(element), path_(path), copy_(copy) {}
  // The edge count, on the line that begins at `offset` of the copy (-1: the
  // file has no "[Number of Total Edges]").
  void Count(std::int64_t offset) {
    record_ = 0;
    countAt_ = offset;
  }
  // The record-th record (from 1), its edge number not read yet...
  void Record(Long record) {
    record_ = record;
    edge_ = nullptr;
    num_ = nullptr;
  }
  // ... and where it is read to: the edge's number, or a number of its own.
  void Number(const Edge* edge) { edge_ = edge; }
  void Number(const Long* num) { num_ = num; }

  // A value of the record just read, by its name in the report.
  struct Value {
    const char* name;
    double value;
  };
  // The first of `values`, items 1, 2, ... of the record just read (item 0
  // its edge number), that is not a finite number ("inf", "nan", or a
  // number beyond the range of a double such as 1e999) is refused: the
  // file is closed and the report at `position` names the file, the record,
  // the line of the value and its name. end[i] holds the characters read
  // through item i, the last one those of the whole record.
  template <std::size_t N>
  void RefuseNotFinite(Morvelan2d_point position, const int (&end)[N], std::initializer_list<Value> values) const {
    int item = 1;
    for (const Value& v : values) {
      if (!std::isfinite(v.value)) RefuseValue(position, end, static_cast<int>(N), item, v.name);
      item++;
    }
  }

  void Print(FILE* err) const override {
    if (record_ == 0) {
      const std::int64_t line = countAt_ < 0 ? 0 : dataFileLine(path_.c_str(), countAt_);
      std::fprintf(err, "%s: the edge count under [Number of Total Edges] fails the check below\n",
                   Place(path_, 0, 0, line).c_str());
      return;
    }
    const std::int64_t line = dataFileLine(path_.c_str(), std::ftell(copy_));
    std::fprintf(err, "%s: this record fails the check below\n",
                 Place(path_, EdgeNumber(), record_, line).c_str());
  }

 private:
  Long EdgeNumber() const { return edge_ ? edge_->Num() : num_ ? *num_ : 0; }

  [[noreturn]] void RefuseValue(Morvelan2d_point position, const int* end, int items, int item,
                                const char* name) const {
    const std::int64_t start = std::ftell(copy_) - end[items - 1];
    const std::int64_t line = dataFileLine(path_.c_str(), start + end[item] - 1);
    const std::string text =
        Place(path_, EdgeNumber(), record_, line) + ": " + name + " is not a finite number\n";
    std::fclose(copy_);
    element_.Fail(position, text);
  }

  const Morvelan2d& element_;
  const std::string& path_;
  FILE* copy_;
  Long record_ = 0;
  std::int64_t countAt_ = -1;
  const Edge* edge_ = nullptr;
  const Long* num_ = nullptr;
};

namespace {

// The line after the first one of f beginning with `key` (empty when the
// file ends first); returns the offset of the copy where it begins, -1
// when there is no such key.
std::int64_t LineAfter(FILE* f, const char* key, std::string& line) {
  line.clear();
  if (!tz::SkipTo(f, key)) return -1;
  const std::int64_t at = std::ftell(f);
  tz::ReadLine(f, line);
  return at;
}

}  // namespace

// ---------------------------------------------------------------------------
// Morvelan2d: parameters and network
// ---------------------------------------------------------------------------

int Morvelan2d::Set_parameter(FILE* f) {
  if (initialStateEarly) Fail(Morvelan2d_point::not_ready_to_start, "The initial state came before the parameters.\n");
  ReadParameterLine(f);
  ReadNetwork();
  Oprint(stderr, "    ");
  PrintSlopeArea();
  IndexEdges();
  ReadFlowParameters();
  LinkUpperEdges();
  ShareUpperAreas();
  parameterRead = true;
  return 1;
}

void Morvelan2d::ReadParameterLine(FILE* f) {
  int dt = 0;
  std::string s1, s2;
  double xorig = 0, yorig = 0, dx = 0, dy = 0;
  int items = 0;
  if (f) RefuseNotFiniteTimeStep(f);
  if (f && std::fscanf(f, "%d", &dt) == 1) {
    items = 1;
    if (Read_word(f, s1) && s1.size() <= kMaxFileName) {
      items = 2;
      if (Read_word(f, s2) && s2.size() <= kMaxFileName) {
        items = 3;
        const std::int64_t at = ftello(f);
        int end[4] = {};  // characters read through each value
        int n = std::fscanf(f, "%lf%n %lf%n %lf%n %lf%n", &xorig, &end[0], &yorig, &end[1], &dx, &end[2], &dy,
                            &end[3]);
        if (n > 0) items += n;
        if (n == 4) RefuseNotFiniteGrid(f, at, end, {xorig, yorig, dx, dy});
      }
    }
  }
  if (items < 7) Fail(Morvelan2d_point::parameter_line_unread, "");
  TZ_CHECK(dt > 0, kUnit);
  TZ_CHECK(dx > 0.0, kUnit);
  TZ_CHECK(dy > 0.0, kUnit);
  mDt = dt;
  mDx = dx;
  mDy = dy;
  mXorig = xorig;
  mYorig = yorig;
  topoFileName = s1;
  paramFileName = s2;
}

void Morvelan2d::RefuseNotFiniteTimeStep(FILE* f) const {
  // The time step is read as an integer, which "inf", "nan" or "1e999" is
  // not (or only in part): its word is looked at first, and f left where
  // it was.
  const off_t at = ftello(f);
  if (at < 0) return;
  std::string word;
  const bool got = Read_word(f, word);
  const std::int64_t end = ftello(f);
  fseeko(f, at, SEEK_SET);
  if (!got || word.empty()) return;
  char* stop = nullptr;
  const double v = std::strtod(word.c_str(), &stop);
  if (stop == word.c_str() + word.size() && !std::isfinite(v)) RefuseLineValue("the time step", word, end - 1);
}

void Morvelan2d::RefuseNotFiniteGrid(FILE* f, std::int64_t at, const int* end,
                                     const std::array<double, 4>& values) const {
  static const char* const names[] = {"the grid origin x", "the grid origin y", "the cell size in x",
                                      "the cell size in y"};
  for (int i = 0; i < 4; i++) {
    if (std::isfinite(values[i])) continue;
    // The value as written: the characters read for it, blanks before it
    // left out.
    const int from = i > 0 ? end[i - 1] : 0;
    std::string text(static_cast<std::size_t>(end[i] - from), '\0');
    fseeko(f, static_cast<off_t>(at + from), SEEK_SET);
    text.resize(std::fread(&text[0], 1, text.size(), f));
    text.erase(0, text.find_first_not_of(" \t\r\n\v\f"));
    RefuseLineValue(names[i], text, at + end[i] - 1);
  }
}

void Morvelan2d::RefuseLineValue(const char* name, const std::string& text, std::int64_t last) const {
  const char* pmt = Framework_file();
  const std::string where = pmt ? Place(pmt, 0, 0, dataFileLine(pmt, last)) + ": " : "";
  Fail(Morvelan2d_point::parameter_line_not_finite, where + name + " '" + text + "' is not a finite number\n");
}

void Morvelan2d::PrintSlopeArea() const {
  double slopeArea = 0;
  for (Long i = 0; i < numberOfEdges; i++)
    if (edgeArray[i].Atr() == 1) slopeArea += edgeArray[i].Area();
  std::printf("\ttotal area: %s(m2)\n", StreamText(slopeArea).c_str());
}

void Morvelan2d::ShareUpperAreas() {
  // Versions 2 and 4 give no distribution rates and upper areas: they are
  // computed from the network, in which no river edge may drain into
  // another edge (CalcUpperArea stops on it, named first with the file).
  mSumArea = 0;
  for (Long i = 0; i < numberOfEdges; i++) {
    if (mTopoDataType == 2 || mTopoDataType == 4) {
      edgeArray[i].DistributionRate();
      if (const Edge* river = edgeArray[i].UpperRiver()) {
        std::fflush(stdout);
        std::fprintf(stderr,
                     "File: %s: the river edge %d drains into edge %d: river reaches in series need an edge "
                     "connection V.3 or V.5 file, which carries each edge's distribution rate and upper area\n",
                     topoFileName.c_str(), river->Num(), edgeArray[i].Num());
      }
      edgeArray[i].CalcUpperArea();
    }
    mSumArea += edgeArray[i].Area();
  }
}

void Morvelan2d::ReadNetwork() {
  FILE* fpTopo = dataFileOpen(topoFileName.c_str());
  TZ_CHECK_TEXT(fpTopo != nullptr, kUnit, "(fpTopo = dataFileOpen(s1)) != NULL");
  ReadingPlace place(*this, topoFileName, fpTopo);
  std::string buf;
  mTopoDataType = 0;
  if (tz::SkipTo(fpTopo, "[Data Format Name]") && tz::ReadLine(fpTopo, buf)) {
    static const char* const versions[] = {"edge connection V.2", "edge connection V.3",
                                           "edge connection V.4", "edge connection V.5"};
    for (int v = 0; v < 4; v++)
      if (tz::BeginsWith(buf, versions[v])) mTopoDataType = v + 2;
  }
  if (mTopoDataType == 0) {
    std::fclose(fpTopo);
    Fail(Morvelan2d_point::network_version, "");
  }
  Long numEdges = 0;
  place.Count(LineAfter(fpTopo, "[Number of Total Edges]", buf));
  TZ_CHECK_TEXT(std::sscanf(buf.c_str(), "%d", &numEdges) == 1, kUnit,
                "sscanf(buf, \"%ld\", &numEdges) == 1");
  TZ_CHECK(numEdges > 0, kUnit);
  numberOfEdges = numEdges;
  tz::SkipTo(fpTopo, "[Data]");
  // A count larger than the records the rest of the file can hold is not
  // believed for the array: every record holds four numbers whose reading
  // is checked (its number, the counts of its upper and lower edges, its
  // attribute), each of at least one character, so the reading stops at a
  // missing record before more edges than that are needed. A wrong count on
  // a short file so stops at that record without reserving its memory.
  const std::uint64_t room = NonBlankLeft(fpTopo) / 4 + 1;
  const Long reserved =
      static_cast<std::uint64_t>(numEdges) < room ? numEdges : static_cast<Long>(room);
  {
    Memory_site site(Morvelan2d_point::edges_memory, "Edge", reserved, 1, this);
    edgeArray.reset(new Edge[static_cast<std::size_t>(reserved)]);
  }
  for (Long i = 0; i < numberOfEdges; i++) {
    place.Record(i + 1);
    TZ_CHECK(i < reserved, kUnit);
    place.Number(&edgeArray[i]);
    edgeArray[i].TopographicData(fpTopo, mTopoDataType);
  }
  std::fclose(fpTopo);
}

void Morvelan2d::IndexEdges() {
  treeKeyedByEdgeNumber.Erase();
  for (Long i = 0; i < numberOfEdges; i++) {
    Long num = edgeArray[i].Num();
    if (FindEdge(num)) {
      char text[128];
      std::snprintf(text, sizeof text, "Edge %d appears more than once in ", num);
      Fail(Morvelan2d_point::network_edge_twice, text + topoFileName + ".\n");
    }
    treeKeyedByEdgeNumber.Insert(num, &edgeArray[i]);
  }
}

void Morvelan2d::ReadEdgeFileHead(FILE* f, ReadingPlace& place, const std::string& path, const char* format,
                                  Morvelan2d_point otherFormat, Morvelan2d_point otherCount) const {
  std::string buf;
  if (!tz::SkipTo(f, "[Data Format Name]") || !tz::ReadLine(f, buf) || !tz::BeginsWith(buf, format)) {
    std::fclose(f);
    Fail(otherFormat, "");
  }
  Long numtmp = 0;
  place.Count(LineAfter(f, "[Number of Total Edges]", buf));
  TZ_CHECK_TEXT(std::sscanf(buf.c_str(), "%d", &numtmp) == 1, kUnit,
                "sscanf(buf, \"%ld\", &numtmp) == 1");
  if (numtmp != numberOfEdges) {
    std::fclose(f);
    Fail(otherCount, path + ".\n");
  }
  tz::SkipTo(f, "[Data]");
}

Edge* Morvelan2d::RecordEdge(FILE* f, Long num, std::vector<char>& given, const std::string& path, const char* what,
                             Morvelan2d_point unknown, Morvelan2d_point twice) const {
  Edge* e = FindEdge(num);
  char text[128];
  if (!e) {
    std::fclose(f);
    std::snprintf(text, sizeof text, "Edge %d was not found in edgeArray\n", num);
    Fail(unknown, text);
  }
  std::size_t index = static_cast<std::size_t>(e - edgeArray.get());
  if (given[index]) {
    std::fclose(f);
    std::snprintf(text, sizeof text, "Edge %d has a second %s record in ", num, what);
    Fail(twice, text + path + ".\n");
  }
  given[index] = 1;
  return e;
}

void Morvelan2d::ReadFlowParameters() {
  const std::string& s2 = paramFileName;
  FILE* fpParam = dataFileOpen(s2.c_str());
  TZ_CHECK_TEXT(fpParam != nullptr, kUnit, "(fpParam = dataFileOpen(s2)) != NULL");
  ReadingPlace place(*this, s2, fpParam);
  ReadEdgeFileHead(fpParam, place, s2, "Morvelan Parameter Form", Morvelan2d_point::parameter_file_format,
                   Morvelan2d_point::parameter_file_count);
  std::vector<char> given(static_cast<std::size_t>(numberOfEdges), 0);
  for (Long k = 0; k < numberOfEdges; k++) {
    Long num = 0;
    double man = 0, m = 0, ka = 0, d = 0, da = 0, dm = 0, beta = 0, theta = 0, cmin = 0,
           Qlevel = 0, eps = 0;
    int ndiv = 0;
    int end[13] = {};  // characters read through each item
    place.Record(k + 1);
    int n = std::fscanf(fpParam,
                        "%d%n %lf%n %lf%n %lf%n %lf%n %lf%n %lf%n %lf%n %lf%n %lf%n %lf%n %lf%n %d%n",
                        &num, &end[0], &man, &end[1], &m, &end[2], &ka, &end[3], &d, &end[4], &da,
                        &end[5], &dm, &end[6], &beta, &end[7], &theta, &end[8], &cmin, &end[9],
                        &Qlevel, &end[10], &eps, &end[11], &ndiv, &end[12]);
    if (n < 13) {
      std::fclose(fpParam);
      Fail(Morvelan2d_point::parameter_record_unread, "File: " + s2 + "\n");
    }
    place.Number(&num);
    place.RefuseNotFinite(Morvelan2d_point::parameter_not_finite, end,
                          {{"man", man}, {"m", m}, {"ka", ka}, {"d", d}, {"da", da}, {"dm", dm},
                           {"beta", beta}, {"theta", theta}, {"cmin", cmin}, {"Qlevel", Qlevel},
                           {"eps", eps}});
    TZ_CHECK(num > 0, kUnit);
    TZ_CHECK(man > 0.0, kUnit);
    TZ_CHECK(m > 0.0, kUnit);
    TZ_CHECK(ka > 0.0, kUnit);
    TZ_CHECK(d >= da, kUnit);
    TZ_CHECK(da >= 0.0, kUnit);
    TZ_CHECK(0.0 <= dm && dm < da, kUnit);
    TZ_CHECK(beta >= 1.0, kUnit);
    TZ_CHECK(0.0 <= theta && theta <= 1.0, kUnit);
    TZ_CHECK(cmin > 0.0, kUnit);
    TZ_CHECK(Qlevel > 0.0, kUnit);
    TZ_CHECK(eps > 0.0, kUnit);
    TZ_CHECK(ndiv > 0, kUnit);
    Edge* e = RecordEdge(fpParam, num, given, s2, "parameter", Morvelan2d_point::parameter_edge_unknown,
                         Morvelan2d_point::parameter_edge_twice);
    e->ParametersInFlowModel(man, m, ka, d, da, dm, beta, theta, cmin, Qlevel, eps, ndiv, mDt);
  }
  std::fclose(fpParam);
  // As many records as edges, none unknown and none twice: every edge has
  // its parameters.
}

void Morvelan2d::LinkUpperEdges() {
  // An edge listed after an edge it drains into (a late link) gives that
  // edge its outflow of the previous step: counted while linking, told once.
  Long late = 0;
  Long lateFrom = 0, lateTo = 0;  // the records (from 0) of the first late link
  for (Long i = 0; i < numberOfEdges; i++) {
    for (Int k = 0; k < edgeArray[i].NumberOfUpperEdges(); k++) {
      Long num = edgeArray[i].UpperEdgeNumArray(k);
      // The smallest long has no positive form; no edge has that number.
      Long absNum = num < 0 && num != LONG_MIN32 ? -num : num;
      Edge* p = FindEdge(absNum);
      if (!p) {
        char text[128];
        std::snprintf(text, sizeof text, "Edge %d was not found in edgeArray\n", absNum);
        Fail(Morvelan2d_point::upper_edge_unknown, text);
      }
      const Long from = static_cast<Long>(p - edgeArray.get());
      if (num > 0 && from > i && late++ == 0) {
        lateFrom = from;
        lateTo = i;
      }
      TZ_CHECK_TEXT(edgeArray[i].RegisterUpperEdge(p) == EDGE_YES, kUnit,
                    "edgeArray[i].RegisterUpperEdge(p) == (Boolean)YES");
    }
  }
  if (late > 0) WarnLateLinks(late, lateFrom, lateTo);
}

void Morvelan2d::WarnLateLinks(Long late, Long from, Long to) const {
  char text[512];
  std::snprintf(text, sizeof text,
                "File: %s: %d %s from an edge to one listed before it, the first from edge %d (record %d) to "
                "edge %d (record %d): the downstream edge takes the upstream edge's outflow of the previous "
                "step. List the upstream edge first (pelmic writes the edges by number: number them upstream "
                "first).\n",
                topoFileName.c_str(), late, late == 1 ? "link runs" : "links run", edgeArray[from].Num(), from + 1,
                edgeArray[to].Num(), to + 1);
  std::fflush(stdout);
  Warn_values(Morvelan2d_point::late_links, "%s", text);
}

// ---------------------------------------------------------------------------
// Morvelan2d: initial state
// ---------------------------------------------------------------------------

int Morvelan2d::Set_initial_state(FILE* f) {
  Long t = 0;
  std::string name;
  int items = 0;
  if (f && std::fscanf(f, "%d", &t) == 1) {
    items = 1;
    if (Read_word(f, name) && name.size() <= kMaxDisFileName) items = 2;
  }
  if (items < 2) Fail(Morvelan2d_point::initial_line_unread, "");
  // Without the network the discharges cannot be read. Parameters that come
  // later are refused; none at all is reported at the initial work.
  if (!parameterRead) {
    initialStateEarly = true;
    return 1;
  }
  current_time = t;
  edgeDisFileName = name;
  RefuseTerminalFileOnAnInput();
  ReadDischarges();
  initialStateRead = true;
  return 1;
}

void Morvelan2d::Own_files(std::vector<Own_file>& inputs, std::vector<Own_file>& outputs) {
  inputs.push_back({"edge connection file", topoFileName});
  inputs.push_back({"edge parameter file", paramFileName});
  if (edgeDisFileName.empty()) return;  // no initial-state line read
  inputs.push_back({"initial discharge file", edgeDisFileName});
  outputs.push_back({"terminal discharge file", edgeDisFileName + ".tst"});
}

void Morvelan2d::RefuseTerminalFileOnAnInput() const {
  const std::string tst = edgeDisFileName + ".tst";
  const struct {
    const char* what;
    const std::string& name;
  } inputs[] = {{"edge connection file", topoFileName},
                {"edge parameter file", paramFileName},
                {"initial discharge file", edgeDisFileName}};
  for (const auto& in : inputs) {
    if (tz::SameFile(tst.c_str(), in.name.c_str()))
      Fail(Morvelan2d_point::terminal_file_on_input, "The terminal discharge file " + tst + " is the " + in.what +
                                                         " " + in.name + ": the end of the run would overwrite it.\n");
  }
}

void Morvelan2d::ReadDischarges() {
  FILE* fpDis = dataFileOpen(edgeDisFileName.c_str());
  TZ_CHECK_TEXT(fpDis != nullptr, kUnit, "(fpDis = dataFileOpen(edgeDisFileName)) != NULL");
  ReadingPlace place(*this, edgeDisFileName, fpDis);
  ReadEdgeFileHead(fpDis, place, edgeDisFileName, "Morvelan Initial State Form",
                   Morvelan2d_point::discharge_file_format, Morvelan2d_point::discharge_file_count);
  std::vector<char> given(static_cast<std::size_t>(numberOfEdges), 0);
  for (Long k = 0; k < numberOfEdges; k++) {
    Long num = 0;
    double updis = 0, lowdis = 0;
    int end[3] = {};  // characters read through each item
    place.Record(k + 1);
    if (std::fscanf(fpDis, "%d%n %lf%n %lf%n", &num, &end[0], &updis, &end[1], &lowdis, &end[2]) < 3) {
      std::fclose(fpDis);
      Fail(Morvelan2d_point::discharge_record_unread, "File: " + edgeDisFileName + "\n");
    }
    place.Number(&num);
    place.RefuseNotFinite(Morvelan2d_point::discharge_not_finite, end,
                          {{"the discharge at the upper end", updis},
                           {"the discharge at the lower end", lowdis}});
    TZ_CHECK(num > 0, kUnit);
    TZ_CHECK(updis >= 0.0, kUnit);
    TZ_CHECK(lowdis >= 0.0, kUnit);
    Edge* e = RecordEdge(fpDis, num, given, edgeDisFileName, "discharge", Morvelan2d_point::discharge_edge_unknown,
                         Morvelan2d_point::discharge_edge_twice);
    e->Discharge(updis, lowdis);
    e->CalcSatArea();
  }
  std::fclose(fpDis);
  // As many records as edges, none unknown and none twice: every edge has
  // its discharges.
}

// ---------------------------------------------------------------------------
// Morvelan2d: initial output and time step
// ---------------------------------------------------------------------------

void Morvelan2d::MapAndSendInitial(const TzMatrix<double>& grid) {
  MapEdgesToCells(static_cast<Long>(grid.GetRows()), static_cast<Long>(grid.GetCols()));
  mapRows = grid.GetRows();
  mapCols = grid.GetCols();
  SendInitial();
}

void Morvelan2d::MapEdgesToCells(Long rows, Long cols) {
  // The cells are searched in blocks of 5 x 5 (fewer on a smaller grid).
  Long cellblk = 5;
  if (rows < cellblk || cols < cellblk) cellblk = rows < cols ? rows : cols;
  for (Long e = 0; e < numberOfEdges; e++) {
    Edge& edge = edgeArray[e];
    if (edge.Atr() != 1) continue;
    if (FindCell(edge, rows, cols, cellblk)) continue;
    char text[256];
    std::snprintf(text, sizeof text,
                  "    Cannot find the cell block in which\n"
                  "    the edge %d (%f, %f) is included.\n",
                  edge.Num(), edge.X(), edge.Y());
    Fail(Morvelan2d_point::edge_outside_grid, text);
  }
}

bool Morvelan2d::FindCell(Edge& edge, Long rows, Long cols, Long cellblk) const {
  const Long bx = (rows + cellblk - 1) / cellblk;
  const Long by = (cols + cellblk - 1) / cellblk;
  const double x = edge.X();
  const double y = edge.Y();
  for (Long I = 0; I < bx; I++) {
    const double blx = mXorig + I * cellblk * mDx;
    const double bux = mXorig + (I + 1) * cellblk * mDx;
    if (!(blx <= x && x < bux)) continue;
    for (Long J = 0; J < by; J++) {
      const double bly = mYorig + J * cellblk * mDy;
      const double buy = mYorig + (J + 1) * cellblk * mDy;
      if (!(bly <= y && y < buy)) continue;
      for (Long i = 0; i < cellblk; i++) {
        if (I * cellblk + i >= rows) {
          char text[256];
          std::snprintf(text, sizeof text,
                        "Can not find the cell which includes the slope unit %d,\n"
                        "which is located at [%f, %f].\n",
                        edge.Num(), x, y);
          Fail(Morvelan2d_point::cell_not_in_block, text);
        }
        const double clx = blx + i * mDx;
        const double cux = blx + (i + 1) * mDx;
        for (Long j = 0; j < cellblk && J * cellblk + j < cols; j++) {
          const double cly = bly + j * mDy;
          const double cuy = bly + (j + 1) * mDy;
          if (clx <= x && x < cux && cly <= y && y < cuy) {
            edge.Gx(I * cellblk + i);
            edge.Gy(J * cellblk + j);
            return true;
          }
        }
      }
    }
  }
  return false;
}

void Morvelan2d::SendInitial() {
  mQoutc = 0;
  double S = 0;
  for (Long e = 0; e < numberOfEdges; e++) {
    const Edge& edge = edgeArray[e];
    if (edge.LowestEdge() == EDGE_YES) mQoutc += edge.DischargeLowerEnd();
    if (edge.Atr() == 1) S += edge.Sarea();
  }
  const double ratio = mSumArea != 0 ? S / mSumArea : std::numeric_limits<double>::quiet_NaN();
  sp.Send_data(current_time, mQoutc);
  spSarea.Send_data(current_time, ratio);
  spStorage.Send_data(current_time, mStorage);
  initialOutputDone = true;
}

int Morvelan2d::Initial_output() {
  if (!parameterRead || !initialStateRead)
    Fail(Morvelan2d_point::not_ready_to_start,
         parameterRead ? "Its initial-state line was not read.\n"
                       : "Its parameters were never read: the parameter file has no block for it.\n");
  if (initialOutputDone) return YES;
  Data_pack* first = nullptr;
  Data_pack* last = nullptr;
  if (rp.Get_data_pack(first, current_time, last, 'b') != YES) return NO;
  MapAndSendInitial(static_cast<const Data<TzMatrix<double>>*>(first)->Value());
  return YES;
}

int Morvelan2d::Calculate() {
  // The initial output that could not be done at the initial work (no rain
  // at the start time yet) comes before the first step.
  if (!initialOutputDone) {
    if (Initial_output() != YES) return NO;
    initialworkdone_p = 1;
  }

  const Time t = time_add(current_time, time_step);
  RainAt rain;
  if (!RainAround(t, rain)) return NO;
  const StepSums sums = StepEdges(rain);
  SendStep(t, sums);
  return YES;
}

bool Morvelan2d::RainAround(Time t, RainAt& rain) {
  Data_pack* first = nullptr;
  Data_pack* last = nullptr;
  if (rp.Get_data_pack(first, t, last, 'b') != YES) return false;
  const Time ft = first->Data_time();
  const Time lt = last->Data_time();
  // The packs stay as they are: the element reads their grids in place, so
  // that a step costs the cells the edges use, not the whole grid.
  rain.between = t != ft && t != lt;
  const bool atFirst = rain.between || t == ft;
  rain.F = &static_cast<const Data<TzMatrix<double>>*>(atFirst ? first : last)->Value();
  rain.L = &static_cast<const Data<TzMatrix<double>>*>(last)->Value();
  // The cells were found on the first grid: every later grid must have its shape.
  for (const TzMatrix<double>* g : {rain.F, rain.L}) {
    if (g == rain.L && !rain.between) break;
    if (g->GetRows() != mapRows || g->GetCols() != mapCols) {
      char text[256];
      std::snprintf(text, sizeof text,
                    "The rain grid of time %d has %u x %u cells; the cells of the edges were found "
                    "on a grid of %u x %u.\n",
                    g == rain.F && atFirst ? ft : lt, g->GetRows(), g->GetCols(), mapRows, mapCols);
      Fail(Morvelan2d_point::grid_size_changed, text);
    }
  }
  // Weights of the two records around t, in double (the difference of two
  // times may not fit the time type).
  rain.wf = rain.between ? (static_cast<double>(lt) - t) / (static_cast<double>(lt) - ft) : 1;
  rain.wl = rain.between ? (static_cast<double>(t) - ft) / (static_cast<double>(lt) - ft) : 0;
  return true;
}

Morvelan2d::StepSums Morvelan2d::StepEdges(const RainAt& grids) {
  const TzMatrix<double>& F = *grids.F;
  const TzMatrix<double>& L = *grids.L;
  const bool between = grids.between;
  const double wf = grids.wf;
  const double wl = grids.wl;
  mQoutn = 0;
  double R = 0, A = 0;
  // The saturated area and the storage of a slope edge are final once it has
  // stepped (no later edge changes them): they are summed in the same pass,
  // in the same order as a second pass would.
  double S = 0, V = 0;
  for (Long e = 0; e < numberOfEdges; e++) {
    Edge& edge = edgeArray[e];
    const unsigned gx = static_cast<unsigned>(edge.Gx());
    const unsigned gy = static_cast<unsigned>(edge.Gy());
    // Element by element what F (lt - t) / (lt - ft) + L (t - ft) / (lt - ft)
    // gives; only the cells the slope edges use are computed. A river edge
    // takes no rain and has no area: the cell it keeps is not read, so that a
    // value there that is not a number stays out of the basin's rain.
    const double rain = edge.Atr() != 1 ? 0.0
                        : between       ? F(gx, gy) * wf + L(gx, gy) * wl
                                        : F(gx, gy);
    R += edge.Area() * rain;
    A += edge.Area();
    if (edge.Calculate(rain) != EDGE_YES) Fail(Morvelan2d_point::edge_step_failed, "");
    if (edge.LowestEdge() == EDGE_YES) mQoutn += edge.DischargeLowerEnd();
    if (edge.Atr() == 1) {
      S += edge.Sarea();
      V += edge.Storage();
    }
  }
  return StepSums{R, A, S, V};
}

void Morvelan2d::SendStep(Time t, const StepSums& sums) {
  const double ratio = mSumArea != 0 ? sums.S / mSumArea : std::numeric_limits<double>::quiet_NaN();
  sp.Send_data(t, mQoutn);
  spSarea.Send_data(t, ratio);
  spStorage.Send_data(t, sums.V);

  mQoutc = mQoutn;
  // Without slope edges no rain falls on the basin: its mean is given as 0.
  const double basinRain = sums.A != 0 ? sums.R / sums.A : 0.0;
  std::printf("[%s %d] %d : %f   ", Object_name() ? Object_name() : "", Object_number(), t, mQoutn);
  std::printf("all_rain = %f\n", basinRain);
  if (rainSumStream) *rainSumStream << t << " " << basinRain << "\n";
}

// ---------------------------------------------------------------------------
// Morvelan2d: terminal state
// ---------------------------------------------------------------------------

int Morvelan2d::Save_terminal_state(FILE* fp) {
  TZ_CHECK_TEXT(fp != nullptr, kUnit, "fp != NULL");
  const std::string name = edgeDisFileName + ".tst";
  std::fprintf(fp, "%d %s\n", current_time, name.c_str());
  // Written whole beside its name, and put in place with the system's
  // other terminal files.
  tz::FileReplacement file(name);
  FILE* out = file.Open();
  if (!out) {
    std::fflush(stdout);
    Report_fopen(Morvelan2d_point::terminal_file_cannot_create, name.c_str(), "w");
    return 0;
  }
  std::fputs(
      "[Comment]\n"
      "These are discharge data at both ends of all edges.\n"
      "Each column in [Data] section is as follows:\n"
      "<edge number>\n"
      "<discharge at upper end(m3/s)>\n"
      "<discharge at lower end(m3/s)>\n",
      out);
  std::fputs("[Data Format Name]\nMorvelan Initial State Format\n", out);
  std::fprintf(out, "[Number of Total Edges]\n%d\n", numberOfEdges);
  std::fputs("[Data]\n", out);
  for (Long i = 0; i < numberOfEdges; i++) {
    double up = 0, low = 0;
    edgeArray[i].Discharge(&up, &low);
    std::fprintf(out, "%d %f %f\n", edgeArray[i].Num(), up, low);
  }
  // A file that could not be written whole replaces nothing: it would not
  // restart the run.
  if (!file.Close() || !file.Commit()) {
    std::fflush(stdout);
    Report_fwrite(Morvelan2d_point::terminal_file_write_failed, name.c_str());
    return 0;
  }
  return 1;
}
