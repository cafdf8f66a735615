// QKLABELR: label number (default 0) into QKLABELR.BIN: labelr(type, number,
// label, file name). After a failed call the connection is left open.
#include "transfer/file_transfer.h"

const qk::ToolInfo qk::qk_tool{.name = "QKLABELR", .data_function = "labelr",
                               .timeout_mode = qk::TimeoutMode::DisplayIsOne};
static const qk::transfer::FileMember member{.extension = ".BIN", .has_label = true,
                                             .label_default = 0,
                                             .keeps_connection_on_failure = true};

void qk::set_defaults() { qk::transfer::file_defaults(member); }
void qk::parse_arguments(int argc, char** argv) { qk::transfer::file_arguments(member, argc, argv); }
void qk::run_transfer() { qk::transfer::file_transfer(member); }
