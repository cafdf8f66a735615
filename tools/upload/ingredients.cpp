#include "upload/ingredients.h"

#include <cstdio>

#include "qk/frame.h"
#include "describe/common.h"
#include "upload/lines.h"

namespace qk::upload {
namespace {

using PliwFn = int(QK_STDCALL*)(int, int, int, int, char*);

constexpr int kNoIndex = -1;

unsigned char record[kIngredientBuffer];

Reference describe_family() {
    namespace d = qk::describe;
    Reference r;
    r.arguments = {d::type_argument(), d::number_argument(), d::first_argument(), d::last_argument(),
                   d::file_argument(5)};
    r.call = d::call("type, number, first, last, record") +
             " once for every record addressed to the destination whose index lies from first to last "
             "(the command line's first and last are passed, not the record's index)";
    r.data_file = d::file_name() + " read, binary (\"rb\"), byte by byte: records ended by a CR (the byte after "
                  "the CR is skipped), each opened by the line header (type letter at character 0, destination "
                  "number from character 2, record index from character 5) and cut to INGREDIENTS x 24 + 14 "
                  "characters (at most " + std::to_string(kIngredientBuffer - 1) + "); a last record without its "
                  "CR is not sent; the file is always read to its end";
    r.console = "first + the count of records sent so far, and a CR, after each record sent";
    r.escape = "checked after every record: 27 is logged and the upload ends";
    r.codes = {d::file_open_code(), {kGatewayCodes, "the data function's result: the upload ends"},
               d::cancel_code(), d::file_close_code()};
    return r;
}

}  // namespace

void ingredient_defaults() {
    set_describer(describe_family);
    qk::range_defaults(4);
}

void ingredient_transfer() {
    platform::File* f = open_data_file("rb");
    if (f == nullptr) return;

    const Target target{run.dest_type, run.dest_number, run.first_index, run.last_index, kNoIndex};
    CheckState state{kNoIndex};
    const std::size_t limit = ingredient_limit(run.params.ingredients);
    auto next = [f] {
        const int b = platform::read_byte(f);
        if (b >= 0) return b;
        return platform::read_failed(f) ? kByteFailed : kByteEnd;
    };
    RecordReader reader;
    unsigned progress = 0;  // accepted records, shown after first record index

    for (;;) {
        const RecordEnd end = reader.read(next, record, limit);
        const bool complete = end == RecordEnd::Complete || end == RecordEnd::CompleteAtEnd;
        // Records outside the range are passed over; the file is always read
        // to its end.
        if (complete && check_line(record, sizeof record, target, state) == 0 &&
            state.current_index != kNoIndex) {
            const int rc = data_function<PliwFn>()(run.dest_type, run.dest_number, run.first_index,
                                                   run.last_index, reinterpret_cast<char*>(record));
            if (rc != 0) {
                log(rc);
                break;
            }
            if (run.params.display != 0) {
                // Wraps like the 32-bit sum it is.
                std::printf("%d\r", static_cast<int>(static_cast<unsigned>(run.first_index) + progress));
                ++progress;
            }
        }
        // The keyboard is looked at once the record in hand has been handled.
        if (escape_pressed()) {
            log(kUserCancel);
            break;
        }
        if (end != RecordEnd::Complete) break;
    }
    close_data_file(f);
}

}  // namespace qk::upload
