// QKCFGMR: one configuration block, cfgmr(type, number, kind, buf), appended
// to QKCFGMR.ASC as the kind's size in bytes plus a line end. Arguments:
// type, number, kind (1..11, default 1), data file name. Any other kind ends
// the run before the connection, silently; a connection that cannot be
// opened is still closed.
#include <cstdio>
#include <cstring>

#include "describe/common.h"
#include "download/fixed.h"

namespace {

constexpr std::size_t kBlockSize[] = {27, 23, 35, 36, 23, 38, 80, 97, 54, 32, 22};
constexpr int kKinds = static_cast<int>(sizeof kBlockSize / sizeof kBlockSize[0]);
int kind = 1;

bool kind_known() { return kind >= 1 && kind <= kKinds; }

using CfgmrFn = int(QK_STDCALL*)(int, int, int, char*);

qk::Reference describe_block() {
    namespace d = qk::describe;
    qk::Reference r;
    std::string sizes;
    for (int k = 1; k <= kKinds; ++k) {
        sizes += (k > 1 ? ", " : "") + std::to_string(k) + ": " + std::to_string(kBlockSize[k - 1]);
    }
    r.arguments = {d::type_argument(), d::number_argument(),
                   {3, "kind: configuration block kind, 1 to " + std::to_string(kKinds), std::to_string(kind)},
                   d::file_argument(4)};
    r.call = d::call("type, number, kind, buf") + " once; buf (4096 bytes) zero-filled";
    r.data_file = d::file_name() + " added to, text mode (\"a\", every LF byte stored as CR LF): the block as "
                  "exactly its kind's size in bytes (" + sizes + "), then a line end";
    r.console = "the block's text up to its first zero byte, then a line end";
    r.escape = "checked once, before the call: 27 is logged and nothing is read";
    r.codes = {d::file_open_code(), {qk::kGatewayCodes, "the data function's result"}, d::cancel_code(),
               d::file_close_code()};
    r.notes = "a kind outside 1 to " + std::to_string(kKinds) +
              " ends the run right after the arguments are read: no connection, no file, no log line";
    return r;
}

}  // namespace

const qk::ToolInfo qk::qk_tool{.name = "QKCFGMR", .data_function = "cfgmr",
                               .open_failure = qk::OpenFailure::LogThenClose,
                               .arguments_acceptable = kind_known};

void qk::set_defaults() {
    set_describer(describe_block);
    run.dest_type = 'S';
    run.dest_number = 0;
    kind = 1;
    default_file_name(".ASC");
}

void qk::parse_arguments(int argc, char** argv) {
    read_destination(argc, argv);
    if (const char* a = argument(argc, argv, 3)) kind = read_number(a);
    read_file_name(argument(argc, argv, 4));
}

void qk::run_transfer() {
    platform::File* f = open_data_file("a");
    if (f == nullptr) return;
    if (escape_pressed()) {
        log(kUserCancel);
    } else {
        char buf[kRecordSize] = {};
        const int rc = data_function<CfgmrFn>()(run.dest_type, run.dest_number, kind, buf);
        if (rc != 0) {
            log(rc);
        } else {
            if (run.params.display != 0) {
                download::echo_record(buf, sizeof buf);
                std::fputs("\n", stdout);
            }
            download::store_record(f, buf, kBlockSize[kind - 1], true);
        }
    }
    close_data_file(f);
}
