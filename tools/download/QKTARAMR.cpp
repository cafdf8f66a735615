// QKTARAMR: taramr(type, number, i, buf),
// records first..last (default 0..0); 16 bytes plus a line end per record, replacing QKTARAMR.ASC.
#include "download/fixed.h"

const qk::ToolInfo qk::qk_tool{.name = "QKTARAMR", .data_function = "taramr"};
static const qk::download::FixedMember member{.call = qk::download::FixedCall::Four,
                                              .mode = "wt",
                                              .size = 16};

void qk::set_defaults() { qk::download::fixed_defaults(); }
void qk::parse_arguments(int argc, char** argv) { qk::download::fixed_arguments(member, argc, argv); }
void qk::run_transfer() { qk::download::fixed_transfer(member); }
