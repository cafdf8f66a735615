// QKPLIW: uploads pliw ingredient texts, records ended by CR, of the range
// first..last (default 0..4) from QKPLIW.ASC; INGREDIENTS sizes the records
// and is the connection's count.
#include "upload/ingredients.h"
#include "upload/record_file.h"

using namespace qk::upload;

const qk::ToolInfo qk::qk_tool{.name = "QKPLIW", .data_function = "pliw",
                               .socket_count = qk::SocketCount::Ingredients};

void qk::set_defaults() { ingredient_defaults(); }
void qk::parse_arguments(int argc, char** argv) { upload_arguments(argc, argv); }
void qk::run_transfer() { ingredient_transfer(); }
