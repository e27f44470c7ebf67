#include "edge.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "edge_probe.h"

namespace {

// Flow parameters of the test slopes.
struct Params {
  double man = 0.3, m = 5.0 / 3.0, ka = 0.01, d = 1.0, da = 0.3, dm = 0.1, beta = 2.0;
  double theta = 0.6, cmin = 0.0001, Qlevel = 1.0, eps = 0.001;
  int ndiv = 10, dt = 600;
};

void Apply(Edge& e, const Params& p) {
  e.ParametersInFlowModel(p.man, p.m, p.ka, p.d, p.da, p.dm, p.beta, p.theta, p.cmin, p.Qlevel, p.eps, p.ndiv, p.dt);
}

// A slope edge without neighbours: horizontal length 100 m, gradient 0.2,
// area 2000 m2 (width 20 m).
void MakeSlope(Edge& e, const Params& p, Long num = 7) {
  ReadEdge(e, std::to_string(num) + "  0 0 0  0  0  1  100 0.2 2000\n", 2);
  Apply(e, p);
  // Alone on its upper node.
  e.DistributionRate();
}

// The stage-discharge law per unit width, written from its definition.
double LawQ(const Edge& e, const Params& p, double h) {
  double va = EdgeProbe::Va(e), alpha = EdgeProbe::Alpha(e);
  double qm = va * p.dm / p.beta;
  if (h < p.dm) return qm * std::pow(h / p.dm, p.beta);
  if (h < p.da) return qm + va * (h - p.dm);
  return qm + va * (h - p.dm) + alpha * std::pow(h - p.da, p.m);
}

// The height of the law at per-width discharge q, by bisection.
double LawH(const Edge& e, const Params& p, double q) {
  double lo = 0, hi = 100;
  for (int i = 0; i < 200; i++) {
    double mid = 0.5 * (lo + hi);
    if (LawQ(e, p, mid) < q)
      lo = mid;
    else
      hi = mid;
  }
  return 0.5 * (lo + hi);
}

TEST(EdgeParameters, SlopeGetsDerivedCoefficientsRiverOnlyTheTolerance) {
  Params p;
  Edge s;
  MakeSlope(s, p);
  double grd = std::sin(std::atan(0.2));
  EXPECT_DOUBLE_EQ(s.Gradient(), grd);
  EXPECT_DOUBLE_EQ(EdgeProbe::Alpha(s), std::sqrt(grd) / p.man);
  EXPECT_DOUBLE_EQ(EdgeProbe::Va(s), p.ka * grd);
  EXPECT_DOUBLE_EQ(EdgeProbe::Dx(s), 100 * std::sqrt(1.04) / 10);
  EXPECT_DOUBLE_EQ(EdgeProbe::Qsmall(s), 1.0 * 0.001 * 0.001 / 3600);
  EXPECT_EQ(EdgeProbe::Qc(s).size(), 11u);
  EXPECT_EQ(EdgeProbe::Qn(s).size(), 11u);

  Edge r;
  ReadEdge(r, "3  0 0 0  0  0  2\n", 2);
  Apply(r, p);
  EXPECT_EQ(EdgeProbe::Alpha(r), 0.0);
  EXPECT_EQ(EdgeProbe::Va(r), 0.0);
  EXPECT_EQ(EdgeProbe::Dx(r), 0.0);
  EXPECT_EQ(r.Width(), 0.0);
  EXPECT_DOUBLE_EQ(EdgeProbe::Qsmall(r), 1.0 * 0.001 * 0.001 / 3600);
}

TEST(EdgeDischarge, InitialStateIsLinearInBothArraysAndEndsAreExact) {
  Params p;
  p.ndiv = 4;
  Edge e;
  MakeSlope(e, p);
  e.Discharge(0.1, 0.3);
  const double expect[] = {0.1, 0.15, 0.2, 0.25, 0.3};
  for (int i = 0; i <= 4; i++) {
    EXPECT_DOUBLE_EQ(EdgeProbe::Qc(e)[i], expect[i]) << i;
    EXPECT_DOUBLE_EQ(EdgeProbe::Qn(e)[i], expect[i]) << i;
  }
  double up = -1, low = -1;
  e.Discharge(&up, &low);
  EXPECT_EQ(up, 0.1);
  EXPECT_EQ(low, 0.3);
  EXPECT_EQ(e.DischargeLowerEnd(), 0.3);
}

// --- propagation speed -----------------------------------------------------

struct SpeedCase {
  const char* name;
  double beta, m;
  double (*q)(double qm, double qa, double alpha, double va);  // discharge per width
  double (*speed)(double qm, double qa, double alpha, double va, double beta, double m);
  bool exact;
};

void PrintTo(const SpeedCase& c, std::ostream* os) { *os << c.name; }

class PropagationSpeedTest : public ::testing::TestWithParam<SpeedCase> {};

TEST_P(PropagationSpeedTest, FollowsTheLaw) {
  const SpeedCase& c = GetParam();
  const double alpha = 1.5, va = 0.002, da = 0.3, dm = 0.1, tol = 1e-14;
  // The boundaries as the speed function forms them.
  const double qm = va / c.beta * dm;
  const double qa = (da - dm) * va + qm;
  Edge e;
  double q = c.q(qm, qa, alpha, va);
  double got = e.PropagationSpeed(alpha, va, da, dm, c.beta, c.m, tol, q);
  double want = c.speed(qm, qa, alpha, va, c.beta, c.m);
  if (c.exact)
    EXPECT_EQ(got, want) << c.name;
  else
    EXPECT_NEAR(got, want, 1e-9 * want) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Regimes, PropagationSpeedTest,
    ::testing::Values(
        // Matrix flow: dq/dh = va (q / qm)^((beta - 1) / beta).
        SpeedCase{"matrix quarter", 2.0, 5.0 / 3.0, [](double qm, double, double, double) { return qm / 4; },
                  [](double, double, double, double va, double, double) { return va / 2; }, false},
        SpeedCase{"matrix beta 3", 3.0, 5.0 / 3.0, [](double qm, double, double, double) { return qm / 8; },
                  [](double, double, double, double va, double, double) { return va / 4; }, false},
        SpeedCase{"matrix beta 1 is va", 1.0, 5.0 / 3.0, [](double qm, double, double, double) { return qm / 3; },
                  [](double, double, double, double va, double, double) { return va; }, false},
        SpeedCase{"no flow, beta above 1", 2.0, 5.0 / 3.0, [](double, double, double, double) { return 0.0; },
                  [](double, double, double, double, double, double) { return 0.0; }, true},
        // q exactly qm is A-layer flow.
        SpeedCase{"q == qm", 2.0, 5.0 / 3.0, [](double qm, double, double, double) { return qm; },
                  [](double, double, double, double va, double, double) { return va; }, true},
        SpeedCase{"A layer", 2.0, 5.0 / 3.0, [](double qm, double qa, double, double) { return 0.5 * (qm + qa); },
                  [](double, double, double, double va, double, double) { return va; }, true},
        SpeedCase{"just below qa", 2.0, 1.0, [](double, double qa, double, double) { return std::nextafter(qa, 0.0); },
                  [](double, double, double, double va, double, double) { return va; }, true},
        // q exactly qa starts the iteration at h = da; with m = 1 the surface
        // term adds alpha there, so the branch shows.
        SpeedCase{"q == qa, m 1", 2.0, 1.0, [](double, double qa, double, double) { return qa; },
                  [](double, double, double alpha, double va, double, double) { return alpha + va; }, true},
        SpeedCase{"q == qa, m 5/3", 2.0, 5.0 / 3.0, [](double, double qa, double, double) { return qa; },
                  [](double, double, double, double va, double, double) { return va; }, true},
        // Surface flow: the root of the law at h = da + 0.1.
        SpeedCase{
            "surface", 2.0, 5.0 / 3.0,
            [](double, double qa, double alpha, double va) { return qa + va * 0.1 + alpha * std::pow(0.1, 5.0 / 3.0); },
            [](double, double, double alpha, double va, double, double m) {
              return alpha * m * std::pow(0.1, m - 1) + va;
            },
            false},
        SpeedCase{"surface m 2 deep", 2.0, 2.0,
                  [](double, double qa, double alpha, double va) { return qa + va * 2.0 + alpha * 4.0; },
                  [](double, double, double alpha, double va, double, double m) { return alpha * m * 2.0 + va; },
                  false}),
    [](const ::testing::TestParamInfo<SpeedCase>& info) {
      std::string s = info.param.name;
      for (char& ch : s)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
      return s;
    });

TEST(PropagationSpeedNewton, IterateRoundedBelowDaIsHeldThere) {
  // One rounding step above qa the root lies within rounding of da; for these
  // laws a Newton iterate lands just below da, where (h - da)^(m - 1) has no
  // real value. Held at da, the iteration ends with a speed near va.
  struct Law {
    double alpha, va, da, dm, beta, m;
  } laws[] = {
      {4.4489717725864804, 0.0020324610300516636, 0.75798003038271333, 0.11219794016571555, 2.2934721011172385,
       1.6555401571819282},
      {10.013033475608159, 0.0089994791715688194, 0.69761016969327416, 0.069369015963776481, 2.7225165300641754,
       1.8771151683186718},
      {1.8264122588488469, 0.026724459563299715, 0.41616151476239022, 0.069672146880818825, 1.512202623073106,
       2.3448614593804171},
  };
  Edge e;
  for (const Law& l : laws) {
    const double qm = l.va / l.beta * l.dm;
    const double qa = (l.da - l.dm) * l.va + qm;
    const double q = std::nextafter(qa, 1.0);
    double c = e.PropagationSpeed(l.alpha, l.va, l.da, l.dm, l.beta, l.m, q * 1e-12, q);
    EXPECT_GE(c, l.va) << l.alpha;
    EXPECT_LT(c, l.va * 1.001) << l.alpha;
  }
}

TEST(PropagationSpeedNewton, StopsWhenTwoSuccessiveDischargesDifferByLessThanTol) {
  // The first iterate from the start height da + ((q - qa) / alpha)^(1/m):
  // a tolerance just above the first change of the discharge ends the
  // iteration there; a tolerance equal to it does not.
  const double alpha = 1.5, va = 0.002, da = 0.3, dm = 0.1, beta = 2.0, m = 5.0 / 3.0;
  const double qm = va / beta * dm;
  const double qa = (da - dm) * va + qm;
  const double q = qa + va * 0.1 + alpha * std::pow(0.1, m);  // root at da + 0.1
  const double h0 = da + std::pow((q - qa) / alpha, 1 / m);
  const double u0 = std::pow(h0 - da, m - 1);
  const double F0 = alpha * u0 * (h0 - da) + (h0 - dm) * va + qm;
  const double h1 = h0 - (F0 - q) / (alpha * m * u0 + va);
  const double u1 = std::pow(h1 - da, m - 1);
  const double F1 = alpha * u1 * (h1 - da) + (h1 - dm) * va + qm;
  const double first = alpha * m * u1 + va;
  const double root = alpha * m * std::pow(0.1, m - 1) + va;
  ASSERT_GT(std::fabs(first - root), 1e-6 * root);  // one step is not enough

  Edge e;
  const double change = std::fabs(F1 - F0);
  EXPECT_EQ(e.PropagationSpeed(alpha, va, da, dm, beta, m, std::nextafter(change, 1.0), q), first);
  const double next = e.PropagationSpeed(alpha, va, da, dm, beta, m, change, q);
  EXPECT_NE(next, first);
  EXPECT_LT(std::fabs(next - root), std::fabs(first - root));
}

TEST(PropagationSpeedNewtonDeathTest, NaNDischargeStopsNamingEdgeAndDischarge) {
  Params p;
  Edge e;
  MakeSlope(e, p, 42);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_DEATH(e.PropagationSpeed(1.5, 0.002, 0.3, 0.1, 2.0, 5.0 / 3.0, 1e-12, nan),
               "^E: edge 42: the surface flow iteration gave no number for the discharge nan "
               "\\(m2/s\\)\nedge\\.cpp:[0-9]+: Assertion `surface flow iteration converged' "
               "failed\\.\n$");
}

TEST(PropagationSpeedNewtonDeathTest, ExponentBelowOneAtQaStopsInsteadOfHanging) {
  Edge e;
  const double va = 0.002, dm = 0.1, da = 0.3, beta = 2.0;
  const double qa = (da - dm) * va + va / beta * dm;
  EXPECT_DEATH(e.PropagationSpeed(1.5, va, da, dm, beta, 0.5, 1e-12, qa),
               "E: edge 0: the surface flow iteration gave no number for the discharge "
               "0\\.0005 \\(m2/s\\)\n");
}

TEST(PropagationSpeedNewtonDeathTest, NoConvergenceStopsAfterTheCap) {
  Params p;
  Edge e;
  MakeSlope(e, p, 42);
  // A zero tolerance can never be met.
  EXPECT_DEATH(e.PropagationSpeed(1.5, 0.002, 0.3, 0.1, 2.0, 5.0 / 3.0, 0.0, 0.01),
               "^E: edge 42: the surface flow iteration did not converge within 1000 "
               "iterations for the discharge 0\\.01 \\(m2/s\\)\nedge\\.cpp:[0-9]+: Assertion "
               "`surface flow iteration converged' failed\\.\n$");
}

// --- the time step ---------------------------------------------------------

TEST(EdgeCalculate, SpeedFloorAppliesWhereTheLawGivesNoSpeed) {
  // From a dry slope (q = 0, beta > 1: the law's speed is 0), node 1 gets
  // c dt W r / (1 + c dt / dx) with theta = 1 and c = cmin.
  for (double cmin : {0.0001, 0.0005}) {
    Params p;
    p.theta = 1.0;
    p.cmin = cmin;
    Edge e;
    MakeSlope(e, p);
    e.Discharge(0.0, 0.0);
    EXPECT_EQ(e.Calculate(36.0), EDGE_YES);
    double r = 36.0 * 0.001 / 3600 * EdgeProbe::Cos(e);
    double dx = EdgeProbe::Dx(e);
    double want = cmin * 600 * 20 * r / (1 + cmin * 600 / dx);
    EXPECT_NEAR(EdgeProbe::Qc(e)[1], want, 1e-12 * want) << cmin;
  }
}

TEST(EdgeCalculate, ExplicitAndImplicitWeightsInTheALayer) {
  // Every segment stays in the A layer, so c = va throughout.
  const double up = 0.003, low = 0.008, rain = 5.0;
  for (double theta : {0.0, 1.0}) {
    Params p;
    p.theta = theta;
    Edge e;
    MakeSlope(e, p);
    e.Discharge(up, low);
    std::vector<double> qc = EdgeProbe::Qc(e);
    e.Calculate(rain);
    const double c = EdgeProbe::Va(e), dt = 600, W = 20, dx = EdgeProbe::Dx(e);
    const double r = rain * 0.001 / 3600 * EdgeProbe::Cos(e);
    std::vector<double> want(11);
    want[0] = 0;  // no upper edges
    for (int i = 1; i <= 10; i++) {
      if (theta == 0.0)
        want[i] = qc[i] - c * dt * ((qc[i] - qc[i - 1]) / dx - W * r);
      else
        want[i] = (c * dt / dx * want[i - 1] + c * dt * W * r + qc[i]) / (1 + c * dt / dx);
    }
    for (int i = 0; i <= 10; i++)
      EXPECT_NEAR(EdgeProbe::Qc(e)[i], want[i], 1e-15) << "theta " << theta << " node " << i;
  }
}

TEST(EdgeCalculate, SurfaceFlowSpeedIsTheSlopeOfTheLawAtTheSegmentMidpoint) {
  // Every segment in surface flow, fully implicit: node i gets
  // (c dt/dx Qn[i-1] + c dt W r + Qc[i]) / (1 + c dt/dx) with c = dq/dh of the
  // law at the mean per-width discharge of the segment at the start of the
  // step; a tight tolerance makes the iteration reach the root.
  Params p;
  p.theta = 1.0;
  p.eps = 1e-9;
  Edge e;
  MakeSlope(e, p);
  e.Discharge(0.04, 0.08);
  const std::vector<double> qc = EdgeProbe::Qc(e);
  const double rain = 30.0;
  e.Calculate(rain);
  const double alpha = EdgeProbe::Alpha(e), va = EdgeProbe::Va(e);
  const double dt = 600, W = 20, dx = EdgeProbe::Dx(e);
  const double r = rain * 0.001 / 3600 * EdgeProbe::Cos(e);
  double prev = 0;  // no upper edges
  for (int i = 1; i <= 10; i++) {
    const double h = LawH(e, p, (qc[i - 1] + qc[i]) * 0.5 / W);
    ASSERT_GT(h, p.da) << i;
    const double c = alpha * p.m * std::pow(h - p.da, p.m - 1) + va;
    const double want = (c * dt / dx * prev + c * dt * W * r + qc[i]) / (1 + c * dt / dx);
    EXPECT_NEAR(EdgeProbe::Qc(e)[i], want, 1e-9 * want) << i;
    prev = EdgeProbe::Qc(e)[i];
  }
}

TEST(EdgeCalculate, NegativeDischargeWarnsAndIsClampedToZero) {
  // Explicit step, no rain, Courant number about 70: both inner results go
  // negative.
  Params p;
  p.theta = 0.0;
  p.cmin = 1.0;
  p.ndiv = 2;
  p.dt = 3600;
  Edge e;
  MakeSlope(e, p);
  e.Discharge(0.0, 1e-5);
  testing::internal::CaptureStderr();
  EXPECT_EQ(e.Calculate(0.0), EDGE_YES);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err,
            "W: Negative discharge\nmQn[i] : -0.000348\n"
            "W: Negative discharge\nmQn[i] : -0.000343\n");
  EXPECT_EQ(EdgeProbe::Qc(e)[1], 0.0);
  EXPECT_EQ(EdgeProbe::Qc(e)[2], 0.0);
  EXPECT_EQ(e.Storage(), 0.0);
  EXPECT_EQ(e.Sarea(), 0.0);
}

TEST(EdgeCalculate, ConstantRainStepsToSteadyOutflow) {
  for (double rain : {2.0, 10.0, 200.0}) {  // matrix, A layer, surface flow
    Params p;
    p.eps = 1e-6;
    Edge e;
    MakeSlope(e, p);
    e.Discharge(0.0, 0.0);
    for (int step = 0; step < 20000; step++) e.Calculate(rain);
    double want = rain * 0.001 / 3600 * e.Area();
    EXPECT_NEAR(e.DischargeLowerEnd(), want, 1e-9 * want) << rain;
    EXPECT_GT(e.Storage(), 0.0);
  }
}

TEST(EdgeCalculate, DrySlopeStaysDry) {
  Params p;
  Edge e;
  MakeSlope(e, p);
  e.Discharge(0.0, 0.0);
  for (int step = 0; step < 5; step++) e.Calculate(0.0);
  for (double q : EdgeProbe::Qc(e)) EXPECT_EQ(q, 0.0);
  EXPECT_EQ(e.Storage(), 0.0);
  EXPECT_EQ(e.Sarea(), 0.0);
}

// Slopes 1 and 2 feed river edges 3 and 4 and slope edges 6 and 8 (each
// pair shares its upper node); river 5 has only negative upper entries.
const char* const kJunction =
    "1  0 0 0  0  1 -3  1  100 0.2 2000\n"
    "2  0 0 0  0  1 -3  1  50 0.1 1500\n"
    "3  0 0 0  3  1 2 -4  0  2\n"
    "4  0 0 0  3  1 2 -3  0  2\n"
    "5  0 0 0  2 -3 -4  0  2\n"
    "6  0 0 0  3  1 2 -8  0  1  80 0.3 1600\n"
    "8  0 0 0  3  1 2 -6  0  1  120 0.05 1200\n";

TEST(EdgeCalculate, RiverEdgePassesItsShareOfTheInflowWithinTheStep) {
  Params p;
  p.ndiv = 3;
  Network net;
  ReadNetwork(net, 7, kJunction, 2);
  for (int i = 0; i < 7; i++) Apply(net[i], p);
  net[0].Discharge(0.0, 0.02);
  net[1].Discharge(0.0, 0.01);
  net[2].Discharge(0.1, 0.4);
  net[4].Discharge(0.5, 0.7);
  const std::vector<double> before3 = EdgeProbe::Qc(net[2]);
  const std::vector<double> before5 = EdgeProbe::Qc(net[4]);

  Edge& r3 = net[2];
  EXPECT_EQ(r3.Calculate(50.0), EDGE_YES);
  EXPECT_DOUBLE_EQ(EdgeProbe::Dist(r3), 0.5);
  EXPECT_EQ(r3.DischargeLowerEnd(), (0.02 + 0.01) * 0.5);
  EXPECT_EQ(EdgeProbe::Qn(r3)[0], (0.02 + 0.01) * 0.5);
  // Nothing else of the edge changes.
  for (int i = 0; i < 3; i++) EXPECT_EQ(EdgeProbe::Qc(r3)[i], before3[i]) << i;
  EXPECT_EQ(r3.Storage(), 0.0);
  EXPECT_EQ(r3.Sarea(), 0.0);

  // Only negative entries: no inflow.
  Edge& r5 = net[4];
  r5.Calculate(50.0);
  EXPECT_EQ(r5.DischargeLowerEnd(), 0.0);
  for (int i = 0; i < 3; i++) EXPECT_EQ(EdgeProbe::Qc(r5)[i], before5[i]) << i;
}

TEST(EdgeCalculate, UpperInflowOfASlopeIsItsDistributedShare) {
  Params p;
  Network net;
  ReadNetwork(net, 7, kJunction, 2);
  for (int i = 0; i < 7; i++) Apply(net[i], p);
  net[0].Discharge(0.0, 0.02);
  net[1].Discharge(0.0, 0.01);
  // Edge 1 steps first, so edge 6 sees its new outflow; edge 2 not yet.
  net[0].Calculate(0.0);
  double q1 = net[0].DischargeLowerEnd();
  EXPECT_NE(q1, 0.02);
  Edge& s6 = net[5];
  s6.Discharge(0.0, 0.0);
  s6.Calculate(0.0);
  double dist = EdgeProbe::Dist(s6);
  EXPECT_GT(dist, 0.0);
  EXPECT_LT(dist, 1.0);
  double up, low;
  s6.Discharge(&up, &low);
  EXPECT_EQ(up, (q1 + 0.01) * dist);
  // The inflow travels down the slope.
  EXPECT_GT(EdgeProbe::Qc(s6)[1], 0.0);
}

// --- saturated area --------------------------------------------------------

TEST(EdgeSatArea, LinearProfilesCoverTheFourSegmentCases) {
  Params p;
  Edge e;
  MakeSlope(e, p);
  const double va = EdgeProbe::Va(e);
  const double Qs = va * 20 * (p.da - p.dm);  // without the matrix term
  const double Lx = 10 * EdgeProbe::Dx(e);
  const double cosv = EdgeProbe::Cos(e);
  struct Case {
    double up, low, saturatedFraction;
  } cases[] = {
      {0.0, 0.0, 0.0},                  // both ends below
      {0.99 * Qs, 0.99 * Qs, 0.0},      // above the matrix discharge, below Qs
      {Qs, Qs, 1.0},                    // exactly Qs counts as saturated
      {2 * Qs, 3 * Qs, 1.0},            // both above
      {0.5 * Qs, 1.3 * Qs, 0.3 / 0.8},  // rises through Qs within a segment
      {1.3 * Qs, 0.5 * Qs, 0.3 / 0.8},  // falls through Qs within a segment
      {0.0, 4 * Qs, 0.75},
  };
  for (const Case& c : cases) {
    e.Discharge(c.up, c.low);
    e.CalcSatArea();
    double want = 20 * Lx * c.saturatedFraction * cosv;
    EXPECT_NEAR(e.Sarea(), want, 1e-9 * 2000) << c.up / Qs << " " << c.low / Qs;
  }
}

// --- storage ---------------------------------------------------------------

TEST(EdgeStorage, HeightsFollowTheLawInEveryRegimeWithTheSmallFlowFloor) {
  Params p;
  p.eps = 1e-12;  // the surface iteration runs to the root
  Edge e;
  MakeSlope(e, p);
  const double Lx = 10 * EdgeProbe::Dx(e);
  struct Case {
    double Q;
    const char* regime;
  } cases[] = {
      {0.9e-8, "below the floor"}, {1e-8, "at the floor"}, {0.001, "matrix"},
      {0.005, "A layer"},          {0.05, "surface"},      {2.0, "deep surface"},
  };
  for (const Case& c : cases) {
    e.Discharge(c.Q, c.Q);
    e.CalcStorage();
    double h = c.Q < 1e-8 ? 0.0 : LawH(e, p, c.Q / 20);
    double want = h * Lx * 20;
    EXPECT_NEAR(e.Storage(), want, 1e-9 * want + 1e-300) << c.regime;
    if (c.Q < 1e-8)
      EXPECT_EQ(e.Storage(), 0.0);
    else
      EXPECT_GT(e.Storage(), 0.0) << c.regime;
  }
  // A profile through all regimes: trapezoids of the node heights.
  e.Discharge(0.0, 0.05);
  e.CalcStorage();
  double want = 0, prev = 0;
  for (int i = 0; i <= 10; i++) {
    double Q = EdgeProbe::Qn(e)[i];
    double h = Q < 1e-8 ? 0.0 : LawH(e, p, Q / 20);
    if (i > 0) want += (prev + h) * EdgeProbe::Dx(e) * 0.5 * 20;
    prev = h;
  }
  EXPECT_NEAR(e.Storage(), want, 1e-9 * want);
}

TEST(EdgeStorage, SurfaceHeightIterationUsesTheRelativeToleranceAsItIs) {
  // The storage heights stop the surface iteration with the tolerance eps
  // itself (per-width discharge), not scaled by an area: with eps = 1 the
  // height is the first iterate, above the root.
  Params p;
  p.eps = 1.0;
  p.Qlevel = 1e-6;
  Edge e;
  MakeSlope(e, p);
  const double Q = 0.05, W = 20;
  const double alpha = EdgeProbe::Alpha(e), va = EdgeProbe::Va(e);
  const double qm = va * p.dm / p.beta;
  const double qa = qm + va * (p.da - p.dm);
  const double q = Q / W;
  const double h0 = p.da + std::pow((q - qa) / alpha, 1 / p.m);
  const double u0 = std::pow(h0 - p.da, p.m - 1);
  const double F0 = alpha * u0 * (h0 - p.da) + (h0 - p.dm) * va + qm;
  const double h1 = h0 - (F0 - q) / (alpha * p.m * u0 + va);
  ASSERT_GT(h1 - LawH(e, p, q), 1e-6 * h1);

  e.Discharge(Q, Q);
  e.CalcStorage();
  const double Lx = 10 * EdgeProbe::Dx(e);
  EXPECT_NEAR(e.Storage(), h1 * Lx * W, 1e-12 * h1 * Lx * W);
}

TEST(EdgeStorage, StepLeavesStorageAndSatAreaOfTheNewDischarges) {
  Params p;
  Edge e;
  MakeSlope(e, p);
  e.Discharge(0.004, 0.009);
  e.Calculate(20.0);
  Edge f;
  MakeSlope(f, p);
  std::vector<double> q = EdgeProbe::Qc(e);
  // The same discharges set directly give the same diagnostics.
  f.Discharge(0.0, 0.0);
  EdgeProbe::MutableQc(f) = q;
  EdgeProbe::MutableQn(f) = q;
  f.CalcSatArea();
  f.CalcStorage();
  EXPECT_EQ(e.Storage(), f.Storage());
  EXPECT_EQ(e.Sarea(), f.Sarea());
  EXPECT_GT(e.Sarea(), 0.0);
}

}  // namespace
