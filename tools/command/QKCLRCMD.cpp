// QKCLRCMD: clears the commands,
// clrcmd(type, number, parameter), parameter 0 by default.
#include "command/command.h"

const qk::ToolInfo qk::qk_tool{
    .name = "QKCLRCMD",
    .data_function = "clrcmd",
    .timeout_mode = qk::TimeoutMode::DisplayIsOne,
    .open_failure = qk::OpenFailure::SilentClose,
};
static const qk::command::CommandMember member{
    .call = qk::command::Call::Value, .value = 0, .keep_connection_after_failure = false};

void qk::set_defaults() { qk::command::command_defaults(member); }
void qk::parse_arguments(int argc, char** argv) { qk::command::command_arguments(member, argc, argv); }
void qk::run_transfer() { qk::command::command_transfer(member); }
