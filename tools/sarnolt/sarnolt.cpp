// sarnolt: the parameter and initial-state maker.
//
// Reads an edge connection file (versions V.1 to V.5) and writes, for every
// edge in it, a "Morvelan Parameter Format" file giving every edge the same
// flow parameters and a "Morvelan Initial State Format" file giving every
// edge its initial discharges at the upper and the lower end. The file names
// and every value are asked at prompts, each answer confirmed by the user.
//
// The input is read and checked as a whole as soon as it is named, so that a
// faulty input is reported before the user has typed all the values, and no
// output file is created or emptied for it. An output named like the input
// or like the other output is refused as soon as it is named. Both outputs
// are written under temporary names and put in place only when both are
// complete, so that a failure leaves earlier files of their names intact.
#include <cmath>
#include <fstream>
#include <iostream>
#include <limits>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "nopath.h"
#include "outfile.h"
#include "toolframe.h"
#include "tzcheck.h"
#include "tzdefs.h"
#include "tzdfstream.h"
#include "tzfile.h"
#include "tzlines.h"
#include "tzstr.h"
#include "tztemp.h"

namespace {

// What the output needs of one record of the input: the edge's number and
// its areas.
struct EdgeAreas {
  Long num;
  double area;    // own area of a slope edge, 0.0 for any other attribute
  double upArea;  // area draining into the upper end (versions 3 and 5)
};

struct Network {
  int type = 0;    // the version of the input, 1 to 5
  Long count = 0;  // the header's number of edges, copied as it stands
  std::vector<EdgeAreas> records;
};

const char* const kUnit = "sarnolt.cpp";

[[noreturn]] void EndOfInput() { tzframe::fatal("the standard input ended before all values were given."); }

// ---- the confirmation dialogue --------------------------------------------

// One word of the answer; a word beginning with y or Y accepts.
bool Confirmed() {
  std::string word;
  if (!(std::cin >> word)) EndOfInput();
  return word[0] == 'y' || word[0] == 'Y';
}

// A name is the whole answer line: a line of more than one word (a name
// with a blank, or the name and its confirmation) is refused and the name
// asked again, so that no word of it answers the next question. A quote
// would open a quoted stretch in the comment-stripping readers of the files
// that name it, and the name buffers downstream hold 255 characters: such a
// name ends the run.
std::string AskName(const char* prompt) {
  for (;;) {
    std::cout << prompt;
    std::string name;
    if (!tzframe::prompted_name(name)) EndOfInput();
    const tzframe::NameFault fault = tzframe::name_fault(name);
    if (fault.point == tzframe::ERR_NAME_BLANK) {
      std::cout << fault.reason << std::endl;
      continue;
    }
    if (fault.point != tzframe::ERR_NONE) tzframe::fatal(fault.reason);
    std::cout << name << "; ok? [y/n] : ";
    if (Confirmed()) return name;
  }
}

// Asks a number until it is confirmed; with lineFirst a line end is written
// before every showing of the prompt. A word that is not a number is
// refused with the rest of its line and the value asked again.
template <class T>
T AskNumber(const char* prompt, bool lineFirst = false) {
  for (;;) {
    if (lineFirst) std::cout << std::endl;
    std::cout << prompt;
    T value;
    if (!(std::cin >> value)) {
      if (std::cin.eof() || std::cin.bad()) EndOfInput();
      std::cin.clear();
      std::cin.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
      continue;
    }
    std::cout << value << "; ok? [y/n] : ";
    if (Confirmed()) return value;
  }
}

// ---- reading the input ------------------------------------------------------

// Reads a neighbour list: its count, a non-negative whole number, and that
// many entries, which are not kept.
bool SkipList(std::istream& is) {
  double count;
  if (!(is >> count) || !(count >= 0.0) || std::floor(count) != count) return false;
  double entry;
  for (double i = 0; i < count; i += 1.0)
    if (!(is >> entry)) return false;
  return true;
}

// One record of version type; false when its items cannot be read.
bool ReadRecord(std::string_view line, int type, EdgeAreas& r) {
  std::istringstream is{std::string(tz::UpToNul(line))};
  Long node;
  double x, y, z;
  if (!(is >> r.num)) return false;
  if (type == 2 || type == 3) is >> x >> y >> z;
  if (type == 4 || type == 5) is >> node >> x >> y >> z >> node >> x >> y >> z;
  if (!is || !SkipList(is) || !SkipList(is)) return false;
  // A line that ends before its attribute leaves the stream failed without
  // storing one: atr starts at 0 so that no unset value is looked at.
  int atr = 0;
  double len, grd;
  is >> atr;
  r.area = 0.0;
  if (atr == 1)
    is >> len >> grd >> r.area;
  else if (atr != 2)
    is >> len >> grd;
  r.upArea = 0.0;
  if (type == 3 || type == 5) {
    double dist;
    is >> dist >> r.upArea;
  }
  return static_cast<bool>(is);
}

// Reads the header and the records of the open input. Returns the message
// of the first fault, empty when the input is sound.
std::string ReadNetwork(std::istream& in, const std::string& name, Network& net) {
  static const char* const kVersions[] = {"edge connection V.1", "edge connection V.2", "edge connection V.3",
                                          "edge connection V.4", "edge connection V.5"};
  const std::string invalid = "invalid data format.";
  tz::LineReader lines(in);
  std::string_view line;
  // The line after a key: a line with text (an empty line or the end of the
  // input is none).
  auto valueLine = [&] { return lines.Next(line) && !line.empty(); };
  if (!tz::SkipTo(lines, line, "[Data Format Name]") || !valueLine()) return invalid;
  for (int i = 0; i < 5 && net.type == 0; ++i)
    if (tz::BeginsWith(line, kVersions[i])) net.type = i + 1;
  if (net.type == 0) return invalid;

  if (!tz::SkipTo(lines, line, "[Number of Total Edges]") || !valueLine()) return invalid;
  std::istringstream count{std::string(tz::UpToNul(line))};
  if (!(count >> net.count)) return invalid;

  if (!tz::SkipTo(lines, line, "[Data]")) return "";  // a file without records
  // The records, to the end of the input or an empty line.
  while (valueLine()) {
    if (tz::BlankOnly(line)) continue;
    EdgeAreas r;
    if (!ReadRecord(line, net.type, r))
      return "cannot read record " + std::to_string(net.records.size() + 1) + " of " + name + ": \"" +
             std::string(tz::WithoutCr(tz::UpToNul(line))) + "\"";  // without a CRLF line end's rest
    net.records.push_back(r);
  }
  return "";
}

Network ReadInput(const std::string& name) {
  TzDfstream in(name.c_str());
  if (!in) tzframe::fatal("no such file.");
  Network net;
  std::string fault = ReadNetwork(in, name, net);
  in.close();  // deletes the comment-free copy before any exit
  if (!fault.empty()) tzframe::fatal(fault);
  return net;
}

// ---- writing the output -----------------------------------------------------

// Writing an output over the input would replace it; checked as soon as the
// output is named.
void RefuseInputAsOutput(const std::string& in, const std::string& out) {
  if (tz::SameFile(in.c_str(), out.c_str())) tzframe::fatal("the output file " + out + " is the input file.");
}

struct Values {
  double man, m, ka, D, da, dm, beta, theta, cmin, Qlevel, eps;
  Int ndiv;
  double updis, lowdis;  // versions 1, 2, 4
  double irunoff;        // versions 3, 5
};

// The values, asked in turn: the flow parameters, then the initial
// discharges (versions 1, 2, 4) or the initial runoff height (3, 5).
Values AskValues(int type) {
  static const struct {
    const char* prompt;
    double Values::*value;
  } kParameters[] = {
      {"# manning coefficient (m-s) : ", &Values::man},
      {"# kinematic parameter m [1.667](-) : ", &Values::m},
      {"# hydraulic conductivity (m/s) : ", &Values::ka},
      {"# depth of soil layer (m) : ", &Values::D},
      {"# depth of A-layer (m) : ", &Values::da},
      {"# depth of matrix soil layer (m) : ", &Values::dm},
      {"# beta (-)( 2.0 < beta <10.0) : ", &Values::beta},
      {"# theta [0.65](-) : ", &Values::theta},
      {"# minimum value of C = dQ/dA [0.000001](m/s) : ", &Values::cmin},
      {"# Qlevel [10](mm/hour) : ", &Values::Qlevel},
      {"# eps [0.0001](-) : ", &Values::eps},
  };
  std::cout << std::endl
            << "# input values.\n"
            << "# [] means recommended value. () means unit system.\n"
            << std::endl;
  Values v{};
  for (const auto& q : kParameters) v.*q.value = AskNumber<double>(q.prompt);
  v.ndiv = AskNumber<Int>("# number of spatial division (-) : ");
  if (type == 3 || type == 5) {
    v.irunoff = AskNumber<double>("# initial runoff height (mm/hour) : ", true);
  } else {
    v.updis = AskNumber<double>("# discharge at upper end (m3/s) : ");
    v.lowdis = AskNumber<double>("# discharge at lower end (m3/s) : ", true);
  }
  return v;
}

// Both outputs are written under temporary names beside their own and put
// in place only when both are complete: a file that cannot be created or
// written leaves every earlier file as it was.
class Outputs {
 public:
  Outputs(const std::string& out, const std::string& out2)
      : names{out, out2}, files{tzframe::PendingOutput(out), tzframe::PendingOutput(out2)} {}
  void Open() {
    for (int i = 0; i < 2; ++i)
      if (!files[i].Open()) CannotWrite(i);
  }
  std::ofstream& operator[](int i) { return files[i].Stream(); }
  void Commit() {
    for (int i = 0; i < 2; ++i)
      if (!files[i].Close()) CannotWrite(i);
    for (int i = 0; i < 2; ++i)
      if (!files[i].Commit()) CannotWrite(i);
  }

 private:
  // The stop removes the temporary files (it runs no destructors).
  [[noreturn]] void CannotWrite(int i) { tzframe::fatal(tzframe::cannot_write(names[i])); }
  std::string names[2];
  tzframe::PendingOutput files[2];
};

void WriteOutput(const Network& net, const Values& v, const std::string& in, const std::string& out,
                 const std::string& out2, const TzString& command) {
  Outputs files(out, out2);
  files.Open();
  std::ofstream& po = files[0];
  std::ofstream& so = files[1];

  po << "[Comment]\n"
     << "This data was generated from " << in << " by " << command << ".\n"
     << "Each column in [Data] section is as follows:\n"
     << "<edge number>\n"
     << "<manning coefficient (m-s)>\n"
     << "<kinematic parameter m (-)>\n"
     << "<hydraulic conductivity (m/s)>\n"
     << "<depth of soil layer (m)>\n"
     << "<depth of A-layer (m)>\n"
     << "<depth of soil matrix layer (m)>\n"
     << "<beta (-)>\n"
     << "<theta>\n"
     << "<minimun C = dQ/dA(m/s)>\n"
     << "<Qlevel(mm/hour)>\n"
     << "<eps(-)>\n"
     << "<number of spatial division(-)>\n"
     << "[Data Format Name]\n"
     << "Morvelan Parameter Format\n";
  so << "[Comment]\n"
     << "This data was generated from " << in << " by " << command << ".\n"
     << "Each column in [Data] section is as follows:\n"
     << "<edge number>\n"
     << "<discharge at upper end(m3/s)>\n"
     << "<discharge at lower end(m3/s)>\n"
     << "[Data Format Name]\n"
     << "Morvelan Initial State Format\n";
  po << "[Number of Total Edges]\n" << net.count << "\n";
  so << "[Number of Total Edges]\n" << net.count << "\n";
  po << "[Data]\n";
  so << "[Data]\n";

  const bool fromRunoff = net.type == 3 || net.type == 5;
  for (const EdgeAreas& r : net.records) {
    po << r.num << ' ' << v.man << ' ' << v.m << ' ' << v.ka << ' ' << v.D << ' ' << v.da << ' ' << v.dm << ' '
       << v.beta << ' ' << v.theta << ' ' << v.cmin << ' ' << v.Qlevel << ' ' << v.eps << ' ' << v.ndiv << '\n';
    double up = v.updis, low = v.lowdis;
    if (fromRunoff) {
      // mm per hour over the area draining to each end, in m3/s
      up = v.irunoff * r.upArea * 0.001 / 3600;
      low = (r.upArea + r.area) * v.irunoff * 0.001 / 3600;
    }
    so << r.num << ' ' << up << ' ' << low << '\n';
  }
  files.Commit();
}

}  // namespace

int main(int argc, char** argv) {
  tzframe::start(kUnit, tzframe::ErrorForm::kELine);
  tzframe::doing("asking the file names");
  const TzString command(nopath(argv[0]));
  const tzframe::ToolTexts& texts = *tzframe::tool_texts("sarnolt");
  tzframe::options(argc, argv, texts, command);
  if (argc != 1) tzframe::usage(texts, command);  // no file name arguments

  const std::string in = AskName("# input file (edge connection V.1, V.2, V.3, V.4 or V.5) : ");
  tzframe::doing("reading the input file", in);
  const Network net = ReadInput(in);
  tzframe::doing("asking the file names");
  const std::string out = AskName("# output file (Morvelan Parameter Format) : ");
  RefuseInputAsOutput(in, out);
  const std::string out2 = AskName("# output file (Morvelan Initial State Format) : ");
  RefuseInputAsOutput(in, out2);
  if (tzframe::one_file(out, out2)) tzframe::fatal("the output files " + out + " and " + out2 + " are one file.");

  tzframe::doing("asking the values");
  const Values v = AskValues(net.type);
  tzframe::doing("writing the output files", out + " and " + out2);
  WriteOutput(net, v, in, out, out2, command);
  return 0;
}
