// Totals ticket download: ask the gateway how many ticket lines wait, read
// them one per call in one of four ticket modes, and append each as a line
// of fixed length to the data file.
#pragma once

#include <cstddef>

#include "qk/frame.h"

namespace qk::tickets {

struct TicketMember {
    std::size_t line_length = 112;  // bytes of the line buffer stored per line
};

void ticket_defaults();
// The same, for the member whose reference entry is asked for.
void ticket_defaults(const TicketMember& m);
// 1 type, 2 number, 3 first, 4 last, 5 data file name, 6 ticket mode.
void ticket_arguments(int argc, char** argv);
void ticket_transfer(const TicketMember& m);

}  // namespace qk::tickets
