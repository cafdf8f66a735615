// QKLOGOW: QKLOGOW.BMP sent to the scales as their logo: logow(type, number,
// file name).
#include "transfer/file_transfer.h"

const qk::ToolInfo qk::qk_tool{.name = "QKLOGOW", .data_function = "logow",
                               .timeout_mode = qk::TimeoutMode::DisplayIsOne};
static const qk::transfer::FileMember member{.extension = ".BMP"};

void qk::set_defaults() { qk::transfer::file_defaults(member); }
void qk::parse_arguments(int argc, char** argv) { qk::transfer::file_arguments(member, argc, argv); }
void qk::run_transfer() { qk::transfer::file_transfer(member); }
