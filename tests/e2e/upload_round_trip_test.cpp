// The round trip of the demo: lots downloaded from one scale, edited,
// uploaded to another scale, downloaded from there again: the second
// download is the edited file, byte for byte.
#include <string>

#include "harness.h"

namespace e2e {
namespace {

class UploadRoundTrip : public Scratch {};

TEST_F(UploadRoundTrip, DownloadEditUploadDownload) {
    pargat();
    for (int i = 0; i < 4; ++i) seed(1, "lot", i, "T 01 00" + std::to_string(i) + " LOT-" + std::to_string(i) + " 12.50\r\n");

    run("QKLOTR", {"T", "1", "0", "3"});
    const std::string downloaded = read("QKLOTR.ASC");
    ASSERT_EQ(downloaded,
              "T 01 000 LOT-0 12.50\r\nT 01 001 LOT-1 12.50\r\nT 01 002 LOT-2 12.50\r\nT 01 003 LOT-3 12.50\r\n");

    // Edit: address every line to terminal 2 and change one price.
    std::string edited = downloaded;
    for (std::size_t at = edited.find("T 01 "); at != std::string::npos; at = edited.find("T 01 ", at)) {
        edited.replace(at, 5, "T 02 ");
    }
    edited.replace(edited.find("LOT-2 12.50"), 11, "LOT-2 99.99");
    write("EDITED.ASC", edited);

    run("QKLOTW", {"T", "2", "0", "3", "EDITED.ASC"});
    run("QKLOTR", {"T", "2", "0", "3", "AGAIN.ASC"});

    EXPECT_EQ(read("AGAIN.ASC"), edited);
    EXPECT_EQ(log(), "");
    // The first scale still holds what it had.
    EXPECT_EQ(stored(1, "lot", 2), "T 01 002 LOT-2 12.50\r\n");
}

}  // namespace
}  // namespace e2e
