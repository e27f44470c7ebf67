// The connectivity builder's records: WorkNode, one end of an edge, and
// Edge, a record of the input with its two neighbour lists, with the
// writers of an output record.
#ifndef DORVASK_H
#define DORVASK_H

#include <cstdint>
#include <fstream>
#include <ostream>
#include <vector>

#include "tzdefs.h"
#include "tzfastio.h"
#include "tzslist.h"

// An edge number and the number of a node at one end of that edge. Values
// are ordered by node number alone and equal when both numbers are; so the
// values of one node, kept in insertion order, form a node's bucket. `at`,
// the place of the edge's record in the file, travels with the value
// through the shuffle and takes no part in the comparisons.
class WorkNode {
 public:
  WorkNode() : edgeNum(0), nodeNum(0), at(0) {}
  WorkNode(Long wedgeNum, Long wnodeNum) : edgeNum(wedgeNum), nodeNum(wnodeNum), at(0) {}
  WorkNode(Long wedgeNum, Long wnodeNum, std::uint32_t wat) : edgeNum(wedgeNum), nodeNum(wnodeNum), at(wat) {}
  void Init(Long wedgeNum, Long wnodeNum) {
    edgeNum = wedgeNum;
    nodeNum = wnodeNum;
  }
  Long EdgeNum() const { return edgeNum; }
  Long NodeNum() const { return nodeNum; }
  std::uint32_t At() const { return at; }
  bool operator==(const WorkNode& w) const { return edgeNum == w.edgeNum && nodeNum == w.nodeNum; }
  bool operator<(const WorkNode& w) const { return nodeNum < w.nodeNum; }

 private:
  Long edgeNum;
  Long nodeNum;
  std::uint32_t at;
};

// A record of the input with the signed numbers of the edges that meet it at
// its upper and at its lower end (+k: edge k touches the node with its lower
// end, -k: with its upper end). Length, gradient and area are -1.0 where the
// attribute has none.
class Edge {
 public:
  Edge() : upperEdgeList(0), lowerEdgeList(0) {}
  Edge(const Edge& e)
      : num(e.num),
        upperNode(e.upperNode),
        lowerNode(e.lowerNode),
        upx(e.upx),
        upy(e.upy),
        upz(e.upz),
        lowx(e.lowx),
        lowy(e.lowy),
        lowz(e.lowz),
        atr(e.atr),
        len(e.len),
        grd(e.grd),
        area(e.area),
        upperEdgeList(e.upperEdgeList, 0),
        lowerEdgeList(e.lowerEdgeList, 0) {}
  Edge& operator=(const Edge&) = delete;
  ~Edge() {
    upperEdgeList.Erase();
    lowerEdgeList.Erase();
  }
  void Init(Long aNum, Long aUpperNode, double aUpx, double aUpy, double aUpz, Long aLowerNode, double aLowx,
            double aLowy, double aLowz, Int aAtr, double aLen, double aGrd, double aArea) {
    num = aNum;
    upperNode = aUpperNode;
    upx = aUpx;
    upy = aUpy;
    upz = aUpz;
    lowerNode = aLowerNode;
    lowx = aLowx;
    lowy = aLowy;
    lowz = aLowz;
    atr = aAtr;
    len = aLen;
    grd = aGrd;
    area = aArea;
  }
  Long Number() const { return num; }
  Long UpperNode() const { return upperNode; }
  Long LowerNode() const { return lowerNode; }
  double UpX() const { return upx; }
  double UpY() const { return upy; }
  double UpZ() const { return upz; }
  double LowX() const { return lowx; }
  double LowY() const { return lowy; }
  double LowZ() const { return lowz; }
  Int Atribute() const { return atr; }
  double Length() const { return len; }
  double Gradient() const { return grd; }
  double Area() const { return area; }
  void AddUpperEdge(Long e) { upperEdgeList.Append(e); }
  void AddLowerEdge(Long e) { lowerEdgeList.Append(e); }
  // The lists, walked by the writers (the walk moves the list's cursor).
  TzSListDynamic<Long>& UpperEdgeList() { return upperEdgeList; }
  TzSListDynamic<Long>& LowerEdgeList() { return lowerEdgeList; }

 private:
  Long num = 0;
  Long upperNode = 0, lowerNode = 0;
  double upx = -1.0, upy = -1.0, upz = -1.0, lowx = -1.0, lowy = -1.0, lowz = -1.0;
  Int atr = 0;
  double len = -1.0, grd = -1.0, area = -1.0;
  TzSListDynamic<Long> upperEdgeList, lowerEdgeList;
};

namespace dorvask {

// The longest text the writers below give for e.
inline std::size_t TextBound(Edge& e) {
  return 16 * 34 + 12 * (static_cast<std::size_t>(e.UpperEdgeList().GetCount()) + e.LowerEdgeList().GetCount());
}

inline char* PutItem(char* p, double v) {
  p = tz::PutReal(p, v);
  *p++ = ' ';
  return p;
}

inline char* PutItem(char* p, long long v) {
  p = tz::PutInt(p, v);
  *p++ = ' ';
  return p;
}

// "count entries...", each followed by a blank.
inline char* PutList(char* p, TzSListDynamic<Long>& l) {
  p = PutItem(p, static_cast<long long>(l.GetCount()));
  for (TzBoolean more = l.ToHead(); more; more = l.ToNext()) p = PutItem(p, static_cast<long long>(l.Get()));
  return p;
}

// The items before the attribute: the ends and the two lists.
inline char* PutEnds(char* p, Edge& e) {
  p = PutItem(p, static_cast<long long>(e.Number()));
  p = PutItem(p, static_cast<long long>(e.UpperNode()));
  p = PutItem(p, e.UpX());
  p = PutItem(p, e.UpY());
  p = PutItem(p, e.UpZ());
  p = PutItem(p, static_cast<long long>(e.LowerNode()));
  p = PutItem(p, e.LowX());
  p = PutItem(p, e.LowY());
  p = PutItem(p, e.LowZ());
  p = PutList(p, e.UpperEdgeList());
  return PutList(p, e.LowerEdgeList());
}

// One "edge connection V.4" record without the end of line: the items
// before the attribute and the attribute, each followed by a blank, then
// length, gradient and area for attribute 1, length and gradient for
// attribute 3, and nothing more for any other attribute.
inline char* PutRecord(char* p, Edge& e) {
  p = PutItem(PutEnds(p, e), static_cast<long long>(e.Atribute()));
  if (e.Atribute() == 1) {
    p = PutItem(PutItem(p, e.Length()), e.Gradient());
    p = tz::PutReal(p, e.Area());
  } else if (e.Atribute() == 3) {
    p = PutItem(p, e.Length());
    p = tz::PutReal(p, e.Gradient());
  }
  return p;
}

}  // namespace dorvask

// Writes e as a record of the output file, without the end of line.
inline std::ofstream& operator<<(std::ofstream& out, Edge& e) {
  static std::vector<char> buf;  // grown to the longest record written
  if (buf.size() < dorvask::TextBound(e)) buf.resize(dorvask::TextBound(e));
  out.write(buf.data(), dorvask::PutRecord(buf.data(), e) - buf.data());
  return out;
}

// Writes e to any other stream: the items before the attribute, then
// length, gradient and area whatever the attribute, and the end of line.
inline std::ostream& operator<<(std::ostream& os, Edge& e) {
  static std::vector<char> buf;
  if (buf.size() < dorvask::TextBound(e)) buf.resize(dorvask::TextBound(e));
  char* p = dorvask::PutEnds(buf.data(), e);
  p = dorvask::PutItem(dorvask::PutItem(p, e.Length()), e.Gradient());
  p = tz::PutReal(p, e.Area());
  *p++ = '\n';
  os.write(buf.data(), p - buf.data());
  return os.flush();
}

#endif
