// Image and label file transfer: one call of the data function hands the
// destination and the data file name to the gateway, which opens, reads or
// writes the file itself. No loop, no console output, no keyboard check.
#pragma once

#include "qk/frame.h"

namespace qk::transfer {

struct FileMember {
    const char* extension = ".BMP";  // default data file name: tool name + this
    bool has_label = false;          // f(type, number, label, name) instead of f(type, number, name)
    int label_default = 0;
    // The connection stays open after a failed data call (closesockets is
    // not called then).
    bool keeps_connection_on_failure = false;
};

void file_defaults(const FileMember& m);
// 1 type, 2 number, then 3 data file name, or 3 label number and 4 data file
// name for the label tools.
void file_arguments(const FileMember& m, int argc, char** argv);
void file_transfer(const FileMember& m);

}  // namespace qk::transfer
