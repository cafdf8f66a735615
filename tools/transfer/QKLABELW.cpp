// QKLABELW: QKLABELW.BIN sent as label number (default 30): labelw(type,
// number, label, file name). After a failed call the connection is left open.
#include "transfer/file_transfer.h"

const qk::ToolInfo qk::qk_tool{.name = "QKLABELW", .data_function = "labelw",
                               .timeout_mode = qk::TimeoutMode::DisplayIsOne};
static const qk::transfer::FileMember member{.extension = ".BIN", .has_label = true,
                                             .label_default = 30,
                                             .keeps_connection_on_failure = true};

void qk::set_defaults() { qk::transfer::file_defaults(member); }
void qk::parse_arguments(int argc, char** argv) { qk::transfer::file_arguments(member, argc, argv); }
void qk::run_transfer() { qk::transfer::file_transfer(member); }
