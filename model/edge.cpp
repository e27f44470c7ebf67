// Flow law and kinematic-wave time step of an edge.
//
// Per unit width, a slope edge carries at water height h
//   q = qm (h / dm)^beta                            below dm (matrix flow),
//   q = qm + va (h - dm)                            from dm below da (A layer),
//   q = qm + va (h - dm) + alpha (h - da)^m         from da on (surface flow),
// with qm = va dm / beta and qa = qm + va (da - dm) the discharges at dm and da.
// Every formula is evaluated in the order written here so that results do not
// change between builds.
#include "edge.h"

#include <cmath>
#include <cstdio>

#include "tzcheck.h"

namespace {

// The surface-flow iteration converges in a few steps from its start; a run
// this long means it cannot (a tolerance below the rounding of q, or a law the
// parameters make singular).
constexpr int kMaxSurfaceIterations = 1000;

}  // namespace

void Edge::ParametersInFlowModel(double man, double m, double ka, double d, double da, double dm,
                                 double beta, double theta, double cmin, double Qlevel,
                                 double eps, int ndiv, int dt) {
  mMan = man;
  mM = m;
  mKa = ka;
  mD = d;
  mDa = da;
  mDm = dm;
  mBeta = beta;
  mTheta = theta;
  mCmin = cmin;
  mQlevel = Qlevel;
  mEps = eps;
  mN = ndiv;
  mDt = dt;
  mQc.assign(static_cast<std::size_t>(ndiv) + 1, 0.0);
  mQn.assign(static_cast<std::size_t>(ndiv) + 1, 0.0);
  if (mAtr == 1) {
    mAlpha = std::sqrt(mGrd) / mMan;
    mVa = mKa * mGrd;
    mDx = mL / mN;
  }
  mQsmall = MetresPerSecond(mQlevel * mEps);  // rain at mQlevel x mEps (mm/h), m/s
}

void Edge::Discharge(double up, double low) {
  mQc[0] = up;
  mQn[0] = up;
  for (int i = 1; i < mN; i++) {
    double q = up + (low - up) / mN * i;
    mQc[i] = q;
    mQn[i] = q;
  }
  mQc[mN] = low;
  mQn[mN] = low;
}

double Edge::SurfaceFlowHeight(double alpha, double va, double da, double dm, double m, double qm,
                               double qa, double tol, double q, double* speed) const {
  double h = da + std::pow((q - qa) / alpha, 1 / m);
  double u = std::pow(h - da, m - 1);
  double F = alpha * u * (h - da) + (h - dm) * va + qm;
  for (int it = 0; it < kMaxSurfaceIterations; it++) {
    h = h - (F - q) / (alpha * m * u + va);
    // The iteration descends onto the root from above; rounding may step just
    // past da, where (h - da)^(m - 1) has no real value.
    if (h < da) h = da;
    u = std::pow(h - da, m - 1);
    double Fn = alpha * u * (h - da) + (h - dm) * va + qm;
    if (std::isnan(Fn)) {
      std::fflush(stdout);
      std::fprintf(stderr,
                   "E: edge %d: the surface flow iteration gave no number "
                   "for the discharge %g (m2/s)\n",
                   mNum, q);
      tz::check_failed("edge.cpp", __LINE__, "surface flow iteration converged");
    }
    if (std::fabs(Fn - F) < tol) {
      *speed = alpha * m * u + va;
      return h;
    }
    F = Fn;
  }
  std::fflush(stdout);
  std::fprintf(stderr,
               "E: edge %d: the surface flow iteration did not converge within %d "
               "iterations for the discharge %g (m2/s)\n",
               mNum, kMaxSurfaceIterations, q);
  tz::check_failed("edge.cpp", __LINE__, "surface flow iteration converged");
}

double Edge::PropagationSpeed(double alpha, double va, double da, double dm, double beta,
                              double m, double tol, double q) const {
  double qm = va / beta * dm;
  if (q < qm) {
    double h = dm * std::pow(q * beta / (va * dm), 1 / beta);
    return va * std::pow(h / dm, beta - 1);
  }
  double qa = (da - dm) * va + qm;
  if (q < qa) return va;
  double speed;
  SurfaceFlowHeight(alpha, va, da, dm, m, qm, qa, tol, q, &speed);
  return speed;
}

Int Edge::Calculate(double rain) {
  // Inflow at the upper end: the lower ends of the edges draining into it.
  mQn[0] = 0;
  for (int i = 0; i < numberOfUpperEdges; i++) {
    if (upperEdgeNumArray[i] > 0) mQn[0] += upperEdgeArray[i]->DischargeLowerEnd();
  }
  mQn[0] = mQn[0] * mDist;

  if (mAtr == 2) {
    // A river edge passes its inflow to its lower end within the step.
    mQc[mN] = mQn[0];
    return EDGE_YES;
  }

  const double dt = mDt;
  // The rain (mm/h over the plan area) in m/s over the inclined slope,
  // whose area is the plan area / cos.
  const double r = MetresPerSecond(rain) * mCos;
  const double theta = mTheta;
  const double W = mWidth;
  const double dx = mDx;
  double A = mUpperArea;
  for (int i = 1; i <= mN; i++) {
    A = A + mWidth * mDx;  // area drained down to node i
    // c: the wave speed at the segment's mean per-width discharge of the old
    // step, at least mCmin. On the surface-flow branch its Newton iteration
    // stops when two successive per-width discharges differ by less than
    // tol = mQsmall A / W, the per-width discharge that rain at
    // mQlevel x mEps gives on A.
    double c = PropagationSpeed(mAlpha, mVa, mDa, mDm, mBeta, mM, mQsmall * A / mWidth,
                                (mQc[i - 1] + mQc[i]) * 0.5 / mWidth);
    if (c < mCmin) c = mCmin;
    // The kinematic wave dQ/dt + c dQ/dx = c W r, backward differences in x,
    // weighted by theta between the new and the old step:
    //   (Qn[i] - Qc[i]) / dt + theta c ((Qn[i] - Qn[i-1]) / dx - W r)
    //                  + (1 - theta) c ((Qc[i] - Qc[i-1]) / dx - W r) = 0,
    // solved for Qn[i]; marched downstream, so that Qn[i-1] is already new.
    mQn[i] = (theta * c * (dt / dx * mQn[i - 1] + dt * W * r) + mQc[i] -
              (1 - theta) * c * dt * ((mQc[i] - mQc[i - 1]) / dx - W * r)) /
             (1 + theta * c * dt / dx);
    if (mQn[i] < 0) {
      std::fprintf(stderr, "W: Negative discharge\n");
      std::fprintf(stderr, "mQn[i] : %f\n", mQn[i]);
      mQn[i] = 0;
    }
  }

  CalcSatArea();
  CalcStorage();
  for (int i = 0; i <= mN; i++) mQc[i] = mQn[i];
  return EDGE_YES;
}

void Edge::CalcSatArea() {
  // Threshold of saturation: the A-layer discharge alone, without the
  // matrix-flow term qm.
  const double Qs = mVa * mWidth * (mDa - mDm);
  const double W = mWidth;
  const double dx = mDx;
  double sum = 0;
  for (int i = 1; i <= mN; i++) {
    const double b = mQn[i - 1];
    const double p = mQn[i];
    if (b >= Qs) {
      if (p >= Qs)
        sum += W * dx;
      else
        sum += W * dx * (Qs - b) / (p - b);
    } else if (p >= Qs) {
      sum += W * (dx - dx * (Qs - b) / (p - b));
    }
  }
  mSarea = sum * mCos;
}

void Edge::CalcStorage() {
  const double qm = mVa * mDm / mBeta;
  const double qa = qm + mVa * (mDa - mDm);
  // Trapezoidal sum over the segments; only the height of the previous node
  // is kept.
  double sum = 0;
  double hPrev = 0;
  for (int i = 0; i <= mN; i++) {
    double h;
    if (mQn[i] < 1e-8) {
      h = 0;
    } else {
      const double q = mQn[i] / mWidth;
      if (q < qm) {
        h = mDm * std::pow(q * mBeta / (mDm * mVa), 1 / mBeta);
      } else if (q < qa) {
        h = (q - qm) / mVa + mDm;
      } else {
        // Here the iteration stops at mEps itself (m2/s), not scaled by area.
        double speed;
        h = SurfaceFlowHeight(mAlpha, mVa, mDa, mDm, mM, qm, qa, mEps, q, &speed);
      }
    }
    if (i > 0) sum += (hPrev + h) * mDx * 0.5 * mWidth;
    hPrev = h;
  }
  mStorage = sum;
}
