// QKRACW: bobw records first..last (default 0..4) from QKRACW.ASC; bobw table 0.
#include "upload/record_file.h"

using namespace qk::upload;

const qk::ToolInfo qk::qk_tool{.name = "QKRACW", .data_function = "bobw"};
static const RecordFileMember member{.call = Call::SixSelector, .selector = 0};

void qk::set_defaults() { record_file_defaults(member); }
void qk::parse_arguments(int argc, char** argv) { upload_arguments(argc, argv); }
void qk::run_transfer() { record_file_transfer(member); }
