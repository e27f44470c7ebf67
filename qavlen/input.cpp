#include "common.h"
#include "input_f.h"
#include "report_points.h"
#include "tzcheck.h"

Input_port::Input_port() { class_name = "Input_port"; }

Input_port::Input_port(const char* name, int number) : Send_port(name, number) { class_name = "Input_port"; }

Input_port::~Input_port() = default;

void Input_port::Creq() {
  Report(Input_point::cannot_make_data);
  tz::stop(1);
}
