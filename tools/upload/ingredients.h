// Ingredient text upload (QKPLIW): records ended by a CR, read byte by byte,
// each at most INGREDIENTS x 24 + 14 characters long, checked with the line
// header rules and sent with the record range of the command line.
#pragma once

#include <cstddef>
#include <cstring>

namespace qk::upload {

constexpr std::size_t kIngredientBuffer = 4110;

// Characters of a record that are stored: INGREDIENTS x 24 + 14, computed
// without overflow, never below 0 and never more than the buffer holds with
// its terminating zero (4109).
constexpr std::size_t ingredient_limit(int ingredients) {
    const long long limit = static_cast<long long>(ingredients) * 24 + 14;
    if (limit <= 0) return 0;
    if (limit > static_cast<long long>(kIngredientBuffer - 1)) return kIngredientBuffer - 1;
    return static_cast<std::size_t>(limit);
}

// How the reading of one record ended.
enum class RecordEnd {
    Complete,       // its CR was read and the byte after it consumed
    CompleteAtEnd,  // its CR was read, and the file ended right after it
    Unterminated,   // the file ended before a CR: the record is not sent
    Failed,         // a read failed: the record is not sent
};

constexpr int kByteEnd = -1;     // next(): no further byte
constexpr int kByteFailed = -2;  // next(): the read failed

// Reads the records of a byte stream one after the other into a buffer of
// kIngredientBuffer bytes, which is zero beyond the record's text after every
// call (as if the buffer had been cleared before each record).
class RecordReader {
public:
    // next() returns the next byte (0..255), kByteEnd or kByteFailed.
    template <typename NextByte>
    RecordEnd read(NextByte&& next, unsigned char* buf, std::size_t limit) {
        if (limit > kIngredientBuffer - 1) limit = kIngredientBuffer - 1;
        std::memset(buf, 0, stored_);
        stored_ = 0;
        if (last_ != kCr) {
            for (;;) {
                const int b = next();
                if (b < 0) return b == kByteFailed ? RecordEnd::Failed : RecordEnd::Unterminated;
                last_ = b;
                if (b == kCr) break;
                if (stored_ < limit) buf[stored_++] = static_cast<unsigned char>(b);
            }
        }
        // The byte after the CR is consumed unstored; a CR there ends the
        // next record, which is then empty.
        const int b = next();
        if (b == kByteFailed) return RecordEnd::Failed;
        if (b == kByteEnd) return RecordEnd::CompleteAtEnd;
        last_ = b;
        return RecordEnd::Complete;
    }

    std::size_t stored() const { return stored_; }

private:
    static constexpr int kCr = 13;
    int last_ = 0;            // last byte read; not a CR before the first read
    std::size_t stored_ = 0;  // bytes of the buffer the last record filled
};

void ingredient_defaults();
void ingredient_transfer();

}  // namespace qk::upload
