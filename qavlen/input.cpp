#include "common.h"
#include "input_f.h"
#include "tzcheck.h"

Input_port::Input_port() { class_name = "Input_port"; }

Input_port::Input_port(const char* name, int number) : Send_port(name, number) {
  class_name = "Input_port";
}

Input_port::~Input_port() = default;

void Input_port::Creq() {
  Eprint("input.cpp", 117, 1);
  Oprint(stderr, "    ");
  tz::stop(1);
}
