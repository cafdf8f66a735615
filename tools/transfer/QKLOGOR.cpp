// QKLOGOR: the scale's logo into QKLOGOR.BMP: logor(type, number, file name).
// A connection that cannot be opened is not logged, and is closed all the same.
#include "transfer/file_transfer.h"

const qk::ToolInfo qk::qk_tool{.name = "QKLOGOR", .data_function = "logor",
                               .timeout_mode = qk::TimeoutMode::DisplayIsOne,
                               .open_failure = qk::OpenFailure::SilentClose};
static const qk::transfer::FileMember member{.extension = ".BMP"};

void qk::set_defaults() { qk::transfer::file_defaults(member); }
void qk::parse_arguments(int argc, char** argv) { qk::transfer::file_arguments(member, argc, argv); }
void qk::run_transfer() { qk::transfer::file_transfer(member); }
