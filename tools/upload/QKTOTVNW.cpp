// QKTOTVNW: totvnw records first..last (default 0..0) from QKTOTVNW.ASC.
#include "upload/record_file.h"

using namespace qk::upload;

const qk::ToolInfo qk::qk_tool{.name = "QKTOTVNW", .data_function = "totvnw"};
static const RecordFileMember member{.last_index = 0};

void qk::set_defaults() { record_file_defaults(member); }
void qk::parse_arguments(int argc, char** argv) { upload_arguments(argc, argv); }
void qk::run_transfer() { record_file_transfer(member); }
