// The report points of the model's units, made as the framework's are
// (qavlen/report_points.h): each unit's list of its points (name,
// position), whose explanations stand in qavlen/explain/<unit>.txt.
#ifndef MODEL_POINTS_H
#define MODEL_POINTS_H

#include "common.h"

#define MODEL_I_FILE_MATRIX_POINTS(P) \
  P(no_status, 82)                    \
  P(cannot_open, 94)                  \
  P(file_empty, 106)                  \
  P(read_memory, 114)                 \
  P(record_unfinished, 120)           \
  P(record_unusable, 130)             \
  P(record_out_of_order, 140)         \
  P(more_out_of_order, 160)

#define MODEL_KINEM_POINTS(P)      \
  P(upstream_ports_negative, 46)   \
  P(upstream_ports_memory, 56)     \
  P(lateral_ports_negative, 64)    \
  P(lateral_ports_memory, 73)      \
  P(parameter_line_unread, 99)     \
  P(initial_divisions_differ, 176) \
  P(initial_time_missing, 191)     \
  P(no_parameters, 230)            \
  P(discharge_negative, 340)

#define MODEL_MORVELAN2D_POINTS(P)     \
  P(parameter_line_unread, 618)        \
  P(parameter_line_not_finite, 630)    \
  P(network_version, 662)              \
  P(edges_memory, 676)                 \
  P(network_edge_twice, 690)           \
  P(parameter_file_format, 712)        \
  P(parameter_file_count, 727)         \
  P(parameter_record_unread, 759)      \
  P(parameter_not_finite, 763)         \
  P(parameter_edge_unknown, 784)       \
  P(parameter_edge_twice, 790)         \
  P(upper_edge_unknown, 807)           \
  P(late_links, 820)                   \
  P(initial_line_unread, 861)          \
  P(terminal_file_on_input, 866)       \
  P(discharge_file_format, 878)        \
  P(discharge_file_count, 893)         \
  P(discharge_record_unread, 911)      \
  P(discharge_not_finite, 915)         \
  P(discharge_edge_unknown, 926)       \
  P(discharge_edge_twice, 930)         \
  P(not_ready_to_start, 1040)          \
  P(cell_not_in_block, 1072)           \
  P(edge_outside_grid, 1126)           \
  P(grid_size_changed, 1200)           \
  P(edge_step_failed, 1220)            \
  P(terminal_file_cannot_create, 1290) \
  P(terminal_file_write_failed, 1295)

// The model's units: the enumeration of each unit's points, its name and
// its list.
#define MODEL_REPORT_UNITS(U)                                             \
  U(I_file_matrix_point, "i_file_matrix.cpp", MODEL_I_FILE_MATRIX_POINTS) \
  U(Kinem_point, "kinem.cpp", MODEL_KINEM_POINTS)                         \
  U(Morvelan2d_point, "morvelan2d-1.cpp", MODEL_MORVELAN2D_POINTS)

QAVLEN_REPORT_LIBRARY(model_report_units, MODEL_REPORT_UNITS)

#endif
