// Address arithmetic of the memory dump, kept free of the frame so that unit
// tests and fuzz targets can link it alone.
#pragma once

#include <cstdint>

namespace qk::transfer {

// Reads a memory address written in hexadecimal without prefix. Every
// character takes one position: the character at position i of a text of k
// characters is worth its digit value times 16 to the power k - 1 - i, and
// the address is the sum. 0-9, A-F and a-f are digits; any other character
// keeps its position but is worth 0 ("1x" is 0x10). The sum is taken modulo
// 2^32, so only the last eight characters can count. nullptr and "" give 0.
std::uint32_t read_hex_address(const char* text);

// How a dump of the inclusive range start..end is read: `blocks` full blocks
// of 16 bytes, then one more 16-byte read of which the first `rest` bytes are
// kept. An end below the start is an empty range: no read at all.
struct DumpPlan {
    bool empty = false;        // end below start: nothing is read
    std::uint64_t length = 0;  // end - start + 1 bytes, up to 2^32
    std::uint64_t blocks = 0;  // length / 16, up to 2^28
    unsigned rest = 0;         // length % 16
};
DumpPlan plan_dump(std::uint32_t start, std::uint32_t end);

// First address of block i: start + 16 * i, wrapping at 2^32 like the
// scale's 32-bit address space.
std::uint32_t block_address(std::uint32_t start, std::uint64_t block);

}  // namespace qk::transfer
