// Morvelan2d: the runoff element that runs the distributed rainfall-runoff
// model over the whole edge network of one basin.
//
// While the framework reads its parameter file the element reads its line
//   <dt (s)> <edge connection file> <edge parameter file> <x0> <y0> <dx> <dy>
// and loads the network ("edge connection V.2" .. "V.5") and the flow
// parameters of every edge ("Morvelan Parameter Format"); while the framework
// reads the initial-state file it reads its line
//   <start time (s)> <initial discharge file>
// and the discharges at both ends of every edge ("Morvelan Initial State
// Format"). A value of its line, a parameter or a discharge that is not a
// finite number is refused where it is read, and a failed check on a record
// first names the file, the record and the line; a terminal discharge file
// that would replace one of these input files is refused when the
// initial-state line is read. Edges listed after an edge they drain into
// (which then takes their outflow of the previous step) are counted in one
// warning after the network is read. Its initial output maps every slope
// edge to the cell of the rain grid that holds its point; every step then
// interpolates the rain grid in time, steps all edges in file order and
// sends the basin outflow (m3/s) on "sp", the saturated share of the slope
// area on "spSarea" and the water stored on the slopes (m3) on
// "spStorage". At the end it writes the edge discharges to "<initial
// discharge file>.tst", a valid initial discharge file for a restart.
//
// Rain grids (mm/h) arrive on "rp": rows are x cells, columns y cells; cell
// (i, j) covers [x0 + i dx, x0 + (i+1) dx) x [y0 + j dy, y0 + (j+1) dy).
#ifndef MODEL_MORVELAN2D_1_H
#define MODEL_MORVELAN2D_1_H

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "edge.h"
#include "element.h"
#include "model_points.h"
#include "p_tmp.h"
#include "tzdefs.h"
#include "tzmatrix.h"
#include "tzrbktree.h"

class Morvelan2d : public Element {
 public:
  Morvelan2d(const char* name, int number);
  Morvelan2d();
  ~Morvelan2d() override;

  // Names the ports ("rp", "sp", "spSarea", "spStorage", number 0), then the
  // element (no objects, no data string).
  using Element::Init;
  Boolean Init(const char* name, int number) override;

  int Register_receive_ports() override;
  int Register_send_ports() override;
  int Set_parameter(FILE* f) override;
  int Set_initial_state(FILE* f) override;
  int Initial_output() override;
  Time Calculate_time_step() override { return mDt; }
  int Can_you_calculate() override { return Can_you_calculate0(); }
  int Calculate() override;
  int Work() override { return Work0(); }
  // "<time> <terminal discharge file>\n", and that file, written whole
  // before it replaces an earlier one; 0 after a report when it cannot be
  // created (morvelan2d-1 1290) or written (1295).
  int Save_terminal_state(FILE* f) override;
  // Its connection, parameter and initial discharge files; its terminal
  // discharge file.
  void Own_files(std::vector<Own_file>& inputs, std::vector<Own_file>& outputs) override;
  Element* NewElement() override { return new Morvelan2d(); }
  int Init(const char* name, int number, FILE* f) override;

  // The stream that receives one line "<time> <basin rain (mm/h)>" per step
  // (the program's "all_rain.dat"); none by default.
  static void SetRainSumStream(std::ostream* s) { rainSumStream = s; }

  // ---- for inspection ----
  Long NumberOfEdges() const { return numberOfEdges; }
  const Edge& EdgeAt(Long i) const { return edgeArray[static_cast<std::size_t>(i)]; }
  int TopoDataType() const { return mTopoDataType; }
  double SumArea() const { return mSumArea; }
  const std::string& EdgeDisFileName() const { return edgeDisFileName; }

  // Longest file names of the element's lines (the terminal discharge file
  // name adds ".tst" to the initial discharge file's).
  static constexpr std::size_t kMaxFileName = 255;
  static constexpr std::size_t kMaxDisFileName = 251;

 private:
  // Maps the slope edges to the cells of `grid` and sends the values at the
  // start time.
  void MapAndSendInitial(const TzMatrix<double>& grid);
  // Its steps: every slope edge gets the cell of a grid of rows x cols that
  // holds its point (FindCell, searching blocks of cellblk x cellblk
  // cells); the outflow, the saturated share and the storage are sent.
  void MapEdgesToCells(Long rows, Long cols);
  bool FindCell(Edge& edge, Long rows, Long cols, Long cellblk) const;
  void SendInitial();

  // The steps of Calculate. The rain of the step's end t: the grids of the
  // two records around it (F, L; L also when t is a record's time) read in
  // place, with their weights.
  struct RainAt {
    const TzMatrix<double>* F = nullptr;
    const TzMatrix<double>* L = nullptr;
    double wf = 1, wl = 0;
    bool between = false;  // t lies strictly between the two records
  };
  // False when the rain port cannot give the records around t; a grid of
  // another shape than the first one ends the program (report 1200).
  bool RainAround(Time t, RainAt& rain);
  // What one step over all edges sums: the rain volume rate and the area
  // of the edges, the saturated area and the storage of the slope edges.
  struct StepSums {
    double R, A, S, V;
  };
  // Every edge in file order takes its rain and steps; the basin outflow is
  // gathered in mQoutn.
  StepSums StepEdges(const RainAt& grids);
  // Sends the step's values at t, prints the step line and the basin rain.
  void SendStep(Time t, const StepSums& sums);
  // The report of a failed load at one of the element's points: "E :
  // morvelan2d-1.cpp : <position> : ...", the extra text, the description,
  // exit status 1.
  [[noreturn]] void Fail(Morvelan2d_point point, const std::string& extra) const;
  Edge* FindEdge(Long num) const;

  // Where a reader is in one of the element's files, and its refusal of a
  // value that is not a finite number (morvelan2d-1.cpp).
  class ReadingPlace;

  // The steps of Set_parameter: the element's line, the network (the edge
  // connection file), its slope area on the console, one edge per number,
  // the flow parameters (the edge parameter file), the links to the upper
  // edges, the distribution rates and upper areas.
  void ReadParameterLine(FILE* f);
  // A value of the element's line that is not a finite number ("inf",
  // "nan", "1e999") is refused (report 630) naming the framework file, the
  // line, the value's name and its text: the time step, whose word is
  // looked at before it is read as an integer, and the grid origin and cell
  // size, read from offset `at` of f with end[i] the characters read
  // through value i. The value `text` ends at offset `last` of f.
  void RefuseNotFiniteTimeStep(FILE* f) const;
  void RefuseNotFiniteGrid(FILE* f, std::int64_t at, const int* end, const std::array<double, 4>& values) const;
  [[noreturn]] void RefuseLineValue(const char* name, const std::string& text, std::int64_t last) const;
  void ReadNetwork();
  void PrintSlopeArea() const;
  void IndexEdges();
  void ReadFlowParameters();
  void LinkUpperEdges();
  // The warning (820) after the links: `late` links from an edge to an
  // edge listed before it, the first from record `from` to record `to`
  // (from 0).
  void WarnLateLinks(Long late, Long from, Long to) const;
  void ShareUpperAreas();
  // Shared by the edge parameter and initial discharge files. The head of
  // `path`: its format name begins with `format` (else the report at
  // `otherFormat`), its edge count is the network's (else `otherCount`); f
  // is then at the records.
  void ReadEdgeFileHead(FILE* f, ReadingPlace& place, const std::string& path, const char* format,
                        Morvelan2d_point otherFormat, Morvelan2d_point otherCount) const;
  // The edge of a record's number; an unknown number (report `unknown`) or
  // one an earlier record gave (`twice`: "a second <what> record") is
  // refused.
  Edge* RecordEdge(FILE* f, Long num, std::vector<char>& given, const std::string& path, const char* what,
                   Morvelan2d_point unknown, Morvelan2d_point twice) const;
  // The steps of Set_initial_state: the terminal discharge file may not be
  // one of the run's input files (report 866), then the initial discharge
  // file.
  void RefuseTerminalFileOnAnInput() const;
  void ReadDischarges();

  ReceiveNointp<TzMatrix<double>> rp;
  Send<double> sp;
  Send<double> spSarea;
  Send<double> spStorage;
  Long numberOfEdges = 0;
  Int mDt = 0;
  double mXorig = 0.0, mYorig = 0.0;
  double mDx = 0.0, mDy = 0.0;
  std::unique_ptr<Edge[]> edgeArray;
  double mQoutc = 0.0, mQoutn = 0.0;
  double mSumArea = 0.0;
  double mStorage = 0.0;
  TzRbKeyTree<Long, Edge*> treeKeyedByEdgeNumber;
  std::string topoFileName;   // the edge connection file
  std::string paramFileName;  // the edge parameter file
  std::string edgeDisFileName;
  int mTopoDataType = 0;

  bool parameterRead = false;         // the parameter line and its files are loaded
  bool initialStateRead = false;      // the initial-state line and its file are loaded
  bool initialStateEarly = false;     // the initial-state line came before the parameters
  bool initialOutputDone = false;     // cells mapped, start values sent
  unsigned mapRows = 0, mapCols = 0;  // the grid the cells were found on

  static std::ostream* rainSumStream;
};

#endif
