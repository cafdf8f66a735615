// QKTOTVNXR: totvnxr(type, number, 0, 0, buf) for the header record, then
// totvnxr(type, number, i, i, buf) for i = 1..the count at offset 94 of the
// header; 113 bytes plus a line end per record, appended to QKTOTVNXR.ASC.
// Arguments: type, number, data file name.
#include "download/fixed.h"

const qk::ToolInfo qk::qk_tool{.name = "QKTOTVNXR", .data_function = "totvnxr"};
static const qk::download::FixedMember member{.call = qk::download::FixedCall::Five,
                                              .mode = "a",
                                              .size = 113,
                                              .reading = qk::download::Reading::HeaderCounted};

void qk::set_defaults() { qk::download::fixed_defaults(); }
void qk::parse_arguments(int argc, char** argv) { qk::download::fixed_arguments(member, argc, argv); }
void qk::run_transfer() { qk::download::fixed_transfer(member); }
