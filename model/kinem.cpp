#include "kinem.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>
#include <utility>

#include "common.h"
#include "model_points.h"
#include "tzcheck.h"

namespace {

const char* const kUnit = "kinem.cpp";

// Manning's exponent of the hydraulic radius, written to six digits as
// 0.666667. It is deliberately not 2.0 / 3.0: the channel's discharges are
// defined with this value, and 2.0 / 3.0 shifts them in the seventh digit.
// Keep it as it is.
constexpr double kManningExponent = 0.666667;

// Outflow is sent only at the ends of steps that fall on this period (s).
constexpr double kSendPeriod = 600.0;

}  // namespace

Kinem::Kinem(const char* name, int number, int nUp, int nLat) {
  class_name = "Kinem";
  Init(name, number, nUp, nLat);
}

Kinem::Kinem() { class_name = "Kinem"; }

Kinem::~Kinem() {
  mK.clear();
  mZ.clear();
  mAlpha.clear();
  mM.clear();
  mQc.clear();
  mQn.clear();
  mAc.clear();
  mAn.clear();
  rpu.reset();
  rpl.reset();
}

int Kinem::Init(const char* name, int number, int nUp, int nLat) {
  if (nUp < 0) {
    Report(Kinem_point::upstream_ports_negative);
    tz::stop(1);
  }
  try {
    Memory_site site(Kinem_point::upstream_ports_memory, "Receive<double>", nUp, 1, this, Memory_failure::report);
    rpu.reset(new Receive<double>[static_cast<std::size_t>(nUp)]);
  } catch (const std::bad_alloc&) {
    tz::stop(1);
  }
  mNumUpInflow = nUp;
  if (nLat < 0) {
    Report(Kinem_point::lateral_ports_negative);
    tz::stop(1);
  }
  try {
    Memory_site site(Kinem_point::lateral_ports_memory, "Receive<double>", nLat, 1, this, Memory_failure::report);
    rpl.reset(new Receive<double>[static_cast<std::size_t>(nLat)]);
  } catch (const std::bad_alloc&) {
    tz::stop(1);
  }
  mNumLateral = nLat;
  for (int i = 0; i < mNumUpInflow; ++i) rpu[static_cast<std::size_t>(i)].Init("rpu", i);
  for (int i = 0; i < mNumLateral; ++i) rpl[static_cast<std::size_t>(i)].Init("rpl", i);
  sp.Init("sp", 0);
  return Element::Init(name, number, 0, nullptr);
}

int Kinem::Init(const char* name, int number, FILE* fp) {
  int wNumUpInflow = 0, wNumLateral = 0;
  TZ_CHECK_TEXT(fp != nullptr && std::fscanf(fp, "%d %d", &wNumUpInflow, &wNumLateral) == 2, kUnit,
                "fscanf(fp, \"%d %d\", &wNumUpInflow, &wNumLateral) == 2");
  return Init(name, number, wNumUpInflow, wNumLateral);
}

int Kinem::Register_receive_ports() {
  int ok = 1;
  for (int i = 0; i < mNumUpInflow; ++i)
    if (Register(&rpu[static_cast<std::size_t>(i)]) != YES) ok = 0;
  for (int i = 0; i < mNumLateral; ++i)
    if (Register(&rpl[static_cast<std::size_t>(i)]) != YES) ok = 0;
  return ok;
}

int Kinem::Register_send_ports() { return Register(&sp) == YES ? 1 : 0; }

int Kinem::Set_parameter(FILE* fp) {
  int n = fp ? std::fscanf(fp, "%lf %lf %lf %lf %d %d %lf", &mL, &mB, &mG, &mMan, &mDiv, &mDt, &mTheta)
             : 0;
  if (n < 7) {
    Report(Kinem_point::parameter_line_unread);
    tz::stop(1);
  }
  TZ_CHECK(mL > 0.0, kUnit);
  TZ_CHECK(mB > 0.0, kUnit);
  TZ_CHECK(mG > 0.0, kUnit);
  TZ_CHECK(mMan > 0.0, kUnit);
  TZ_CHECK(mDiv > 0, kUnit);
  TZ_CHECK(mDt > 0, kUnit);
  TZ_CHECK(0.5 < mTheta && mTheta <= 1.0, kUnit);
  mDx = mL / mDiv;
  mG = std::sin(std::atan(mG));

  const std::size_t nodes = static_cast<std::size_t>(mDiv) + 1;
  for (std::vector<double>* a : {&mK, &mZ, &mAlpha, &mM, &mQc, &mQn, &mAc, &mAn}) a->assign(nodes, 0.0);
  for (std::size_t i = 0; i < nodes; ++i)
    TZ_CHECK(std::fscanf(fp, "%lf", &mK[i]) == 1, kUnit);
  for (std::size_t i = 0; i < nodes; ++i)
    TZ_CHECK(std::fscanf(fp, "%lf", &mZ[i]) == 1, kUnit);
  for (std::size_t i = 0; i < nodes; ++i) {
    mAlpha[i] = std::sqrt(mG) * std::pow(mK[i], kManningExponent) * (1 / mMan);
    mM[i] = mZ[i] * kManningExponent + 1;
  }
  return 1;
}

int Kinem::Set_initial_state(FILE* fp) {
  char line[256];
  Long t = 0;
  bool found = false;
  while (fp && std::fgets(line, sizeof line, fp)) {
    if (std::sscanf(line, "%d", &t) == 1) {
      found = true;
      break;
    }
  }
  if (!found) {
    Report(Kinem_point::initial_time_missing);
    tz::stop(1);
  }
  current_time = t;
  int div = 0;
  if (std::sscanf(line, "%d %d", &t, &div) == 2) {
    initFlag = 1;
    if (div != mDiv) {
      Report(Kinem_point::initial_divisions_differ);
      tz::stop(1);
    }
    const std::size_t nodes = static_cast<std::size_t>(mDiv) + 1;
    if (mQc.size() != nodes) mQc.assign(nodes, 0.0);
    for (std::size_t i = 0; i < nodes; ++i)
      TZ_CHECK(std::fscanf(fp, "%lf", &mQc[i]) == 1, kUnit);
  } else {
    initFlag = 0;
  }
  return 1;
}

int Kinem::Initial_output() {
  // Without its parameters (no block for the element in the parameter file)
  // the reach has no nodes, no flow law and no step: nothing can be routed.
  if (mAlpha.empty()) {
    Report(Kinem_point::no_parameters);
    tz::stop(1);
  }
  const Time t = current_time;
  double U = 0;
  for (int i = 0; i < mNumUpInflow; ++i) {
    Receive<double>& p = rpu[static_cast<std::size_t>(i)];
    if (p.Can_you_get_data(t, t) != YES) return NO;
    U += p.Get_data(t);
  }
  double L = 0;
  for (int i = 0; i < mNumLateral; ++i) {
    Receive<double>& p = rpl[static_cast<std::size_t>(i)];
    if (p.Can_you_get_data(t, t) != YES) return NO;
    L += p.Get_data(t);
  }
  mQlc = L / mL;
  if (initFlag == 0) {
    // A linear profile from the upstream inflow to the upstream plus the
    // lateral inflow at the lower end.
    mQc[0] = U;
    mQc[static_cast<std::size_t>(mDiv)] = U + L;
    for (int i = 1; i < mDiv; ++i)
      mQc[static_cast<std::size_t>(i)] =
          mQc[0] + (mQc[static_cast<std::size_t>(mDiv)] - mQc[0]) * i / mDiv;
  }
  for (std::size_t i = 0; i <= static_cast<std::size_t>(mDiv); ++i)
    mAc[i] = std::pow(mQc[i] / mAlpha[i], 1 / mM[i]);
  sp.Set_comment_string("time(sec) discharge(m**3/sec)");
  sp.Send_data(t, mQc[static_cast<std::size_t>(mDiv)]);
  return YES;
}

int Kinem::Calculate() {
  const Time step = time_step;
  const Time t = time_add(current_time, step);
  const double dt = step;
  const double dx = mDx;
  const double theta = mTheta;
  const char* name = Object_name() ? Object_name() : "";

  double lateral = 0;
  for (int i = 0; i < mNumLateral; ++i) lateral += rpl[static_cast<std::size_t>(i)].Get_data(t);
  mQln = lateral / mL;
  const double ql = (mQlc + mQln) * 0.5;

  double wUpInflow = 0;
  for (int i = 0; i < mNumUpInflow; ++i) wUpInflow += rpu[static_cast<std::size_t>(i)].Get_data(t);
  if (wUpInflow < 0) wUpInflow = 0;
  mQn[0] = wUpInflow;

  const std::size_t n = static_cast<std::size_t>(mDiv);
  for (std::size_t i = 1; i <= n; ++i) {
    mAn[i - 1] = std::pow(mQn[i - 1] / mAlpha[i - 1], 1 / mM[i - 1]);
    // The wave speed: the mean of dQ/dA at the upper node (old section)
    // and at this node for the larger of its old discharge and the inflow
    // arriving from above.
    const double cUpper = mM[i - 1] * mAlpha[i - 1] * std::pow(mAc[i - 1], mM[i - 1] - 1);
    const double Qe = std::max(mQc[i], (mQc[i - 1] + mQn[i - 1]) * 0.5 + ql * mDx);
    const double cHere = mM[i] * std::pow(mAlpha[i], 1 / mM[i]) * std::pow(Qe, (mM[i] - 1) / mM[i]);
    const double c = (cUpper + cHere) * 0.5;
    mQn[i] = (theta * c * (dt / dx * mQn[i - 1] + ql * dt) + mQc[i] -
              dt * c * (1 - theta) * ((mQc[i] - mQc[i - 1]) / dx - ql)) /
             (1 + dt * theta * c / dx);
    if (mQn[i] < 0) {
      Wprint(Kinem_point::discharge_negative, 1);
      std::printf("[%s %d] %d, mQln : %f, wUpInflow : %f, mQn : %f\n", name, Object_number(), t, mQln,
                  wUpInflow, mQn[i]);
      mQn[i] = 0;
    }
  }
  mAn[n] = std::pow(mQn[n] / mAlpha[n], 1 / mM[n]);

  if (std::fmod(static_cast<double>(t), kSendPeriod) == 0) sp.Send_data(t, mQn[n]);

  std::swap(mQc, mQn);
  std::swap(mAc, mAn);
  mQlc = mQln;
  std::printf("[%s %d] %d : %f\n", name, Object_number(), t, mQc[n]);
  return YES;
}

int Kinem::Save_terminal_state(FILE* fp) {
  TZ_CHECK_TEXT(fp != nullptr, kUnit, "fp != NULL");
  std::fprintf(fp, "%d %d\n", current_time, mDiv);
  for (std::size_t i = 0; i < mQc.size(); ++i) std::fprintf(fp, "%f ", mQc[i]);
  std::fprintf(fp, "\n");
  return 1;
}
