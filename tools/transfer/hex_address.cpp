#include "transfer/hex_address.h"

namespace qk::transfer {
namespace {

std::uint32_t digit_value(char c) {
    if (c >= '0' && c <= '9') return static_cast<std::uint32_t>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<std::uint32_t>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return static_cast<std::uint32_t>(c - 'A' + 10);
    return 0;
}

}  // namespace

std::uint32_t read_hex_address(const char* text) {
    if (text == nullptr) return 0;
    // Left to right, each step moves the digits read so far up one position:
    // the same sum of digit times positional weight, in unsigned arithmetic
    // that simply drops what lies beyond 32 bits.
    std::uint32_t value = 0;
    for (const char* c = text; *c != '\0'; ++c) value = value * 16u + digit_value(*c);
    return value;
}

DumpPlan plan_dump(std::uint32_t start, std::uint32_t end) {
    DumpPlan p;
    if (end < start) {
        p.empty = true;
        return p;
    }
    p.length = static_cast<std::uint64_t>(end) - start + 1;
    p.blocks = p.length / 16;
    p.rest = static_cast<unsigned>(p.length % 16);
    return p;
}

std::uint32_t block_address(std::uint32_t start, std::uint64_t block) {
    return static_cast<std::uint32_t>(start + block * 16u);
}

}  // namespace qk::transfer
