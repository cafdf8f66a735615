// QKCAR: car(type, number, i, i, buf) for records first..last (default 0..5)
// into QKCAR.ASC; the buffer is cleared before every call, so a call that
// leaves it untouched adds nothing.
#include "download/range.h"

const qk::ToolInfo qk::qk_tool{.name = "QKCAR", .data_function = "car"};
static const qk::download::RangeMember member{.last_index = 5, .clear_every_call = true};

void qk::set_defaults() { qk::download::range_defaults(member); }
void qk::parse_arguments(int argc, char** argv) { qk::download::range_arguments(member, argc, argv); }
void qk::run_transfer() { qk::download::range_transfer(member); }
