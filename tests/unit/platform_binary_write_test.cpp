// Binary writes of record-sized pieces, as the downloads make them: a piece
// that fits the file buffer is copied into it at once, one that does not is
// split across the flush. Every byte must come out once and in order, whatever
// the sizes and wherever a piece meets the end of the buffer.
#include <string>

#include "platform_scratch.h"
#include "qk/platform.h"

namespace platform_test {
namespace {

using namespace qk::platform;

class PlatformBinaryWrites : public PlatformScratch {};

std::string piece(std::size_t size, int seed) {
    std::string s(size, '\0');
    for (std::size_t k = 0; k < size; ++k) s[k] = static_cast<char>((seed * 31 + k * 7) & 0xFF);  // zeros, CR, LF too
    return s;
}

TEST_F(PlatformBinaryWrites, PiecesOfEverySizeComeOutWholeAndInOrder) {
    constexpr std::size_t kBuffer = 256 * 1024;  // a written file's buffer
    struct Case {
        const char* name;
        std::size_t first;  // a first piece that sets where the later ones meet the buffer's end
        std::size_t size;   // then pieces of this size (0: sizes 1 to 97 in turn)
        int count;
    };
    const Case cases[] = {
        {"records of 60 bytes", 0, 60, 5000},
        {"varying sizes", 0, 0, 8000},
        {"exactly fills the buffer, then more", kBuffer - 60, 60, 10},
        {"one byte short of full", kBuffer - 61, 60, 10},
        {"a whole buffer at once", 0, kBuffer, 3},
        {"a buffer less one byte, twice", 0, kBuffer - 1, 2},
        {"a short file", 10, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        File* f = open_file("out.bin", "wb");
        ASSERT_NE(f, nullptr);
        std::string expected;
        auto write = [&](const std::string& p) {
            ASSERT_EQ(write_file(f, p.data(), p.size()), p.size());
            expected += p;
        };
        write(piece(c.first, 1));
        write(std::string());
        for (int i = 0; i < c.count; ++i) write(piece(c.size != 0 ? c.size : 1 + i % 97, i));
        write(std::string());
        ASSERT_TRUE(close_file(f));
        EXPECT_EQ(get("out.bin"), expected);
    }
}

}  // namespace
}  // namespace platform_test
