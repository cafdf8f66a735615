// QKLOTFILTW: lotfiltw records first..last (default 0..4) from QKLOTFILTW.ASC;
// four-argument call, text mode, index 39 is never sent.
#include "upload/record_file.h"

using namespace qk::upload;

const qk::ToolInfo qk::qk_tool{.name = "QKLOTFILTW", .data_function = "lotfiltw"};
static const RecordFileMember member{.call = Call::Four, .no_index = 39, .open_mode = "rt"};

void qk::set_defaults() { record_file_defaults(member); }
void qk::parse_arguments(int argc, char** argv) { upload_arguments(argc, argv); }
void qk::run_transfer() { record_file_transfer(member); }
