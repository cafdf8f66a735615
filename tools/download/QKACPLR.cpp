// QKACPLR: acplr(type, number, i, i, buf) for records first..last (default 0..4) into QKACPLR.ASC.
#include "download/range.h"

const qk::ToolInfo qk::qk_tool{.name = "QKACPLR", .data_function = "acplr"};
static const qk::download::RangeMember member{};

void qk::set_defaults() { qk::download::range_defaults(member); }
void qk::parse_arguments(int argc, char** argv) { qk::download::range_arguments(member, argc, argv); }
void qk::run_transfer() { qk::download::range_transfer(member); }
