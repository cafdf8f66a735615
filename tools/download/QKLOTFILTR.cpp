// QKLOTFILTR: lotfiltr(type, number, i, buf),
// records first..last (default 0..0); 39 bytes plus a line end per record, replacing QKLOTFILTR.ASC.
#include "download/fixed.h"

const qk::ToolInfo qk::qk_tool{.name = "QKLOTFILTR", .data_function = "lotfiltr"};
static const qk::download::FixedMember member{.call = qk::download::FixedCall::Four,
                                              .mode = "wt",
                                              .size = 39};

void qk::set_defaults() { qk::download::fixed_defaults(); }
void qk::parse_arguments(int argc, char** argv) { qk::download::fixed_arguments(member, argc, argv); }
void qk::run_transfer() { qk::download::fixed_transfer(member); }
