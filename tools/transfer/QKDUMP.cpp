// QKDUMP: memory start..end (hexadecimal, default 0..0) of the scales into
// QKDUMP.BIN through DumpMax, 16 bytes a call. Opens the connection with a
// count of 20 and closes it even when it could not be opened.
#include "transfer/dump.h"

const qk::ToolInfo qk::qk_tool{.name = "QKDUMP", .data_function = "DumpMax",
                               .socket_count = qk::SocketCount::Twenty,
                               .open_failure = qk::OpenFailure::LogThenClose};

void qk::set_defaults() { qk::transfer::dump_defaults(); }
void qk::parse_arguments(int argc, char** argv) { qk::transfer::dump_arguments(argc, argv); }
void qk::run_transfer() { qk::transfer::dump_transfer(); }
