// QKMERMR: mermr(type, number, i, i, buf) for records first..last (default
// 0..4) into QKMERMR.ASC; a record is at most 1024 bytes.
#include "download/range.h"

const qk::ToolInfo qk::qk_tool{.name = "QKMERMR", .data_function = "mermr"};
static const qk::download::RangeMember member{.buffer = 1024};

void qk::set_defaults() { qk::download::range_defaults(member); }
void qk::parse_arguments(int argc, char** argv) { qk::download::range_arguments(member, argc, argv); }
void qk::run_transfer() { qk::download::range_transfer(member); }
