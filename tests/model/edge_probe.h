// Test helpers for edges: white-box access and small networks read from text.
#ifndef EDGE_PROBE_H
#define EDGE_PROBE_H

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "edge.h"
#include "qavlen/qavlen_testing.h"

class EdgeProbe {
 public:
  static const std::vector<double>& Qc(const Edge& e) { return e.mQc; }
  static const std::vector<double>& Qn(const Edge& e) { return e.mQn; }
  static std::vector<double>& MutableQc(Edge& e) { return e.mQc; }
  static std::vector<double>& MutableQn(Edge& e) { return e.mQn; }
  static double Dist(const Edge& e) { return e.mDist; }
  static double Cos(const Edge& e) { return e.mCos; }
  static double Alpha(const Edge& e) { return e.mAlpha; }
  static double Va(const Edge& e) { return e.mVa; }
  static double Dx(const Edge& e) { return e.mDx; }
  static double Qsmall(const Edge& e) { return e.mQsmall; }
  static int N(const Edge& e) { return e.mN; }
  static const Edge* Upper(const Edge& e, int i) { return e.upperEdgeArray[i]; }
  static std::size_t UpperSlots(const Edge& e) { return e.upperEdgeArray.size(); }
};

// Reads one edge record of version `type` from `text`.
inline void ReadEdge(Edge& e, const std::string& text, int type) {
  qtest::Text_file f(text);
  e.TopographicData(f.get(), type);
}

// A network read from the records in `text`, linked and completed the way
// the runoff element does it.
struct Network {
  int n = 0;
  std::unique_ptr<Edge[]> edges;

  Edge* Find(Long num) {
    for (int i = 0; i < n; i++)
      if (edges[i].Num() == num) return &edges[i];
    return nullptr;
  }
  Edge& operator[](int i) { return edges[i]; }
};

inline void ReadNetwork(Network& net, int count, const std::string& text, int type) {
  net.n = count;
  net.edges.reset(new Edge[count]);
  {
    qtest::Text_file f(text);
    for (int i = 0; i < count; i++) net.edges[i].TopographicData(f.get(), type);
  }
  for (int i = 0; i < count; i++) {
    Edge& e = net.edges[i];
    for (int j = 0; j < e.NumberOfUpperEdges(); j++) {
      Long num = e.UpperEdgeNumArray(j);
      Edge* p = net.Find(num < 0 ? -num : num);
      if (p == nullptr || e.RegisterUpperEdge(p) != EDGE_YES) std::abort();
    }
  }
  if (type == 2 || type == 4) {
    for (int i = 0; i < count; i++) {
      net.edges[i].DistributionRate();
      net.edges[i].CalcUpperArea();
    }
  }
}

#endif
