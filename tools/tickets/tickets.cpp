#include "tickets/tickets.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

#include "describe/common.h"

namespace qk::tickets {
namespace {

using TicketFn = int(QK_STDCALL*)(int type, int number, int index, int index_again, char* buf,
                                  int closing);

constexpr std::size_t kLineBuffer = 4096;

int ticket_mode = 0;

struct Reader {
    const TicketMember& member;
    platform::File* file;
    char line[kLineBuffer] = {};
    int count = 0;           // lines waiting, as the gateway last said
    bool cancelled = false;  // Escape read: no further line is read

    int ask_count() { return run.nlin_volc_to_read(run.dest_type, run.dest_number, &count); }

    int call(long long index, int closing) {
        const int i = static_cast<int>(index);
        return data_function<TicketFn>()(run.dest_type, run.dest_number, i, i, line, closing);
    }

    // One line: keyboard, zero-fill, call, echo (also after a failed call),
    // store. false when the reading of lines ends here.
    bool read_line(long long index) {
        if (escape_pressed()) {
            log(kUserCancel);
            cancelled = true;
            return false;
        }
        std::memset(line, 0, sizeof line);
        const int rc = call(index, 0);
        if (run.params.display != 0) {
            // The text up to its zero byte, never past the buffer.
            const void* zero = std::memchr(line, 0, sizeof line);
            const std::size_t n = zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - line)
                                       : sizeof line;
            std::fwrite(line, 1, n, stdout);
        }
        if (rc != 0) {
            log(rc);
            return false;
        }
        platform::write_file(file, line, member.line_length);
        platform::write_file(file, "\n", 1);
        return true;
    }

    void closing_call() {
        if (const int rc = call(0, 1); rc != 0) log(rc);
    }

    // Modes 0 and 3: the lines first..last that lie below the count.
    void read_range() {
        if (const int rc = ask_count(); rc != 0) {
            log(rc);
            return;
        }
        const long long last = run.last_index;
        for (long long i = run.first_index; i < count && i <= last; ++i) {
            if (!read_line(i)) break;
        }
    }

    // Mode 1: passes while the gateway reports more lines than the pass base,
    // then the closing call.
    void read_passes() {
        if (const int rc = ask_count(); rc != 0) {
            log(rc);
            return;
        }
        if (count == 0) return;
        long long base = 0;  // wider than the count: adding never overflows
        if (count > 0) {
            for (;;) {
                // No index beyond the largest one the gateway can be given.
                const long long end = std::min(base + count, static_cast<long long>(INT_MAX) + 1);
                for (long long i = base; i < end; ++i) {
                    if (!read_line(i)) break;
                }
                base = end;
                if (cancelled) break;
                if (const int rc = ask_count(); rc != 0) {
                    log(rc);
                    break;
                }
                if (count <= base) break;
            }
        }
        closing_call();
    }

    // Mode 2: the closing call alone, when lines wait.
    void close_only() {
        if (const int rc = ask_count(); rc != 0) {
            log(rc);
            return;
        }
        std::memset(line, 0, sizeof line);
        if (count >= 1) closing_call();
    }
};

const TicketMember* described = nullptr;

Reference describe_member() {
    namespace d = qk::describe;
    Reference r;
    r.arguments = {d::type_argument(), d::number_argument(), d::first_argument(), d::last_argument(),
                   d::file_argument(5),
                   {6, "mode: ticket mode 0 to 3 (another mode reads nothing)", std::to_string(ticket_mode)}};
    r.call = "`NLinVolcToRead(type, number, &count)` for the count of waiting lines, then " +
             d::call("type, number, i, i, line, 0") + " per line; " + d::call("type, number, 0, 0, line, 1") +
             " is the closing call. Mode 0 and 3: lines first to last that lie below the count. Mode 1: passes of "
             "the lines base to base + count - 1 (base 0, then the end of the previous pass), asking the count "
             "again after each pass, while it is above the base; then the closing call (also after Escape). Mode 2: the closing call alone, when lines wait";
    r.data_file = d::file_name() + " added to, text mode (\"a\", every LF byte stored as CR LF): each line as "
                  "exactly " + std::to_string(described->line_length) + " bytes of the line buffer (zero bytes "
                  "included), then a line end";
    r.console = "each line's text up to its first zero byte, also after a failed call";
    r.escape = "checked before every line: 27 is logged and no further line is read";
    r.codes = {d::file_open_code(),
               {kGatewayCodes, "the result of NLinVolcToRead or of the data function: the reading ends"},
               d::cancel_code(), d::file_close_code()};
    return r;
}

}  // namespace

void ticket_defaults(const TicketMember& m) {
    described = &m;
    set_describer(describe_member);
    ticket_defaults();
}

void ticket_defaults() {
    qk::range_defaults(0);
    ticket_mode = 0;
}

void ticket_arguments(int argc, char** argv) {
    read_destination(argc, argv);
    if (const char* a = argument(argc, argv, 3)) run.first_index = read_number(a);
    if (const char* a = argument(argc, argv, 4)) run.last_index = read_number(a);
    read_file_name(argument(argc, argv, 5));
    if (const char* a = argument(argc, argv, 6)) ticket_mode = read_number(a);
}

void ticket_transfer(const TicketMember& m) {
    platform::File* f = open_data_file("a");
    if (f == nullptr) return;
    Reader r{m, f};
    switch (ticket_mode) {
        case 0: case 3: r.read_range(); break;
        case 1: r.read_passes(); break;
        case 2: r.close_only(); break;
        default: break;
    }
    close_data_file(f);
    std::fflush(stdout);
}

}  // namespace qk::tickets
