// The upload line check, the compaction of QKCBW and the ingredient record
// reader, in process.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "upload/ingredients.h"
#include "upload/lines.h"

namespace {

using qk::upload::check_line;
using qk::upload::CheckState;
using qk::upload::Target;

// A line in a zero-filled buffer of the record size.
std::vector<unsigned char> buffer(const std::string& line, std::size_t size = 4096) {
    std::vector<unsigned char> b(size, 0);
    std::memcpy(b.data(), line.data(), std::min(line.size(), size));
    return b;
}

struct CheckCase {
    const char* line;
    int result;
    int current;     // after the check (state starts at 77)
    bool range_end;
};

TEST(UploadLineCheck, HeaderFieldsAndResults) {
    const Target t{'S', 1, 2, 5, -1};
    const CheckCase cases[] = {
        {"S 01 003 x\n", 0, 3, false},
        {"s 01 003 x\n", 0, 3, false},        // letter upper-cased
        {"T 01 003 x\n", 37, 77, false},
        {"\xd3 01 003\n", 37, 77, false},     // only a-z change case
        {"S 02 003 x\n", 38, 77, false},
        {"S 02 999 x\n", 38, 77, false},      // another number never sets the flag
        {"T 01 999 x\n", 37, 77, false},
        {"S 1 003\n", 0, 3, false},           // number up to its first non-digit
        {"S  1 003\n", 0, 3, false},          // white space skipped
        {"S +1 0004\n", 0, 4, false},         // sign; index from character 5
        {"S 01 001 x\n", 0, -1, false},       // below the range
        {"S 01 006 x\n", 0, -1, true},        // above: range end
        {"S 01 -3\n", 0, -1, false},
        {"S 01 5kg\n", 0, 5, false},
        {"S 01\n", 0, -1, false},             // no index digits: 0
        {"", 37, 77, false},
        {"\n", 37, 77, false},
        {"S 01 99999999999999\n", 0, -1, true},  // held at the 32-bit limit
    };
    for (const CheckCase& c : cases) {
        SCOPED_TRACE(c.line);
        const auto b = buffer(c.line);
        CheckState s{77};
        EXPECT_EQ(check_line(b.data(), b.size(), t, s), c.result);
        EXPECT_EQ(s.current_index, c.current);
        EXPECT_EQ(s.range_end, c.range_end);
    }
}

TEST(UploadLineCheck, TypeLetterAloneIsRecordZeroOfNumberZero) {
    const auto b = buffer("S");
    CheckState s{-1};
    EXPECT_EQ(check_line(b.data(), b.size(), Target{'S', 0, 0, 4, -1}, s), 0);
    EXPECT_EQ(s.current_index, 0);
}

TEST(UploadLineCheck, TheRangeEndFlagIsNeverCleared) {
    const Target t{'S', 0, 0, 4, 39};
    CheckState s{39};
    const auto above = buffer("S 00 005\n"), inside = buffer("S 00 002\n");
    check_line(above.data(), above.size(), t, s);
    check_line(inside.data(), inside.size(), t, s);
    EXPECT_TRUE(s.range_end);
    EXPECT_EQ(s.current_index, 2);
}

// Numbers that run to the very end of the buffer stop there (the sanitizer
// build sees any read beyond it).
TEST(UploadLineCheck, ReadsStayWithinTheBuffer) {
    const std::string digits(64, '7');
    const auto b = buffer("S " + digits, 2 + digits.size());
    CheckState s{-1};
    EXPECT_EQ(check_line(b.data(), b.size(), Target{'S', 2147483647, 0, 4, -1}, s), 0);
    EXPECT_TRUE(s.range_end);
    EXPECT_EQ(qk::upload::header_number(b.data(), b.size(), b.size() + 10), 0);
    std::vector<unsigned char> one{'s'};
    EXPECT_EQ(check_line(one.data(), one.size(), Target{'S', 0, 0, 0, -1}, s), 0);
    EXPECT_EQ(s.current_index, 0);
}

TEST(UploadCompaction, BlanksAfterTheEighthCharacterDropped) {
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"S 00 001 a b\tc  d\r\n", "S 00 001ab\tcd\r\n"},
        {"S 00 001 5 kg\n", "S 00 0015kg\n"},
        {"S  0  01\n", "S  0  01\n"},  // blanks within the first eight stay
        {"S 00 00\n", "S 00 00\n"},
        {"S\n", "S\n"},
        {"", ""},
        {"S 00 001        \n", "S 00 001\n"},
    };
    std::vector<unsigned char> out(4096, 0);
    std::size_t used = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        std::memset(out.data(), 0, used);
        const auto in = buffer(c.in);
        used = qk::upload::compact_line(in.data(), in.size(), out.data(), out.size());
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(out.data())), c.out);
        // Zero behind the text, as in a freshly cleared buffer.
        for (std::size_t i = c.out.size(); i < 4096; ++i) ASSERT_EQ(out[i], 0) << i;
    }
}

TEST(UploadCompaction, StopsAtTheTextsZeroAndFitsTheBuffer) {
    std::vector<unsigned char> out(4096, 0);
    auto in = buffer("S 00 001 a\0b c\n");
    std::memcpy(in.data(), "S 00 001 a\0b c\n", 15);
    EXPECT_EQ(qk::upload::compact_line(in.data(), in.size(), out.data(), out.size()), 9u);
    EXPECT_STREQ(reinterpret_cast<const char*>(out.data()), "S 00 001a");
    // A full buffer without any zero still leaves a zero at the end.
    std::vector<unsigned char> full(4096, 'x');
    std::vector<unsigned char> small(100, 0);
    EXPECT_EQ(qk::upload::compact_line(full.data(), full.size(), small.data(), small.size()), 99u);
}

// ---- Ingredient records ------------------------------------------------------------

using qk::upload::RecordEnd;
using qk::upload::RecordReader;

struct Source {
    std::string bytes;
    std::size_t pos = 0;
    std::size_t fail_at = std::string::npos;
    int operator()() {
        if (pos == fail_at) return qk::upload::kByteFailed;
        if (pos >= bytes.size()) return qk::upload::kByteEnd;
        return static_cast<unsigned char>(bytes[pos++]);
    }
};

struct Read {
    RecordEnd end;
    std::string text;
};

std::vector<Read> read_all(Source src, std::size_t limit) {
    std::vector<unsigned char> buf(qk::upload::kIngredientBuffer, 0);
    RecordReader reader;
    std::vector<Read> out;
    for (int guard = 0; guard < 100; ++guard) {
        const RecordEnd end = reader.read([&] { return src(); }, buf.data(), limit);
        // The buffer is zero behind what the record stored.
        for (std::size_t i = reader.stored(); i < buf.size(); ++i) EXPECT_EQ(buf[i], 0) << i;
        out.push_back({end, std::string(reinterpret_cast<const char*>(buf.data()))});
        if (end != RecordEnd::Complete) break;
    }
    return out;
}

TEST(IngredientRecords, HowRecordsEnd) {
    using E = RecordEnd;
    struct Case {
        const char* what;
        std::string bytes;
        std::vector<std::pair<E, std::string>> records;
    };
    const Case cases[] = {
        {"CR LF", "ab\r\ncd\r\n", {{E::Complete, "ab"}, {E::Complete, "cd"}, {E::Unterminated, ""}}},
        {"bare CR at the end", "ab\r\ncd\r", {{E::Complete, "ab"}, {E::CompleteAtEnd, "cd"}}},
        {"no CR", "ab\ncd\n", {{E::Unterminated, "ab\ncd\n"}}},
        {"byte after CR consumed", "ab\rxcd\r\n", {{E::Complete, "ab"}, {E::Complete, "cd"}, {E::Unterminated, ""}}},
        {"CR CR", "ab\r\r\ncd\r\n",
         {{E::Complete, "ab"}, {E::Complete, ""}, {E::Complete, "cd"}, {E::Unterminated, ""}}},
        {"CR CR at the end", "ab\r\r", {{E::Complete, "ab"}, {E::CompleteAtEnd, ""}}},
        {"empty", "", {{E::Unterminated, ""}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto got = read_all(Source{c.bytes}, 254);
        ASSERT_EQ(got.size(), c.records.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].end, c.records[i].first) << i;
            EXPECT_EQ(got[i].text, c.records[i].second) << i;
        }
    }
}

TEST(IngredientRecords, LongRecordsAreCutAndTheBufferClearedBetween) {
    const auto got = read_all(Source{std::string(30, 'a') + "\r\nbb\r\n"}, 14);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].text, std::string(14, 'a'));
    EXPECT_EQ(got[1].text, "bb");
    // A limit larger than the buffer is held at 4109 stored bytes.
    const auto big = read_all(Source{std::string(5000, 'z') + "\r\n"}, 100000);
    EXPECT_EQ(big[0].text.size(), 4109u);
}

TEST(IngredientRecords, AFailedReadIsReported) {
    Source s{"ab\r\ncd\r\n"};
    s.fail_at = 5;
    const auto got = read_all(s, 254);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[1].end, RecordEnd::Failed);
    Source after_cr{"ab\r\n"};
    after_cr.fail_at = 3;
    EXPECT_EQ(read_all(after_cr, 254)[0].end, RecordEnd::Failed);
}

TEST(IngredientRecords, Limit) {
    EXPECT_EQ(qk::upload::ingredient_limit(10), 254u);
    EXPECT_EQ(qk::upload::ingredient_limit(0), 14u);
    EXPECT_EQ(qk::upload::ingredient_limit(170), 4094u);
    EXPECT_EQ(qk::upload::ingredient_limit(171), 4109u);
    EXPECT_EQ(qk::upload::ingredient_limit(2147483647), 4109u);
    EXPECT_EQ(qk::upload::ingredient_limit(-1), 0u);
    EXPECT_EQ(qk::upload::ingredient_limit(-2147483647 - 1), 0u);
}

}  // namespace
