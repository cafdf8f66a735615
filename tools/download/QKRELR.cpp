// QKRELR: one call relr(type, number, buf) into QKRELR.ASC; arguments type,
// number, data file name; no keyboard check.
#include "download/range.h"

const qk::ToolInfo qk::qk_tool{.name = "QKRELR", .data_function = "relr"};
static const qk::download::RangeMember member{.call = qk::download::Call::Single};

void qk::set_defaults() { qk::download::range_defaults(member); }
void qk::parse_arguments(int argc, char** argv) { qk::download::range_arguments(member, argc, argv); }
void qk::run_transfer() { qk::download::range_transfer(member); }
