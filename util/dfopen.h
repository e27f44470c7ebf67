// dataFileOpen: opens a hand-written data file with its comments removed.
//
// The readers of the framework's parameter and state files and of the
// model's network, parameter and initial discharge files read plain
// formatted input; this opener gives them a stream over a copy of the file
// in which every comment, from '#' to the end of its line, is gone. A line
// that is only a comment (its '#' in the first column) vanishes with its
// newline; otherwise the newline stays. Text between double quotes or
// between apostrophes is copied unchanged, '#' and newlines included; there
// is no escape character, so quotes come in pairs, even in comment blocks.
#ifndef DFOPEN_H
#define DFOPEN_H

#include <cstdint>
#include <cstdio>

// The comment-free copy of `path`, open for reading at its beginning. The
// copy is an anonymous temporary file in the folder for temporary copies
// (tz::TempFolder: $TMPDIR, else /tmp); it has no name and disappears when
// the stream is closed or the program ends. The caller closes the stream.
// Never returns null: a file that cannot be opened ends the program with
// "Cannot open [<path>].\n" and status 1; a copy that cannot be created or
// written whole (no such folder, too many open files, a full disk) with a
// line naming the file, the folder and the cause ("File: net.con: its copy
// without comments cannot be written in /tmp: No space left on device
// (TMPDIR names the folder of such copies)"), then "Cannot open
// [tmpfile].\n", status 1; and a file that ends inside a quoted stretch
// with a line naming the file, the line of the opening quote and that
// quote, the report of the check "c != EOF" and status 1.
std::FILE* dataFileOpen(const char* path);

// The line of `path` (from 1) that the character at `offset` of its
// comment-free copy comes from: whole-line comments are gone from the copy,
// so its own line count is not the user's. An offset at or past the end of
// the copy gives the line of its last character. The file is read again to
// find it, so that the copy costs nothing more; 0 when it cannot be opened.
std::int64_t dataFileLine(const char* path, std::int64_t offset);

// The line written to the standard error stream before a reader stops on a
// file that ends inside a quoted stretch: the file, the line of the
// opening quote and that quote ("File: a.dat, line 3: the apostrophe (')
// there opens a quoted stretch that runs to the end of the file: quotes
// come in pairs, even in comment blocks"). The tools' comment-stripping
// stream reports with it too, and with the next one for a comment that a
// stream refuses to see end the file.
void dataFileReportOpenQuote(const char* path, std::int64_t line, int quote);

// "File: <path>, line <line>: the comment there ends the file without a
// line end", on the standard error stream.
void dataFileReportOpenComment(const char* path, std::int64_t line);

#endif
