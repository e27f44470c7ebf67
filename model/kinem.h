// Kinem: the kinematic-wave channel element.
//
// One channel reach, divided into mDiv pieces of length mDx (mDiv + 1
// nodes). The reach receives its upstream inflows on the ports "rpu" and
// its lateral inflows on the ports "rpl" (interpolating receive ports of
// double, discharges in m3/s), routes the discharge node by node with the
// theta-weighted implicit kinematic-wave scheme of the slope edges, and
// sends the outflow at its lower end on "sp" at every step that ends on a
// multiple of 600 s.
//
// The flow law at node i is Q = mAlpha[i] * A ^ mM[i], from the Manning
// coefficient, the sine of the slope angle and the node's hydraulic radius
// law R = mK[i] * A ^ mZ[i].
//
// Its parameter line:
//   <length> <width> <gradient> <Manning> <divisions> <step> <theta>
// followed by the mDiv + 1 values of mK and the mDiv + 1 values of mZ.
// Its initial-state line is either "<time>" (the initial profile is then
// linear from the upstream inflow to the upstream plus lateral inflow) or
// "<time> <divisions>" followed by the mDiv + 1 node discharges; the
// terminal state is written in the second form.
#ifndef MODEL_KINEM_H
#define MODEL_KINEM_H

#include <cstdio>
#include <memory>
#include <vector>

#include "element.h"
#include "p_tmp.h"
#include "receive.h"
#include "tzdefs.h"

class Kinem : public Element {
 public:
  // nUp upstream and nLat lateral receive ports.
  Kinem(const char* name, int number, int nUp, int nLat);
  Kinem();
  ~Kinem() override;

  // Names the element and makes its ports; a negative number of ports ends
  // the program with status 1 (kinem 46, 64).
  using Element::Init;
  int Init(const char* name, int number, int nUp, int nLat);

  int Register_receive_ports() override;
  int Register_send_ports() override;
  int Set_parameter(FILE* f) override;
  int Set_initial_state(FILE* f) override;
  // Sends the outflow at the start time; NO while an inflow has no data
  // there yet. Without parameters the program ends with status 1
  // (kinem 230).
  int Initial_output() override;
  Time Calculate_time_step() override { return mDt; }
  int Can_you_calculate() override { return Can_you_calculate0(); }
  int Calculate() override;
  int Work() override { return Work0(); }
  int Save_terminal_state(FILE* f) override;
  Element* NewElement() override { return new Kinem(); }
  // Reads "<nUp> <nLat>" from the file, then Init(name, number, nUp, nLat).
  int Init(const char* name, int number, FILE* f) override;

  // The latest node discharges (m3/s), upstream end first.
  const std::vector<double>& Discharges() const { return mQc; }
  int Number_of_upstream_ports() const { return mNumUpInflow; }
  int Number_of_lateral_ports() const { return mNumLateral; }
  Receive<double>& Upstream_port(int i) { return rpu[static_cast<std::size_t>(i)]; }
  Receive<double>& Lateral_port(int i) { return rpl[static_cast<std::size_t>(i)]; }
  Send<double>& Outflow_port() { return sp; }

 private:
  std::vector<double> mK;  // hydraulic radius law R = mK * A ^ mZ, per node
  std::vector<double> mZ;
  double mMan = 0;  // Manning coefficient
  double mL = 0;    // reach length (m)
  double mB = 0;    // channel width (m); checked only
  double mG = 0;    // gradient as read, then the sine of the slope angle
  int mDiv = 0;     // number of divisions
  double mDx = 0;   // mL / mDiv
  Long mDt = 0;     // time step (s)
  double mTheta = 0;
  std::vector<double> mAlpha, mM;  // Q = mAlpha * A ^ mM, per node
  std::vector<double> mQc, mQn;    // node discharges at the start / end of the step
  std::vector<double> mAc, mAn;    // node cross-sections at the start / end of the step
  double mQlc = 0, mQln = 0;       // lateral inflow per unit length (m2/s)
  int initFlag = 0;                // 1: the initial state gave the node discharges
  int mNumLateral = 0;
  int mNumUpInflow = 0;
  std::unique_ptr<Receive<double>[]> rpu;
  std::unique_ptr<Receive<double>[]> rpl;
  Send<double> sp;
};

#endif
