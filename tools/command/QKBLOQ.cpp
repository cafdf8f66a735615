// QKBLOQ: the lock command, bloq(type, number).
#include "command/command.h"

const qk::ToolInfo qk::qk_tool{
    .name = "QKBLOQ",
    .data_function = "bloq",
    .timeout_mode = qk::TimeoutMode::Two,
    .open_failure = qk::OpenFailure::SilentClose,
};
static const qk::command::CommandMember member{
    .call = qk::command::Call::NoValue, .value = 0, .keep_connection_after_failure = false};

void qk::set_defaults() { qk::command::command_defaults(member); }
void qk::parse_arguments(int argc, char** argv) { qk::command::command_arguments(member, argc, argv); }
void qk::run_transfer() { qk::command::command_transfer(member); }
