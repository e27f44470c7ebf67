// Scanning of the framework's bracketed data files: white space and
// comments, words of headers, and data blocks turned into item lists.
//
// Every function works on an open stream and a current character that the
// caller holds: the last character read, not yet consumed. The functions
// leave in it the character that stopped them.
//
// Texts handed out are new char arrays (delete[]); arrays of texts are new
// arrays of new texts.
#ifndef QAVLEN_F_LOOK_H
#define QAVLEN_F_LOOK_H

#include <cstdio>

// While c is a blank, a tab or a line end, reads the next character; when c
// is the comment character, reads up to the end of the line and goes on.
// Stops at any other character (a carriage return is not white space).
// Comment 0 means no comments. A comment character that is a blank, a tab,
// a line end or EOF is refused (f_look 25): nothing is skipped and 0 is
// returned; otherwise 1.
int Pass_whites_and_comments(FILE* fp, int& c, int comment);

// The 1-based number of the line holding the character just read, counted
// from the start of the stream; the position is restored. 0 for a null or
// unseekable stream.
int Get_line_number(FILE* fp);

// Skips white space, then reads one word: it ends at a blank, a tab, the end
// of the stream, or a line end not preceded by the continuation character
// (continuation and line end are then both dropped). The character that
// ended the word is consumed and left in c. Returns 1 with a new text, or 0
// with a null text at the end of the stream.
int Get_string(FILE* fp, int& c, char*& str, int continuation);

// Reads up to n words, skipping white space and comments before each. strs
// becomes a new array of n texts; the entries past the end of the stream are
// null. Returns the number of words read (n <= 0: null array, 0).
int Get_strings(FILE* fp, int& c, char**& strs, int n, int comment, int continuation);

// Reads the data block that starts at c (its opening bracket) into a data
// string: its items, each followed by a NUL byte. A block whose first
// non-white, non-comment character after the opening bracket is another
// opening bracket is of the nested form: each inner bracket pair is one item
// and an empty item ends the string. Otherwise the raw text up to the
// closing bracket is the one item. Inside an item the continuation character
// before a bracket makes the bracket part of the item, before a line end it
// joins the lines. Returns 1 with the new string and its length in bytes
// (NULs included), or 0 with a null string, length 0 and "\tAt <path> :
// <line>\n" on the error stream. The stream must be seekable. The four
// characters must all differ, else f_look 70 and 0 with the results
// untouched. c is left at the block's closing bracket.
int Make_data_string(const char* path, FILE* fp, int& c, char*& str, int& length, int open, int close, int comment,
                     int continuation);

#endif
