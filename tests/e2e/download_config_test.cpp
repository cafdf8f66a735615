// QKCFGMR, the configuration block download: the size table, the silent end
// for an unknown kind, the connection closed also after a failed open, and
// the bytes of the data file, console, log and journal.
#include <string>
#include <vector>

#include "download_support.h"

namespace e2e {
namespace {

using namespace e2e::download;

const std::size_t kSize[] = {0, 27, 23, 35, 36, 23, 38, 80, 97, 54, 32, 22};

// A block longer than any size, with a line feed, printf directives and a
// zero byte in it.
std::string block(int kind) {
    return "cfg" + std::to_string(kind) + " %s%n\n" + std::string(1, '\0') +
           std::string(120, static_cast<char>('a' + kind));
}
std::string stored_block(int kind, const std::string& bytes) {
    std::string b = bytes.substr(0, kSize[kind]);
    b.resize(kSize[kind], '\0');
    return text_mode(b + "\n");
}
std::string echoed(const std::string& bytes) { return bytes.substr(0, bytes.find('\0')) + "\n"; }
std::string cfgmr(int type, int number, int kind) {
    return "cfgmr " + std::to_string(type) + " " + std::to_string(number) + " " + std::to_string(kind) + " buf";
}

class ConfigDownload : public Scratch {
protected:
    void start(int display = 0, int debug = 0) const {
        fresh(*this);
        pargat(display, debug);
        for (int terminal : {0, 1}) {
            for (int k = 1; k <= 11; ++k) seed(terminal, "cfgm", k, block(k));
        }
    }
};

TEST_F(ConfigDownload, DefaultsReadKindOneOfSectionZero) {
    start();
    const Result r = run("QKCFGMR");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(journal(), (connection_calls() + Lines{cfgmr('S', 0, 1), "closesockets"}));
    EXPECT_EQ(read("QKCFGMR.ASC"), stored_block(1, block(1)));
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(log(), "");
    EXPECT_TRUE(exists("ordenes.err"));
}

TEST_F(ConfigDownload, EveryKindStoresItsSizeAndEchoesItsTextWithALineEnd) {
    for (int k = 1; k <= 11; ++k) {
        SCOPED_TRACE(k);
        start(1);
        const Result r = run("QKCFGMR", {"t", "1", std::to_string(k), "CFG.TXT", "surplus"});
        EXPECT_EQ(journal(), (connection_calls() + Lines{cfgmr('T', 1, k), "closesockets"}));
        EXPECT_EQ(read("CFG.TXT"), stored_block(k, block(k)));
        EXPECT_EQ(r.out, echoed(block(k)));
        EXPECT_EQ(log(), "");
        EXPECT_FALSE(exists("QKCFGMR.ASC"));
    }
}

TEST_F(ConfigDownload, UnknownKindEndsTheRunBeforeTheConnectionWithoutATrace) {
    for (const char* kind : {"0", "12", "abc", "-1", "99999999999"}) {
        SCOPED_TRACE(kind);
        start(1, 1);
        write("QKCFGMR.ASC", "earlier\r\n");
        const Result r = run("QKCFGMR", {"S", "0", kind});
        EXPECT_EQ(r.status, 0);
        // The table is registered while the parameter file is read; then
        // nothing: no tracing, no settimeouts, no connection, no tear-down.
        EXPECT_EQ(journal(), table_calls());
        EXPECT_EQ(read("QKCFGMR.ASC"), "earlier\r\n");
        EXPECT_EQ(r.out, "");
        EXPECT_FALSE(exists("ordenes.err"));
    }
}

TEST_F(ConfigDownload, FailedOpenIsLoggedAndTheConnectionStillClosed) {
    start();
    run("QKCFGMR", {}, faults("opensocket=3"));
    EXPECT_EQ(log(), log_line("QKCFGMR", "Error: 46|Unable to open port"));
    EXPECT_EQ(journal(), connection_calls() + Lines{"closesockets"});
    EXPECT_FALSE(exists("QKCFGMR.ASC"));

    // A close that fails too is the second 46.
    start();
    run("QKCFGMR", {}, faults("opensocket=3;closesockets=1"));
    EXPECT_EQ(log(), log_line("QKCFGMR", "Error: 46|Unable to open port") +
                         log_line("QKCFGMR", "Error: 46|Unable to open port"));
    EXPECT_EQ(journal(), connection_calls() + Lines{"closesockets"});
}

TEST_F(ConfigDownload, EscapeBeforeTheCallStoresNothingOtherKeysDoNotCancel) {
    start(1);
    Result r = run_keys("QKCFGMR", {"S", "0", "2"}, "\x1b");
    EXPECT_EQ(log(), cancelled("QKCFGMR"));
    EXPECT_EQ(journal(), connection_calls() + Lines{"closesockets"});
    EXPECT_EQ(read("QKCFGMR.ASC"), "");
    EXPECT_EQ(r.out, "");

    start(1);
    r = run_keys("QKCFGMR", {"S", "0", "2"}, "a\x1b");  // one check only: "a"
    EXPECT_EQ(log(), "");
    EXPECT_EQ(journal(), (connection_calls() + Lines{cfgmr('S', 0, 2), "closesockets"}));
    EXPECT_EQ(read("QKCFGMR.ASC"), stored_block(2, block(2)));
}

TEST_F(ConfigDownload, FailedCallStoresAndEchoesNothing) {
    start(1);
    write("QKCFGMR.ASC", "earlier\r\n");
    const Result r = run("QKCFGMR", {"S", "0", "5"}, faults("cfgmr=8"));
    EXPECT_EQ(log(), missing_record("QKCFGMR"));
    EXPECT_EQ(journal(), (connection_calls() + Lines{cfgmr('S', 0, 5), "closesockets"}));
    EXPECT_EQ(read("QKCFGMR.ASC"), "earlier\r\n");
    EXPECT_EQ(r.out, "");
}

TEST_F(ConfigDownload, TwoRunsAppendTwoBlocksOlderFirst) {
    start();
    run("QKCFGMR", {"S", "0", "7"});
    seed(0, "cfgm", 7, "newer block");
    run("QKCFGMR", {"S", "0", "7"});
    EXPECT_EQ(read("QKCFGMR.ASC"), stored_block(7, block(7)) + stored_block(7, "newer block"));
    EXPECT_EQ(log(), "");
}

TEST_F(ConfigDownload, UnterminatedBufferIsEchoedWholeAndStoredAtTheKindsSize) {
    start(1);
    const Result r = run("QKCFGMR", {"S", "0", "8"}, faults("cfgmr=fill:4096"));
    EXPECT_EQ(r.out, std::string(4096, 'X') + "\n");
    EXPECT_EQ(read("QKCFGMR.ASC"), std::string(97, 'X') + "\r\n");
    EXPECT_EQ(log(), "");
}

TEST_F(ConfigDownload, DataFileThatCannotBeOpenedIs48AndTheConnectionIsClosed) {
    start();
    fs::create_directory(dir / "QKCFGMR.ASC");
    run("QKCFGMR");
    EXPECT_EQ(log(), file_refused("QKCFGMR"));
    EXPECT_EQ(journal(), connection_calls() + Lines{"closesockets"});

    // A name over 49 characters is refused the same way.
    start();
    const std::string too_long = std::string(46, 'n') + ".ASC";
    run("QKCFGMR", {"S", "0", "1", too_long});
    EXPECT_EQ(log(), file_refused("QKCFGMR"));
    EXPECT_EQ(journal(), connection_calls() + Lines{"closesockets"});
    EXPECT_FALSE(exists(too_long));
    EXPECT_FALSE(exists("QKCFGMR.ASC"));
}

}  // namespace
}  // namespace e2e
