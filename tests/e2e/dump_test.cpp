// QKDUMP against the emulator's memory images: the 16-byte blocks, the extra
// read of the rest, the raw dump file, the console dump lines and the
// failures on the way.
#include <string>
#include <vector>

#include "defaults.h"
#include "harness.h"

namespace e2e {
namespace {

// Journal of a run that reads the given addresses of S 0.
Lines dump_journal(const std::vector<long long>& addresses) {
    Lines j = concat(kTestTable, {"settimeouts 2000 4 -1 2", R"(opensocket "127.0.0.1" 2003 2003 20)"});
    for (long long a : addresses) j.push_back("DumpMax 83 0 " + std::to_string(a) + " 16 buf");
    j.push_back("closesockets");
    return j;
}

std::string log_line(const std::string& code_and_text) { return "QKDUMP|T|" + code_and_text + "\r\n"; }

// 64 bytes put into the memory of terminal 0 at address 0: CR, LF, 0x1A,
// zero and high bytes among them, so that any text handling shows.
std::string seeded_memory() {
    std::string m;
    for (int i = 0; i < 64; ++i) m += static_cast<char>((i * 37 + 13) & 0xFF);
    m[5] = '\n';
    m[6] = '\x1a';
    m[7] = '\0';
    return m;
}

// Bytes as a dump line shows them: two upper-case digits and a blank each.
std::string hex_bytes(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    for (unsigned char b : bytes) {
        s += digits[b >> 4];
        s += digits[b & 15];
        s += ' ';
    }
    return s;
}

RunOptions faults(const std::string& plan) {
    RunOptions o;
    o.env["PORTALLIB_FAULTS"] = plan;
    return o;
}

class Dump : public Scratch {
protected:
    void SetUp() override {
        Scratch::SetUp();
        pargat();
        seed(0, "memory", 0, seeded_memory());
    }
};

TEST_F(Dump, RangesReadInBlocksWithTheExtraRead) {
    const std::string mem = seeded_memory();
    const struct {
        Lines args;
        std::vector<long long> reads;
        std::string file;
    } cases[] = {
        // No addresses: the single byte at 0.
        {{}, {0}, mem.substr(0, 1)},
        // Start equal to end: no full block, one read, one byte.
        {{"S", "0", "1f", "1F"}, {31}, mem.substr(31, 1)},
        // 32 bytes: two blocks and a read of which nothing is kept.
        {{"S", "0", "0", "1F"}, {0, 16, 32}, mem.substr(0, 32)},
        // 20 bytes: one block, then four bytes of the next read.
        {{"S", "0", "0", "13"}, {0, 16}, mem.substr(0, 20)},
        // An odd start: blocks follow the start, not 16-byte boundaries.
        {{"S", "0", "3", "2a"}, {3, 19, 35}, mem.substr(3, 40)},
        // A character that is no digit counts 0 but keeps its position.
        {{"S", "0", "1x", "1z"}, {16}, mem.substr(16, 1)},
        // Only the last eight digits count.
        {{"S", "0", "100000002", "0000000000000004"}, {2}, mem.substr(2, 3)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        SetUp();
        const Result r = run("QKDUMP", c.args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, "");  // DISPLAY 0 prints nothing
        EXPECT_EQ(journal(), dump_journal(c.reads));
        EXPECT_EQ(read("QKDUMP.BIN"), c.file);
        EXPECT_EQ(read("ordenes.err"), "");
    }
}

TEST_F(Dump, ConsoleShowsDumpLinesAndTheRestWithoutPrefix) {
    pargat(1);
    std::string block;
    for (int i = 0; i < 16; ++i) block += static_cast<char>(i);
    std::string next = "\xab\xcd\xef\x10";
    seed(0, "memory", 0x100, block + next);
    const Result r = run("QKDUMP", {"S", "0", "100", "113"});
    EXPECT_EQ(r.out,
              "100 - 10f: 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F \n"
              "AB CD EF 10 ");
    EXPECT_EQ(read("QKDUMP.BIN"), block + next);
    // DISPLAY 1 does not change the settimeouts mode of this tool.
    EXPECT_EQ(journal()[3], "settimeouts 2000 4 -1 2");
}

TEST_F(Dump, AddressesNearTheTopOfMemoryWrapAround) {
    pargat(2);
    std::string top;
    for (int i = 0; i < 16; ++i) top += static_cast<char>(0xF0 + i);
    seed(0, "memory", -16, top);  // address fffffff0
    const Result r = run("QKDUMP", {"S", "0", "FFFFFFF0", "ffffffff"});
    EXPECT_EQ(r.out, "fffffff0 - ffffffff: F0 F1 F2 F3 F4 F5 F6 F7 F8 F9 FA FB FC FD FE FF \n");
    // The address passes as its 32-bit pattern; the rest read wraps to 0.
    EXPECT_EQ(journal(), dump_journal({-16, 0}));
    EXPECT_EQ(read("QKDUMP.BIN"), top);
}

TEST_F(Dump, EveryScaleDumpsItsOwnMemory) {
    run("QKDUMP", {"T", "2", "7fffffff", "80000012"});
    std::string expected;
    for (unsigned a = 0x7fffffffu; a <= 0x80000012u; ++a) {
        expected += static_cast<char>(portallib::default_memory_byte(a, 2));
    }
    EXPECT_EQ(read("QKDUMP.BIN"), expected);
    EXPECT_EQ(journal_without({"AddIPRelTableEntry", "settimeouts", "opensocket", "closesockets"}),
              Lines({"DumpMax 84 2 2147483647 16 buf", "DumpMax 84 2 -2147483633 16 buf"}));
}

TEST_F(Dump, FailedBlockKeepsTheBlocksBeforeIt) {
    pargat(1);
    const std::string mem = seeded_memory();
    const Result r = run("QKDUMP", {"S", "0", "0", "3f", "part.bin"}, faults("DumpMax#3=8"));
    EXPECT_EQ(read("part.bin"), mem.substr(0, 32));
    EXPECT_EQ(log(), log_line("Error: 08|Dll error: not valid register (ERROR_CMD_NACK, 8)"));
    // No further block and no rest read.
    EXPECT_EQ(journal(), dump_journal({0, 16, 32}));
    EXPECT_EQ(r.out, "0 - f: " + hex_bytes(mem.substr(0, 16)) + "\n10 - 1f: " + hex_bytes(mem.substr(16, 16)) + "\n");
    EXPECT_FALSE(exists("QKDUMP.BIN"));
}

TEST_F(Dump, FailedRestReadWritesNothingOfIt) {
    const std::string mem = seeded_memory();
    run("QKDUMP", {"S", "0", "0", "13"}, faults("DumpMax#2=3"));
    EXPECT_EQ(read("QKDUMP.BIN"), mem.substr(0, 16));
    EXPECT_EQ(log(), log_line("Error: 03|Dll error: timeout (timeout,3)"));
    EXPECT_EQ(journal(), dump_journal({0, 16}));
}

TEST_F(Dump, BlocksAreClearedButTheRestReadIsNot) {
    const std::string mem = seeded_memory();
    // A block call that leaves the buffer alone yields zero bytes; the rest
    // read that leaves it alone yields what the block before left there.
    run("QKDUMP", {"S", "0", "0", "24"}, faults("DumpMax#2=untouched;DumpMax#3=untouched"));
    EXPECT_EQ(read("QKDUMP.BIN"), mem.substr(0, 16) + std::string(16, '\0') + std::string(5, '\0'));
    SetUp();
    run("QKDUMP", {"S", "0", "0", "14"}, faults("DumpMax#2=untouched"));
    EXPECT_EQ(read("QKDUMP.BIN"), mem.substr(0, 16) + mem.substr(0, 5));
    SetUp();
    // A gateway that fills the whole buffer without a terminating zero.
    pargat(1);
    const Result r = run("QKDUMP", {"S", "0", "0", "f"}, faults("DumpMax=fill:17"));
    EXPECT_EQ(read("QKDUMP.BIN"), std::string(16, 'X'));
    EXPECT_EQ(r.out, "0 - f: 58 58 58 58 58 58 58 58 58 58 58 58 58 58 58 58 \n");
}

TEST_F(Dump, EndBelowStartGivesAnEmptyFileAndNoRead) {
    for (const auto& range : {Lines{"10", "f"}, Lines{"ffffffff", "0"}, Lines{"1", "0"}}) {
        SCOPED_TRACE(range[0] + ".." + range[1]);
        SetUp();
        write("QKDUMP.BIN", "an earlier dump");
        pargat(1);
        const Result r = run("QKDUMP", {"S", "0", range[0], range[1]});
        EXPECT_TRUE(exists("QKDUMP.BIN"));
        EXPECT_EQ(read("QKDUMP.BIN"), "");
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(read("ordenes.err"), "");
        EXPECT_EQ(journal(), dump_journal({}));
    }
}

TEST_F(Dump, FailedOpensocketIsLoggedAndTheConnectionStillClosed) {
    run("QKDUMP", {}, faults("opensocket=-1"));
    EXPECT_EQ(log(), log_line("Error: 46|Unable to open port"));
    EXPECT_EQ(journal(), concat(kTestTable, {"settimeouts 2000 4 -1 2",
                                             R"(opensocket "127.0.0.1" 2003 2003 20)", "closesockets"}));
    EXPECT_FALSE(exists("QKDUMP.BIN"));
    SetUp();
    run("QKDUMP", {}, faults("opensocket=-1;closesockets=-1"));
    EXPECT_EQ(log(), log_line("Error: 46|Unable to open port") + log_line("Error: 46|Unable to open port"));
}

TEST_F(Dump, DumpFileThatCannotBeMadeReadsNothing) {
    std::filesystem::create_directory(dir / "QKDUMP.BIN");
    run("QKDUMP", {"S", "0", "0", "1f"});
    EXPECT_EQ(log(), log_line("Error: 48|Can\xB4t open file function"));
    EXPECT_EQ(journal(), dump_journal({}));

    SetUp();
    const std::string too_long(50, 'd');
    run("QKDUMP", {"S", "0", "0", "1f", too_long});
    EXPECT_EQ(log(), log_line("Error: 48|Can\xB4t open file function"));
    EXPECT_EQ(journal(), dump_journal({}));
    EXPECT_FALSE(exists(too_long));
    EXPECT_FALSE(exists(too_long.substr(0, 49)));
    EXPECT_FALSE(exists("QKDUMP.BIN"));
}

TEST_F(Dump, FailingCloseOfTheDumpFileLogs47) {
    const auto shim = bin_dir() / "libqk_faults.so";
    if (!std::filesystem::exists(shim)) GTEST_SKIP() << "no fault shim in this build";
    RunOptions o;
    o.env["LD_PRELOAD"] = shim.string();
    o.env["QK_FAULTS"] = "close:QKDUMP.BIN";
    o.env["ASAN_OPTIONS"] = "detect_leaks=0:verify_asan_link_order=0";
    run("QKDUMP", {"S", "0", "0", "13"}, o);
    EXPECT_EQ(log(), log_line("Error: 47|Unable to close file"));
    EXPECT_EQ(journal(), dump_journal({0, 16}));
    EXPECT_EQ(read("QKDUMP.BIN"), seeded_memory().substr(0, 20));
}

}  // namespace
}  // namespace e2e
