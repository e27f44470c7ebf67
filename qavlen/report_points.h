// The report points of the framework's units: each unit's list of its
// points (name, position), from which QAVLEN_REPORT_POINTS (common.h) makes
// the enumeration the reports are made with and the unit's table. The
// explanation of a point stands at its position in the unit's explanation
// table, qavlen/explain/<unit>.txt; every point has one and every row of a
// table is a point (tests/qavlen/explained_points.h). A new report adds its
// point here and its row there; a new unit adds its list and its line in
// QAVLEN_REPORT_UNITS.
#ifndef QAVLEN_REPORT_POINTS_H
#define QAVLEN_REPORT_POINTS_H

#include "common.h"

#define QAVLEN_COMMON_POINTS(P) \
  P(words_buffer_short, 194)    \
  P(quote_unclosed, 205)        \
  P(character_missing, 225)     \
  P(memory_out, 250)

#define QAVLEN_ELEMENT_POINTS(P)        \
  P(list_lookup_by_class, 53)           \
  P(list_lookup_by_name, 76)            \
  P(register_nothing, 100)              \
  P(register_outside_construction, 106) \
  P(register_unnamed, 120)              \
  P(registered_already, 129)            \
  P(register_owned_elsewhere, 143)      \
  P(array_outside_construction, 157)    \
  P(array_made_already, 164)            \
  P(object_count_negative, 180)         \
  P(object_array_exists, 185)           \
  P(object_array_memory, 190)           \
  P(slot_outside_array, 208)            \
  P(slot_without_object, 218)           \
  P(slot_set_already, 223)              \
  P(constructed_twice, 240)             \
  P(registration_list_memory, 246)      \
  P(receive_port_array_failed, 252)     \
  P(send_port_array_failed, 261)        \
  P(array_lookup_by_class, 275)         \
  P(array_lookup_by_name, 305)          \
  P(no_receive_port_of_class, 336)      \
  P(no_send_port_of_class, 356)         \
  P(no_receive_port_of_name, 376)       \
  P(no_send_port_of_name, 396)          \
  P(no_object_of_class, 416)            \
  P(receive_switch_failed, 440)         \
  P(send_switch_failed, 450)            \
  P(receive_port_not_ready, 473)        \
  P(send_port_not_ready, 486)           \
  P(slots_not_set, 499)                 \
  P(data_block_twice, 511)              \
  P(data_string_memory, 516)            \
  P(data_string_held, 535)              \
  P(no_data_string, 554)                \
  P(stock_block_unfit, 586)             \
  P(rewind_fixed_not_earlier, 607)      \
  P(renew_fixed_not_earlier, 619)       \
  P(no_iteration_step, 653)             \
  P(initial_time_again, 677)            \
  P(initial_time_set, 682)              \
  P(no_status_string, 798)              \
  P(time_step_negative, 842)            \
  P(no_component_of_class, 928)         \
  P(no_component_of_name, 945)          \
  P(iteration_step_negative, 955)       \
  P(no_convergence_answer, 1006)        \
  P(no_stocked_data_send, 1026)         \
  P(connections_memory, 1102)

#define QAVLEN_F_LOOK_POINTS(P)    \
  P(comment_is_white, 25)          \
  P(block_characters_same, 70)     \
  P(block_buffer_memory, 109)      \
  P(block_buffer_grow_memory, 156) \
  P(word_buffer_memory, 175)       \
  P(word_buffer_grow_memory, 197)  \
  P(word_copy_memory, 229)         \
  P(header_words_memory, 245)

#define QAVLEN_INPUT_POINTS(P) P(cannot_make_data, 117)

#define QAVLEN_INPUT_F_POINTS(P) \
  P(no_status, 48)               \
  P(cannot_open, 59)             \
  P(file_empty, 73)              \
  P(line_buffer_memory, 80)

#define QAVLEN_LIST_POINTS(P) \
  P(front_node_memory, 26)    \
  P(end_node_memory, 42)      \
  P(item_array_memory, 100)   \
  P(clear_function_set, 137)  \
  P(clear_function_on_items, 142)

#define QAVLEN_OBJECT_POINTS(P) \
  P(no_owner, 59)               \
  P(owned_elsewhere, 67)        \
  P(no_name, 109)               \
  P(named_already, 114)         \
  P(name_memory, 123)

#define QAVLEN_OUTPUT_F_POINTS(P) \
  P(cannot_create, 30)            \
  P(line_buffer_memory, 70)       \
  P(cannot_append, 81)            \
  P(write_failed, 90)             \
  P(sender_prefix_memory, 143)    \
  P(comment_memory, 162)          \
  P(line_length_negative, 179)    \
  P(named_already, 186)

#define QAVLEN_P_TMP_POINTS(P)       \
  P(connection_type_unknown, 76)     \
  P(type_unknown_between_packs, 194) \
  P(type_unknown_in_sum, 456)        \
  P(sent_pack_memory, 474)           \
  P(restored_pack_memory, 488)       \
  P(read_pack_memory, 504)           \
  P(restored_input_pack_memory, 541) \
  P(cannot_append, 574)

#define QAVLEN_PORT_POINTS(P) \
  P(takes_no_sender, 22)      \
  P(has_no_receivers, 33)     \
  P(cannot_switch, 44)

#define QAVLEN_RECEIVE_POINTS(P) \
  P(no_sender, 30)               \
  P(sender_already, 37)          \
  P(types_differ, 52)            \
  P(connection_text_memory, 92)

#define QAVLEN_RELAY_POINTS(P) \
  P(no_sender, 28)             \
  P(sender_already, 35)        \
  P(types_differ, 50)          \
  P(connection_text_memory, 74)

#define QAVLEN_SEND_POINTS(P) \
  P(switch_failed, 31)        \
  P(buffer_exists, 35)        \
  P(buffer_memory, 41)

#define QAVLEN_SENDER_POINTS(P)      \
  P(no_receiver, 30)                 \
  P(switched_already, 42)            \
  P(no_receiver_list, 52)            \
  P(types_differ, 63)                \
  P(switched_twice, 81)              \
  P(connection_text_memory, 144)     \
  P(comment_memory, 163)             \
  P(comment_copy_memory, 175)        \
  P(named_receiver_list_memory, 190) \
  P(unnamed_receiver_list_memory, 205)

#define QAVLEN_SUB_POINTS(P)                \
  P(connect_to_element_by_class, 34)        \
  P(connect_elements_by_class_sender, 53)   \
  P(connect_elements_by_class_receiver, 61) \
  P(connect_from_element_by_class, 79)      \
  P(connect_to_element_by_name, 98)         \
  P(connect_elements_by_name_sender, 117)   \
  P(connect_elements_by_name_receiver, 125) \
  P(connect_from_element_by_name, 143)      \
  P(iterator_sets_memory, 164)              \
  P(iterator_counts_memory, 169)            \
  P(iterator_sets_full, 194)                \
  P(iterator_array_failed, 215)             \
  P(no_component_of_class, 244)             \
  P(no_component_of_name, 270)              \
  P(registration_list_memory, 299)          \
  P(receive_port_array_failed, 306)         \
  P(send_port_array_failed, 315)            \
  P(component_array_failed, 324)            \
  P(component_not_constructed, 349)         \
  P(own_switch_failed, 432)                 \
  P(component_switch_failed, 448)           \
  P(own_ports_not_ready, 461)               \
  P(component_not_ready, 476)               \
  P(framework_line_long, 525)               \
  P(parameter_header_empty, 530)            \
  P(header_names_no_component, 535)         \
  P(start_time_unread, 546)                 \
  P(initial_header_empty, 583)              \
  P(own_initial_time_failed, 636)           \
  P(component_initial_time_failed, 652)     \
  P(clock_behind, 760)                      \
  P(iterator_set_diverged, 898)             \
  P(clock_not_renewed, 917)                 \
  P(iterator_sets_negative, 931)

#define QAVLEN_TOTAL_POINTS(P)         \
  P(parenthesis_unopened, 102)         \
  P(brace_in_parentheses, 109)         \
  P(brace_close_in_parentheses, 116)   \
  P(brace_unopened, 120)               \
  P(brace_unclosed, 143)               \
  P(parenthesis_unclosed, 148)         \
  P(data_file_cannot_open, 168)        \
  P(data_file_unbalanced, 174)         \
  P(brace_without_element, 194)        \
  P(brace_closes_nothing, 201)         \
  P(data_block_malformed, 209)         \
  P(parenthesis_out_of_place, 232)     \
  P(header_short, 239)                 \
  P(header_without_name, 245)          \
  P(header_names_no_element, 258)      \
  P(data_file_ends_in_braces, 266)     \
  P(parameter_line_long, 289)          \
  P(parameter_system_class, 294)       \
  P(parameter_system_name_number, 301) \
  P(parameter_system_name, 308)        \
  P(parameter_first_line_empty, 313)   \
  P(initial_line_long, 331)            \
  P(initial_system_class, 336)         \
  P(initial_system_name_number, 343)   \
  P(initial_system_name, 350)          \
  P(initial_first_line_empty, 355)     \
  P(start_time_unread, 366)            \
  P(component_starts_later, 372)       \
  P(stock_of_another_start, 380)       \
  P(terminal_state_cannot_create, 386) \
  P(terminal_state_write_failed, 392)  \
  P(stock_cannot_create, 404)          \
  P(stock_write_failed, 408)           \
  P(output_on_input, 415)              \
  P(cannot_put_in_place, 420)          \
  P(share_info_failed, 440)            \
  P(components_share_info_failed, 470) \
  P(initial_work_failed, 528)          \
  P(iteration_group_diverged, 697)

// The framework's units: the enumeration of each unit's points, its name
// and its list.
#define QAVLEN_REPORT_UNITS(U)                              \
  U(Common_point, "common.cpp", QAVLEN_COMMON_POINTS)       \
  U(Element_point, "element.cpp", QAVLEN_ELEMENT_POINTS)    \
  U(F_look_point, "f_look.cpp", QAVLEN_F_LOOK_POINTS)       \
  U(Input_point, "input.cpp", QAVLEN_INPUT_POINTS)          \
  U(Input_f_point, "input_f.cpp", QAVLEN_INPUT_F_POINTS)    \
  U(List_point, "list.cpp", QAVLEN_LIST_POINTS)             \
  U(Object_point, "object.cpp", QAVLEN_OBJECT_POINTS)       \
  U(Output_f_point, "output_f.cpp", QAVLEN_OUTPUT_F_POINTS) \
  U(P_tmp_point, "p_tmp.cpp", QAVLEN_P_TMP_POINTS)          \
  U(Port_point, "port.cpp", QAVLEN_PORT_POINTS)             \
  U(Receive_point, "receive.cpp", QAVLEN_RECEIVE_POINTS)    \
  U(Relay_point, "relay.cpp", QAVLEN_RELAY_POINTS)          \
  U(Send_point, "send.cpp", QAVLEN_SEND_POINTS)             \
  U(Sender_point, "sender.cpp", QAVLEN_SENDER_POINTS)       \
  U(Sub_point, "sub.cpp", QAVLEN_SUB_POINTS)                \
  U(Total_point, "total.cpp", QAVLEN_TOTAL_POINTS)

QAVLEN_REPORT_LIBRARY(qavlen_report_units, QAVLEN_REPORT_UNITS)

#endif
