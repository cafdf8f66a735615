// QKCATW: bobw records first..last (default 0..4) from QKCATW.ASC; bobw table 1.
#include "upload/record_file.h"

using namespace qk::upload;

const qk::ToolInfo qk::qk_tool{.name = "QKCATW", .data_function = "bobw"};
static const RecordFileMember member{.call = Call::SixSelector, .selector = 1};

void qk::set_defaults() { record_file_defaults(member); }
void qk::parse_arguments(int argc, char** argv) { upload_arguments(argc, argv); }
void qk::run_transfer() { record_file_transfer(member); }
