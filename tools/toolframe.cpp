#include "toolframe.h"

#include <unistd.h>

#include <cstring>
#include <iostream>
#include <sstream>

#include "nopath.h"
#include "tzcheck.h"

namespace tzframe {

namespace {

const char* const kOptionLines =
    "  options: \n"
    "    -h  show this help message\n"
    "    -v  show version number\n";

const ToolTexts kTools[] = {
    {"pelmic", " produces edge format V.4.\n",
     " [options] [edgeV0FileName] [nodeV0FileName] [edgeV4FileName]\n",
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
    {"sarnolt", " produces Morvelan Parameter Format data and Morvelan Initial State data\n",
     " [options]\n",
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
  if (!got || name.empty()) fatal(unit, ERR_NO_NAME, "no file name was given.");
  if (name.size() > MAX_NAME)
    fatal(unit, ERR_NAME_TOO_LONG, "the file name is longer than 255 characters: " + name);
  if (const char* why = name_fault(name)) fatal(unit, ERR_NAME_QUOTE, std::string(why) + ": " + name);
  return name;
}

}  // namespace

const ToolTexts* tool_texts(const char* name) {
  for (const ToolTexts& t : kTools)
    if (std::strcmp(t.name, name) == 0) return &t;
  return nullptr;
}

std::string usage_text(const ToolTexts& tool, const TzString& command) {
  std::ostringstream os;
  os << "\n" << command << tool.description << "usage: " << command << tool.arguments << kOptionLines
     << tool.files << tool.closing;
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

void error_line(const char* unit, int number) {
  std::cout.flush();
  std::cerr << "Error occured in file: " << unit << ", at line: " << number << std::endl;
}

void fatal(const char* unit, int number, const std::string& reason) {
  error_line(unit, number);
  std::cerr << reason << std::endl;
  tz::stop(1);
}

const char* name_fault(const std::string& name) {
  if (name.size() > MAX_NAME) return "the file name is longer than 255 characters";
  if (name.find_first_of("'\"") != std::string::npos) return "a file name must not hold a quote character";
  return nullptr;
}

std::vector<std::string> file_names(int argc, char** argv, int firstArg, const char* unit,
                                    const std::vector<const char*>& prompts) {
  std::vector<std::string> names;
  if (argc == 1) {
    for (const char* prompt : prompts) {
      std::cout << prompt << std::flush;
      std::string name;
      bool got = static_cast<bool>(std::cin >> name);
      names.push_back(checked_name(name, got, unit));
    }
    return names;
  }
  if (firstArg > 1)
    fatal(unit, ERR_OPTION_WITH_NAMES, "options and file names cannot be given on one command line.");
  for (std::size_t i = 0; i < prompts.size(); ++i) {
    // An argument holding blanks gives its first word.
    std::istringstream arg(i + 1 < static_cast<std::size_t>(argc) ? argv[i + 1] : "");
    std::string name;
    bool got = static_cast<bool>(arg >> name);
    names.push_back(checked_name(name, got, unit));
  }
  return names;
}

bool open_output(std::ofstream& out, const std::string& name) {
  out.open(name, std::ios::out | std::ios::trunc);
  return static_cast<bool>(out);
}

std::string cannot_write(const std::string& name) { return "the output file " + name + " cannot be written."; }

}  // namespace tzframe
