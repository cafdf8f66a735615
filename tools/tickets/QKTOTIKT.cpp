// QKTOTIKT: the waiting totals ticket lines through totikt, 151 bytes a line,
// appended to QKTOTIKT.ASC; ticket mode 0 to 3 (argument 6). Closes the
// connection even when it could not be opened.
#include "tickets/tickets.h"

const qk::ToolInfo qk::qk_tool{.name = "QKTOTIKT", .data_function = "totikt",
                               .counts_ticket_lines = true,
                               .open_failure = qk::OpenFailure::LogThenClose};
static const qk::tickets::TicketMember member{.line_length = 151};

void qk::set_defaults() { qk::tickets::ticket_defaults(member); }
void qk::parse_arguments(int argc, char** argv) { qk::tickets::ticket_arguments(argc, argv); }
void qk::run_transfer() { qk::tickets::ticket_transfer(member); }
