// The lines of the sectioned text files.
//
// The network, parameter and state files of the model and the files of the
// tools share one layout: header keys ("[Data Format Name]", "[Number of
// Total Edges]", "[Data]", "[Comment]") found as the beginning of a line,
// each followed by its value or its records, and lines of blanks that hold
// nothing. The tests below take a line without its line end; the key
// searches read lines from a stream until one begins with the key.
#ifndef TZLINES_H
#define TZLINES_H

#include <cstdio>
#include <string>
#include <string_view>

namespace tz {

// Whether line begins with every character of key.
inline bool BeginsWith(std::string_view line, std::string_view key) {
  return line.size() >= key.size() && line.compare(0, key.size(), key) == 0;
}

// Whether c is a blank of a line: the blank, the tab, or the carriage
// return (the rest of a CRLF line end).
inline bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// Whether line holds blanks only (an empty line does). A NUL character is
// not a blank: a reader that sees its lines as C strings tests
// BlankOnly(UpToNul(line)).
bool BlankOnly(std::string_view line);

// The line as a C string shows it: up to its first NUL character.
std::string_view UpToNul(std::string_view line);

// Reads lines with in.Next(line) up to and including the first one that
// begins with key, and leaves it in line; false when the lines end first.
// Every line passed over is handed to passed(line) (a reader that copies
// them). Lines is any reader whose bool Next(std::string_view&) gives the
// next line (empty lines included) and false at the end.
template <class Lines, class Passed>
bool SkipTo(Lines& in, std::string_view& line, std::string_view key, Passed passed) {
  while (in.Next(line)) {
    if (BeginsWith(line, key)) return true;
    passed(line);
  }
  return false;
}

template <class Lines>
bool SkipTo(Lines& in, std::string_view& line, std::string_view key) {
  return SkipTo(in, line, key, [](std::string_view) {});
}

// One whole line of f without its line end (the '\n' and one '\r' before
// it), read character by character, so that f stands just after the line
// for the formatted reads that follow; false when the file has ended. An
// empty line is a line.
bool ReadLine(std::FILE* f, std::string& line);

// Reads lines of f up to and including the first one that begins with key;
// false when the file ends first. f then stands after that line.
bool SkipTo(std::FILE* f, std::string_view key);

}  // namespace tz

#endif
