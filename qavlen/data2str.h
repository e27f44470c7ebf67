// Text forms of the scalar port values (double, float, int, long) and of
// QavlenString, and the item lists they are read from.
//
// An item list is a run of NUL-terminated items laid end to end, ended by
// an empty item. A reading cursor points at the current item; every read
// takes one item, parses it and moves past it. A read at the empty end item
// takes nothing and does not move, so no reader ever passes the end of the
// list; the target then stays unchanged. Numbers are parsed like scanf's
// %d, %f and %lf: an item that does not begin with a number leaves the
// target unchanged, one that goes on after the number gives the number.
#ifndef QAVLEN_DATA2STR_H
#define QAVLEN_DATA2STR_H

#include <cstdio>
#include <vector>

#include "qstring.h"
#include "tzdefs.h"

// The current item, the cursor moved past it; null at the end of the list.
const char* Take_item(char*& cursor);

// Data form: "(%g)\n", "(%d)\n", "(%s)\n"; the empty text "(\n)\n", a line
// end between the brackets.
void data2file(double x, FILE* f);
void data2file(float x, FILE* f);
void data2file(int x, FILE* f);
void data2file(TzLong x, FILE* f);
void data2file(const QavlenString& x, FILE* f);

// Output form: "%g", "%d", and the text between double quotes.
void data2ofile(double x, FILE* f);
void data2ofile(float x, FILE* f);
void data2ofile(int x, FILE* f);
void data2ofile(TzLong x, FILE* f);
void data2ofile(const QavlenString& x, FILE* f);

// Reads an int item: true when an item was there and began with a number.
bool Read_item(char*& cursor, int& x);

// Reading form: one item each. The int form also reads times; a text item
// of line ends only is the empty text.
void dstr2data(char*& cursor, double& x);
void dstr2data(char*& cursor, float& x);
void dstr2data(char*& cursor, int& x);
void dstr2data(char*& cursor, TzLong& x);
void dstr2data(char*& cursor, QavlenString& x);

// The item list of one input line: blanks and tabs separate items; an item
// that begins with ' or " runs to the same quote (dropped), the line end or
// the end of the text; the line end or the end of the text ends the line.
// The list ends with two empty items. Sized from the line.
std::vector<char> Make_item_list(const char* line);

#endif
