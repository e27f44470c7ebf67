// Build step: turns the tables of explanations (explain/<unit>.txt) into one
// explanation file per unit (<outdir>/<unit>.cpp) that holds each
// explanation as a block of "//" lines starting at the line its report
// names, every other line empty. The report functions echo the block found
// at the reported line (see Print_comments).
//
// Table format, line by line:
//   "# ..."           a note for the table's readers, not copied
//   (empty)           ignored
//   "<line> <text>"   starts the explanation of the report at <line>
//   " <text>"         (leading blank or tab) one more line of the same
//                     explanation
// Positions must increase, and each block must end at least one line before
// the next position, so that no echo runs into the next explanation.
//
// Usage: make_explanations <outdir> <table>...
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

struct Entry {
  int line;
  std::vector<std::string> text;
  int source_line;
};

bool fail(const std::string& table, int line, const std::string& what) {
  std::cerr << table << ":" << line << ": " << what << "\n";
  return false;
}

std::string trim(const std::string& s) {
  std::size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return "";
  std::size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

bool read_table(const std::string& table, std::vector<Entry>& entries) {
  std::ifstream in(table);
  if (!in) return fail(table, 0, "cannot open the table");
  std::string row;
  int n = 0;
  while (std::getline(in, row)) {
    ++n;
    if (!row.empty() && row.back() == '\r') row.pop_back();
    if (trim(row).empty() || row[0] == '#') continue;
    if (row[0] == ' ' || row[0] == '\t') {
      if (entries.empty()) return fail(table, n, "continuation line before the first position");
      entries.back().text.push_back(trim(row));
      continue;
    }
    std::size_t k = 0;
    while (k < row.size() && std::isdigit(static_cast<unsigned char>(row[k]))) ++k;
    if (k == 0 || k > 7) return fail(table, n, "a line must begin with a position, a blank or '#'");
    int line = std::stoi(row.substr(0, k));
    std::string text = trim(row.substr(k));
    if (line < 1) return fail(table, n, "positions begin at 1");
    if (text.empty()) return fail(table, n, "position without explanation");
    if (!entries.empty()) {
      const Entry& last = entries.back();
      if (line <= last.line) return fail(table, n, "positions must increase");
      int end = last.line + static_cast<int>(last.text.size());  // first line after the block
      if (end >= line)
        return fail(table, last.source_line,
                    "the explanation at " + std::to_string(last.line) + " runs into position " + std::to_string(line) +
                        ": shorten it");
    }
    entries.push_back(Entry{line, {text}, n});
  }
  return true;
}

std::string unit_of(const std::string& table) {
  std::size_t slash = table.find_last_of('/');
  std::string base = slash == std::string::npos ? table : table.substr(slash + 1);
  std::size_t dot = base.rfind(".txt");
  return dot == std::string::npos ? base : base.substr(0, dot);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: make_explanations <outdir> <table>...\n";
    return 2;
  }
  std::string outdir = argv[1];
  bool ok = true;
  for (int a = 2; a < argc; ++a) {
    std::string table = argv[a];
    std::vector<Entry> entries;
    if (!read_table(table, entries)) {
      ok = false;
      continue;
    }
    std::string out = outdir + "/" + unit_of(table) + ".cpp";
    std::ofstream f(out, std::ios::trunc);
    if (!f) {
      ok = fail(out, 0, "cannot write the explanation file");
      continue;
    }
    int line = 1;
    for (const Entry& e : entries) {
      for (; line < e.line; ++line) f << "\n";
      for (const std::string& t : e.text) {
        f << "// " << t << "\n";
        ++line;
      }
    }
    if (!f) ok = fail(out, 0, "write error");
  }
  return ok ? 0 : 1;
}
