// QKOPVNW: opvnw records first..last (default 0..0) from QKOPVNW.ASC.
#include "upload/record_file.h"

using namespace qk::upload;

const qk::ToolInfo qk::qk_tool{.name = "QKOPVNW", .data_function = "opvnw"};
static const RecordFileMember member{.last_index = 0};

void qk::set_defaults() { record_file_defaults(member); }
void qk::parse_arguments(int argc, char** argv) { upload_arguments(argc, argv); }
void qk::run_transfer() { record_file_transfer(member); }
