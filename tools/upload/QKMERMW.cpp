// QKMERMW: mermw records first..last (default 0..4) from QKMERMW.ASC; the file is read
// to its end.
#include "upload/record_file.h"

using namespace qk::upload;

const qk::ToolInfo qk::qk_tool{.name = "QKMERMW", .data_function = "mermw"};
static const RecordFileMember member{.loop = Loop::ReadToEnd};

void qk::set_defaults() { record_file_defaults(member); }
void qk::parse_arguments(int argc, char** argv) { upload_arguments(argc, argv); }
void qk::run_transfer() { record_file_transfer(member); }
