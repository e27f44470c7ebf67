// The rain-sum file of the simulation program ("all_rain.dat"): the basin's
// mean rain of every step, one line "<time> <mm/h>" per step, as the runoff
// element writes it to the file's stream of lines (Lines(), which the
// program hands the element).
//
// The element's lines are kept in memory and appended to the file by Write,
// which the program calls whenever the system writes its output files (the
// end of a run segment, the caught data failure), and by Close at the end
// of the program, so that the file holds the steps the series files hold.
// The file is created (emptied) at the first write of the run that has
// lines or is asked to create it, with the series: a run that stops before
// it leaves an earlier run's file as it was. A write that fails (a full
// disk, a file-size limit) is reported naming the file; the file is cut
// back to its last whole write and the lines are kept for the next write,
// whole and once. A file that cannot be created is reported and its lines
// are not kept.
#ifndef MODEL_RAIN_SUM_FILE_H
#define MODEL_RAIN_SUM_FILE_H

#include <ostream>
#include <sstream>
#include <string>

class RainSumFile {
 public:
  // The file at `path`, not created yet.
  explicit RainSumFile(const char* path);
  // Closes the file (what is left is written), so that a program that
  // stops on an error keeps the lines of its last steps.
  ~RainSumFile() { Close(); }
  RainSumFile(const RainSumFile&) = delete;
  RainSumFile& operator=(const RainSumFile&) = delete;

  // A new run of the file: no line kept, the file not created yet.
  void Reset();
  // The stream that takes the lines; once the file could not be created it
  // takes none (it is failed, writing to it costs nothing).
  std::ostream& Lines() { return lines_; }
  // Appends the lines kept since the last write; the first write that has
  // lines, or is told to `create`, empties (creates) the file first. False
  // after a report.
  bool Write(bool create = false);
  // The last write: true when every line of the run reached the file.
  // Lines that cannot be written now are lost.
  bool Close();
  // True once the file could not be created or written.
  bool Failed() const { return failed_; }
  const std::string& Path() const { return path_; }

 private:
  // Empties (creates) the file; false after a report.
  bool Create();
  // Appends the kept lines, creating the file first when it has not been
  // yet and there are lines or `create`; a failure is reported with
  // `otherwise`, what becomes of the lines.
  bool Append(bool create, const char* otherwise);
  // The message on the error stream, after what the standard output holds.
  void Report(const std::string& message) const;

  std::string path_;
  std::ostringstream lines_;
  bool created_ = false;
  bool dropped_ = false;  // the file could not be created: no line is kept
  bool failed_ = false;
};

#endif
