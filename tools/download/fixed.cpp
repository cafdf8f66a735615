#include "download/fixed.h"

#include <cstdio>
#include <cstring>

#include "describe/common.h"
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

const FixedMember* described = nullptr;

Reference describe_member() {
    namespace d = qk::describe;
    const FixedMember& m = *described;
    Reference r;
    r.arguments = {d::type_argument(), d::number_argument()};
    const std::string form = m.call == FixedCall::Four ? "type, number, i, buf" : "type, number, i, i, buf";
    switch (m.reading) {
        case Reading::Range:
            r.arguments.insert(r.arguments.end(), {d::first_argument(), d::last_argument(), d::file_argument(5)});
            r.call = d::call(form) + " for every index i from first to last";
            r.escape = "checked before every record: 27 is logged and the loop ends";
            break;
        case Reading::Single:
            r.arguments.insert(r.arguments.end(), {d::first_argument(), d::last_argument(), d::file_argument(5)});
            r.call = d::call(form) + " once, for record 0 (first and last are read but not used)";
            r.escape = "checked once, before the call: 27 is logged and nothing is read";
            break;
        case Reading::HeaderCounted:
            r.arguments.push_back(d::file_argument(3));
            r.call = d::call(form) + " for the header record 0, then for records 1 to the count written at offset " +
                     std::to_string(kCountOffset) + " of the header";
            r.escape = "checked before every record after the header: 27 is logged and the loop ends";
            break;
    }
    r.call += "; buf (4096 bytes) is zero-filled before every call";
    const std::string mode = m.mode;
    r.data_file = d::file_name() + (mode == "a" ? " added to" : " created afresh") + ", text mode (\"" + mode +
                  "\", every LF byte stored as CR LF): each record as exactly " + std::to_string(m.size) + " bytes (zero bytes included)" +
                  (m.newline ? ", then a line end" : "");
    r.console = "each record's text up to its first zero byte, also after a failed call";
    r.codes = {d::file_open_code(), {kGatewayCodes, "the data function's result: the transfer ends"}};
    r.codes.push_back(d::cancel_code());
    r.codes.push_back(d::file_close_code());
    return r;
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
    qk::range_defaults(0);
}

void fixed_arguments(const FixedMember& m, int argc, char** argv) {
    described = &m;
    set_describer(describe_member);
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
