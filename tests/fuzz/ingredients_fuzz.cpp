// The ingredient record reader on any byte stream, with any INGREDIENTS
// value (the first four bytes), each record checked by the line check as
// QKPLIW does. The record buffer is exactly 4110 bytes, so ASan sees any
// write past it; every record must stay within the limit, be zero behind
// and keep a terminating zero.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "upload/ingredients.h"
#include "upload/lines.h"

using namespace qk::upload;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    std::int32_t ingredients = 0;
    std::memcpy(&ingredients, data, 4);
    data += 4;
    size -= 4;
    const std::size_t limit = ingredient_limit(ingredients);
    if (limit > kIngredientBuffer - 1) std::abort();

    std::vector<unsigned char> record(kIngredientBuffer, 0);
    std::size_t pos = 0;
    // A read failure where the stream has a 0xFE 0xFE pair, so that both ways
    // a stream ends are reached.
    auto next = [&]() -> int {
        if (pos >= size) return kByteEnd;
        if (pos + 1 < size && data[pos] == 0xFE && data[pos + 1] == 0xFE) return kByteFailed;
        return data[pos++];
    };
    RecordReader reader;
    const Target target{'S', 0, 0, 4, -1};
    CheckState state{-1};
    std::size_t before = 0;  // bytes the previous record filled
    for (int records = 0; records < 100000; ++records) {
        const RecordEnd end = reader.read(next, record.data(), limit);
        if (reader.stored() > limit) std::abort();
        // Zero behind the record: what the previous one left is cleared.
        for (std::size_t i = reader.stored(); i < before || i == reader.stored(); ++i) {
            if (record[i] != 0) std::abort();
        }
        before = reader.stored();
        if (end == RecordEnd::Complete || end == RecordEnd::CompleteAtEnd) {
            check_line(record.data(), record.size(), target, state);
        }
        if (end != RecordEnd::Complete) break;
    }
    return 0;
}
