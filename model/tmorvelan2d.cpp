// tmorvelan2d: rainfall-runoff simulation of one river basin.
//
// The simulated system is one VirtualRiverBasin: the runoff element
// "morvelan2d" fed with rain grids from "radarRain_4.dat", its basin
// outflow, saturated-area ratio and storage written to "tmorvelan2d.out",
// "tmorvelan2d.sat" and "tmorvelan2d.stg". The program reads the fixed files
// "tmorvelan2d.pmt", "tmorvelan2d.ist" and (when present) "tmorvelan2d.isd",
// asks on the console how far to run, and at the end writes
// "tmorvelan2d.tst" (a valid "tmorvelan2d.ist" for a restart) and
// "tmorvelan2d.tsd". The basin's mean rain of every step goes to
// "all_rain.dat", which is created and written with the series at the end
// of every run segment. No command-line arguments. The exit status is 1
// when an output of the run could not be created or written (or the answers
// ended at a prompt, or nothing could be computed); the run goes on and
// writes the other outputs. A file-size limit is a write that fails; a stop
// signal (SIGINT, SIGTERM, SIGHUP) ends the run where nothing computed is
// lost, with status 128 + the signal.
#include <cstdio>

#include "i_file_matrix.h"
#include "morvelan2d-1.h"
#include "output_f.h"
#include "rain_sum_file.h"
#include "tmorvelan2d.h"
#include "total.h"
#include "tzsignal.h"

namespace {

// The basin's mean rain per step, "<time> <mm/h>" lines: created at the
// first output, closed when the program ends.
RainSumFile all_rain_file("all_rain.dat");

class VirtualRiverBasin : public Total_system {
 public:
  VirtualRiverBasin()
      : ip("radarRain_4.dat"),
        op("tmorvelan2d.out", 128),
        opSarea("tmorvelan2d.sat", 128),
        opStorage("tmorvelan2d.stg", 128),
        morvelan2d("morvelan2d", 0) {
    class_name = "VirtualRiverBasin";
    Total_system::Init("vrb", 0, 0);
  }
  ~VirtualRiverBasin() override = default;

  // The basin's own start time; the element reads its own from its line.
  // A line without a number leaves the time as it was.
  int Set_initial_state(FILE* f) override {
    int t = current_time;
    if (f && std::fscanf(f, "%d", &t) == 1) current_time = t;
    return 1;
  }
  int Register_components() override { return Register(&morvelan2d); }
  int Register_iterators() override { return 1; }
  int Connect_ports() override {
    int ok = 1;
    if (Connect(&ip, &morvelan2d, "ReceiveNointp", "rp", 0) != 1) ok = 0;
    if (Connect(&morvelan2d, "Send", "sp", 0, &op) != 1) ok = 0;
    if (Connect(&morvelan2d, "Send", "spSarea", 0, &opSarea) != 1) ok = 0;
    if (Connect(&morvelan2d, "Send", "spStorage", 0, &opStorage) != 1) ok = 0;
    return ok;
  }
  int Connect_components() override { return 1; }
  int Register_input_ports() override { return Register(&ip); }
  int Register_output_ports() override {
    int ok = 1;
    if (Register(&op) != YES) ok = 0;
    if (Register(&opSarea) != YES) ok = 0;
    if (Register(&opStorage) != YES) ok = 0;
    return ok;
  }
  // The series, then the basin rain of the same steps: its file is created
  // with them, once the element has done its initial work.
  void Output_data() override {
    Total_system::Output_data();
    all_rain_file.Write(Initial_work_done());
  }
  void Own_files(std::vector<Own_file>& inputs, std::vector<Own_file>& outputs) override {
    Total_system::Own_files(inputs, outputs);
    outputs.push_back({"rain-sum file", all_rain_file.Path()});
  }

 private:
  I_file_matrix<TzMatrix<double>> ip;
  O_file<double> op;
  O_file<double> opSarea;
  O_file<double> opStorage;
  Morvelan2d morvelan2d;
};

}  // namespace

int main() {
  Morvelan2d::SetRainSumStream(&all_rain_file.Lines());
  tz::IgnoreFileSizeSignal();
  tz::CatchStopSignals();
  const int status = tmorvelan2d::Run<VirtualRiverBasin>();
  const bool rain_written = all_rain_file.Close();
  return status != 0 || rain_written ? status : 1;
}
