#include "transfer/dump.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "describe/common.h"
#include "transfer/hex_address.h"

namespace qk::transfer {
namespace {

using DumpFn = int(QK_STDCALL*)(int type, int number, int address, int count, unsigned char* buf);

constexpr int kBlock = 16;

std::uint32_t start_address = 0;
std::uint32_t end_address = 0;

int read_block(std::uint32_t address, unsigned char* block) {
    // The address travels as the 32-bit pattern, also above 0x7fffffff.
    return data_function<DumpFn>()(run.dest_type, run.dest_number, static_cast<int>(address),
                                   kBlock, block);
}

void print_bytes(const unsigned char* bytes, unsigned count) {
    static const char digits[] = "0123456789ABCDEF";
    for (unsigned k = 0; k < count; ++k) {
        std::printf("%c", digits[bytes[k] >> 4]);
        std::printf("%c", digits[bytes[k] & 0x0f]);
        std::printf(" ");
    }
}

void print_line(std::uint32_t first, const unsigned char* bytes) {
    char from[9], to[9];
    std::snprintf(from, sizeof from, "%x", static_cast<unsigned>(first));
    std::snprintf(to, sizeof to, "%x", static_cast<unsigned>(first + 15u));
    std::printf("%s - %s: ", from, to);
    print_bytes(bytes, kBlock);
    std::printf("\n");
}

void read_range(platform::File* f, const DumpPlan& plan) {
    unsigned char block[kBlock + 1];  // 16 bytes and a terminating zero
    const bool display = run.params.display != 0;
    for (std::uint64_t i = 0; i < plan.blocks; ++i) {
        std::memset(block, 0, sizeof block);
        const std::uint32_t address = block_address(start_address, i);
        if (const int rc = read_block(address, block); rc != 0) {
            // The blocks before stay in the file; the rest is not read.
            log(rc);
            return;
        }
        platform::write_file(f, block, kBlock);
        if (display) print_line(address, block);
    }
    // The rest: one more 16-byte read, made also when no byte of it is kept.
    // The buffer keeps what the last block left in it.
    if (const int rc = read_block(block_address(start_address, plan.blocks), block); rc != 0) {
        log(rc);
        return;
    }
    platform::write_file(f, block, plan.rest);
    if (display) print_bytes(block, plan.rest);
}

Reference describe_family() {
    namespace d = qk::describe;
    char start[16], end[16];
    std::snprintf(start, sizeof start, "%X", static_cast<unsigned>(start_address));
    std::snprintf(end, sizeof end, "%X", static_cast<unsigned>(end_address));
    Reference r;
    r.arguments = {d::type_argument(), d::number_argument(),
                   {3, "start: first address, hexadecimal without prefix", start},
                   {4, "end: last address (included), hexadecimal", end}, d::file_argument(5)};
    r.call = d::call("type, number, address, " + std::to_string(kBlock) + ", buf") + " for every " +
             std::to_string(kBlock) + "-byte block from start to end, then once more for the last partial block "
             "(also when it is empty); nothing is asked when end is below start";
    r.data_file = d::file_name() + " created afresh, binary (\"wb\"): the raw bytes from start to end";
    r.console = "one line per full block, `100 - 10f: 00 1A ...` (addresses in lower-case hexadecimal, bytes in upper case), then the bytes of the partial block";
    r.escape = "not checked";
    r.codes = {d::file_open_code(), {kGatewayCodes, "the data function's result: the dump ends"},
               d::file_close_code()};
    return r;
}

}  // namespace

void dump_defaults() {
    set_describer(describe_family);
    run.dest_type = 'S';
    run.dest_number = 0;
    start_address = 0;
    end_address = 0;
    default_file_name(".BIN");
}

void dump_arguments(int argc, char** argv) {
    read_destination(argc, argv);
    if (const char* a = argument(argc, argv, 3)) start_address = read_hex_address(a);
    if (const char* a = argument(argc, argv, 4)) end_address = read_hex_address(a);
    read_file_name(argument(argc, argv, 5));
}

void dump_transfer() {
    platform::File* f = open_data_file("wb");
    if (f == nullptr) return;
    // An end below the start asks for no byte: the file is left empty and
    // the scale is not asked at all.
    const DumpPlan plan = plan_dump(start_address, end_address);
    if (!plan.empty) read_range(f, plan);
    close_data_file(f);
    std::fflush(stdout);
}

}  // namespace qk::transfer
