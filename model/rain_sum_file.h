// The rain-sum file of the simulation program ("all_rain.dat"): the basin's
// mean rain of every step, one line "<time> <mm/h>" per step, as the runoff
// element writes it to its rain-sum stream (Morvelan2d::SetRainSumStream).
//
// The file is emptied when it is created. The element's lines are kept in
// memory and appended to the file by Write, which the program calls
// whenever the system writes its output files (the end of a run segment,
// the caught data failure), and by Close at the end of the program, so that
// the file holds the steps the series files hold. A write that fails (a full
// disk, a file-size limit) is reported naming the file; the file is cut back
// to its last whole write and the lines are kept for the next write, whole
// and once. A file that cannot be created is reported and its lines are not
// kept.
#ifndef MODEL_RAIN_SUM_FILE_H
#define MODEL_RAIN_SUM_FILE_H

#include <sstream>
#include <string>

class RainSumFile {
 public:
  // Creates the file at `path`.
  explicit RainSumFile(const char* path);
  // Closes the file (what is left is written), so that a program that
  // stops on an error keeps the lines of its last steps.
  ~RainSumFile();
  RainSumFile(const RainSumFile&) = delete;
  RainSumFile& operator=(const RainSumFile&) = delete;

  // Empties (creates) the file and hands the element the stream of its
  // lines; a new run of the file. False after a report.
  bool Create();
  // Appends the lines kept since the last write. False after a report.
  bool Write();
  // The last write: true when every line of the run reached the file.
  // Lines that cannot be written now are lost.
  bool Close();
  // True once the file could not be created or written.
  bool Failed() const { return failed_; }

 private:
  // Appends the kept lines; a failure is reported with `otherwise`, what
  // becomes of the lines.
  bool Append(const char* otherwise);
  // The message on the error stream, after what the standard output holds.
  void Report(const std::string& message) const;

  std::string path_;
  std::ostringstream lines_;
  bool created_ = false;
  bool failed_ = false;
};

#endif
