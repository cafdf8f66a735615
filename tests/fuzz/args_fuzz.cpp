// The command-line readers on any argument: read_number against a
// reference held at the 32-bit limits, read_dest_type, and read_file_name,
// which must refuse what does not fit its 49 characters and never write past
// the field.
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "frame_stubs.h"

namespace {

long long reference(const char* c) {
    while (*c == ' ' || (*c >= '\t' && *c <= '\r')) ++c;
    bool negative = false;
    if (*c == '+' || *c == '-') negative = *c++ == '-';
    long long value = 0;
    for (; *c >= '0' && *c <= '9'; ++c) {
        value = value * 10 + (*c - '0');
        if (value > 1LL << 40) value = 1LL << 40;  // far beyond 32 bits: stays beyond
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string arg(reinterpret_cast<const char*>(data), size);
    const char* text = arg.c_str();  // up to the first zero byte, as argv holds it

    if (qk::read_number(text) != reference(text)) std::abort();

    int type = 'S';
    qk::read_dest_type(text, type);
    const char c0 = text[0];
    const int expected = (c0 == 't' || c0 == 'T') ? 'T' : 'S';
    if (type != expected) std::abort();

    qk::run.file_name_refused = false;
    std::strcpy(qk::run.file_name, "QKLOTR.ASC");
    qk::read_file_name(text);
    const std::size_t length = std::strlen(text);
    if (length > qk::kFileNameSize - 1) {
        if (!qk::run.file_name_refused || std::strcmp(qk::run.file_name, "QKLOTR.ASC") != 0) std::abort();
    } else {
        if (qk::run.file_name_refused || std::strcmp(qk::run.file_name, text) != 0) std::abort();
    }
    return 0;
}
