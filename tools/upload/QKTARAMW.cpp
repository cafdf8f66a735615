// QKTARAMW: taramw records first..last (default 0..0) from QKTARAMW.ASC; four-argument
// call, the file is read to its end.
#include "upload/record_file.h"

using namespace qk::upload;

const qk::ToolInfo qk::qk_tool{.name = "QKTARAMW", .data_function = "taramw"};
static const RecordFileMember member{.call = Call::Four, .last_index = 0, .loop = Loop::ReadToEnd};

void qk::set_defaults() { record_file_defaults(member); }
void qk::parse_arguments(int argc, char** argv) { upload_arguments(argc, argv); }
void qk::run_transfer() { record_file_transfer(member); }
