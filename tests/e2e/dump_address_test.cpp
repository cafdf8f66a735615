// The memory dump's address reader and range arithmetic, in process: every
// character takes a position, only 32 bits count, and no range overflows.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "transfer/hex_address.h"

namespace {

using qk::transfer::block_address;
using qk::transfer::plan_dump;
using qk::transfer::read_hex_address;

struct AddressCase {
    const char* text;
    std::uint32_t value;
};

TEST(DumpAddress, PositionalWeights) {
    const AddressCase cases[] = {
        {"", 0},
        {"0", 0},
        {"1f", 31},
        {"1F", 31},
        {"aBcD", 0xabcd},
        {"100", 0x100},
        {"0000100", 0x100},
        {"ffffffff", 0xffffffffu},
        {"FFFFFFFF", 0xffffffffu},
        {"80000000", 0x80000000u},
        // A character that is no digit keeps its place and is worth 0.
        {"1x", 0x10},
        {"x1", 0x01},
        {"1g2", 0x102},
        {" 12", 0x012},
        {"0x10", 0x010},
        {"-1", 0x01},
        // Beyond eight characters only the last eight count.
        {"123456789", 0x23456789u},
        {"1ffffffff", 0xffffffffu},
        {"100000000", 0},
        {"fffffffffffffffffffffffffffffffffff0", 0xfffffff0u},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(read_hex_address(c.text), c.value) << '"' << c.text << '"';
    }
    EXPECT_EQ(read_hex_address(nullptr), 0u);
}

TEST(DumpAddress, VeryLongTextIsReadWithoutOverflow) {
    std::string text(100000, 'f');
    text += "12345678";
    EXPECT_EQ(read_hex_address(text.c_str()), 0x12345678u);
    std::string high(1 << 16, '\xff');  // bytes above 0x7f are no digits
    EXPECT_EQ(read_hex_address(high.c_str()), 0u);
}

TEST(DumpAddress, RangePlans) {
    struct PlanCase {
        std::uint32_t start, end;
        bool empty;
        std::uint64_t length, blocks;
        unsigned rest;
    };
    const PlanCase cases[] = {
        {0, 0, false, 1, 0, 1},
        {0x1f, 0x1f, false, 1, 0, 1},
        {0, 0x1f, false, 32, 2, 0},
        {0, 0x13, false, 20, 1, 4},
        {0x100, 0x10f, false, 16, 1, 0},
        {0, 0xffffffffu, false, 0x100000000ull, 0x10000000ull, 0},
        {0xfffffff0u, 0xffffffffu, false, 16, 1, 0},
        {0xffffffffu, 0xffffffffu, false, 1, 0, 1},
        {1, 0, true, 0, 0, 0},
        {0xffffffffu, 0, true, 0, 0, 0},
    };
    for (const auto& c : cases) {
        const auto p = plan_dump(c.start, c.end);
        EXPECT_EQ(p.empty, c.empty) << c.start << ".." << c.end;
        EXPECT_EQ(p.length, c.length) << c.start << ".." << c.end;
        EXPECT_EQ(p.blocks, c.blocks) << c.start << ".." << c.end;
        EXPECT_EQ(p.rest, c.rest) << c.start << ".." << c.end;
    }
}

TEST(DumpAddress, BlockAddressesWrapAt32Bits) {
    EXPECT_EQ(block_address(0x100, 0), 0x100u);
    EXPECT_EQ(block_address(0x100, 3), 0x130u);
    EXPECT_EQ(block_address(0xfffffff0u, 1), 0u);
    // The rest read after the last block of the whole address space.
    EXPECT_EQ(block_address(0, 0x10000000ull), 0u);
    EXPECT_EQ(block_address(0xffffffffu, 0x10000000ull), 0xffffffffu);
}

}  // namespace
