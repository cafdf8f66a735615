// portalemu, the emulator's companion: demo seeding, editing, listing,
// the journal, and its answers to bad input.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "emulator/store.h"
#include "emulator_support.h"

#ifndef PORTALEMU_PATH
#error "PORTALEMU_PATH must name the built companion"
#endif

namespace {

using namespace emulator_test;
using portallib::Store;

struct Outcome {
    int status = -1;
    std::string out;  // standard output and standard error together
};

class Companion : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fresh_folder("emu");
        state = dir / "state";
    }
    void TearDown() override { fs::remove_all(dir); }

    // Runs portalemu in the scratch folder; args are shell words.
    Outcome run(const std::string& args) {
        std::string command = "cd '" + dir.string() + "' && env -u PORTALLIB_STATE '" PORTALEMU_PATH "' " + args + " 2>&1";
        Outcome r;
        FILE* p = popen(command.c_str(), "r");
        if (!p) return r;
        char chunk[4096];
        for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, p)) > 0;) r.out.append(chunk, n);
        int status = pclose(p);
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return r;
    }

    fs::path dir, state;
};

TEST_F(Companion, SeedDemoWritesTheParameterFileAndRecords) {
    Outcome r = run("seed-demo --state state");
    ASSERT_EQ(r.status, 0) << r.out;
    std::string pargat = slurp(dir / "PARGAT.INI");
    EXPECT_NE(pargat.find("NUM_ENTRIES=3\r\n"), std::string::npos);
    EXPECT_NE(pargat.find("SEC1=1 TERM1=1 MASTER1=1 IPASIG1=127.0.0.11\r\n"), std::string::npos);
    EXPECT_NE(pargat.find("SEC2=1 TERM2=2 MASTER2=0 IPASIG2=127.0.0.12\r\n"), std::string::npos);
    EXPECT_NE(pargat.find("SEC3=2 TERM3=3 MASTER3=1 IPASIG3=127.0.0.13\r\n"), std::string::npos);
    Store s(state);
    EXPECT_EQ(s.records(1, "lot").at(3), "S 01 003 BANANAS\r\n");
    EXPECT_EQ(s.records(1, "pl").size(), 5u);
    EXPECT_EQ(s.records(1, "fam").size(), 5u);
    EXPECT_EQ(s.records(1, "iva").size(), 4u);
    EXPECT_EQ(s.records(1, "ticket").size(), 5u);
    EXPECT_EQ(s.records(3, "ticket").size(), 3u);
    EXPECT_EQ(s.records(1, "memory").at(0x100), "DEMO SCALE MEMORY");
    EXPECT_EQ(s.records(1, "logo").at(0).substr(0, 2), "BM");

    // An existing parameter file, in any letter case, is kept.
    fs::remove(dir / "PARGAT.INI");
    spit(dir / "pargat.ini", "mine");
    ASSERT_EQ(run("--state state seed-demo").status, 0);
    EXPECT_EQ(slurp(dir / "pargat.ini"), "mine");
    EXPECT_FALSE(fs::exists(dir / "PARGAT.INI"));
}

TEST_F(Companion, PutGetAndListWithEscapes) {
    Outcome r = run("put --state state --scale 2 --kind lot --index 3 --text 'S 01 003 a\\x00b\\xb4\\r\\n'");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(Store(state).records(2, "lot").at(3), std::string("S 01 003 a\0b\xb4\r\n", 15));

    r = run("get --scale 2 --kind lot --index 3 --state state");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "S 01 003 a\\x00b\\xb4\\r\\n\n");
    r = run("--state state get --scale 2 --kind lot --index 3 --raw");
    EXPECT_EQ(r.out, std::string("S 01 003 a\0b\xb4\r\n", 15));

    spit(dir / "logo.bin", std::string("\0\1\2", 3));
    ASSERT_EQ(run("--state state put --scale gateway --kind office --index 0 --file logo.bin").status, 0);
    EXPECT_EQ(Store(state).records(portallib::kGateway, "office").at(0), std::string("\0\1\2", 3));

    r = run("--state state list");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "gateway office: 1 record\n"
              "  0 \\x00\\x01\\x02\n"
              "scale 2 lot: 1 record\n"
              "  3 S 01 003 a\\x00b\\xb4\\r\\n\n");
    r = run("--state state list --kind office");
    EXPECT_EQ(r.out, "gateway office: 1 record\n  0 \\x00\\x01\\x02\n");
    r = run("--state state list --scale 7");
    EXPECT_EQ(r.out, "nothing stored in state\n");
}

TEST_F(Companion, ClearRemovesWhatIsChosen) {
    ASSERT_EQ(run("--state state seed-demo").status, 0);
    Outcome r = run("--state state clear --scale 1 --kind lot --index 0");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "1 record removed\n");
    EXPECT_EQ(Store(state).records(1, "lot").size(), 4u);
    r = run("--state state clear --kind ticket");
    EXPECT_EQ(r.out, "8 records removed\n");
    EXPECT_FALSE(fs::exists(state / "t1.ticket"));
    EXPECT_FALSE(fs::exists(state / "t3.ticket"));
    ASSERT_EQ(run("--state state clear").status, 0);
    EXPECT_TRUE(Store(state).on_disk().empty());
}

TEST_F(Companion, StateFolderFromTheEnvironmentOrTheDefault) {
    ASSERT_EQ(run("put --scale 1 --kind lot --index 0 --text x").status, 0);
    EXPECT_TRUE(fs::exists(dir / "portallib-state" / "t1.lot"));
    Outcome r = run("get --scale 1 --kind lot --index 0");
    EXPECT_EQ(r.out, "x\n");
    std::string command = "cd '" + dir.string() + "' && PORTALLIB_STATE=elsewhere '" PORTALEMU_PATH
                          "' put --scale 1 --kind lot --index 0 --text y";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(Store(dir / "elsewhere").records(1, "lot").at(0), "y");
}

TEST_F(Companion, JournalIsPrintedAndCleared) {
    fs::create_directories(state);
    spit(state / "journal.txt", "closesockets\n");
    Outcome r = run("journal --state state");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "closesockets\n");
    ASSERT_EQ(run("journal --clear --state state").status, 0);
    EXPECT_FALSE(fs::exists(state / "journal.txt"));
    EXPECT_EQ(run("journal --state state").out, "");
}

TEST_F(Companion, HelpAndBadInput) {
    for (const char* command : {"seed-demo", "list", "get", "put", "clear", "journal"}) {
        Outcome r = run(std::string(command) + " --help");
        EXPECT_EQ(r.status, 0) << command;
        EXPECT_EQ(r.out.rfind(std::string("usage: portalemu ") + command, 0), 0u) << r.out;
    }
    EXPECT_EQ(run("--help").status, 0);
    struct Case {
        const char* args;
        int status;
        const char* message;
    };
    for (Case c : {Case{"", 2, "no command given"},
                   Case{"frobnicate", 2, "unknown command 'frobnicate'"},
                   Case{"list --index 3", 2, "unknown option '--index'"},
                   Case{"get --scale x1 --kind lot --index 0", 2, "--scale needs a terminal number"},
                   Case{"get --scale 1 --kind Lot --index 0", 2, "--kind needs"},
                   Case{"get --scale 1 --kind lot", 2, "get needs --scale, --kind and --index"},
                   Case{"get --scale 1 --kind lot --index 0", 1, "scale 1 holds no lot record 0"},
                   Case{"put --scale 1 --kind lot --index 0", 2, "either --text or --file"},
                   Case{"put --scale 1 --kind lot --index 0 --text '\\q'", 2, "malformed escape"},
                   Case{"put --scale 1 --kind lot --index 0 --file missing.txt", 1, "cannot read missing.txt"},
                   Case{"put --scale 1 --kind lot --index", 2, "option --index needs a value"},
                   Case{"list --state", 2, "--state needs a folder"}}) {
        Outcome r = run(std::string(c.args) + " --state state");
        if (std::string(c.args) == "list --state") r = run("list --state");
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.out;
        EXPECT_NE(r.out.find(c.message), std::string::npos) << c.args << "\n" << r.out;
    }
    EXPECT_FALSE(fs::exists(state / "t1.lot"));
}

TEST_F(Companion, ACorruptStoreIsReportedNotOverwritten) {
    fs::create_directories(state);
    spit(state / "t1.lot", "not a record\n");
    Outcome r = run("--state state put --scale 1 --kind lot --index 0 --text x");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("t1.lot:1"), std::string::npos) << r.out;
    EXPECT_EQ(slurp(state / "t1.lot"), "not a record\n");
    EXPECT_EQ(run("--state state list").status, 1);
}

}  // namespace
