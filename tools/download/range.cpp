#include "download/range.h"

#include <cstdio>
#include <cstring>

#include "describe/common.h"
#include "download/record.h"

namespace qk::download {
namespace {

using FiveFn = int(QK_STDCALL*)(int, int, int, int, char*);
using SixFn = int(QK_STDCALL*)(int, int, int, int, char*, int);
using SingleFn = int(QK_STDCALL*)(int, int, char*);

// The private buffer of the members that do not use the run's record buffer.
// It is as large as the run's, whatever the member's bound, so that a record
// longer than the bound never lands outside the tool's own memory.
unsigned char private_record[kRecordSize];

int call_for(const RangeMember& m, int index, char* buf) {
    switch (m.call) {
        case Call::SixConst:
            return data_function<SixFn>()(run.dest_type, run.dest_number, index, index, buf, m.constant);
        case Call::Single:
            return data_function<SingleFn>()(run.dest_type, run.dest_number, buf);
        case Call::Five: break;
    }
    return data_function<FiveFn>()(run.dest_type, run.dest_number, index, index, buf);
}

// One record: the call, then the echo and the file. false when the call
// failed (its code is logged, nothing is written).
bool read_record(const RangeMember& m, int index, char* buf, platform::File* f) {
    if (m.clear_every_call) std::memset(buf, 0, kRecordSize);
    const int rc = call_for(m, index, buf);
    if (rc != 0) {
        log(rc);
        if (m.keep_open_after_failure) run.skip_closesockets = true;
        return false;
    }
    const std::size_t n = platform::write_until_zero(f, buf, m.buffer);
    const bool display = run.params.display != 0;
    if (display && !m.echo_counter) std::fwrite(buf, 1, n, stdout);
    if (display && m.echo_counter) std::printf("%d\r", index);
    return true;
}

const RangeMember* described = nullptr;

Reference describe_member() {
    namespace d = qk::describe;
    const RangeMember& m = *described;
    Reference r;
    r.arguments = {d::type_argument(), d::number_argument()};
    const std::string buffer = m.private_buffer ? "its own buffer" : "the record buffer";
    if (m.call == Call::Single) {
        r.arguments.push_back(d::file_argument(3));
        r.call = d::call("type, number, buf") + " once, for one record";
    } else {
        r.arguments.insert(r.arguments.end(), {d::first_argument(), d::last_argument(), d::file_argument(5)});
        r.call = d::call(m.call == Call::SixConst ? "type, number, i, i, buf, " + std::to_string(m.constant)
                                                  : std::string("type, number, i, i, buf")) +
                 " for every index i from first to last, one record a call";
    }
    r.call += "; buf is " + buffer + ", " +
              (m.clear_every_call ? "zero-filled before every call" : "zero-filled once, before the connection") +
              "; a record's text is read up to its first zero byte, at most " + std::to_string(m.buffer) + " bytes";
    r.data_file = d::file_name() + " created afresh, binary (\"wb\"): the records' texts as returned, "
                  "concatenated, nothing added or translated";
    r.console = m.echo_counter ? "the record index and a CR after each record" : "each record's text as stored";
    const bool escape = m.keyboard_cancel && m.call != Call::Single;
    r.escape = escape ? "checked before every record: 27 is logged and the loop ends" : "not checked";
    r.codes.push_back(d::file_open_code());
    std::string failed = "the data function's result: the transfer ends";
    if (m.keep_open_after_failure) failed += ", the connection is left open (no closesockets)";
    r.codes.push_back({kGatewayCodes, failed});
    if (escape) r.codes.push_back(d::cancel_code());
    r.codes.push_back(d::file_close_code());
    return r;
}

}  // namespace

void range_defaults(const RangeMember& m) {
    described = &m;
    set_describer(describe_member);
    qk::range_defaults(m.last_index);
}

void range_arguments(const RangeMember& m, int argc, char** argv) {
    if (m.call == Call::Single) {
        read_rangeless_arguments(argc, argv);
    } else {
        read_range_arguments(argc, argv);
    }
}

void range_transfer(const RangeMember& m) {
    platform::File* f = open_data_file("wb");
    if (f == nullptr) return;
    char* buf = reinterpret_cast<char*>(m.private_buffer ? private_record : run.record);
    if (m.call == Call::Single) {
        read_record(m, 0, buf, f);
        close_data_file(f);
        return;
    }
    // The upper bound is compared as a signed 32-bit value; the index is kept
    // wider so that a range ending at the largest int still ends.
    for (long long i = run.first_index; i <= run.last_index; ++i) {
        if (m.keyboard_cancel && escape_pressed()) {
            log(kUserCancel);
            break;
        }
        if (!read_record(m, static_cast<int>(i), buf, f)) break;
    }
    close_data_file(f);
}

}  // namespace qk::download
