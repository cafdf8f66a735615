// Record range download: one record per call of the data function, for
// every index of the range, appended as text to the data file.
#pragma once

#include <cstddef>

#include "qk/frame.h"

namespace qk::download {

enum class Call {
    Five,      // f(type, number, i, i, buf)
    SixConst,  // f(type, number, i, i, buf, constant)
    Single,    // f(type, number, buf): one record, no range, no keyboard check
};

struct RangeMember {
    Call call = Call::Five;
    int constant = 0;                  // sixth argument of the six-argument form
    int last_index = 4;                // default last record index
    std::size_t buffer = kRecordSize;  // bound of one record's text
    bool clear_every_call = false;     // buffer zero-filled before every call
    bool private_buffer = false;       // the transfer step's own buffer, not the run's
    bool keyboard_cancel = true;       // Escape ends the loop (logged 27)
    bool echo_counter = false;         // DISPLAY shows "%d\r" per record, not the text
    bool keep_open_after_failure = false;  // no closesockets after a failed call
};

void range_defaults(const RangeMember& m);
// 1 type, 2 number, 3 first, 4 last, 5 data file name; the single-call form
// reads 1 type, 2 number, 3 data file name.
void range_arguments(const RangeMember& m, int argc, char** argv);
void range_transfer(const RangeMember& m);

}  // namespace qk::download
