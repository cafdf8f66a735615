#include "download/fixed.h"

#include <cstdio>
#include <cstring>

#include "download/record.h"

namespace qk::download {
namespace {

using FourFn = int(QK_STDCALL*)(int, int, int, char*);
using FiveFn = int(QK_STDCALL*)(int, int, int, int, char*);

int call_for(const FixedMember& m, int index, char* buf) {
    if (m.call == FixedCall::Four) {
        return data_function<FourFn>()(run.dest_type, run.dest_number, index, buf);
    }
    return data_function<FiveFn>()(run.dest_type, run.dest_number, index, index, buf);
}

// One record: cleared buffer, the call, the echo (also of a failed call),
// then the record stored. false when the call failed (its code is logged).
bool read_record(const FixedMember& m, int index, char* buf, platform::File* f) {
    std::memset(buf, 0, kRecordSize);
    const int rc = call_for(m, index, buf);
    if (run.params.display != 0) echo_record(buf, kRecordSize);
    if (rc != 0) {
        log(rc);
        return false;
    }
    store_record(f, buf, m.size, m.newline);
    return true;
}

// The count of the header record: the number at its offset 94, read like a
// number of the command line, never past the buffer.
int header_count(const char* buf) {
    char text[kRecordSize - kCountOffset + 1];
    const std::size_t n = text_length(buf + kCountOffset, kRecordSize - kCountOffset);
    std::memcpy(text, buf + kCountOffset, n);
    text[n] = '\0';
    return read_number(text);
}

}  // namespace

void echo_record(const char* buf, std::size_t buffer_size) {
    std::fwrite(buf, 1, text_length(buf, buffer_size), stdout);
}

void store_record(platform::File* f, const char* buf, std::size_t size, bool newline) {
    platform::write_file(f, buf, size);
    if (newline) platform::write_file(f, "\n", 1);
}

void fixed_defaults() {
    run.dest_type = 'S';
    run.dest_number = 0;
    run.first_index = 0;
    run.last_index = 0;
    default_file_name(".ASC");
}

void fixed_arguments(const FixedMember& m, int argc, char** argv) {
    if (m.reading == Reading::HeaderCounted) {
        read_rangeless_arguments(argc, argv);
    } else {
        read_range_arguments(argc, argv);
    }
}

void fixed_transfer(const FixedMember& m) {
    platform::File* f = open_data_file(m.mode);
    if (f == nullptr) return;
    char buf[kRecordSize];
    switch (m.reading) {
        case Reading::Range:
            // Signed comparison; the wider index ends a range up to INT_MAX.
            for (long long i = run.first_index; i <= run.last_index; ++i) {
                if (escape_pressed()) {
                    log(kUserCancel);
                    break;
                }
                if (!read_record(m, static_cast<int>(i), buf, f)) break;
            }
            break;
        case Reading::Single:
            // The first and last index of the command line are not used.
            if (escape_pressed()) {
                log(kUserCancel);
            } else {
                read_record(m, 0, buf, f);
            }
            break;
        case Reading::HeaderCounted:
            if (!read_record(m, 0, buf, f)) break;
            for (long long i = 1, count = header_count(buf); i <= count; ++i) {
                if (escape_pressed()) {
                    log(kUserCancel);
                    break;
                }
                if (!read_record(m, static_cast<int>(i), buf, f)) break;
            }
            break;
    }
    close_data_file(f);
}

}  // namespace qk::download
