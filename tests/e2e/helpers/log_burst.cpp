// qk_log_burst NAME COUNT: logs COUNT codes under the tool name NAME through
// the frame's error log, one after the other, cycling through codes with
// texts of their own and the generic text. A test-only program for the
// side-by-side tests: many of them append to one log at the same time.
#include <cstdlib>

#include "qk/frame.h"

const qk::ToolInfo qk::qk_tool{"QKLOGBURST", "lotr"};
void qk::set_defaults() {}
void qk::parse_arguments(int, char**) {}
void qk::run_transfer() {}

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    static const int codes[] = {8, 48, 5, -1, 123, 27, 47, 3};
    const int count = std::atoi(argv[2]);
    for (int i = 0; i < count; ++i) qk::log_error(codes[i % 8], argv[1]);
    qk::log_error(0, argv[1]);
    return 0;
}
