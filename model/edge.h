// One edge of the river-basin network.
//
// A slope edge (attribute 1) is a hillslope strip that turns rain into
// subsurface and surface flow and routes it downslope with an implicit
// kinematic-wave step; a river edge (attribute 2) only gathers what its upper
// edges deliver and passes it on within the same step.
//
// The runoff element holds all edges in one array in the order of the edge
// connection file and steps them in that order, so an edge reads the new
// outflow of every upper edge listed before it.
//
// Units: lengths m, areas m2, discharge m3/s, time s, rain and mQlevel mm/h.
#ifndef EDGE_H
#define EDGE_H

#include <cstdio>
#include <vector>

#include "tzdefs.h"

// Truth values of the edge operations (the framework's YES and NO).
constexpr Int EDGE_YES = 1;
constexpr Int EDGE_NO = 0;

// A rate in mm/h as m/s: mm to m (x 0.001), then per hour to per second
// (/ 3600). The two operations run in this order, not folded into one
// constant, which would round differently.
inline double MetresPerSecond(double mmPerHour) { return mmPerHour * 0.001 / 3600.0; }

class Edge {
 public:
  Edge() = default;
  Edge(const Edge&) = delete;  // upper edges are linked by address
  Edge& operator=(const Edge&) = delete;

  // --- network file and topology (morvelan2d-1.cpp) ---

  // Reads one record of an edge connection file of version `type` (2 .. 5).
  void TopographicData(FILE* fpTopo, int type);
  // Stores p in the next free slot of the upper-edge list; EDGE_NO when full.
  Int RegisterUpperEdge(Edge* p);
  // Share of the inflow at the upper node that enters this edge.
  void DistributionRate();
  // Area draining into the upper end, times the distribution rate. A river
  // edge draining into this edge is a wrong connection here (versions 2
  // and 4, which give no upper areas): "wrong connection of edges:" and
  // "from <river> to <edge>" on the error stream, status 1.
  void CalcUpperArea();
  // The first river edge of the upper list that drains into this edge;
  // null when none does.
  const Edge* UpperRiver() const;

  // --- flow law and time step (edge.cpp) ---

  void ParametersInFlowModel(double man, double m, double ka, double d, double da, double dm, double beta, double theta,
                             double cmin, double Qlevel, double eps, int ndiv, int dt);
  // Initial state: discharge `up` at the upper end, `low` at the lower end,
  // linear in between.
  void Discharge(double up, double low);
  // Discharges at both ends at the start of the step.
  void Discharge(double* up, double* low) const {
    *up = mQc[0];
    *low = mQc[mN];
  }
  double DischargeLowerEnd() const { return mQc[mN]; }

  // Wave speed dq/dh of the stage-discharge law at the per-width discharge q.
  // Uses no field of the edge but its number, which names it in a report.
  double PropagationSpeed(double alpha, double va, double da, double dm, double beta, double m, double tol,
                          double q) const;

  // One time step under `rain` (mm/h); always EDGE_YES.
  Int Calculate(double rain);
  void CalcSatArea();
  void CalcStorage();

  // --- accessors ---
  Long Num() const { return mNum; }
  Int Atr() const { return mAtr; }
  double Length() const { return mL; }
  double Area() const { return mArea; }
  double Width() const { return mWidth; }
  double Gradient() const { return mGrd; }
  Int NumberOfUpperEdges() const { return numberOfUpperEdges; }
  Long UpperEdgeNumArray(int i) const { return upperEdgeNumArray[i]; }
  Int LowestEdge() const { return lowestEdge; }
  double UpperArea() const { return mUpperArea; }
  double X() const { return mX; }
  double Y() const { return mY; }
  double Z() const { return mZ; }
  Long Gx() const { return mGx; }
  Long Gy() const { return mGy; }
  void Gx(Long gx) { mGx = gx; }
  void Gy(Long gy) { mGy = gy; }
  double Sarea() const { return mSarea; }
  double Storage() const { return mStorage; }

 private:
  friend class EdgeProbe;  // white-box access for the unit tests

  // The steps of TopographicData: the edge's number and point, its upper
  // edges, whether one of its lower edges receives its water, its attribute
  // (and for a slope edge its length, gradient and area), and for versions
  // 3 and 5 its distribution rate and upper area.
  void ReadNumberAndPoint(FILE* fpTopo, int type);
  void ReadUpperEdges(FILE* fpTopo);
  bool ReadLowerEdges(FILE* fpTopo);
  void ReadAttribute(FILE* fpTopo, bool drainsOn);
  void ReadDistribution(FILE* fpTopo);

  // Newton iteration on the surface-flow branch from the start height
  // da + ((q - qa) / alpha)^(1/m); ends when two successive discharges differ
  // by less than tol. Returns the last height, and alpha m u + va in *speed.
  double SurfaceFlowHeight(double alpha, double va, double da, double dm, double m, double qm, double qa, double tol,
                           double q, double* speed) const;

  Long mNum = 0;
  double mX = 0.0, mY = 0.0, mZ = 0.0;
  Int mAtr = 0;
  double mL = 0.0;
  double mArea = 0.0;
  double mWidth = 0.0;
  double mGrd = 0.0;
  double mCos = 0.0;
  Int numberOfUpperEdges = 0;
  std::vector<Long> upperEdgeNumArray;
  std::vector<Edge*> upperEdgeArray;
  Int lowestEdge = EDGE_NO;
  double mUpperArea = 0.0;
  Long mGx = 0, mGy = 0;
  double mMan = 0.0;
  double mKa = 0.0;
  double mD = 0.0;
  double mDa = 0.0;
  double mDm = 0.0;
  double mBeta = 0.0;
  double mAlpha = 0.0;
  double mVa = 0.0;
  double mM = 0.0;
  Int mN = 0;
  Int mDt = 0;
  double mTheta = 0.0;
  double mCmin = 0.0;
  double mQlevel = 0.0;
  double mEps = 0.0;
  double mDist = 0.0;
  std::vector<double> mQc;
  double mDx = 0.0;
  std::vector<double> mQn;
  double mQsmall = 0.0;
  double mSarea = 0.0;
  double mStorage = 0.0;

  std::size_t nextUpperSlot = 0;  // first empty slot of upperEdgeArray
};

#endif
