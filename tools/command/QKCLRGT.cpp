// QKCLRGT: clears the totals, clrgt(type, number, parameter),
// parameter 2 by default; a failed command leaves the connection open.
#include "command/command.h"

const qk::ToolInfo qk::qk_tool{
    .name = "QKCLRGT",
    .data_function = "clrgt",
    .timeout_mode = qk::TimeoutMode::Two,
    .open_failure = qk::OpenFailure::LogSkipClose,
};
static const qk::command::CommandMember member{
    .call = qk::command::Call::Value, .value = 2, .keep_connection_after_failure = true};

void qk::set_defaults() { qk::command::command_defaults(member); }
void qk::parse_arguments(int argc, char** argv) { qk::command::command_arguments(member, argc, argv); }
void qk::run_transfer() { qk::command::command_transfer(member); }
