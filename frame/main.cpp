// main() of every tool: the run sequence of the frame. With QK_DESCRIBE=1 in
// the environment the tool prints its reference entry instead and ends.
#include "qk/frame.h"

int main(int argc, char** argv) {
    if (qk::describe_requested()) return qk::describe_tool(argc, argv);
    return qk::run_tool(argc, argv);
}
