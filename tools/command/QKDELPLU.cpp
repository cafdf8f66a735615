// QKDELPLU: deletes articles first..last (default 0..4),
// delplu(type, number, i, i, parameter), parameter 0 by default; Escape is
// checked before each call; an early stop leaves the connection open.
#include "command/command.h"

const qk::ToolInfo qk::qk_tool{
    .name = "QKDELPLU",
    .data_function = "delplu",
    .timeout_mode = qk::TimeoutMode::DisplayIsOne,
    .open_failure = qk::OpenFailure::LogSkipClose,
};
static const qk::command::CommandMember member{
    .call = qk::command::Call::Range, .value = 0, .keep_connection_after_failure = true};

void qk::set_defaults() { qk::command::command_defaults(member); }
void qk::parse_arguments(int argc, char** argv) { qk::command::command_arguments(member, argc, argv); }
void qk::run_transfer() { qk::command::command_transfer(member); }
