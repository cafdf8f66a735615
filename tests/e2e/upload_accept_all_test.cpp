// The emulator's benchmark mode: with PORTALLIB_ACCEPT_ALL=1 every record
// upload after opensocket is accepted without being journalled or stored.
#include "harness.h"

namespace e2e {
namespace {

class UploadAcceptAll : public Scratch {};

TEST_F(UploadAcceptAll, UploadsAreAcceptedWithoutTraceOrStore) {
    pargat();
    write("QKLOTW.ASC", "S 00 001 a\r\nS 00 002 b\r\n");
    write("QKCATW.ASC", "S 00 001 a\r\n");
    write("QKTARAMW.ASC", "S 00 000 a\r\n");
    write("QKPLIW.ASC", "S 00 001 a\r\n");
    RunOptions o;
    o.env["PORTALLIB_ACCEPT_ALL"] = "1";
    // A fault plan is not consulted either.
    o.env["PORTALLIB_FAULTS"] = "lotw=8;bobw=8;taramw=8;pliw=8";
    for (const char* tool : {"QKLOTW", "QKCATW", "QKTARAMW", "QKPLIW"}) {
        SCOPED_TRACE(tool);
        std::filesystem::remove_all(state());
        run(tool, {}, o);
        const auto calls = journal_without({"AddIPRelTableEntry", "settimeouts", "setdebug"});
        ASSERT_EQ(calls.size(), 2u);
        EXPECT_EQ(calls[0].rfind("opensocket ", 0), 0u);
        EXPECT_EQ(calls[1], "closesockets");
        EXPECT_EQ(log(), "");
    }
    bool present = true;
    stored(0, "lot", 1, &present);
    EXPECT_FALSE(present);
}

TEST_F(UploadAcceptAll, OtherValuesLeaveTheEmulatorAsItIs) {
    pargat();
    write("QKLOTW.ASC", "S 00 001 a\r\n");
    RunOptions o;
    o.env["PORTALLIB_ACCEPT_ALL"] = "yes";
    run("QKLOTW", {}, o);
    EXPECT_EQ(stored(0, "lot", 1), "S 00 001 a\r\n");
}

}  // namespace
}  // namespace e2e
