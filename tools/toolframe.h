// The frame the preparation tools share: the options "-h" and "-v", the
// usage and version texts, the file names from the command line or from
// prompts, the error line and the output files. Numbers are written in the
// format of every output file with tz::PutReal and tz::PutInt (tzfastio).
//
// Streams: prompts and progress go to the standard output; usage, version
// and error reports to the standard error stream.
#ifndef TOOLFRAME_H
#define TOOLFRAME_H

#include <fstream>
#include <string>
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

// Numbers of the frame's own error points.
enum FrameError {
  ERR_OPTION_WITH_NAMES = 41,  // an option and file names on one command line
  ERR_NO_NAME = 42,            // the input ended at a name prompt, or an empty argument
  ERR_NAME_TOO_LONG = 43,      // more than MAX_NAME characters
  ERR_NAME_QUOTE = 44,         // a quote character in a name
  ERR_CANNOT_WRITE = 45,       // an output file cannot be created
};

// The longest file name the tools accept.
constexpr std::size_t MAX_NAME = 255;

// Writes "Error occured in file: <unit>, at line: <number>" and an end of
// line to the standard error stream.
void error_line(const char* unit, int number);

// Writes the error line and the reason line, then ends with status 1.
[[noreturn]] void fatal(const char* unit, int number, const std::string& reason);

// Why a name cannot be used as a file name (too long, holding a quote
// character the file readers would take as a quoted stretch), or null.
const char* name_fault(const std::string& name);

// The file names of a tool that takes them as arguments or at prompts: with
// argc 1, for each prompt in turn the prompt is written to the standard
// output and one word read from the standard input; otherwise argument i
// gives the name of file i (its first word). A command line that held an
// option (firstArg above 1) and bad names are fatal errors of unit.
std::vector<std::string> file_names(int argc, char** argv, int firstArg, const char* unit,
                                    const std::vector<const char*>& prompts);

// Creates or empties an output file; false when it cannot be created.
bool open_output(std::ofstream& out, const std::string& name);
// The reason line for an output file that cannot be created or written.
std::string cannot_write(const std::string& name);

}  // namespace tzframe

#endif
