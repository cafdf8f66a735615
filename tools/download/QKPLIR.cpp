// QKPLIR: plir(type, number, i, i, buf) for records first..last (default
// 0..4) into QKPLIR.ASC. Its own 1048-byte buffer, cleared before every call;
// the connection is opened with INGREDIENTS as its count; Escape does not
// stop it; DISPLAY shows a record counter instead of the texts; a failed call
// leaves the connection open.
#include "download/range.h"

const qk::ToolInfo qk::qk_tool{.name = "QKPLIR", .data_function = "plir",
                               .socket_count = qk::SocketCount::Ingredients};
static const qk::download::RangeMember member{.buffer = 1048,
                                              .clear_every_call = true,
                                              .private_buffer = true,
                                              .keyboard_cancel = false,
                                              .echo_counter = true,
                                              .keep_open_after_failure = true};

void qk::set_defaults() { qk::download::range_defaults(member); }
void qk::parse_arguments(int argc, char** argv) { qk::download::range_arguments(member, argc, argv); }
void qk::run_transfer() { qk::download::range_transfer(member); }
