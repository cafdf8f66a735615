// Fixed-size record download: each record is stored as exactly its kind's
// number of bytes (zero bytes included), as a rule followed by a line end,
// in a text-mode data file.
#pragma once

#include <cstddef>

#include "qk/frame.h"

namespace qk::download {

enum class FixedCall {
    Four,  // f(type, number, i, buf)
    Five,  // f(type, number, i, i, buf)
};

enum class Reading {
    Range,          // records first..last
    Single,         // record 0 once, after one Escape check
    HeaderCounted,  // header record 0, then records 1..count from the header
};

struct FixedMember {
    FixedCall call = FixedCall::Five;
    const char* mode = "a";     // "wt" starts the file afresh, "a" adds to it
    std::size_t size = 0;       // bytes stored per record
    bool newline = true;        // a line end after every record
    Reading reading = Reading::Range;
};

// Offset in the header record of the count of records that follow it.
constexpr std::size_t kCountOffset = 94;

void fixed_defaults();
// 1 type, 2 number, 3 first, 4 last, 5 data file name; the header member
// reads 1 type, 2 number, 3 data file name.
void fixed_arguments(const FixedMember& m, int argc, char** argv);
void fixed_transfer(const FixedMember& m);

// Shared with the configuration block download.
// Prints the record's text (up to its first zero byte, at most the buffer).
void echo_record(const char* buf, std::size_t buffer_size);
// Writes size bytes of the buffer, then a newline byte when asked to.
void store_record(platform::File* f, const char* buf, std::size_t size, bool newline);

}  // namespace qk::download
