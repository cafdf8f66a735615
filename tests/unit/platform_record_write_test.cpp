// Records written up to their first zero byte (write_until_zero), as the
// range downloads store them: the one-pass copy in both of its forms, and the
// file around it (buffer edges, text mode, a failed file).
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "copy_until_zero.h"
#include "platform_scratch.h"
#include "qk/platform.h"

namespace platform_test {
namespace {

using namespace qk::platform;

using CopyForm = std::size_t (*)(char*, const char*, std::size_t);

struct Form {
    const char* name;
    CopyForm copy;
};

const Form kForms[] = {
    {"words", detail::copy_until_zero_words},
#if defined(__SSE2__)
    {"blocks", detail::copy_until_zero_blocks},
#endif
};

// A source of exactly `bound` bytes on the heap, so that a read past it is
// caught by the address sanitizer: `length` text bytes, then (when it fits) a
// zero, then 'y' bytes that must never be copied.
std::unique_ptr<char[]> source(std::size_t bound, std::size_t length) {
    std::unique_ptr<char[]> src(new char[bound == 0 ? 1 : bound]);
    for (std::size_t k = 0; k < bound; ++k) src[k] = k < length ? static_cast<char>('A' + k % 26) : 'y';
    if (length < bound) src[length] = '\0';
    return src;
}

TEST(CopyUntilZero, StopsAtTheZeroOrTheBoundInEveryForm) {
    struct Case {
        std::size_t length;  // bytes before the zero (== bound: no zero at all)
        std::size_t bound;
    };
    std::vector<Case> cases;
    for (std::size_t length : {0, 1, 7, 8, 9, 15, 16, 17, 31, 32, 33, 59, 60, 63, 64, 65, 79, 127, 128, 129, 200}) {
        cases.push_back({length, 4096});
        cases.push_back({length, length + 1});  // the zero is the last byte
        cases.push_back({length, length});      // no zero: the bound ends it
    }
    for (std::size_t bound : {1, 5, 8, 13, 16, 21, 40, 64, 70, 99}) cases.push_back({100, bound});  // cut before the zero
    for (const Form& form : kForms) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(form.name) + " length " + std::to_string(c.length) + " bound " +
                         std::to_string(c.bound));
            const std::size_t want = std::min(c.length, c.bound);
            const auto src = source(c.bound, std::min(c.length, c.bound));
            std::vector<char> dst(c.bound + 64, '#');
            ASSERT_EQ(form.copy(dst.data(), src.get(), c.bound), want);
            EXPECT_EQ(std::string(dst.data(), want), std::string(src.get(), want));
        }
    }
}

class RecordWrites : public PlatformScratch {};

std::string record(std::size_t length, int seed) {
    std::string s(length, 'x');
    for (std::size_t k = 0; k < length; ++k) s[k] = static_cast<char>(1 + (seed * 31 + k * 7) % 255);  // never zero
    return s;
}

// Records of every length, and so every position against the end of the
// buffer, come out whole and in order, each cut at its zero byte or bound.
TEST_F(RecordWrites, RecordsComeOutWholeAcrossBufferEdges) {
    constexpr std::size_t kBound = 4096;
    File* f = open_file("out.bin", "wb");
    ASSERT_NE(f, nullptr);
    std::string expected;
    std::vector<char> buf(kBound + 1);
    for (int i = 0; i < 20000; ++i) {
        // Mostly short records; now and then one that fills the whole bound
        // with no zero byte, so that the buffer's end falls everywhere.
        const std::size_t length = i % 97 == 0 ? kBound : static_cast<std::size_t>(i % 131);
        const std::string text = record(length, i);
        std::memcpy(buf.data(), text.data(), length);
        buf[length] = '\0';
        buf[kBound] = 'y';  // beyond the bound: never taken
        ASSERT_EQ(write_until_zero(f, buf.data(), kBound), length);
        expected += text;
    }
    ASSERT_TRUE(close_file(f));
    EXPECT_EQ(get("out.bin"), expected);
}

// A record buffer of `size` bytes holding text (and zeros after it).
std::vector<char> held(const std::string& text, std::size_t size) {
    std::vector<char> buf(size, '\0');
    std::memcpy(buf.data(), text.data(), std::min(text.size(), size));
    return buf;
}

TEST_F(RecordWrites, MixesWithOtherWritesAndTextMode) {
    File* f = open_file("mixed.bin", "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(write_file(f, "head|", 5), 5u);
    ASSERT_EQ(write_until_zero(f, held(std::string("one\nrecord\0tail", 15), 100).data(), 100), 10u);
    const std::string block(600000, 'b');  // larger than the buffer: straight through
    ASSERT_EQ(write_file(f, block.data(), block.size()), block.size());
    ASSERT_EQ(write_until_zero(f, held("two", 3).data(), 3), 3u);
    ASSERT_TRUE(close_file(f));
    EXPECT_EQ(get("mixed.bin"), "head|one\nrecord" + block + "two");

    // Text mode translates each LF, as every text write does.
    f = open_file("mixed.asc", "wt");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(write_until_zero(f, held(std::string("a\nb\0c", 5), 10).data(), 10), 3u);
    ASSERT_TRUE(close_file(f));
    EXPECT_EQ(get("mixed.asc"), "a\r\nb");
}

TEST_F(RecordWrites, BoundsLargerThanTheBufferAndNoFile) {
    // A bound beyond the buffer's size still finds the zero byte.
    std::vector<char> big(1 << 20, 'q');
    big[300000] = '\0';
    File* f = open_file("big.bin", "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(write_until_zero(f, big.data(), big.size()), 300000u);
    ASSERT_TRUE(close_file(f));
    EXPECT_EQ(get("big.bin"), std::string(300000, 'q'));

    // Without a file (or a text) nothing is stored, the length still told.
    EXPECT_EQ(write_until_zero(nullptr, held("abc", 8).data(), 8), 3u);
    EXPECT_EQ(write_until_zero(nullptr, nullptr, 8), 0u);
}

}  // namespace
}  // namespace platform_test
