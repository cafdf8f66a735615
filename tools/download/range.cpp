#include "download/range.h"

#include <cstdio>
#include <cstring>

namespace qk::download {
namespace {

using FiveFn = int(QK_STDCALL*)(int, int, int, int, char*);
using SixFn = int(QK_STDCALL*)(int, int, int, int, char*, int);

int call_for(const RangeMember& m, int index, char* buf) {
    if (m.call == Call::SixConst) {
        return data_function<SixFn>()(run.dest_type, run.dest_number, index, index, buf, m.constant);
    }
    return data_function<FiveFn>()(run.dest_type, run.dest_number, index, index, buf);
}

// The text of a record: up to its first zero byte, and never past the buffer
// even when the gateway left no zero byte in it.
std::size_t text_length(const char* buf, std::size_t size) {
    const void* zero = std::memchr(buf, 0, size);
    return zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - buf) : size;
}

}  // namespace

void range_defaults(const RangeMember& m) {
    run.dest_type = 'S';
    run.dest_number = 0;
    run.first_index = 0;
    run.last_index = m.last_index;
    default_file_name(".ASC");
    std::memset(run.record, 0, sizeof run.record);
}

void range_arguments(int argc, char** argv) {
    read_destination(argc, argv);
    if (const char* a = argument(argc, argv, 3)) run.first_index = read_number(a);
    if (const char* a = argument(argc, argv, 4)) run.last_index = read_number(a);
    read_file_name(argument(argc, argv, 5));
}

void range_transfer(const RangeMember& m) {
    platform::File* f = open_data_file("wb");
    if (f == nullptr) return;
    char* buf = reinterpret_cast<char*>(run.record);
    // The upper bound is compared as a signed 32-bit value; the index is kept
    // wider so that a range ending at the largest int still ends.
    for (long long i = run.first_index; i <= run.last_index; ++i) {
        if (escape_pressed()) {
            log(kUserCancel);
            break;
        }
        if (m.clear_every_call) std::memset(buf, 0, m.buffer);
        const int rc = call_for(m, static_cast<int>(i), buf);
        if (rc != 0) {
            log(rc);
            break;
        }
        const std::size_t n = text_length(buf, m.buffer);
        if (run.params.display != 0) {
            std::fwrite(buf, 1, n, stdout);
        }
        platform::write_file(f, buf, n);
    }
    close_data_file(f);
}

}  // namespace qk::download
