// QKDUMP's address reader and range plan on any text: the address is the
// sum of the positional digits modulo 2^32, computed here the slow way, and
// the plan of any two addresses covers the range exactly.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "transfer/hex_address.h"

using namespace qk::transfer;

namespace {

std::uint32_t slow(const std::string& text) {
    std::uint64_t value = 0;
    for (char c : text) {
        unsigned d = 0;
        if (c >= '0' && c <= '9') d = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f') d = static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F') d = static_cast<unsigned>(c - 'A' + 10);
        value = (value * 16 + d) & 0xFFFFFFFFu;
    }
    return static_cast<std::uint32_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Two arguments, split at the first zero byte, as on a command line.
    const std::string all(reinterpret_cast<const char*>(data), size);
    const std::size_t zero = all.find('\0');
    const std::string first = all.substr(0, zero);
    const std::string second = zero == std::string::npos ? std::string() : all.substr(zero + 1);
    const std::uint32_t start = read_hex_address(first.c_str());
    const std::uint32_t end = read_hex_address(second.c_str());
    if (start != slow(first) || end != slow(second.substr(0, second.find('\0')))) std::abort();

    const DumpPlan plan = plan_dump(start, end);
    if (plan.empty != (end < start)) std::abort();
    if (!plan.empty) {
        if (plan.length != static_cast<std::uint64_t>(end) - start + 1) std::abort();
        if (plan.blocks * 16 + plan.rest != plan.length || plan.rest > 15) std::abort();
        // The last full block starts inside the range, and the extra read
        // right after it.
        if (plan.blocks > 0 && block_address(start, plan.blocks - 1) > end - 15) std::abort();
        if (block_address(start, plan.blocks) != static_cast<std::uint32_t>(start + plan.blocks * 16)) std::abort();
    }
    return 0;
}
