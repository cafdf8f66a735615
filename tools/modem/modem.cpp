#include "modem/modem.h"

#include <cstdio>
#include <cstring>

#include "describe/common.h"

namespace qk::modem {
namespace {

using InimodemFn = int(QK_STDCALL*)(int mode, char* text);

constexpr std::size_t kTextSize = 2000;  // at most 1999 characters and a zero

const ModeRow kModes[] = {
    {1, "office configuration:\n", true},
    {2, "shop configuration:\n", true},
    {3, "sending modem configuration...\n", false},
    {4, "sending modem configuration...\n", false},
    {5, "reading modem configuration:\n", true},
};

int mode = 1;

const ModeRow* find_mode(int m) {
    for (const auto& row : kModes) {
        if (row.mode == m) return &row;
    }
    return nullptr;
}

// The text up to its first zero byte, never past the buffer even when the
// gateway left no zero byte in it.
std::size_t text_length(const char* text) {
    const void* zero = std::memchr(text, 0, kTextSize);
    return zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - text) : kTextSize;
}

void transfer(platform::File* f) {
    const ModeRow* row = find_mode(mode);
    if (row == nullptr) return;  // the file stays created and empty
    const bool display = run.params.display != 0;
    if (display) echo(row->title);
    // Cleared for every mode: the sending modes hand the gateway no leftover
    // memory either.
    char text[kTextSize];
    std::memset(text, 0, sizeof text);
    const int rc = data_function<InimodemFn>()(mode, text);
    if (rc != 0) {
        log(rc);
        return;
    }
    if (row->reads) {
        const std::size_t n = text_length(text);
        platform::write_file(f, text, n);
        if (display) {
            std::fwrite(text, 1, n, stdout);
            echo("\n");
        }
    } else if (display) {
        echo("sending procedure finished\n");
    }
}

Reference describe_family() {
    namespace d = qk::describe;
    Reference r;
    std::string modes, titles;
    for (const auto& row : kModes) {
        modes += (modes.empty() ? "" : ", ") + std::to_string(row.mode) + (row.reads ? " reads" : " sends");
        std::string title = row.title;
        if (!title.empty() && title.back() == '\n') title.pop_back();
        titles += (titles.empty() ? "" : "; ") + std::to_string(row.mode) + ": \"" + title + "\"";
    }
    r.arguments = {{1, "mode: " + modes + "; another mode calls nothing", std::to_string(mode)},
                   d::file_argument(2)};
    r.call = d::call("mode, text") + " once; text is a buffer of " + std::to_string(kTextSize) +
             " bytes, zero-filled";
    r.data_file = d::file_name() + " created afresh for every mode, text mode (\"wt\", every LF byte stored as "
                  "CR LF): the configuration text of a reading mode, up to its first zero byte; empty otherwise. "
                  "A file that cannot be created ends the run without a log line";
    r.console = "the mode's title (" + titles + "), then the text read and a line end, or "
                "\"sending procedure finished\" for a sending mode";
    r.escape = "not checked";
    r.codes = {{kFileOpen, "the data file name is over 49 characters (no file is touched)"},
               {kGatewayCodes, "the data function's result"}};
    r.notes = "no connection is opened: no setdebug, settimeouts, opensocket or closesockets";
    return r;
}

}  // namespace

void modem_defaults() {
    set_describer(describe_family);
    earlier_gateway_defaults(run.params);
    mode = 1;
    default_file_name(".ASC");
}

void modem_arguments(int argc, char** argv) {
    if (const char* a = argument(argc, argv, 1)) mode = read_number(a);
    read_file_name(argument(argc, argv, 2));
}

void modem_transfer() {
    // A name too long for its field is refused (48) and no file is touched;
    // a file that cannot be created ends the transfer without a word.
    if (run.file_name_refused) {
        log(kFileOpen);
        return;
    }
    // Created for every mode, replacing any file of that name.
    platform::File* f = platform::open_file(run.file_name, "wt");
    if (f == nullptr) return;
    transfer(f);
    // Closed when the transfer is over; a failed close is not reported.
    platform::close_file(f);
}

}  // namespace qk::modem
