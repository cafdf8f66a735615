// QKCBW: cbw records first..last (default 0..4) from QKCBW.ASC; blanks after the eighth
// character dropped before the check.
#include "upload/record_file.h"

using namespace qk::upload;

const qk::ToolInfo qk::qk_tool{.name = "QKCBW", .data_function = "cbw"};
static const RecordFileMember member{.compact = true};

void qk::set_defaults() { record_file_defaults(member); }
void qk::parse_arguments(int argc, char** argv) { upload_arguments(argc, argv); }
void qk::run_transfer() { record_file_transfer(member); }
