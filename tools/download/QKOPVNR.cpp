// QKOPVNR: opvnr(type, number, i, i, buf),
// records first..last (default 0..0); 67 bytes plus a line end per record, appended to QKOPVNR.ASC.
#include "download/fixed.h"

const qk::ToolInfo qk::qk_tool{.name = "QKOPVNR", .data_function = "opvnr"};
static const qk::download::FixedMember member{.call = qk::download::FixedCall::Five,
                                              .mode = "a",
                                              .size = 67};

void qk::set_defaults() { qk::download::fixed_defaults(); }
void qk::parse_arguments(int argc, char** argv) { qk::download::fixed_arguments(member, argc, argv); }
void qk::run_transfer() { qk::download::fixed_transfer(member); }
