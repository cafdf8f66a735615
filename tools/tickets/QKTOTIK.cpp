// QKTOTIK: the waiting totals ticket lines through totik, 112 bytes a line,
// appended to QKTOTIK.ASC; ticket mode 0 to 3 (argument 6).
#include "tickets/tickets.h"

const qk::ToolInfo qk::qk_tool{.name = "QKTOTIK", .data_function = "totik",
                               .counts_ticket_lines = true};
static const qk::tickets::TicketMember member{.line_length = 112};

void qk::set_defaults() { qk::tickets::ticket_defaults(member); }
void qk::parse_arguments(int argc, char** argv) { qk::tickets::ticket_arguments(argc, argv); }
void qk::run_transfer() { qk::tickets::ticket_transfer(member); }
