#include "upload/record_file.h"

#include <cstring>

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

}  // namespace

void record_file_defaults(const RecordFileMember& m) {
    run.dest_type = 'S';
    run.dest_number = 0;
    run.first_index = 0;
    run.last_index = m.last_index;
    default_file_name(".ASC");
    std::memset(run.record, 0, sizeof run.record);
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
