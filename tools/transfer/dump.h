// Memory dump: a range of a scale's memory read in 16-byte blocks through
// the data function into a raw file, and listed on the console as dump
// lines when DISPLAY is set.
#pragma once

#include "qk/frame.h"

namespace qk::transfer {

void dump_defaults();
// 1 type, 2 number, 3 start address, 4 end address (hexadecimal), 5 data file
// name.
void dump_arguments(int argc, char** argv);
void dump_transfer();

}  // namespace qk::transfer
