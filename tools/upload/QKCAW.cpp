// QKCAW: caw records first..last (default 0..4) from QKCAW.ASC.
#include "upload/record_file.h"

using namespace qk::upload;

const qk::ToolInfo qk::qk_tool{.name = "QKCAW", .data_function = "caw"};
static const RecordFileMember member{};

void qk::set_defaults() { record_file_defaults(member); }
void qk::parse_arguments(int argc, char** argv) { upload_arguments(argc, argv); }
void qk::run_transfer() { record_file_transfer(member); }
