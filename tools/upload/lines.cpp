#include "upload/lines.h"

#include <climits>
#include <cstring>

namespace qk::upload {
namespace {

unsigned char at(const unsigned char* buf, std::size_t size, std::size_t pos) {
    return pos < size ? buf[pos] : 0;
}

bool is_space(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool is_digit(unsigned char c) { return c >= '0' && c <= '9'; }

}  // namespace

int header_number(const unsigned char* buf, std::size_t size, std::size_t pos) {
    if (pos >= size) return 0;
    const unsigned char* p = buf + pos;
    const unsigned char* const end = buf + size;
    while (p != end && is_space(*p)) ++p;
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    long long value = 0;
    for (; p != end && is_digit(*p); ++p) {
        if (value <= INT_MAX) value = value * 10 + (*p - '0');
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

int check_line(const unsigned char* buf, std::size_t size, const Target& target, CheckState& state) {
    unsigned char letter = at(buf, size, 0);
    if (letter >= 'a' && letter <= 'z') letter = static_cast<unsigned char>(letter - 'a' + 'A');
    if (letter != target.dest_type) return kOtherType;
    if (header_number(buf, size, 2) != target.dest_number) return kOtherNumber;
    const int index = header_number(buf, size, 5);
    const bool in_range = target.first_index <= index && index <= target.last_index;
    state.current_index = in_range ? index : target.no_index;
    if (index > target.last_index) state.range_end = true;
    return 0;
}

std::size_t compact_line(const unsigned char* in, std::size_t in_size, unsigned char* out,
                         std::size_t out_size) {
    constexpr std::size_t kKept = 8;
    if (out_size <= kKept) return 0;
    const std::size_t head = in_size < kKept ? in_size : kKept;
    // An empty line may come without any buffer at all: nothing to copy or
    // search then.
    if (head > 0) std::memcpy(out, in, head);
    const void* zero = in_size > 0 ? std::memchr(in, 0, in_size) : nullptr;
    const std::size_t text = zero ? static_cast<std::size_t>(static_cast<const unsigned char*>(zero) - in)
                                  : in_size;
    std::size_t o = kKept;
    for (std::size_t i = kKept; i < text && o < out_size - 1; ++i) {
        if (in[i] != ' ') out[o++] = in[i];
    }
    return o;
}

}  // namespace qk::upload
