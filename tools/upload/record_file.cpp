#include "upload/record_file.h"

#include <cstring>

#include "describe/common.h"
#include "upload/lines.h"

namespace qk::upload {
namespace {

using FiveFn = int(QK_STDCALL*)(int, int, int, int, char*);
using FourFn = int(QK_STDCALL*)(int, int, int, char*);
using SixFn = int(QK_STDCALL*)(int, int, int, int, char*, int);

int send(const RecordFileMember& m, int index, char* line) {
    switch (m.call) {
        case Call::Four:
            return data_function<FourFn>()(run.dest_type, run.dest_number, index, line);
        case Call::SixSelector:
            return data_function<SixFn>()(run.dest_type, run.dest_number, index, index, line, m.selector);
        case Call::Five: break;
    }
    return data_function<FiveFn>()(run.dest_type, run.dest_number, index, index, line);
}

// Second buffer of the compacted line.
unsigned char compacted[kRecordSize];

const RecordFileMember* described = nullptr;

Reference describe_member() {
    namespace d = qk::describe;
    const RecordFileMember& m = *described;
    Reference r;
    r.arguments = {d::type_argument(), d::number_argument(), d::first_argument(), d::last_argument(),
                   d::file_argument(5)};
    std::string form = "type, number, index, index, line";
    if (m.call == Call::Four) form = "type, number, index, line";
    if (m.call == Call::SixSelector) form += ", " + std::to_string(m.selector);
    r.call = d::call(form) + " once for every line addressed to the destination whose record index lies "
             "from first to last";
    if (m.no_index != -1) r.call += " (index " + std::to_string(m.no_index) + " is never sent)";
    const std::string mode = m.open_mode;
    r.data_file = d::file_name() + " read, " +
                  (mode == "rt" ? std::string("text mode (\"rt\": CR LF read as LF, 0x1A ends the file)")
                                : "binary (\"" + mode + "\")") +
                  ": one record per line, each opened by the line header: type letter at character 0, "
                  "destination number from character 2, record index from character 5 (`S 01 003 ...`); lines "
                  "of other destinations are passed over; ";
    r.data_file += m.loop == Loop::ReadToEnd ? "the file is read to its end"
                                             : "the first line of the destination above last ends the reading";
    if (m.compact) r.data_file += "; blanks after the eighth character are dropped before the check and the send";
    r.console = m.loop == Loop::EchoAfterSend ? "each line once it was accepted" : "each line, before it is sent";
    r.escape = "checked before every line: 27 is logged and the upload ends";
    r.codes = {d::file_open_code(), {kGatewayCodes, "the data function's result: the upload ends"},
               d::cancel_code(), d::file_close_code()};
    return r;
}

}  // namespace

void record_file_defaults(const RecordFileMember& m) {
    described = &m;
    set_describer(describe_member);
    qk::range_defaults(m.last_index);
}

void upload_arguments(int argc, char** argv) {
    read_destination(argc, argv);
    if (const char* a = argument(argc, argv, 3)) run.first_index = read_number(a);
    if (const char* a = argument(argc, argv, 4)) run.last_index = read_number(a);
    read_file_name(argument(argc, argv, 5));
}

void record_file_transfer(const RecordFileMember& m) {
    platform::File* f = open_data_file(m.open_mode);
    if (f == nullptr) return;

    const Target target{run.dest_type, run.dest_number, run.first_index, run.last_index, m.no_index};
    CheckState state{m.no_index};
    char* const buf = reinterpret_cast<char*>(run.record);
    // Each line is read into a buffer that is zero beyond it, as if the whole
    // buffer had been cleared before the read: only the bytes the previous
    // line used can be other than zero, so only those are cleared.
    std::size_t used = 0;
    std::size_t compacted_used = 0;

    for (;;) {
        std::memset(buf, 0, used);
        used = platform::read_line(f, buf, kRecordSize - 1);
        // A failed read ends the upload as the end of the file does; the line
        // it cut short is not sent. A last line without a line end is sent
        // like any other.
        if (used == 0 || platform::read_failed(f)) break;
        if (state.range_end && m.loop != Loop::ReadToEnd) break;
        if (escape_pressed()) {
            log(kUserCancel);
            break;
        }
        unsigned char* line = run.record;
        if (m.compact) {
            std::memset(compacted, 0, compacted_used);
            compacted_used = compact_line(run.record, kRecordSize, compacted, sizeof compacted);
            line = compacted;
        }
        const int result = check_line(line, kRecordSize, target, state);
        if (result != 0 || state.current_index == m.no_index) continue;
        if (state.range_end && m.loop == Loop::ReadToEnd) continue;

        char* const text = reinterpret_cast<char*>(line);
        const bool display = run.params.display != 0;
        if (display && m.loop != Loop::EchoAfterSend) echo(text);
        if (const int rc = send(m, state.current_index, text); rc != 0) {
            log(rc);
            break;
        }
        if (display && m.loop == Loop::EchoAfterSend) echo(text);
    }
    close_data_file(f);
}

}  // namespace qk::upload
