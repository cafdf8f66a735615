// QKTLOTW: tlotw records first..last (default 0..4) from QKTLOTW.ASC; echoed once
// accepted.
#include "upload/record_file.h"

using namespace qk::upload;

const qk::ToolInfo qk::qk_tool{.name = "QKTLOTW", .data_function = "tlotw"};
static const RecordFileMember member{.loop = Loop::EchoAfterSend};

void qk::set_defaults() { record_file_defaults(member); }
void qk::parse_arguments(int argc, char** argv) { upload_arguments(argc, argv); }
void qk::run_transfer() { record_file_transfer(member); }
