// QKVOLCADOR: volcador(type, number, i, i, buf),
// records first..last (default 0..0); 112 bytes plus a line end per record, appended to QKVOLCADOR.ASC.
#include "download/fixed.h"

const qk::ToolInfo qk::qk_tool{.name = "QKVOLCADOR", .data_function = "volcador"};
static const qk::download::FixedMember member{.call = qk::download::FixedCall::Five,
                                              .mode = "a",
                                              .size = 112};

void qk::set_defaults() { qk::download::fixed_defaults(); }
void qk::parse_arguments(int argc, char** argv) { qk::download::fixed_arguments(member, argc, argv); }
void qk::run_transfer() { qk::download::fixed_transfer(member); }
