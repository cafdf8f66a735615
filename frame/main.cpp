// main() of every tool: the run sequence of the frame.
#include "qk/frame.h"

int main(int argc, char** argv) { return qk::run_tool(argc, argv); }
