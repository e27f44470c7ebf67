// pelmic: the edge format converter.
//
// Reads a node file ("node format V.0") and an edge file ("edge format V.0"),
// gives every edge the coordinates of its end nodes and its gradient, sorts
// the edges by number, merges repeated records of one number (their areas
// added) and writes one "edge format V.4" file.
//
// Both inputs are read through comment-stripping streams, each twice: a
// first pass counts the records, so that the node and edge arrays are
// allocated once, and a second pass reads them.
#include <cstdint>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "nopath.h"
#include "outfile.h"
#include "toolframe.h"
#include "tzcheck.h"
#include "tzcursor.h"
#include "tzdefs.h"
#include "tzdfstream.h"
#include "tzfastio.h"
#include "tzfile.h"
#include "tzlines.h"
#include "tzrbktree.h"
#include "tzstr.h"

namespace {

const char* const kUnit = "pelmic.cpp";
const std::streamsize kOutBuffer = TzIoBlock(1 << 20);
const std::size_t kLineBlock = TzIoBlock(std::size_t(1) << 18);

// Error points; the number is part of the report.
enum ErrorPoint {
  ERR_SAME_FILE = 386,     // the output file is one of the input files
  ERR_NODE_FORMAT = 392,   // fatal
  ERR_EDGE_FORMAT = 404,   // fatal
  ERR_NODE_NO_DATA = 414,  // reported, the run goes on
  ERR_EDGE_NO_DATA = 419,  // reported, the run goes on
  ERR_EDGE_RECORD = 425,   // an edge record whose items cannot be read
  ERR_NODE_RECORD = 436,   // a node record whose items cannot be read
  ERR_UNKNOWN_NODE = 452,  // an end node missing from the node file
  ERR_ZERO_LENGTH = 458,   // a length of 0
  ERR_ATTRIBUTE = 478,     // repeated records with different attributes
};

// The converter's node record.
class Node {
 public:
  Node() : num(-1), atr(-1), x(-1.0), y(-1.0), z(-1.0), area(-1.0) {}
  void Init(Long aNum, Int aAtr, double aX, double aY, double aZ, double aArea) {
    num = aNum;
    atr = aAtr;
    x = aX;
    y = aY;
    z = aZ;
    area = aArea;
  }
  Long Num() const { return num; }
  Int Atr() const { return atr; }
  double X() const { return x; }
  double Y() const { return y; }
  double Z() const { return z; }
  double Area() const { return area; }

 private:
  Long num;
  Int atr;
  double x, y, z;
  double area;  // read when atr is 1, else -1.0
};

// The converter's edge record.
class Edge {
 public:
  Edge() : sameEdge(0) {}
  Edge(const Edge&) = default;
  void Init(Long aNum, double aXup, double aYup, double aZup, double aXdown, double aYdown, double aZdown,
            Long aUpperNode, Long aLowerNode, Int aAtr, double aLen, double aGrd, double aArea) {
    num = aNum;
    xup = aXup;
    yup = aYup;
    zup = aZup;
    xdown = aXdown;
    ydown = aYdown;
    zdown = aZdown;
    upperNode = aUpperNode;
    lowerNode = aLowerNode;
    atr = aAtr;
    len = aLen;
    grd = aGrd;
    area = aArea;
  }
  Long Number() const { return num; }
  double Xup() const { return xup; }
  double Yup() const { return yup; }
  double Zup() const { return zup; }
  double Xdown() const { return xdown; }
  double Ydown() const { return ydown; }
  double Zdown() const { return zdown; }
  Long UpperNode() const { return upperNode; }
  Long LowerNode() const { return lowerNode; }
  Int Atribute() const { return atr; }
  double Length() const { return len; }
  double Gradient() const { return grd; }
  double Area() const { return area; }
  void SameEdge(TzBoolean b) { sameEdge = b; }
  TzBoolean SameEdge() const { return sameEdge; }

  // Copies every field but the merge mark.
  Edge& operator=(const Edge& e) {
    if (this == &e) return *this;
    Init(e.num, e.xup, e.yup, e.zup, e.xdown, e.ydown, e.zdown, e.upperNode, e.lowerNode, e.atr, e.len, e.grd,
         e.area);
    return *this;
  }
  // Merges a repeated record: adds its area.
  Edge& operator+=(const Edge& e) {
    if (this != &e) area += e.area;
    return *this;
  }
  bool operator==(const Edge& e) const { return num == e.num; }
  bool operator<(const Edge& e) const { return num < e.num; }

 private:
  Long num;
  double xup, yup, zup;
  double xdown, ydown, zdown;
  Long upperNode, lowerNode;
  Int atr;
  double len, grd, area;  // -1.0 where the class has none
  TzBoolean sameEdge;
};

// One "edge format V.4" record, without the end of line.
char* PutEdge(char* p, const Edge& e) {
  using tz::PutInt;
  using tz::PutReal;
  p = PutInt(p, e.Number());
  *p++ = ' ';
  p = PutInt(p, e.UpperNode());
  *p++ = ' ';
  p = PutReal(p, e.Xup());
  *p++ = ' ';
  p = PutReal(p, e.Yup());
  *p++ = ' ';
  p = PutReal(p, e.Zup());
  *p++ = ' ';
  p = PutInt(p, e.LowerNode());
  *p++ = ' ';
  p = PutReal(p, e.Xdown());
  *p++ = ' ';
  p = PutReal(p, e.Ydown());
  *p++ = ' ';
  p = PutReal(p, e.Zdown());
  *p++ = ' ';
  p = PutInt(p, e.Atribute());
  *p++ = ' ';
  if (e.Atribute() == 1) {
    p = PutReal(p, e.Length());
    *p++ = ' ';
    p = PutReal(p, e.Gradient());
    *p++ = ' ';
    p = PutReal(p, e.Area());
  } else if (e.Atribute() == 3) {
    p = PutReal(p, e.Length());
    *p++ = ' ';
    p = PutReal(p, e.Gradient());
  }
  return p;
}

std::ofstream& operator<<(std::ofstream& out, const Edge& e) {
  char buf[512];  // 9 reals of at most 13 characters, 4 integers, blanks
  out.write(buf, PutEdge(buf, e) - buf);
  return out;
}

// An edge's place in the edge array under its number: the sort moves these
// small keys instead of whole records, in exactly the same way.
struct SortKey {
  Long num;
  Long index;
  bool operator<(const SortKey& k) const { return num < k.num; }
};

// Sorts a[left..right] by edge number (T: Edge or SortKey). The partition
// decides which of the records with one number comes first, and so which
// record the merge keeps. The smaller part is sorted by recursion and the
// larger one by the loop, which gives the same order with a stack depth
// bounded by log2 of the count.
template <class T>
void QuickSort(T* a, Long left, Long right) {
  while (left < right) {
    T pivot(a[(static_cast<std::int64_t>(left) + right) / 2]);
    Long i = left, j = right;
    for (;;) {
      while (a[i] < pivot) ++i;
      while (pivot < a[j]) --j;
      if (i >= j) break;
      T t;
      t = a[i];
      a[i] = a[j];
      a[j] = t;
      ++i;
      --j;
    }
    bool lower = left < i - 1, upper = j + 1 < right;
    if (lower && upper) {
      if (i - 1 - left <= right - (j + 1)) {
        QuickSort(a, left, i - 1);
        left = j + 1;
      } else {
        QuickSort(a, j + 1, right);
        right = i - 1;
      }
    } else if (lower) {
      right = i - 1;
    } else if (upper) {
      left = j + 1;
    } else {
      break;
    }
  }
}

// Sorts keys by number when no two of them share one, and tells whether it
// did; when two do, the keys are left in no particular order. Distinct numbers
// have one sorted order, the one QuickSort gives too, and a radix sort
// (three passes of 11 bits over the numbers, the sign bit flipped) finds it
// in a few passes over the keys instead of some twenty partition levels.
// Only the order of records of one number needs the partition itself.
bool SortDistinct(std::vector<SortKey>& keys) {
  const std::size_t n = keys.size();
  const int kBits = 11, kPasses = 3;
  const std::size_t kRadix = std::size_t(1) << kBits;
  auto digit = [](const SortKey& k, int pass) {
    std::uint32_t u = static_cast<std::uint32_t>(k.num) ^ 0x80000000u;
    return (u >> (pass * kBits)) & ((1u << kBits) - 1);
  };
  std::vector<std::size_t> count(kPasses * kRadix, 0);
  for (const SortKey& k : keys)
    for (int pass = 0; pass < kPasses; ++pass) ++count[pass * kRadix + digit(k, pass)];
  std::vector<SortKey> other(n);
  SortKey* from = keys.data();
  SortKey* to = other.data();
  for (int pass = 0; pass < kPasses; ++pass) {
    std::size_t* c = &count[pass * kRadix];
    if (c[digit(from[0], pass)] == n) continue;  // one digit for all: nothing moves
    std::size_t start = 0;
    for (std::size_t d = 0; d < kRadix; ++d) {
      std::size_t m = c[d];
      c[d] = start;
      start += m;
    }
    for (std::size_t k = 0; k < n; ++k) to[c[digit(from[k], pass)]++] = from[k];
    std::swap(from, to);
  }
  for (std::size_t k = 1; k < n; ++k)
    if (from[k].num == from[k - 1].num) return false;
  if (from != keys.data()) keys.swap(other);
  return true;
}

// The items of one record, read from the front of a line as the stream's
// number extraction reads them: white space skipped, an optional sign, the
// longest number that follows.
using RecordItems = tz::ItemCursor<tz::Blanks::kWhiteSpace>;

// The text of a line as a C string shows it, for a report.
std::string Text(std::string_view line) { return std::string(tz::UpToNul(line)); }

// The next data record; false at the end of the data section (the end of
// the file or an empty line). Lines of blanks are skipped; a line is seen
// as a C string, up to its first NUL character.
bool NextRecord(tz::LineReader& in, std::string_view& line) {
  for (;;) {
    if (!in.Next(line) || line.empty()) return false;
    if (!tz::BlankOnly(tz::UpToNul(line))) return true;
  }
}

// The header: skips to "[Data Format Name]" and reads the format line into
// line; whether it begins with format is the result.
bool FormatLine(tz::LineReader& in, std::string_view& line, const char* format) {
  tz::SkipTo(in, line, "[Data Format Name]");
  in.Next(line);
  return tz::BeginsWith(line, format);
}

// Back to the start of a stream's copy for the second pass, which walks the
// same header to the same data section as the first.
bool RewindToData(tz::LineReader& in, const char* format) {
  in.Seek(0);
  std::string_view line;
  return FormatLine(in, line, format) && tz::SkipTo(in, line, "[Data]");
}

class Converter {
 public:
  Converter(const std::string& edgeName, const std::string& nodeName, const std::string& outName)
      : edgeName(edgeName), nodeName(nodeName), outName(outName), output(outName) {}
  int Run();

 private:
  // A fatal error: the frame removes the copies of the inputs and the
  // unfinished output, so that an earlier output stays as it was.
  [[noreturn]] void Fatal(tzframe::Point point, const std::string& reason) { tzframe::fatal(kUnit, point, {reason}); }
  // The format line of an input: the report when it is not format.
  void CheckFormat(tz::LineReader& in, const TzDfstream& s, const char* format, const char* file,
                   const std::string& name, ErrorPoint point, std::string reason);
  [[noreturn]] void BadEdgeRecord(std::string_view line, bool haveNumber, Long num) {
    if (haveNumber)
      Fatal(ERR_EDGE_RECORD, "the record of edge " + std::to_string(num) + " in " + edgeName +
                                 " cannot be read: " + Text(line));
    Fatal(ERR_EDGE_RECORD, "an edge record in " + edgeName + " cannot be read: " + Text(line));
  }
  const Node* EndNode(Long node, Long edge) {
    TzKeyedData<Long, Node*>* kd = nodeTreeKeyedByNum.GetPtrToData(node);
    if (kd == nullptr)
      Fatal(ERR_UNKNOWN_NODE, "node " + std::to_string(node) + " of edge " + std::to_string(edge) + " in " +
                                  edgeName + " is not in the node file " + nodeName + ".");
    return kd->Data();
  }
  // A file without a "[Data]" line: reported, and the run goes on.
  void NoData(ErrorPoint point, const char* file, const std::string& name) {
    tzframe::report(kUnit, point, {std::string("the ") + file + " " + name + " has no [Data] line."});
  }
  void CountNodes();
  void CountEdges();
  void ReadNodes();
  void ReadEdges();
  void Merge();
  void Write();

  std::string edgeName, nodeName, outName;
  TzDfstream nodes, edges;
  // The lines of the two streams, read in blocks of 256 kB.
  tz::LineReader nodeLines{nodes, kLineBlock}, edgeLines{edges, kLineBlock};
  std::unique_ptr<char[]> outBuffer;  // declared before output, which uses it until closed
  tzframe::PendingOutput output;
  Long nodeMax = 0;
  Long numBBedges = 0, numBRedges = 0, numRRedges = 0;
  std::vector<Node> nodeArray;
  std::vector<Edge> edgeArray;
  std::vector<SortKey> order;  // the edge array sorted by number
  TzRbKeyTree<Long, Node*> nodeTreeKeyedByNum;
};

void Converter::CountNodes() {
  std::string_view line;
  while (NextRecord(nodeLines, line)) ++nodeMax;
}

void Converter::CountEdges() {
  std::string_view line;
  while (NextRecord(edgeLines, line)) {
    RecordItems it(line);
    Long num = 0, up = 0, low = 0, atr = 0;
    bool haveNumber = it.LeadingInteger(num);
    if (!(haveNumber && it.LeadingInteger(up) && it.LeadingInteger(low) && it.LeadingInteger(atr)))
      BadEdgeRecord(line, haveNumber, num);
    if (atr == 1)
      ++numBBedges;
    else if (atr == 2)
      ++numBRedges;
    else
      ++numRRedges;
  }
}

void Converter::ReadNodes() {
  if (!RewindToData(nodeLines, "node format V.0")) return;
  std::string_view line;
  Long k = 0;
  while (NextRecord(nodeLines, line)) {
    RecordItems it(line);
    Long num = 0, atr = 0;
    double x = 0, y = 0, z = 0, area = -1.0;
    if (!(it.LeadingInteger(num) && it.LeadingInteger(atr) && it.LeadingReal(x) && it.LeadingReal(y) &&
          it.LeadingReal(z) && (atr != 1 || it.LeadingReal(area))))
      Fatal(ERR_NODE_RECORD, "a node record in " + nodeName + " cannot be read: " + Text(line));
    TZ_CHECK(k < nodeMax, kUnit);
    nodeArray[k].Init(num, atr, x, y, z, area);
    // A repeated node number: the later record replaces the earlier.
    nodeTreeKeyedByNum.Insert(num, &nodeArray[k]);
    ++k;
  }
  TZ_CHECK(k == nodeMax, kUnit);
}

void Converter::ReadEdges() {
  if (!RewindToData(edgeLines, "edge format V.0")) return;
  std::string_view line;
  Long total = static_cast<Long>(edgeArray.size());
  Long k = 0;
  while (NextRecord(edgeLines, line)) {
    RecordItems it(line);
    Long num = 0, iNode = 0, oNode = 0, atr = 0;
    bool haveNumber = it.LeadingInteger(num);
    if (!(haveNumber && it.LeadingInteger(iNode) && it.LeadingInteger(oNode) && it.LeadingInteger(atr)))
      BadEdgeRecord(line, haveNumber, num);
    const Node* up = EndNode(iNode, num);
    const Node* down = EndNode(oNode, num);
    double len = -1.0, grd = -1.0, area = -1.0;
    if (atr != 2) {
      if (!(it.LeadingReal(len) && (atr != 1 || it.LeadingReal(area)))) BadEdgeRecord(line, true, num);
      if (len == 0.0)
        Fatal(ERR_ZERO_LENGTH, "edge " + std::to_string(num) + " in " + edgeName + " has the length 0.");
      grd = (up->Z() - down->Z()) / len;
      if (grd < 0.01) grd = 0.01;
    }
    TZ_CHECK(k < total, kUnit);
    edgeArray[k].Init(num, up->X(), up->Y(), up->Z(), down->X(), down->Y(), down->Z(), iNode, oNode, atr, len,
                      grd, area);
    ++k;
  }
  TZ_CHECK(k == total, kUnit);
}

void Converter::Merge() {
  // The numbers are in the sort keys: only repeats need their records.
  bool repeats = false;
  std::size_t prev = 0;
  for (std::size_t k = 1; k < order.size(); ++k) {
    if (order[k].num != order[prev].num) {
      prev = k;
      continue;
    }
    Edge* pe = &edgeArray[order[prev].index];
    Edge* ce = &edgeArray[order[k].index];
    if (!(ce->Atribute() == pe->Atribute()))
      Fatal(ERR_ATTRIBUTE, "edge " + std::to_string(ce->Number()) + " is repeated in " + edgeName +
                               " with different attributes (" + std::to_string(pe->Atribute()) + " and " +
                               std::to_string(ce->Atribute()) + "): ce->Atribute() == pe->Atribute()");
    *pe += *ce;
    ce->SameEdge(1);
    if (ce->Atribute() == 1) {
      --numBBedges;
      TZ_CHECK(numBBedges >= 0, kUnit);
    } else if (ce->Atribute() == 2) {
      --numBRedges;
      TZ_CHECK(numBRedges >= 0, kUnit);
    } else {
      --numRRedges;
      TZ_CHECK(numRRedges >= 0, kUnit);
    }
    std::cout << ce->Number() << ' ';
    repeats = true;
  }
  if (repeats) std::cout << "\nThese edges were repeatedly included in " << edgeName << "." << std::endl;
}

void Converter::Write() {
  tzframe::doing("writing the output file", outName);
  std::ofstream& out = output.Stream();
  out << "[Number of BBEdges]\n"
      << numBBedges << "\n[Number of BREdges]\n"
      << numBRedges << "\n[Number of RREdges]\n"
      << numRRedges << "\n[Number of Total Edges]\n"
      << numBBedges + numBRedges + numRRedges << "\n[Data]\n";
  // The records are visited in sorted order, scattered over the array:
  // each is fetched a few records ahead of its use, every cache line of it.
  const std::size_t ahead = 16;
  for (std::size_t k = 0; k < order.size(); ++k) {
    if (k + ahead < order.size()) tz::PrefetchAll(&edgeArray[order[k + ahead].index]);
    const Edge& e = edgeArray[order[k].index];
    if (e.SameEdge()) continue;
    out << e;
    out.put('\n');
  }
  // The last block goes out at the close, which may still fail; the file
  // takes the place of its name only then.
  if (!output.Close() || !output.Commit()) Fatal(tzframe::ERR_CANNOT_WRITE, tzframe::cannot_write(outName));
}

// The format line of an input read through s: when it does not begin with
// format, the report at point with the reason lines (for the node file the
// line read) and a line that names the file and says what is wrong with it:
// it cannot be read, or it does not name its format.
void Converter::CheckFormat(tz::LineReader& in, const TzDfstream& s, const char* format, const char* file,
                            const std::string& name, ErrorPoint point, std::string reason) {
  std::string_view line;
  if (FormatLine(in, line, format)) return;
  const std::string which = std::string("the ") + file + " " + name;
  if (!s.is_open())
    reason += "\n" + which + " cannot be read: " +
              (s.SourceError() != 0 ? tzframe::cause(s.SourceError()) : "its comment-free copy cannot be made") + ".";
  else
    reason += (point == ERR_NODE_FORMAT ? "\n" + Text(line) : std::string()) + "\n" + which +
              " does not name \"" + format + "\" under a [Data Format Name] line.";
  Fatal(point, reason);
}

int Converter::Run() {
  // The output is found before anything is read: emptying it would lose an
  // input, and a folder where it cannot be made is found at once.
  tzframe::doing("creating the output file", outName);
  if (tz::SameFile(outName.c_str(), edgeName.c_str()) || tz::SameFile(outName.c_str(), nodeName.c_str()))
    Fatal(ERR_SAME_FILE, "the output file " + outName + " is one of the input files.");
  // The records go out in blocks of kOutBuffer bytes.
  outBuffer.reset(new char[kOutBuffer]);
  output.UseBuffer(outBuffer.get(), kOutBuffer);
  if (!output.Open()) Fatal(tzframe::ERR_CANNOT_WRITE, tzframe::cannot_write(outName));

  tzframe::doing("reading the node file", nodeName);
  nodes.open(nodeName.c_str());
  tzframe::doing("reading the edge file", edgeName);
  edges.open(edgeName.c_str());
  CheckFormat(nodeLines, nodes, "node format V.0", "node file", nodeName, ERR_NODE_FORMAT,
              "node data must be node format V.0.");
  CheckFormat(edgeLines, edges, "edge format V.0", "edge file", edgeName, ERR_EDGE_FORMAT,
              "edge data must be edge format V.0.");
  std::string_view line;
  if (!tz::SkipTo(nodeLines, line, "[Data]")) NoData(ERR_NODE_NO_DATA, "node file", nodeName);
  if (!tz::SkipTo(edgeLines, line, "[Data]")) NoData(ERR_EDGE_NO_DATA, "edge file", edgeName);

  tzframe::doing("reading the node file", nodeName);
  CountNodes();
  tzframe::doing("reading the edge file", edgeName);
  CountEdges();
  tzframe::doing("making room for the records of", edgeName + " and " + nodeName);
  Long total = numBBedges + numBRedges + numRRedges;
  edgeArray.resize(static_cast<std::size_t>(total));
  order.resize(static_cast<std::size_t>(total));
  nodeArray.resize(static_cast<std::size_t>(nodeMax));

  tzframe::doing("indexing the nodes of", nodeName);
  ReadNodes();
  nodes.close();
  output.Stream() << "[Comment]\nThis dataset was generated from " << edgeName << " and " << nodeName
                  << " by pelmic.\n[Data Format Name]\nedge format V.4\n";
  tzframe::doing("reading the edge records of", edgeName);
  ReadEdges();
  edges.close();

  nodeTreeKeyedByNum.Erase();
  std::cout << "Gradients have been calculated." << std::endl;
  tzframe::doing("sorting the edges of", edgeName);
  for (Long k = 0; k < total; ++k) order[k] = SortKey{edgeArray[k].Number(), k};
  if (total >= 2 && !SortDistinct(order)) {
    // Repeated numbers: the partition decides which record of a number
    // comes first, so it sorts the keys from their first order.
    for (Long k = 0; k < total; ++k) order[k] = SortKey{edgeArray[k].Number(), k};
    QuickSort(order.data(), 0, total - 1);
  }
  std::cout << "Edges have been sorted." << std::endl;
  Merge();
  Write();
  std::vector<Edge>().swap(edgeArray);
  std::vector<SortKey>().swap(order);
  std::vector<Node>().swap(nodeArray);
  std::cout << "pelmic has normally worked." << std::endl;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  tzframe::start(kUnit, tzframe::ErrorForm::kErrorLine);
  tzframe::doing("reading the file names");
  TzString command(argc > 0 ? nopath(argv[0]) : nullptr);
  const tzframe::ToolTexts& texts = *tzframe::tool_texts("pelmic");
  int firstArg = tzframe::options(argc, argv, texts, command);
  if (argc != 1 && argc != 4) tzframe::usage(texts, command);
  std::vector<std::string> names =
      tzframe::file_names(argc, argv, firstArg, kUnit,
                          {"# edge format V.0 file (input file) : ", "# node format V.0 file (input file) : ",
                           "# edge format V.4 file (output file) : "});
  Converter converter(names[0], names[1], names[2]);
  return converter.Run();
}
