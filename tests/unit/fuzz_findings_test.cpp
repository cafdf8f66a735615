// Regressions of what the fuzz targets (tests/fuzz) found, run in every
// build; the sanitizer build shows the undefined behaviour they had.
#include <gtest/gtest.h>

#include <vector>

#include "upload/lines.h"

namespace {

using namespace qk::upload;

// An empty line handed over without a buffer (an empty vector's data() is
// null): the compaction passed the null pointer to memcpy and memchr, which
// is undefined even for a count of 0.
TEST(FuzzFindings, CompactionOfAnEmptyLineWithoutABuffer) {
    std::vector<unsigned char> empty;
    std::vector<unsigned char> out(16, 0);
    EXPECT_EQ(compact_line(empty.data(), empty.size(), out.data(), out.size()), 8u);
    EXPECT_EQ(std::vector<unsigned char>(out.begin(), out.begin() + 9), std::vector<unsigned char>(9, 0));
    CheckState state{-1};
    EXPECT_EQ(check_line(empty.data(), empty.size(), Target{'S', 0, 0, 4, -1}, state), kOtherType);
}

}  // namespace
