// QKLABELER: erases a label, label_er(type, number, label),
// label 30 by default.
#include "command/command.h"

const qk::ToolInfo qk::qk_tool{
    .name = "QKLABELER",
    .data_function = "label_er",
    .timeout_mode = qk::TimeoutMode::DisplayIsOne,
    .open_failure = qk::OpenFailure::SilentClose,
};
static const qk::command::CommandMember member{
    .call = qk::command::Call::Value, .value = 30, .keep_connection_after_failure = false};

void qk::set_defaults() { qk::command::command_defaults(member); }
void qk::parse_arguments(int argc, char** argv) { qk::command::command_arguments(member, argc, argv); }
void qk::run_transfer() { qk::command::command_transfer(member); }
