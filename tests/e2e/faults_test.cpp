// Every error code the tools give for a file or library operation, produced
// by a real failure of that operation (the preloaded fault shim makes the
// system call fail), and every such run still ending through the tear-down
// with the closing log call. Also a data file on a device that fills up.
#include <sys/mount.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>

#include "harness.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

const std::string kNoLog = "Unable to open error file!\n";

std::string line(const std::string& tool, const std::string& code_and_text) {
    return tool + "|T|" + code_and_text + "\r\n";
}

std::size_t count_of(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
    return n;
}

class Faults : public Scratch {
protected:
    void SetUp() override {
        Scratch::SetUp();
        if (std::getenv("QK_E2E_EXE_SUFFIX") && *std::getenv("QK_E2E_EXE_SUFFIX")) {
            GTEST_SKIP() << "the fault shim is preloaded into Linux programs only";
        }
        if (!fs::exists(bin_dir() / "libqk_faults.so")) GTEST_SKIP() << "no fault shim in this build";
    }

    // Options that preload the shim with the given rules (and the emulator's
    // fault plan, when given).
    static RunOptions shim(const std::string& rules, const std::string& plan = "") {
        RunOptions o;
        std::string asan = "verify_asan_link_order=0";
        if (const char* a = std::getenv("ASAN_OPTIONS"); a && *a) asan = std::string(a) + ":" + asan;
        o.env["LD_PRELOAD"] = (bin_dir() / "libqk_faults.so").string();
        o.env["QK_FAULTS"] = rules;
        o.env["ASAN_OPTIONS"] = asan;
        if (!plan.empty()) o.env["PORTALLIB_FAULTS"] = plan;
        return o;
    }

    void fresh() {
        fs::remove_all(dir);
        fs::create_directories(dir);
    }

    Lines files() const {
        Lines names;
        for (const auto& e : fs::directory_iterator(dir)) {
            if (e.is_regular_file()) names.push_back(e.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
};

const Lines kOpen = {"settimeouts 2000 4 -1 2", R"(opensocket "127.0.0.1" 2003 2003 12)"};

const std::string kRecords = "S 00 000 lot\r\nS 00 001 lot\r\nS 00 002 lot\r\nS 00 003 lot\r\nS 00 004 lot\r\n";

struct FaultCase {
    const char* what;
    const char* tool;
    std::string rules;           // QK_FAULTS
    std::string plan;            // PORTALLIB_FAULTS, when needed
    std::function<void(Scratch&)> prepare;
    std::string console;         // standard output
    std::string log;             // the error log, time fields masked
    Lines journal;               // the emulator's call journal
    std::function<void(Scratch&)> check;  // what is left in the folder
};

// With the test network in place and five lot records on terminal 0.
void network_with_records(Scratch& s) {
    s.pargat();
    for (int i = 0; i < 5; ++i) s.seed(0, "lot", i, "S 00 00" + std::to_string(i) + " lot\r\n");
}

void network_with_upload(Scratch& s) {
    s.pargat();
    s.write("QKLOTW.ASC", "S 00 000 a\r\nS 00 001 b\r\n");
}

TEST_F(Faults, EveryFileAndLibraryCodeFromARealFailure) {
    const std::string kDefaultJournalHead = R"(AddIPRelTableEntry 0 0 1 "224.0.0.5")";
    const FaultCase cases[] = {
        {"parameter file read, its close fails: 42", "QKLOTR", "close:PARGAT.INI", "", network_with_records, "",
         line("QKLOTR", "Error: 42|Unable to close pargat.ini"), {},
         [](Scratch& s) { EXPECT_EQ(s.read("PARGAT.INI"), crlf(test_pargat())); }},
        {"parameter file can neither be read nor created: 55", "QKLOTR", "open:PARGAT.INI", "", nullptr,
         "Can\xB4t create pargat.ini", line("QKLOTR", "Error: 55|Unable to find PARGAT.INI"), {},
         [](Scratch& s) { EXPECT_FALSE(s.exists("PARGAT.INI")); }},
        {"default text written short: 56", "QKLOTR", "write-short:PARGAT.INI", "", nullptr,
         "Error in writting to pargat.ini", line("QKLOTR", "Error: 56|Unable to write in file pargat.ini"), {},
         [](Scratch& s) { EXPECT_FALSE(s.exists("PARGAT.INI")); }},
        {"default text not written at all: 56", "QKLOTR", "write:PARGAT.INI", "", nullptr,
         "Error in writting to pargat.ini", line("QKLOTR", "Error: 56|Unable to write in file pargat.ini"), {},
         [](Scratch& s) { EXPECT_FALSE(s.exists("PARGAT.INI")); }},
        {"created parameter file fails to close: 42", "QKLOTR", "close:PARGAT.INI", "", nullptr, "",
         line("QKLOTR", "Error: 42|Unable to close pargat.ini"), {},
         [](Scratch& s) { EXPECT_FALSE(s.exists("PARGAT.INI")); }},
        {"download data file cannot be opened: 48", "QKLOTR", "open:QKLOTR.ASC", "", network_with_records, "",
         line("QKLOTR", "Error: 48|Can\xB4t open file function"), concat(concat(kTestTable, kOpen), {"closesockets"}),
         [](Scratch& s) { EXPECT_FALSE(s.exists("QKLOTR.ASC")); }},
        {"download data file fails to close: 47, the records kept", "QKLOTR", "close:QKLOTR.ASC", "",
         network_with_records, "", line("QKLOTR", "Error: 47|Unable to close file"),
         concat(concat(kTestTable, kOpen), {"lotr 83 0 0 0 buf", "lotr 83 0 1 1 buf", "lotr 83 0 2 2 buf",
                                            "lotr 83 0 3 3 buf", "lotr 83 0 4 4 buf", "closesockets"}),
         [](Scratch& s) { EXPECT_EQ(s.read("QKLOTR.ASC"), kRecords); }},
        {"upload data file cannot be opened: 48", "QKLOTW", "open:QKLOTW.ASC", "", network_with_upload, "",
         line("QKLOTW", "Error: 48|Can\xB4t open file function"), concat(concat(kTestTable, kOpen), {"closesockets"}),
         [](Scratch& s) {
             bool present = true;
             s.stored(0, "lot", 0, &present);
             EXPECT_FALSE(present);
         }},
        {"upload data file fails to close: 47, the lines sent", "QKLOTW", "close:QKLOTW.ASC", "",
         network_with_upload, "", line("QKLOTW", "Error: 47|Unable to close file"),
         concat(concat(kTestTable, kOpen),
                {R"(lotw 83 0 0 0 "S 00 000 a\r\n")", R"(lotw 83 0 1 1 "S 00 001 b\r\n")", "closesockets"}),
         [](Scratch& s) { EXPECT_EQ(s.stored(0, "lot", 1), "S 00 001 b\r\n"); }},
        {"gateway library cannot be loaded: 43, then 44", "QKLOTR", "dlopen:PortalLib", "", nullptr, "",
         line("QKLOTR", "Error: 43|Unable load PORTALLIB.DLL") + line("QKLOTR", "Error: 44|Unable to load function"),
         {}, [](Scratch& s) { EXPECT_FALSE(s.exists("PARGAT.INI")); }},
        {"gateway library cannot be unloaded: 49", "QKLOTR", "dlclose:PortalLib", "", network_with_records, "",
         line("QKLOTR", "Error: 49|Unable to unload dll"),
         concat(concat(kTestTable, kOpen), {"lotr 83 0 0 0 buf", "lotr 83 0 1 1 buf", "lotr 83 0 2 2 buf",
                                            "lotr 83 0 3 3 buf", "lotr 83 0 4 4 buf", "closesockets"}),
         [](Scratch& s) { EXPECT_EQ(s.read("QKLOTR.ASC"), kRecords); }},
        {"a default parameter file run with a failing close of the data file", "QKLOTR", "close:QKLOTR.ASC", "",
         nullptr, "", line("QKLOTR", "Error: 08|Dll error: not valid register (ERROR_CMD_NACK, 8)") +
                          line("QKLOTR", "Error: 47|Unable to close file"),
         {kDefaultJournalHead, "settimeouts 2000 4 -1 2", R"(opensocket "192.168.2.5" 2003 2003 12)",
          "lotr 83 0 0 0 buf", "closesockets"},
         [](Scratch& s) { EXPECT_EQ(s.read("QKLOTR.ASC"), ""); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fresh();
        if (c.prepare) c.prepare(*this);
        const Result r = run(c.tool, {}, shim(c.rules, c.plan));
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, c.console);
        EXPECT_EQ(log(), c.log);
        EXPECT_EQ(journal(), c.journal);
        if (c.check) c.check(*this);
        // No temporary parameter file is ever left behind.
        for (const auto& f : files()) EXPECT_EQ(f.find(".tmp"), std::string::npos) << f;

        // The same failure once more with the log shut: every code the run
        // reports prints the console line, and one more line shows that the
        // closing call with code 0 was still made.
        fresh();
        if (c.prepare) c.prepare(*this);
        const Result shut = run(c.tool, {}, shim(c.rules + ";open:ordenes.err", c.plan));
        EXPECT_EQ(shut.status, 0);
        EXPECT_EQ(count_of(shut.out, kNoLog), count_of(c.log, "\r\n") + 1) << shut.out;
        EXPECT_FALSE(exists("ordenes.err"));
    }
}

TEST_F(Faults, LogThatCannotBeOpenedPrintsTheConsoleLineAndTheRunGoesOn) {
    network_with_records(*this);
    const Result r = run("QKLOTR", {}, shim("open:ordenes.err", "lotr#3=8"));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, kNoLog + kNoLog);  // code 8, then the closing code 0
    EXPECT_FALSE(exists("ordenes.err"));
    EXPECT_EQ(read("QKLOTR.ASC"), kRecords.substr(0, 28));
    EXPECT_EQ(journal().back(), "closesockets");
}

// ---- A data file on a device that fills up ---------------------------------------

// The device takes half of what the tool writes, then refuses the rest
// (the shim's write-short rule): the close reports 47 and what the device
// took stays in the file.
TEST_F(Faults, FullDeviceGives47AndKeepsWhatWasWritten) {
    network_with_records(*this);
    const Result r = run("QKLOTR", {}, shim("write-short:QKLOTR.ASC"));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(log(), line("QKLOTR", "Error: 47|Unable to close file"));
    EXPECT_EQ(read("QKLOTR.ASC"), kRecords.substr(0, kRecords.size() / 2));
    EXPECT_EQ(journal().back(), "closesockets");
}

// A real full file system: a 64 KiB tmpfs mounted in the scratch folder
// (needs the right to mount; skipped otherwise). The download goes on to its
// last record, the close reports 47, and the file holds exactly the first
// bytes of what the tool wrote, as many as the device took.
class FullDevice : public Faults {
protected:
    void TearDown() override {
        if (mounted_) umount2(mount_point().c_str(), MNT_DETACH);
        Faults::TearDown();
    }
    fs::path mount_point() const { return dir / "full"; }
    bool mount_small() {
        fs::create_directories(mount_point());
        if (mount("tmpfs", mount_point().c_str(), "tmpfs", 0, "size=64k") != 0) {
            reason_ = std::strerror(errno);
            return false;
        }
        mounted_ = true;
        return true;
    }
    std::string reason_;

private:
    bool mounted_ = false;
};

TEST_F(FullDevice, DownloadToAFullFileSystemGives47AndKeepsWhatFitted) {
    if (!mount_small()) GTEST_SKIP() << "cannot mount a small tmpfs here: " << reason_;
    pargat();
    std::string expected;
    for (int i = 0; i < 40; ++i) {
        char head[16];
        std::snprintf(head, sizeof head, "S 00 %03d ", i);
        const std::string rec = head + std::string(3990, static_cast<char>('a' + i % 26)) + "\r\n";
        seed(0, "lot", i, rec);
        expected += rec;
    }
    const Result r = run("QKLOTR", {"S", "0", "0", "39", "full/D.ASC"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(log(), line("QKLOTR", "Error: 47|Unable to close file"));
    const std::string kept = read("full/D.ASC");
    EXPECT_GT(kept.size(), 0u);
    EXPECT_LT(kept.size(), expected.size());
    EXPECT_EQ(kept, expected.substr(0, kept.size()));
    const Lines j = journal_without({"AddIPRelTableEntry", "settimeouts", "opensocket"});
    ASSERT_EQ(j.size(), 41u);
    EXPECT_EQ(j[39], "lotr 83 0 39 39 buf");
    EXPECT_EQ(j[40], "closesockets");
}

}  // namespace
}  // namespace e2e
