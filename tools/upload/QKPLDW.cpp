// QKPLDW: pldw records first..last (default 0..4) from QKPLDW.ASC; index 1000 is never
// sent.
#include "upload/record_file.h"

using namespace qk::upload;

const qk::ToolInfo qk::qk_tool{.name = "QKPLDW", .data_function = "pldw"};
static const RecordFileMember member{.no_index = 1000};

void qk::set_defaults() { record_file_defaults(member); }
void qk::parse_arguments(int argc, char** argv) { upload_arguments(argc, argv); }
void qk::run_transfer() { record_file_transfer(member); }
