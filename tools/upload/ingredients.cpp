#include "upload/ingredients.h"

#include <cstdio>

#include "qk/frame.h"
#include "upload/lines.h"

namespace qk::upload {
namespace {

using PliwFn = int(QK_STDCALL*)(int, int, int, int, char*);

constexpr int kNoIndex = -1;

unsigned char record[kIngredientBuffer];

}  // namespace

void ingredient_defaults() {
    run.dest_type = 'S';
    run.dest_number = 0;
    run.first_index = 0;
    run.last_index = 4;
    default_file_name(".ASC");
    std::memset(run.record, 0, sizeof run.record);
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
