// The line header of an upload data file and the check that decides whether
// a line goes to the scales: destination type letter at character 0,
// destination number from character 2, record index from character 5.
//
// Pure functions over a byte buffer: every read stays within the size given,
// and a byte beyond it reads as the zero that fills the rest of a record
// buffer. Nothing here touches a file, the gateway or the run state.
#pragma once

#include <cstddef>

namespace qk::upload {

// Results of the check that never reach the error log.
constexpr int kOtherType = 37;    // type letter differs from the destination type
constexpr int kOtherNumber = 38;  // destination number differs

// What a line is checked against.
struct Target {
    int dest_type;    // character code of S or T
    int dest_number;
    int first_index;
    int last_index;
    int no_index;     // current index meaning "not sent"
};

// What the check leaves behind between lines.
struct CheckState {
    int current_index;       // index of the last line of the destination, or no_index
    bool range_end = false;  // a line of the destination lay above the last index
};

// atoi-style number read from buf[pos]: white space skipped, an optional
// sign, digits up to the first other byte; no digits give 0. Stops at the end
// of the buffer; held at the 32-bit limits.
int header_number(const unsigned char* buf, std::size_t size, std::size_t pos);

// Checks one line: 37 or 38 for a line of another destination (state
// untouched), otherwise 0 with the current index set to the record index
// when it lies within first..last, else to no_index; an index above the
// last one sets the range-end flag.
int check_line(const unsigned char* buf, std::size_t size, const Target& target, CheckState& state);

// Compaction of a line (QKCBW): the first eight bytes of in are copied as
// they are, then every byte of the text (up to its first zero byte, at most
// in_size bytes) after them that is not a blank. out must hold out_size bytes
// and be zero beyond what the previous call wrote; the result is the count of
// bytes written (at least eight, at most out_size - 1, so a zero always
// follows them).
std::size_t compact_line(const unsigned char* in, std::size_t in_size, unsigned char* out,
                         std::size_t out_size);

}  // namespace qk::upload
