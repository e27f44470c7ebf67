#include "toolframe.h"

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <new>
#include <sstream>

#include "nopath.h"
#include "tzcheck.h"
#include "tztemp.h"

namespace tzframe {

namespace {

const char* const kOptionLines =
    "  options: \n"
    "    -h  show this help message\n"
    "    -v  show version number\n";

const ToolTexts kTools[] = {
    {"pelmic", " produces edge format V.4.\n", " [options] [edgeV0FileName] [nodeV0FileName] [edgeV4FileName]\n",
     "  edgeV0FileName:  edge format V.0 (input file)\n"
     "  nodeV0FileName:  node format V.0 (input file)\n"
     "  edgeV4FileName:  edge format V.4 (output file)\n",
     "  If \"edgeV0FileName\", \"nodeV0FileName\" and \"edgeV4FileName\"are given in the command line, \n"
     "  the input data are read in from the file.\n"
     "  Otherwise, the input data are read in from STDIN\n"
     "  with giving prompting messages.\n",
     "\nThis is pelmic, version 2.0\n"
     "  Developed by the pelmic developer, river basin modelling group\n"},
    {"dorvask", " produces edge connection data\n", " [options] [iFile] [oFile]\n",
     "  iFile : edge format data V.1\n"
     "  oFile : edge connection data\n",
     "  If \"iFile\" and \"oFile\" are given in the command line, \n"
     "  the input data are read in from the file.\n"
     "  Otherwise, the input data are read in from STDIN\n"
     "  with giving prompting messages.\n",
     "\nThis is dorvask\n"
     "  Developed by the dorvask developer, river basin modelling group\n"},
    {"sarnolt", " produces Morvelan Parameter Format data and Morvelan Initial State data\n", " [options]\n",
     "  iFile  : edge connection V.1, V.2, V.3, V.4 or V.5 data\n"
     "  oFile1 : Morvelan Parameter Format data\n"
     "  oFile2 : Morvelan Initial State data\n",
     "  \"iFile\", \"oFile1\" and \"oFile2\" will be read in from STDIN\n"
     "  with prompting messages.\n",
     "\nThis is sarnolt-1 ver. 1.3\n"
     "  Developed by the sarnolt developer, river basin modelling group\n"
     "  Modified by the sarnolt maintainer, river basin modelling group\n"},
};

// A checked file name, or a fatal error.
std::string checked_name(const std::string& name, bool got, const char* unit) {
  if (!got || name.empty()) fatal(unit, ERR_NO_NAME, {"no file name was given."});
  const NameFault fault = name_fault(name);
  if (fault.point != ERR_NONE) fatal(unit, fault.point, {fault.reason});
  return name;
}

bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The report of memory exhausted: the tool's error form and what it was
// doing. The texts were made before, so that nothing is allocated here.
const char* g_unit = "";
ErrorForm g_form = ErrorForm::kErrorLine;
std::string& doing_text() {
  static std::string text;
  return text;
}

void out_of_memory() {
  static bool reporting = false;
  if (reporting) {  // the report itself ran out
    tz::RemoveTemporaries();
    std::_Exit(1);
  }
  reporting = true;
  std::cout.flush();
  std::fflush(stdout);
  if (g_form == ErrorForm::kErrorLine)
    std::fprintf(stderr, "Error occured in file: %s, at line: %d\n", g_unit, ERR_NO_MEMORY);
  std::fprintf(stderr, "%smemory ran out while %s.\n", g_form == ErrorForm::kELine ? "E: " : "", doing_text().c_str());
  std::fflush(stderr);
  tz::stop(1);
}

void remove_at_stop(int) { tz::RemoveTemporaries(); }

}  // namespace

const ToolTexts* tool_texts(const char* name) {
  for (const ToolTexts& t : kTools)
    if (std::strcmp(t.name, name) == 0) return &t;
  return nullptr;
}

std::string usage_text(const ToolTexts& tool, const TzString& command) {
  std::ostringstream os;
  os << "\n"
     << command << tool.description << "usage: " << command << tool.arguments << kOptionLines << tool.files
     << tool.closing;
  return os.str();
}

void usage(const ToolTexts& tool, const TzString& command) {
  std::cout.flush();
  std::cerr << usage_text(tool, command) << std::endl;
  tz::stop(1);
}

void version(const ToolTexts& tool) { std::cerr << tool.version << std::endl; }

int options(int argc, char** argv, const ToolTexts& tool, const TzString& command) {
  int c;
  while ((c = getopt(argc, argv, "hv")) != -1) {
    if (c == 'v')
      version(tool);
    else
      usage(tool, command);
  }
  return optind;
}

void error_line(const char* unit, Point point) {
  std::cout.flush();
  std::cerr << "Error occured in file: " << unit << ", at line: " << point.Number() << std::endl;
}

void report(const char* unit, Point point, const std::vector<std::string>& reasons) {
  error_line(unit, point);
  for (const std::string& r : reasons) std::cerr << r << std::endl;
}

void fatal(const char* unit, Point point, const std::vector<std::string>& reasons) {
  report(unit, point, reasons);
  tz::RemoveTemporaries();
  tz::stop(1);
}

void fatal(const std::string& reason) {
  std::cout.flush();
  std::cerr << "E: " << reason << std::endl;
  tz::RemoveTemporaries();
  tz::stop(1);
}

void start(const char* unit, ErrorForm form) {
  std::signal(SIGXFSZ, SIG_IGN);
  g_unit = unit;
  g_form = form;
  doing_text().reserve(MAX_NAME + 256);
  doing("starting");
  std::set_new_handler(out_of_memory);
  if (tz::StopHook driver = tz::set_stop_hook(remove_at_stop)) tz::set_stop_hook(driver);
}

void doing(const char* what, const std::string& name) {
  std::string& text = doing_text();
  text.assign(what);
  if (!name.empty()) text.append(" ").append(name);
}

NameFault name_fault(const std::string& name) {
  if (name.size() > MAX_NAME) return {ERR_NAME_TOO_LONG, "the file name is longer than 255 characters: " + name};
  if (name.find_first_of("'\"") != std::string::npos)
    return {ERR_NAME_QUOTE, "a file name must not hold a quote character: " + name};
  for (char c : name)
    if (is_space(c)) return {ERR_NAME_BLANK, "a file name must not hold blanks or tabs: \"" + name + "\""};
  return {};
}

bool prompted_name(std::string& name) {
  std::string line;
  while (std::getline(std::cin, line)) {
    std::size_t b = 0, e = line.size();
    while (b < e && is_space(line[b])) ++b;
    while (e > b && is_space(line[e - 1])) --e;
    if (b == e) continue;
    name = line.substr(b, e - b);
    return true;
  }
  return false;
}

std::vector<std::string> file_names(int argc, char** argv, int firstArg, const char* unit,
                                    const std::vector<const char*>& prompts) {
  std::vector<std::string> names;
  if (argc == 1) {
    for (const char* prompt : prompts) {
      std::cout << prompt << std::flush;
      std::string name;
      bool got = prompted_name(name);
      names.push_back(checked_name(name, got, unit));
    }
    return names;
  }
  if (firstArg > 1) fatal(unit, ERR_OPTION_WITH_NAMES, {"options and file names cannot be given on one command line."});
  for (std::size_t i = 0; i < prompts.size(); ++i) {
    const bool got = i + 1 < static_cast<std::size_t>(argc);
    names.push_back(checked_name(got ? argv[i + 1] : "", got, unit));
  }
  return names;
}

std::string cause(int err) { return std::strerror(err); }

std::string cannot_write(const std::string& name) { return "the output file " + name + " cannot be written."; }

}  // namespace tzframe
