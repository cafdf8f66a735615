// QKSLAR: bobr(type, number, i, i, buf, 2) for records first..last (default 0..4) into QKSLAR.ASC.
#include "download/range.h"

const qk::ToolInfo qk::qk_tool{.name = "QKSLAR", .data_function = "bobr"};
static const qk::download::RangeMember member{.call = qk::download::Call::SixConst, .constant = 2};

void qk::set_defaults() { qk::download::range_defaults(member); }
void qk::parse_arguments(int argc, char** argv) { qk::download::range_arguments(member, argc, argv); }
void qk::run_transfer() { qk::download::range_transfer(member); }
