// The upload line check and QKCBW's compaction on any line, in a buffer of
// exactly the line's size so that ASan sees any read past it. The compacted
// line must keep its first eight bytes, drop only blanks and stay terminated.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "upload/lines.h"

using namespace qk::upload;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<unsigned char> line(data, data + size);
    const Target targets[] = {{'S', 0, 0, 4, -1}, {'T', 1, -5, 2147483647, -1}, {'S', -2147483647 - 1, 0, 0, -7}};
    for (const Target& t : targets) {
        CheckState state{t.no_index};
        const int rc = check_line(line.data(), line.size(), t, state);
        if (rc != 0 && rc != kOtherType && rc != kOtherNumber) std::abort();
        if (rc == 0 && state.current_index != t.no_index &&
            (state.current_index < t.first_index || state.current_index > t.last_index)) {
            std::abort();
        }
    }
    for (std::size_t pos = 0; pos < 12; ++pos) header_number(line.data(), line.size(), pos);

    // The compaction of QKCBW, into the record-sized buffer and a tiny one.
    for (const std::size_t out_size : {std::size_t{4096}, std::size_t{9}, std::size_t{8}}) {
        std::vector<unsigned char> out(out_size, 0);
        const std::size_t n = compact_line(line.data(), line.size(), out.data(), out.size());
        if (out_size <= 8) {
            if (n != 0) std::abort();
            continue;
        }
        if (n < 8 || n > out_size - 1 || out[n] != 0) std::abort();
        const std::size_t head = size < 8 ? size : 8;
        if (head > 0 && std::memcmp(out.data(), line.data(), head) != 0) std::abort();
        // Nothing but the blanks after the head is dropped.
        const void* zero = size > 0 ? std::memchr(line.data(), 0, size) : nullptr;
        const std::size_t text = zero ? static_cast<std::size_t>(static_cast<const unsigned char*>(zero) - line.data())
                                      : size;
        std::size_t kept = 8;
        for (std::size_t i = 8; i < text; ++i) kept += line[i] != ' ';
        if (n != (kept < out_size ? kept : out_size - 1)) std::abort();
        // QKCBW reads the record index from the compacted line.
        CheckState state{-1};
        check_line(out.data(), out.size(), targets[0], state);
    }
    return 0;
}
