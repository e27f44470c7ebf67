// The frame the preparation tools share: the options "-h" and "-v", the
// usage and version texts, the file names from the command line or from
// prompts, the error line, the start every tool makes (a size limit,
// memory exhausted, the temporary files at a stop). Numbers are written in the
// format of every output file with tz::PutReal and tz::PutInt (tzfastio).
//
// Streams: prompts and progress go to the standard output; usage, version
// and error reports to the standard error stream.
#ifndef TOOLFRAME_H
#define TOOLFRAME_H

#include <fstream>
#include <string>
#include <type_traits>
#include <vector>

#include "tzstr.h"

namespace tzframe {

// The fixed texts of one tool.
struct ToolTexts {
  const char* name;         // "pelmic", "dorvask", "sarnolt"
  const char* description;  // follows the command in the usage text
  const char* arguments;    // follows "usage: " and the command
  const char* files;        // the file lines
  const char* closing;      // the closing lines
  const char* version;      // the whole version text, without the final end of line
};

// The texts of a tool by its name; null for an unknown name.
const ToolTexts* tool_texts(const char* name);

// The usage text without its final end of line.
std::string usage_text(const ToolTexts& tool, const TzString& command);

// Writes the usage text and an end of line to the standard error stream and
// ends the program with status 1.
[[noreturn]] void usage(const ToolTexts& tool, const TzString& command);

// Writes the version text and an end of line to the standard error stream.
void version(const ToolTexts& tool);

// The option loop ("hv"): "-v" prints the version and goes on, anything else
// prints the usage and ends the program. Returns getopt's optind, the index
// of the first argument that is not an option.
int options(int argc, char** argv, const ToolTexts& tool, const TzString& command);

// An error point of a tool: the number its error line gives. Made only from
// an enumerator of a tool's error points (the frame's FrameError, pelmic's
// and dorvask's ErrorPoint), never from a bare number.
class Point {
 public:
  template <class Enum, class = std::enable_if_t<std::is_enum_v<Enum>>>
  constexpr Point(Enum point) : number(static_cast<int>(point)) {}
  constexpr int Number() const { return number; }

 private:
  int number;
};

// Numbers of the frame's own error points.
enum FrameError {
  ERR_NONE = 0,                // no error: a sound name (NameFault)
  ERR_OPTION_WITH_NAMES = 41,  // an option and file names on one command line
  ERR_NO_NAME = 42,            // the input ended at a name prompt, or an empty argument
  ERR_NAME_TOO_LONG = 43,      // more than MAX_NAME characters
  ERR_NAME_QUOTE = 44,         // a quote character in a name
  ERR_CANNOT_WRITE = 45,       // an output file cannot be created
  ERR_NAME_BLANK = 46,         // a blank or a tab in a name
  ERR_NO_MEMORY = 47,          // memory ran out
};

// The longest file name the tools accept.
constexpr std::size_t MAX_NAME = 255;

// How a tool reports a fatal error: the error line and a reason line
// (pelmic, dorvask), or one line "E: <reason>" (sarnolt).
enum class ErrorForm { kErrorLine, kELine };

// What every tool does first. SIGXFSZ is ignored, so that a file-size
// limit makes a write fail, which the tool reports, instead of killing it
// with half a file. Memory exhausted anywhere ends the tool with its error
// form (unit and ERR_NO_MEMORY for the error line) and the line "memory ran
// out while <what doing()> said>.", status 1. Every stop of the program
// removes the temporary files of the run first (tztemp.h), unless a
// driver (a fuzz target) has its own stop hook, which unwinds instead.
void start(const char* unit, ErrorForm form);

// What the tool does from now on, for the report of memory exhausted:
// what, then a blank and name when there is one ("reading the node file
// n.dat"). Set once per step of the work, never per record.
void doing(const char* what, const std::string& name = "");

// Writes "Error occured in file: <unit>, at line: <number of point>" and an
// end of line to the standard error stream.
void error_line(const char* unit, Point point);

// The report of an error point (pelmic, dorvask): the error line, then each
// reason on a line of its own; the run goes on.
void report(const char* unit, Point point, const std::vector<std::string>& reasons);

// The report of an error point, then the end with status 1; the temporary
// files of the run are removed.
[[noreturn]] void fatal(const char* unit, Point point, const std::vector<std::string>& reasons);

// The fatal error of a tool without error points (sarnolt): the line
// "E: <reason>", then the end as above.
[[noreturn]] void fatal(const std::string& reason);

// Why a name cannot be used as a file name: longer than MAX_NAME, holding a
// quote character the file readers would take as a quoted stretch, or a
// blank or a tab (every reader of names takes a name as one word). The
// error point and the reason line; ERR_NONE for a sound name.
struct NameFault {
  FrameError point = ERR_NONE;
  std::string reason;
};
NameFault name_fault(const std::string& name);

// The answer at a name prompt: the next line of the standard input that
// holds more than white space, without the white space around it (it may
// hold more than one word); false at the end of the input.
bool prompted_name(std::string& name);

// The file names of a tool that takes them as arguments or at prompts: with
// argc 1, for each prompt in turn the prompt is written to the standard
// output and the answer read (prompted_name); otherwise argument i gives
// the name of file i as it stands. A command line that held an option
// (firstArg above 1) and bad names are fatal errors of unit, found before
// any file is opened.
std::vector<std::string> file_names(int argc, char** argv, int firstArg, const char* unit,
                                    const std::vector<const char*>& prompts);

// Why a file cannot be opened or read, from the error number the failure
// left ("No such file or directory").
std::string cause(int err);

// The reason line for an output file that cannot be created or written.
std::string cannot_write(const std::string& name);

}  // namespace tzframe

#endif
