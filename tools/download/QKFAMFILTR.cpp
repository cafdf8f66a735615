// QKFAMFILTR: famfiltr(type, number, 0, 0, buf),
// record 0 once (positions 3 and 4 are read and not used); 39 bytes, no line end per record, replacing QKFAMFILTR.ASC.
#include "download/fixed.h"

const qk::ToolInfo qk::qk_tool{.name = "QKFAMFILTR", .data_function = "famfiltr"};
static const qk::download::FixedMember member{.call = qk::download::FixedCall::Five,
                                              .mode = "wt",
                                              .size = 39,
                                              .newline = false,
                                              .reading = qk::download::Reading::Single};

void qk::set_defaults() { qk::download::fixed_defaults(); }
void qk::parse_arguments(int argc, char** argv) { qk::download::fixed_arguments(member, argc, argv); }
void qk::run_transfer() { qk::download::fixed_transfer(member); }
