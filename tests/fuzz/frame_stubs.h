// What a tool supplies to the frame, for fuzz targets that link the frame
// library but run no tool: the frame's run sequence is never entered.
#pragma once

#include "qk/frame.h"

const qk::ToolInfo qk::qk_tool{"QKFUZZ", "lotr"};
void qk::set_defaults() {}
void qk::parse_arguments(int, char**) {}
void qk::run_transfer() {}
