// What the download families share: the text of a record in a gateway
// buffer, and the argument positions they have in common.
#pragma once

#include <cstddef>
#include <cstring>

#include "qk/frame.h"

namespace qk::download {

// The text of a record: up to its first zero byte, and never past the
// record's bound even when the gateway left no zero byte in the buffer (then
// the whole bound is the text).
inline std::size_t text_length(const char* buf, std::size_t bound) {
    const void* zero = std::memchr(buf, 0, bound);
    return zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - buf) : bound;
}

// 1 type, 2 number, 3 first, 4 last, 5 data file name.
inline void read_range_arguments(int argc, char** argv) {
    read_destination(argc, argv);
    if (const char* a = argument(argc, argv, 3)) run.first_index = read_number(a);
    if (const char* a = argument(argc, argv, 4)) run.last_index = read_number(a);
    read_file_name(argument(argc, argv, 5));
}

// 1 type, 2 number, 3 data file name: the members that read no range.
inline void read_rangeless_arguments(int argc, char** argv) {
    read_destination(argc, argv);
    read_file_name(argument(argc, argv, 3));
}

}  // namespace qk::download
