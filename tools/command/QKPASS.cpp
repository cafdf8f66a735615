// QKPASS: sends a password, pass(type, number, text), "590817" by default.
// Built on the earlier frame: Spanish log lines without the tool's name, the
// earlier parameter reader, and no closing log call with code 0.
#include "command/command.h"

const qk::ToolInfo qk::qk_tool{
    .name = "QKPASS",
    .data_function = "pass",
    .timeout_mode = qk::TimeoutMode::Two,
    .open_failure = qk::OpenFailure::LogSkipClose,
    .logs_final_code = false,
};
static const qk::command::CommandMember member{.call = qk::command::Call::Password};

void qk::set_defaults() {
    qk::earlier_gateway_defaults(qk::run.params);
    qk::command::command_defaults(member);
}
void qk::parse_arguments(int argc, char** argv) { qk::command::command_arguments(member, argc, argv); }
void qk::run_transfer() { qk::command::command_transfer(member); }
