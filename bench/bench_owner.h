// An element that owns the ports of a benchmark: it computes nothing and
// asks its receive ports for the time window [from, to].
#ifndef BENCH_OWNER_H
#define BENCH_OWNER_H

#include <cstdio>

#include "element.h"

class Bench_owner : public Element {
 public:
  explicit Bench_owner(const char* name) { Init(name, 0); }
  void Creq() override {}
  Long Necessary_time_from(Receive_port*) override { return from; }
  Long Necessary_time_to(Receive_port*) override { return to; }
  int Register_receive_ports() override { return 1; }
  int Register_send_ports() override { return 1; }
  int Set_parameter(FILE*) override { return 1; }
  int Set_initial_state(FILE*) override { return 1; }
  int Initial_output() override { return 1; }
  Time Calculate_time_step() override { return 1; }
  int Can_you_calculate() override { return 1; }
  int Calculate() override { return 1; }
  int Work() override { return 0; }
  int Save_terminal_state(FILE*) override { return 1; }
  Long from = 0, to = 0;
};

#endif
