// The runoff model's basin network: reading the edges of an edge connection
// file and completing the network topology.
#include <cmath>
#include <cstdio>

#include "edge.h"
#include "tzcheck.h"

namespace {
const char* const kUnit = "morvelan2d-1.cpp";
}

// ---------------------------------------------------------------------------
// Edge: one record of an edge connection file (versions 2 to 5)
// ---------------------------------------------------------------------------

void Edge::TopographicData(FILE* fpTopo, int type) {
  int tmp = 0;
  Long num = 0;

  std::fscanf(fpTopo, "%d", &mNum);
  TZ_CHECK(mNum > 0, kUnit, "mNum > 0");

  if (type == 2 || type == 3) {
    std::fscanf(fpTopo, "%lf %lf %lf", &mX, &mY, &mZ);
  } else if (type == 4 || type == 5) {
    // Both ends of the edge; its point is their midpoint. The node numbers
    // are not kept.
    Long upNode = 0, lowNode = 0;
    double ux = 0, uy = 0, uz = 0, lx = 0, ly = 0, lz = 0;
    std::fscanf(fpTopo, "%d %lf %lf %lf %d %lf %lf %lf", &upNode, &ux, &uy, &uz, &lowNode, &lx,
                &ly, &lz);
    mX = (ux + lx) * 0.5;
    mY = (uy + ly) * 0.5;
    mZ = (uz + lz) * 0.5;
  } else {
    std::fflush(stdout);
    std::fprintf(stderr, "E: data format error");
    tz::stop(1);
  }

  // Upper neighbours. The list grows with the entries actually read, so a
  // corrupt count ends at the first missing entry instead of reserving memory
  // for it.
  TZ_CHECK(std::fscanf(fpTopo, "%d", &numberOfUpperEdges) == 1, kUnit,
           "fscanf(fpTopo, \"%d\", &numberOfUpperEdges) == 1");
  TZ_CHECK(numberOfUpperEdges >= 0, kUnit, "numberOfUpperEdges >= 0");
  upperEdgeNumArray.clear();
  for (int i = 0; i < numberOfUpperEdges; i++) {
    TZ_CHECK(std::fscanf(fpTopo, "%d", &num) == 1, kUnit, "fscanf(fpTopo, \"%ld\", &num) == 1");
    upperEdgeNumArray.push_back(num);
  }
  upperEdgeNumArray.resize(numberOfUpperEdges > 0 ? numberOfUpperEdges : 1, 0);
  upperEdgeArray.assign(upperEdgeNumArray.size(), nullptr);
  nextUpperSlot = 0;

  // Lower neighbours: only whether one of them receives this edge's water.
  TZ_CHECK(std::fscanf(fpTopo, "%d", &tmp) == 1, kUnit, "fscanf(fpTopo, \"%d\", &tmp) == 1");
  TZ_CHECK(tmp >= 0, kUnit, "tmp >= 0");
  bool drainsOn = false;
  for (int i = 0, n = tmp; i < n; i++) {
    TZ_CHECK(std::fscanf(fpTopo, "%d", &num) == 1, kUnit, "fscanf(fpTopo, \"%ld\", &num) == 1");
    if (num < 0) drainsOn = true;
  }

  TZ_CHECK(std::fscanf(fpTopo, "%d", &tmp) == 1, kUnit, "fscanf(fpTopo, \"%d\", &tmp) == 1");
  TZ_CHECK(tmp == 1 || tmp == 2, kUnit, "tmp == 1 || tmp == 2");
  mAtr = tmp;
  lowestEdge = (mAtr == 2 && !drainsOn) ? EDGE_YES : EDGE_NO;

  if (mAtr == 1) {
    double wlen = 0, wgrd = 0, warea = 0;
    TZ_CHECK(std::fscanf(fpTopo, "%lf %lf %lf", &wlen, &wgrd, &warea) == 3, kUnit,
             "fscanf(fpTopo, \"%lf %lf %lf\", &wlen, &wgrd, &warea) == 3");
    TZ_CHECK(wlen > 0.0, kUnit, "wlen > 0.0");
    if (wgrd <= 0.0) wgrd = 0.00001;
    TZ_CHECK(warea > 0.0, kUnit, "warea > 0.0");
    mArea = warea;
    mWidth = warea / wlen;
    mL = wlen * std::sqrt(wgrd * wgrd + 1);
    mGrd = std::sin(std::atan(wgrd));
    mCos = std::cos(std::asin(mGrd));
  }

  if (type == 3 || type == 5) {
    TZ_CHECK(std::fscanf(fpTopo, "%lf %lf", &mDist, &mUpperArea) == 2, kUnit,
             "fscanf(fpTopo, \"%lf %lf\", &mDist, &mUpperArea) == 2");
    TZ_CHECK(mDist > 0.0, kUnit, "mDist > 0.0");
    TZ_CHECK(mUpperArea >= 0.0, kUnit, "mUpperArea >= 0.0");
  }
}

// ---------------------------------------------------------------------------
// Edge: network topology
// ---------------------------------------------------------------------------

Int Edge::RegisterUpperEdge(Edge* p) {
  if (nextUpperSlot >= upperEdgeArray.size()) return EDGE_NO;
  upperEdgeArray[nextUpperSlot] = p;
  if (p != nullptr) nextUpperSlot++;  // an empty pointer leaves the slot empty
  return EDGE_YES;
}

void Edge::DistributionRate() {
  if (mAtr == 2) {
    // The inflow at the upper node is shared equally by all edges leaving it.
    int h = 1;
    for (int i = 0; i < numberOfUpperEdges; i++) {
      if (upperEdgeNumArray[i] < 0) h++;
    }
    mDist = 1.0 / h;
    return;
  }
  // A slope edge shares with the slope edges leaving its upper node in
  // proportion to sqrt(gradient) x width; equally when a river edge leaves it.
  double f = std::sqrt(mGrd) * mWidth;
  double g = f;
  double h = 1;
  bool riverLeaves = false;
  for (int i = 0; i < numberOfUpperEdges; i++) {
    if (upperEdgeNumArray[i] >= 0) continue;
    const Edge* k = upperEdgeArray[i];
    h = h + 1;
    if (k->mAtr == 1)
      g = g + std::sqrt(k->mGrd) * k->mWidth;
    else if (k->mAtr == 2)
      riverLeaves = true;
  }
  mDist = riverLeaves ? 1 / h : f / g;
}

void Edge::CalcUpperArea() {
  mUpperArea = 0;
  for (int i = 0; i < numberOfUpperEdges; i++) {
    if (upperEdgeNumArray[i] <= 0) continue;
    const Edge* k = upperEdgeArray[i];
    if (k->mAtr == 2) {
      std::fflush(stdout);
      std::fprintf(stderr, "wrong connection of edges:\n");
      std::fprintf(stderr, "from %d to %d\n", k->mNum, mNum);
      tz::stop(1);
    }
    mUpperArea = mUpperArea + (k->mArea + k->mUpperArea);
  }
  mUpperArea = mUpperArea * mDist;
}
