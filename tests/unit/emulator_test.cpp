// The scale emulator as the tools meet it: the built PortalLib loaded with
// dlopen, its entry points called as the tools call them, and what it keeps
// checked in the state folder. Every test loads the library afresh, so each
// starts like a new tool process.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "emulator/store.h"
#include "emulator_support.h"

#ifndef PORTALLIB_PATH
#error "PORTALLIB_PATH must name the built library"
#endif

namespace {

using namespace emulator_test;
using portallib::Records;
using portallib::Store;

using Down5 = int(int, int, int, int, char*);
using Up5 = int(int, int, int, int, const char*);
using Down6 = int(int, int, int, int, char*, int);
using Up6 = int(int, int, int, int, const char*, int);
using Down4 = int(int, int, int, char*);
using Up4 = int(int, int, int, const char*);
using FileFn = int(int, int, const char*);
using LabelFn = int(int, int, int, const char*);
using Cmd3 = int(int, int, int);

constexpr int S = 'S';
constexpr int T = 'T';

const std::vector<std::string> kEntryPoints = {
    "setdebug", "settimeouts", "opensocket", "closesockets", "AddIPRelTableEntry", "NLinVolcToRead", "DumpMax",
    "cor", "tlotr", "acplr", "lotr", "car", "famr", "acvnr", "ivar", "fimr", "cmdr", "mermr", "plir", "plr",
    "bobr", "relr", "taramr", "lotfiltr", "volcador", "totvnr", "opvnr", "famfiltr", "totvnxr", "cfgmr",
    "tlotw", "cbw", "volcadow", "opvnw", "ivaw", "vnw", "famw", "cow", "totvnw", "famfiltw", "lotw", "caw",
    "pldw", "totvnxw", "mermw", "bobw", "taramw", "lotfiltw", "pliw", "logor", "formr", "logow", "labelr",
    "labelw", "clrgt", "clrmerm", "clrcmd", "bloq", "label_er", "delplu", "pass", "totik", "totikt", "inimodem"};

class Emulator : public ::testing::Test {
protected:
    void SetUp() override {
        root = fresh_folder("lib");
        state = root / "state";
        setenv("PORTALLIB_STATE", state.c_str(), 1);
        unsetenv("PORTALLIB_FAULTS");
        unsetenv("PORTALLIB_JOURNAL");
        load();
    }

    void TearDown() override {
        unload();
        unsetenv("PORTALLIB_STATE");
        unsetenv("PORTALLIB_FAULTS");
        unsetenv("PORTALLIB_JOURNAL");
        fs::remove_all(root);
    }

    void load(const std::string& path = PORTALLIB_PATH) {
        lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(lib, nullptr) << dlerror();
    }
    void unload() {
        if (lib) dlclose(lib);
        lib = nullptr;
    }
    // A new tool process, as far as the library can tell.
    void reload() {
        unload();
        load();
    }

    template <class F>
    F* fn(const char* name) {
        void* p = lib ? dlsym(lib, name) : nullptr;
        if (!p) ADD_FAILURE() << "no entry point " << name;
        return reinterpret_cast<F*>(p);
    }

    int open() { return fn<int(const char*, int, int, int)>("opensocket")("192.168.2.5", 2003, 2003, 12); }
    int close() { return fn<int()>("closesockets")(); }
    int add(int terminal, int section, int master, const char* ip = "127.0.0.1") {
        return fn<int(int, int, int, const char*)>("AddIPRelTableEntry")(terminal, section, master, ip);
    }
    // Section 1: terminals 1 (master) and 2. Section 2: terminals 3 and 4,
    // no master.
    void network() {
        ASSERT_EQ(add(1, 1, 1), 0);
        ASSERT_EQ(add(2, 1, 0), 0);
        ASSERT_EQ(add(3, 2, 0), 0);
        ASSERT_EQ(add(4, 2, 0), 0);
    }
    void connected() {
        network();
        ASSERT_EQ(open(), 0);
    }

    // Reads a record into a 4096-byte buffer; the text or the code.
    std::string down(const char* name, int type, int number, int index, int* rc) {
        std::vector<char> buf(4096, '\0');
        *rc = fn<Down5>(name)(type, number, index, index, buf.data());
        return buf.data();
    }
    int up(const char* name, int type, int number, int index, const std::string& line) {
        return fn<Up5>(name)(type, number, index, index, line.c_str());
    }
    int nlin(int type, int number, int* count) {
        return fn<int(int, int, int*)>("NLinVolcToRead")(type, number, count);
    }

    void seed(int terminal, const char* kind, int index, const std::string& bytes) {
        Store s(state);
        s.records(terminal, kind)[index] = bytes;
        ASSERT_TRUE(s.save());
    }
    Records stored(int terminal, const char* kind) {
        Store s(state);
        return s.records(terminal, kind);
    }
    std::vector<std::string> journal() {
        std::vector<std::string> lines;
        std::istringstream in(slurp(state / "journal.txt"));
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    void* lib = nullptr;
    fs::path root, state;
};

// ---- Records -------------------------------------------------------------------------

struct RoundTrip {
    const char* upload;
    const char* download;
    const char* kind;
    int form;  // 5 arguments, 4 arguments, 6 with the selector, or 'p' (pldw/plr)
    int selector;
};

const RoundTrip kRoundTrips[] = {
    {"lotw", "lotr", "lot", 5, 0},          {"cow", "cor", "co", 5, 0},
    {"tlotw", "tlotr", "tlot", 5, 0},       {"caw", "car", "ca", 5, 0},
    {"famw", "famr", "fam", 5, 0},          {"ivaw", "ivar", "iva", 5, 0},
    {"mermw", "mermr", "merm", 5, 0},       {"volcadow", "volcador", "volcado", 5, 0},
    {"totvnw", "totvnr", "totvn", 5, 0},    {"opvnw", "opvnr", "opvn", 5, 0},
    {"famfiltw", "famfiltr", "famfilt", 5, 0}, {"totvnxw", "totvnxr", "totvnx", 5, 0},
    {"pldw", "plr", "pl", 'p', 0},          {"bobw", "bobr", "bob0", 6, 0},
    {"bobw", "bobr", "bob1", 6, 1},         {"bobw", "bobr", "bob2", 6, 2},
    {"bobw", "bobr", "bob3", 6, 3},         {"taramw", "taramr", "taram", 4, 0},
    {"lotfiltw", "lotfiltr", "lotfilt", 4, 0},
};

TEST_F(Emulator, UploadedLinesComeBackByteForByteFromTheSameKind) {
    connected();
    const std::string line = "T 01 003 caf\xe9 \"q\" \xb4\t%s%n\r\n";
    for (const RoundTrip& r : kRoundTrips) {
        SCOPED_TRACE(std::string(r.upload) + "/" + r.download);
        int rc = -99;
        if (r.form == 5) rc = fn<Up5>(r.upload)(T, 1, 3, 3, line.c_str());
        if (r.form == 'p') rc = fn<Up5>(r.upload)(T, 1, 3, 3, line.c_str());
        if (r.form == 6) rc = fn<Up6>(r.upload)(T, 1, 3, 3, line.c_str(), r.selector);
        if (r.form == 4) rc = fn<Up4>(r.upload)(T, 1, 3, line.c_str());
        ASSERT_EQ(rc, 0);
    }
    ASSERT_EQ(close(), 0);
    reload();  // another process reads what this one stored
    connected();
    for (const RoundTrip& r : kRoundTrips) {
        SCOPED_TRACE(std::string(r.upload) + "/" + r.download);
        std::vector<char> buf(4096, '\0');
        int rc = -99;
        if (r.form == 5) rc = fn<Down5>(r.download)(T, 1, 3, 3, buf.data());
        if (r.form == 'p') rc = fn<Down6>(r.download)(T, 1, 3, 3, buf.data(), 0);
        if (r.form == 6) rc = fn<Down6>(r.download)(T, 1, 3, 3, buf.data(), r.selector);
        if (r.form == 4) rc = fn<Down4>(r.download)(T, 1, 3, buf.data());
        ASSERT_EQ(rc, 0);
        EXPECT_EQ(std::string(buf.data()), line);
        EXPECT_EQ(stored(1, r.kind).at(3), line) << "kind " << r.kind;
        // Nothing went to the other scales, and other indexes stay missing.
        if (r.form == 5) {
            EXPECT_EQ(fn<Down5>(r.download)(T, 2, 3, 3, buf.data()), 8);
            EXPECT_EQ(fn<Down5>(r.download)(T, 1, 4, 4, buf.data()), 8);
        }
    }
}

TEST_F(Emulator, DownloadOnlyAndUploadOnlyKinds) {
    struct Kind {
        const char* function;
        const char* kind;
    };
    const std::string record = "S 01 002 record\r\n";
    for (Kind k : {Kind{"acplr", "acpl"}, Kind{"acvnr", "acvn"}, Kind{"fimr", "fim"}, Kind{"cmdr", "cmd"},
                   Kind{"plir", "pli"}})
        seed(1, k.kind, 2, record + k.kind);
    seed(1, "rel", 0, "relation\r\n");
    connected();
    for (Kind k : {Kind{"acplr", "acpl"}, Kind{"acvnr", "acvn"}, Kind{"fimr", "fim"}, Kind{"cmdr", "cmd"},
                   Kind{"plir", "pli"}}) {
        int rc = -99;
        EXPECT_EQ(down(k.function, S, 1, 2, &rc), record + k.kind) << k.function;
        EXPECT_EQ(rc, 0) << k.function;
        down(k.function, S, 1, 1, &rc);
        EXPECT_EQ(rc, 8) << k.function;
    }
    std::vector<char> buf(4096, '\0');
    EXPECT_EQ(fn<int(int, int, char*)>("relr")(S, 1, buf.data()), 0);
    EXPECT_STREQ(buf.data(), "relation\r\n");
    EXPECT_EQ(up("cbw", S, 1, 4, "S 01 004 a b\r\n"), 0);
    EXPECT_EQ(up("vnw", S, 1, 5, "S 01 005 sale\r\n"), 0);
    ASSERT_EQ(close(), 0);
    EXPECT_EQ(stored(1, "cb").at(4), "S 01 004 a b\r\n");
    EXPECT_EQ(stored(2, "vn").at(5), "S 01 005 sale\r\n");
}

TEST_F(Emulator, FixedSizeRecordsKeepZeroBytesAndLineFeeds) {
    std::string record("S 01 001 A\0B\nC\r\n", 17);
    record += std::string(100, '\xff');
    seed(1, "totvn", 1, record);
    connected();
    std::vector<char> buf(4096, '\0');
    ASSERT_EQ(fn<Down5>("totvnr")(T, 1, 1, 1, buf.data()), 0);
    EXPECT_EQ(std::string(buf.data(), record.size()), record);
    EXPECT_EQ(buf[record.size()], '\0');
}

TEST_F(Emulator, NothingIsWrittenPastTheToolsBuffers) {
    const std::string huge(6000, 'L');
    for (const char* kind : {"lot", "merm", "pli", "taram"}) seed(1, kind, 0, huge);
    seed(portallib::kGateway, "office", 0, huge);
    connected();
    struct Case {
        const char* function;
        std::size_t size;
    };
    for (Case c : {Case{"lotr", 4096}, Case{"mermr", 1024}, Case{"plir", 1048}}) {
        std::vector<char> buf(c.size + 8, '#');
        ASSERT_EQ(fn<Down5>(c.function)(T, 1, 0, 0, buf.data()), 0) << c.function;
        EXPECT_EQ(std::string(buf.data()), std::string(c.size - 1, 'L')) << c.function;
        EXPECT_EQ(buf[c.size], '#') << c.function;
    }
    std::vector<char> buf(4096 + 8, '#');
    ASSERT_EQ(fn<Down4>("taramr")(T, 1, 0, buf.data()), 0);
    EXPECT_EQ(buf[4095], '\0');
    EXPECT_EQ(buf[4096], '#');
    std::vector<char> modem(2000 + 8, '#');
    ASSERT_EQ(fn<int(int, char*)>("inimodem")(1, modem.data()), 0);
    EXPECT_EQ(std::string(modem.data()).size(), 1999u);
    EXPECT_EQ(modem[2000], '#');
}

TEST_F(Emulator, IngredientTextIsKeptUnderItsOwnIndexWithItsLineEnd) {
    connected();
    auto pliw = fn<Up5>("pliw");
    EXPECT_EQ(pliw(S, 1, 0, 4, "S 01 007 SALT, PEPPER"), 0);
    EXPECT_EQ(pliw(S, 1, 0, 4, "S 01   -3 minus"), 0);
    EXPECT_EQ(pliw(S, 1, 0, 4, "S 01"), 0);  // no index digits: record 0
    int rc = 0;
    EXPECT_EQ(down("plir", S, 1, 7, &rc), "S 01 007 SALT, PEPPER\r\n");
    EXPECT_EQ(down("plir", S, 1, -3, &rc), "S 01   -3 minus\r\n");
    EXPECT_EQ(down("plir", S, 1, 0, &rc), "S 01\r\n");
}

TEST_F(Emulator, TotalsHeaderCountsTheStoredRecords) {
    for (int i = 1; i <= 12; ++i) seed(1, "totvnx", i, "r");
    seed(2, "totvnx", 0, "stored header");
    connected();
    std::vector<char> buf(4096, '\0');
    ASSERT_EQ(fn<Down5>("totvnxr")(T, 1, 0, 0, buf.data()), 0);
    std::string header(buf.data());
    ASSERT_EQ(header.size(), 113u);
    EXPECT_EQ(header.substr(0, 9), "T 01 000 ");
    EXPECT_EQ(std::atoi(header.c_str() + 94), 12);
    ASSERT_EQ(fn<Down5>("totvnxr")(T, 2, 0, 0, buf.data()), 0);
    EXPECT_STREQ(buf.data(), "stored header");
    EXPECT_EQ(fn<Down5>("totvnxr")(T, 1, 13, 13, buf.data()), 8);
}

TEST_F(Emulator, ConfigurationBlocksHaveTheSizeOfTheirKind) {
    seed(1, "cfgm", 3, "stored block 3");
    connected();
    auto cfgmr = fn<Down4>("cfgmr");
    const std::size_t sizes[] = {27, 23, 35, 36, 23, 38, 80, 97, 54, 32, 22};
    for (int kind = 1; kind <= 11; ++kind) {
        std::vector<char> buf(4096, '\0');
        ASSERT_EQ(cfgmr(T, 2, kind, buf.data()), 0);
        EXPECT_EQ(std::strlen(buf.data()), sizes[kind - 1]) << kind;
    }
    std::vector<char> buf(4096, '\0');
    ASSERT_EQ(cfgmr(T, 1, 3, buf.data()), 0);
    EXPECT_STREQ(buf.data(), "stored block 3");
    EXPECT_EQ(cfgmr(T, 1, 0, buf.data()), 9);
    EXPECT_EQ(cfgmr(T, 1, 12, buf.data()), 9);
}

// ---- Addressing and connection --------------------------------------------------------

TEST_F(Emulator, SectionReadsComeFromTheMasterAndWritesGoToEveryScale) {
    for (int t = 1; t <= 4; ++t) seed(t, "lot", 0, "scale " + std::to_string(t));
    connected();
    int rc = 0;
    EXPECT_EQ(down("lotr", S, 1, 0, &rc), "scale 1");  // master
    EXPECT_EQ(down("lotr", S, 2, 0, &rc), "scale 3");  // no master: first registered
    EXPECT_EQ(down("lotr", T, 2, 0, &rc), "scale 2");
    EXPECT_EQ(down("lotr", T, 4, 0, &rc), "scale 4");

    ASSERT_EQ(up("lotw", S, 2, 1, "S 02 001 both\r\n"), 0);
    ASSERT_EQ(up("lotw", T, 1, 1, "T 01 001 one\r\n"), 0);
    ASSERT_EQ(close(), 0);
    EXPECT_EQ(stored(3, "lot").at(1), "S 02 001 both\r\n");
    EXPECT_EQ(stored(4, "lot").at(1), "S 02 001 both\r\n");
    EXPECT_EQ(stored(1, "lot").at(1), "T 01 001 one\r\n");
    EXPECT_EQ(stored(2, "lot").count(1), 0u);
}

TEST_F(Emulator, AddressingErrors) {
    connected();
    seed(1, "lot", 0, "x");
    struct Case {
        int type, number, expected;
    };
    for (Case c : {Case{T, 9, 30}, Case{S, 9, 30}, Case{'X', 1, 21}, Case{'s', 1, 21}, Case{'t', 1, 21},
                   Case{0, 1, 21}, Case{T, 1, 0}, Case{T, 2, 8}}) {
        int rc = -99;
        down("lotr", c.type, c.number, 0, &rc);
        EXPECT_EQ(rc, c.expected) << c.type << " " << c.number;
        EXPECT_EQ(up("lotw", c.type, c.number, 5, "line"), c.expected == 8 ? 0 : c.expected);
    }
}

TEST_F(Emulator, ALaterEntryForATerminalMovesIt) {
    seed(2, "lot", 0, "two");
    connected();
    ASSERT_EQ(add(2, 2, 1), 0);  // now the master of section 2
    int rc = 0;
    EXPECT_EQ(down("lotr", S, 2, 0, &rc), "two");
    ASSERT_EQ(add(100, 100, 2, "224.0.0.5"), 0);  // the entry made when there is no table
    down("lotr", S, 100, 0, &rc);
    EXPECT_EQ(rc, 8);
}

TEST_F(Emulator, DataCallsNeedAnOpenConnection) {
    network();
    seed(1, "lot", 0, "x");
    int rc = 0;
    down("lotr", T, 1, 0, &rc);
    EXPECT_EQ(rc, -1);
    EXPECT_EQ(up("lotw", T, 1, 0, "y"), -1);
    int count = 77;
    EXPECT_EQ(nlin(T, 1, &count), -1);
    EXPECT_EQ(count, 77);
    std::vector<char> modem(2000, '\0');
    EXPECT_EQ(fn<int(int, char*)>("inimodem")(2, modem.data()), 0);  // needs no connection
    EXPECT_EQ(close(), 0);                                           // nothing open: still 0
    ASSERT_EQ(open(), 0);
    down("lotr", T, 1, 0, &rc);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(close(), 0);
    down("lotr", T, 1, 0, &rc);
    EXPECT_EQ(rc, -1);
    EXPECT_EQ(stored(1, "lot").at(0), "x");
}

// ---- State folder -----------------------------------------------------------------------

TEST_F(Emulator, StateIsWrittenBackWhenTheLibraryIsUnloaded) {
    connected();
    ASSERT_EQ(up("lotw", T, 1, 2, "kept\r\n"), 0);
    unload();  // no closesockets
    EXPECT_EQ(stored(1, "lot").at(2), "kept\r\n");
}

TEST_F(Emulator, StateFolderDefaultsToTheWorkingDirectory) {
    unload();
    unsetenv("PORTALLIB_STATE");
    fs::path before = fs::current_path();
    fs::current_path(root);
    load();
    connected();
    EXPECT_EQ(up("lotw", T, 1, 0, "here"), 0);
    EXPECT_EQ(close(), 0);
    fs::current_path(before);
    EXPECT_TRUE(fs::exists(root / "portallib-state" / "journal.txt"));
    EXPECT_EQ(slurp(root / "portallib-state" / "t1.lot").find("0 here\n") != std::string::npos, true);
    EXPECT_FALSE(fs::exists(state));
}

TEST_F(Emulator, AScaleWhoseStoreIsCorruptFailsAloneAndItsFileIsLeftAlone) {
    fs::create_directories(state);
    const std::string corrupt = "0 fine\nthis is no record\n";
    spit(state / "t1.lot", corrupt);
    seed(3, "lot", 0, "three");
    connected();
    int rc = 0;
    EXPECT_EQ(down("lotr", T, 3, 0, &rc), "three");  // scale 1's file is never read
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(up("lotw", T, 2, 0, "two"), 0);
    down("lotr", T, 1, 0, &rc);
    EXPECT_EQ(rc, 3);
    EXPECT_EQ(up("lotw", S, 1, 0, "both"), 3);  // reaches all of the section or none
    ASSERT_EQ(close(), 0);
    EXPECT_EQ(slurp(state / "t1.lot"), corrupt);
    EXPECT_EQ(stored(2, "lot").at(0), "two");
}

// ---- Journal ------------------------------------------------------------------------------

TEST_F(Emulator, JournalHasOneExactLinePerCall) {
    fs::path logo = root / "L.BMP";
    auto setdebug = fn<int(int, int, int, int)>("setdebug");
    auto settimeouts = fn<int(int, int, int, int)>("settimeouts");
    setdebug(1, 1, 1, 1);
    settimeouts(2000000, 4, -1, 2);
    add(0, 0, 1, "224.0.0.5");
    open();
    std::vector<char> buf(4096, '\0');
    fn<Down5>("lotr")(S, 0, 0, 0, buf.data());
    fn<Down6>("plr")(S, 0, 0, 0, buf.data(), 0);
    fn<Up5>("lotw")(S, 1, 3, 3, "S 01 003 abc\r\n");
    int count = 0;
    nlin(S, 0, &count);
    fn<Down6>("totikt")(S, 0, 0, 0, buf.data(), 1);
    std::vector<unsigned char> block(17, 0);
    fn<int(int, int, int, int, unsigned char*)>("DumpMax")(T, 3, 256, 16, block.data());
    fn<FileFn>("logor")(S, 0, logo.c_str());
    fn<LabelFn>("labelw")(T, 1, 30, "QKLABELW.BIN");
    fn<int(int, int, const char*)>("pass")(S, 0, "590817");
    fn<int(int, int, int, int, int)>("delplu")(S, 0, 2, 2, 0);
    fn<int(int, int)>("bloq")(S, 0);
    fn<Up4>("taramw")(S, 0, 5, "\t\"q\"\\\x01\xb4\x7f");
    fn<Up5>("pliw")(S, 0, 0, 4, "S 00 001 X");
    fn<Down4>("cfgmr")(S, 0, 1, buf.data());
    fn<int(int, int, char*)>("relr")(S, 0, buf.data());
    fn<int(int, char*)>("inimodem")(1, buf.data());
    fn<Cmd3>("clrgt")(S, 0, 2);
    close();
    setdebug(0, 0, 0, 0);
    std::vector<std::string> expected = {
        "setdebug 1 1 1 1",
        "settimeouts 2000000 4 -1 2",
        "AddIPRelTableEntry 0 0 1 \"224.0.0.5\"",
        "opensocket \"192.168.2.5\" 2003 2003 12",
        "lotr 83 0 0 0 buf",
        "plr 83 0 0 0 buf 0",
        "lotw 83 1 3 3 \"S 01 003 abc\\r\\n\"",
        "NLinVolcToRead 83 0 count",
        "totikt 83 0 0 0 buf 1",
        "DumpMax 84 3 256 16 buf",
        "logor 83 0 \"" + logo.string() + "\"",
        "labelw 84 1 30 \"QKLABELW.BIN\"",
        "pass 83 0 \"590817\"",
        "delplu 83 0 2 2 0",
        "bloq 83 0",
        "taramw 83 0 5 \"\\t\\\"q\\\"\\\\\\x01\\xb4\\x7f\"",
        "pliw 83 0 0 4 \"S 00 001 X\"",
        "cfgmr 83 0 1 buf",
        "relr 83 0 buf",
        "inimodem 1 buf",
        "clrgt 83 0 2",
        "closesockets",
        "setdebug 0 0 0 0",
    };
    EXPECT_EQ(journal(), expected);

    // A second process appends.
    reload();
    close();
    EXPECT_EQ(journal().size(), expected.size() + 1);
    EXPECT_EQ(journal().back(), "closesockets");
}

TEST_F(Emulator, JournalCanBeSwitchedOff) {
    unload();
    setenv("PORTALLIB_JOURNAL", "0", 1);
    load();
    connected();
    EXPECT_EQ(up("lotw", T, 1, 0, "x"), 0);
    EXPECT_EQ(close(), 0);
    EXPECT_FALSE(fs::exists(state / "journal.txt"));
    EXPECT_EQ(stored(1, "lot").at(0), "x");
}

// ---- Fault plan -------------------------------------------------------------------------------

class Faults : public Emulator {
protected:
    void plan(const char* rules) {
        unload();
        setenv("PORTALLIB_FAULTS", rules, 1);
        load();
    }
};

TEST_F(Faults, CodesForEveryCallOrForTheNthCall) {
    seed(1, "lot", 0, "x");
    plan("lotr#2=3;famr=8;opensocket#2=-1");
    connected();
    int rc = 0;
    std::vector<int> results;
    for (int i = 0; i < 4; ++i) {
        down("lotr", T, 1, 0, &rc);
        results.push_back(rc);
    }
    EXPECT_EQ(results, (std::vector<int>{0, 3, 0, 0}));
    down("famr", T, 1, 0, &rc);
    EXPECT_EQ(rc, 8);
    EXPECT_EQ(open(), -1);  // the second opensocket
    // Faulted calls are journaled like any other.
    auto lines = journal();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "lotr 84 1 0 0 buf"), 4);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "famr 84 1 0 0 buf"), 1);
}

TEST_F(Faults, ACodeHasNoEffect) {
    plan("lotw=9;opensocket#1=46;closesockets#1=46");
    network();
    int rc = 0;
    EXPECT_EQ(open(), 46);
    down("lotr", T, 1, 0, &rc);
    EXPECT_EQ(rc, -1);  // the connection did not open
    EXPECT_EQ(open(), 0);
    EXPECT_EQ(up("lotw", T, 1, 0, "x"), 9);
    EXPECT_EQ(close(), 46);
    down("lotr", T, 1, 0, &rc);
    EXPECT_EQ(rc, 8);  // still open, and nothing was stored
}

TEST_F(Faults, UntouchedAndFill) {
    seed(1, "lot", 0, "real");
    seed(1, "merm", 0, "real");
    plan("lotr#1=untouched;lotr#2=fill:10;mermr=fill:5000;lotw=untouched;DumpMax=fill:40");
    connected();
    std::vector<char> buf(4200, 'Q');
    EXPECT_EQ(fn<Down5>("lotr")(T, 1, 0, 0, buf.data()), 0);
    EXPECT_EQ(std::string(buf.data(), 20), std::string(20, 'Q'));
    EXPECT_EQ(fn<Down5>("lotr")(T, 1, 0, 0, buf.data()), 0);
    EXPECT_EQ(std::string(buf.data(), 12), "XXXXXXXXXXQQ");  // no terminating zero
    EXPECT_EQ(fn<Down5>("lotr")(T, 1, 0, 0, buf.data()), 0);
    EXPECT_STREQ(buf.data(), "real");
    std::fill(buf.begin(), buf.end(), 'Q');
    EXPECT_EQ(fn<Down5>("mermr")(T, 1, 0, 0, buf.data()), 0);
    EXPECT_EQ(std::count(buf.begin(), buf.end(), 'X'), 1024);  // never past mermr's buffer
    std::vector<unsigned char> block(40, 'Q');
    EXPECT_EQ(fn<int(int, int, int, int, unsigned char*)>("DumpMax")(T, 1, 0, 16, block.data()), 0);
    EXPECT_EQ(std::count(block.begin(), block.end(), 'X'), 17);  // the dump's 17-byte block
    EXPECT_EQ(up("lotw", T, 1, 5, "dropped"), 0);
    ASSERT_EQ(close(), 0);
    EXPECT_EQ(stored(1, "lot").count(5), 0u);
}

TEST_F(Faults, FillFailLeavesBytesAndReturnsTheCode) {
    seed(1, "lot", 0, "real");
    plan("lotr#1=fillfail:10:8;lotr#2=fillfail:0:-1;mermr=fillfail:5000:3;famr=fillfail:4;cmdr=fillfail:x:8");
    connected();
    std::vector<char> buf(4200, 'Q');
    EXPECT_EQ(fn<Down5>("lotr")(T, 1, 0, 0, buf.data()), 8);
    EXPECT_EQ(std::string(buf.data(), 12), "XXXXXXXXXXQQ");  // no terminating zero
    std::fill(buf.begin(), buf.end(), 'Q');
    EXPECT_EQ(fn<Down5>("lotr")(T, 1, 0, 0, buf.data()), -1);
    EXPECT_EQ(std::string(buf.data(), 4), "QQQQ");  // nothing filled, the code still returned
    EXPECT_EQ(fn<Down5>("lotr")(T, 1, 0, 0, buf.data()), 0);
    EXPECT_STREQ(buf.data(), "real");
    std::fill(buf.begin(), buf.end(), 'Q');
    EXPECT_EQ(fn<Down5>("mermr")(T, 1, 0, 0, buf.data()), 3);
    EXPECT_EQ(std::count(buf.begin(), buf.end(), 'X'), 1024);  // never past mermr's buffer
    int rc = 0;
    down("famr", T, 1, 0, &rc);  // a rule without its code is ignored
    EXPECT_EQ(rc, 8);            // and the call answered as usual: nothing stored
    down("cmdr", T, 1, 0, &rc);
    EXPECT_EQ(rc, 8);
}

TEST_F(Faults, CountReportsWithoutTheStore) {
    plan("NLinVolcToRead#1=count:4;NLinVolcToRead#2=count:6");
    connected();
    std::vector<int> counts;
    for (int i = 0; i < 3; ++i) {
        int count = -5;
        EXPECT_EQ(nlin(T, 9, &count), i < 2 ? 0 : 30);  // scale 9 does not exist
        counts.push_back(count);
    }
    EXPECT_EQ(counts, (std::vector<int>{4, 6, -5}));
}

TEST_F(Faults, AddBringsTicketLinesForTheNextPass) {
    for (int i = 0; i < 4; ++i) seed(1, "ticket", i, "line " + std::to_string(i));
    plan("NLinVolcToRead#2=add:6");
    connected();
    auto totik = fn<Down6>("totik");
    std::vector<char> buf(4096, '\0');
    int count = 0;
    // The passes of the ticket tool's mode 1.
    ASSERT_EQ(nlin(S, 1, &count), 0);
    EXPECT_EQ(count, 4);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(totik(S, 1, i, i, buf.data(), 0), 0);
    ASSERT_EQ(nlin(S, 1, &count), 0);
    EXPECT_EQ(count, 6);
    for (int i = 4; i < 10; ++i) {
        ASSERT_EQ(totik(S, 1, i, i, buf.data(), 0), 0);
        EXPECT_STREQ(buf.data(), ("TICKET T001 LINE 000" + std::to_string(i)).c_str());
    }
    ASSERT_EQ(nlin(S, 1, &count), 0);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(totik(S, 1, 0, 0, buf.data(), 1), 0);
    ASSERT_EQ(close(), 0);
    EXPECT_TRUE(stored(1, "ticket").empty());
}

TEST_F(Faults, PlanFileAndEnvironmentTogether) {
    fs::create_directories(state);
    spit(state / "faults.txt", "# test plan\nlotr#1 = 30\r\n\nfamr=9\n");
    seed(1, "lot", 0, "x");
    plan("lotr#1=27; cmdr=7");
    connected();
    int rc = 0;
    down("lotr", T, 1, 0, &rc);
    EXPECT_EQ(rc, 27);  // the environment's rules come after the file's
    down("famr", T, 1, 0, &rc);
    EXPECT_EQ(rc, 9);
    down("cmdr", T, 1, 0, &rc);
    EXPECT_EQ(rc, 7);
}

TEST_F(Faults, TheNthCallWinsOverEveryCallAndBadRulesAreIgnored) {
    seed(1, "lot", 0, "x");
    plan("lotr#2=5;lotr=9;bogus;lotr#0=1;lotr=fill:-1;lotr=frob;=4;famr=count:3");
    connected();
    int rc = 0;
    std::vector<int> results;
    for (int i = 0; i < 3; ++i) {
        down("lotr", T, 1, 0, &rc);
        results.push_back(rc);
    }
    EXPECT_EQ(results, (std::vector<int>{9, 5, 9}));
    down("famr", T, 1, 0, &rc);  // count: means nothing to famr
    EXPECT_EQ(rc, 8);
}

// ---- Tickets ---------------------------------------------------------------------------------

TEST_F(Emulator, TicketLinesAreCountedReadAndReleased) {
    for (int i = 0; i < 5; ++i) seed(1, "ticket", i, std::string("line\0", 5) + std::to_string(i));
    connected();
    auto totik = fn<Down6>("totik");
    auto totikt = fn<Down6>("totikt");
    std::vector<char> buf(4096, '\0');
    int count = 0;
    ASSERT_EQ(nlin(S, 1, &count), 0);
    EXPECT_EQ(count, 5);
    ASSERT_EQ(totik(S, 1, 0, 0, buf.data(), 0), 0);
    EXPECT_EQ(std::string(buf.data(), 6), std::string("line\0", 5) + "0");
    ASSERT_EQ(totikt(S, 1, 2, 2, buf.data(), 0), 0);  // one list for both
    EXPECT_EQ(std::string(buf.data(), 6), std::string("line\0", 5) + "2");
    ASSERT_EQ(nlin(S, 1, &count), 0);
    EXPECT_EQ(count, 2);  // lines beyond the last one read
    EXPECT_EQ(totik(S, 1, 7, 7, buf.data(), 0), 8);
    EXPECT_EQ(totik(S, 1, 0, 0, buf.data(), 2), 9);
    ASSERT_EQ(nlin(T, 2, &count), 0);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(totikt(S, 1, 0, 0, buf.data(), 1), 0);
    ASSERT_EQ(nlin(S, 1, &count), 0);
    EXPECT_EQ(count, 0);
    ASSERT_EQ(close(), 0);
    reload();
    connected();
    ASSERT_EQ(nlin(S, 1, &count), 0);
    EXPECT_EQ(count, 0);  // a second run reads nothing again
    EXPECT_FALSE(fs::exists(state / "t1.ticket"));
}

// ---- Commands ----------------------------------------------------------------------------------

TEST_F(Emulator, CommandsChangeWhatTheScalesHold) {
    for (int t : {1, 2}) {
        for (const char* kind : {"totvn", "totvnx", "ticket", "merm", "cmd"}) seed(t, kind, 0, kind);
        for (int i = 0; i < 6; ++i) seed(t, "pl", i, "article " + std::to_string(i));
        seed(t, "label", 30, "label 30");
        seed(t, "label", 31, "label 31");
    }
    connected();
    EXPECT_EQ(fn<Cmd3>("clrgt")(S, 1, 2), 0);
    EXPECT_EQ(fn<Cmd3>("clrmerm")(T, 1, 0), 0);
    EXPECT_EQ(fn<Cmd3>("clrcmd")(S, 1, 0), 0);
    EXPECT_EQ(fn<int(int, int)>("bloq")(T, 2), 0);
    EXPECT_EQ(fn<Cmd3>("label_er")(T, 2, 30), 0);
    EXPECT_EQ(fn<Cmd3>("label_er")(T, 2, 99), 0);
    auto delplu = fn<int(int, int, int, int, int)>("delplu");
    EXPECT_EQ(delplu(S, 1, 2, 2, 0), 0);
    EXPECT_EQ(delplu(S, 1, 3, 4, 0), 0);
    EXPECT_EQ(delplu(S, 1, 9, 9, 0), 0);  // nothing to delete is no error
    EXPECT_EQ(delplu(S, 1, 1, 0, 0), 0);  // first above last deletes nothing
    EXPECT_EQ(fn<int(int, int, const char*)>("pass")(S, 1, "590817"), 0);
    EXPECT_EQ(fn<Cmd3>("clrgt")(T, 9, 2), 30);
    ASSERT_EQ(close(), 0);
    for (int t : {1, 2}) {
        SCOPED_TRACE(t);
        EXPECT_TRUE(stored(t, "totvn").empty());
        EXPECT_TRUE(stored(t, "totvnx").empty());
        EXPECT_TRUE(stored(t, "ticket").empty());
        EXPECT_TRUE(stored(t, "cmd").empty());
        Records pl = stored(t, "pl");
        EXPECT_EQ(pl.size(), 3u);
        EXPECT_EQ(pl.count(0) + pl.count(1) + pl.count(5), 3u);
        EXPECT_EQ(stored(t, "pass").at(0), "590817");
    }
    EXPECT_TRUE(stored(1, "merm").empty());
    EXPECT_EQ(stored(2, "merm").at(0), "merm");
    EXPECT_TRUE(stored(1, "lock").empty());
    EXPECT_EQ(stored(2, "lock").at(0), "1");
    EXPECT_EQ(stored(1, "label").size(), 2u);
    EXPECT_EQ(stored(2, "label").count(30), 0u);
    EXPECT_EQ(stored(2, "label").at(31), "label 31");
}

// ---- Files, memory, modem -------------------------------------------------------------------------

TEST_F(Emulator, LogosFormatsAndLabelsMoveWholeFiles) {
    std::string image("BM\0\0\r\n\x1a\xff image", 14);
    spit(root / "send.bmp", image);
    connected();
    auto logow = fn<FileFn>("logow");
    auto logor = fn<FileFn>("logor");
    auto formr = fn<FileFn>("formr");
    auto labelw = fn<LabelFn>("labelw");
    auto labelr = fn<LabelFn>("labelr");
    auto path = [&](const char* name) { return (root / name).string(); };

    EXPECT_EQ(logow(S, 1, path("send.bmp").c_str()), 0);
    EXPECT_EQ(logor(T, 2, path("back.bmp").c_str()), 0);
    EXPECT_EQ(slurp(root / "back.bmp"), image);

    EXPECT_EQ(formr(T, 3, path("form3.bmp").c_str()), 0);  // nothing stored: a small default image
    EXPECT_EQ(logor(T, 3, path("logo3.bmp").c_str()), 0);
    std::string form = slurp(root / "form3.bmp"), logo = slurp(root / "logo3.bmp");
    EXPECT_EQ(form.size(), 246u);
    EXPECT_EQ(form.substr(0, 2), "BM");
    EXPECT_NE(form, logo);
    EXPECT_EQ(formr(T, 3, path("again.bmp").c_str()), 0);
    EXPECT_EQ(slurp(root / "again.bmp"), form);

    EXPECT_EQ(labelw(T, 1, 30, path("SEND.BMP").c_str()), 0);  // the name's case does not matter
    EXPECT_EQ(labelr(T, 1, 30, path("label.bin").c_str()), 0);
    EXPECT_EQ(slurp(root / "label.bin"), image);
    EXPECT_EQ(labelr(T, 1, 31, path("none.bin").c_str()), 8);
    EXPECT_FALSE(fs::exists(root / "none.bin"));
    EXPECT_EQ(logow(T, 1, path("missing.bmp").c_str()), 8);
    EXPECT_EQ(labelw(T, 1, 1, path("missing.bin").c_str()), 8);
    EXPECT_EQ(logor(T, 1, path("no/such/folder.bmp").c_str()), 8);
    EXPECT_EQ(fn<Cmd3>("label_er")(T, 1, 30), 0);
    EXPECT_EQ(labelr(T, 1, 30, path("gone.bin").c_str()), 8);
}

TEST_F(Emulator, MemoryDumpOfTheDefaultImageAndStoredBlocks) {
    seed(1, "memory", 0x100, "HELLO");
    connected();
    auto dump = fn<int(int, int, int, int, unsigned char*)>("DumpMax");
    std::vector<unsigned char> block(17, 'Q');
    ASSERT_EQ(dump(T, 1, 0xFE, 16, block.data()), 0);
    // (a*7 + (a>>8) + terminal) & 0xFF around the stored "HELLO" at 0x100.
    const unsigned char expected[17] = {0xF3, 0xFA, 'H', 'E', 'L', 'L', 'O', 0x25, 0x2C, 0x33,
                                        0x3A, 0x41, 0x48, 0x4F, 0x56, 0x5D, 'Q'};
    EXPECT_EQ(std::vector<unsigned char>(block.begin(), block.end()),
              std::vector<unsigned char>(expected, expected + 17));
    ASSERT_EQ(dump(S, 2, -1, 2, block.data()), 0);  // scale 3, addresses 0xFFFFFFFF and 0
    EXPECT_EQ(block[0], (0xF9 + 0xFF + 3) & 0xFF);
    EXPECT_EQ(block[1], 3);
    EXPECT_EQ(dump(T, 1, 0, -1, block.data()), 9);
}

TEST_F(Emulator, ModemTextsAndSending) {
    seed(portallib::kGateway, "shop", 0, "MY SHOP\n");
    auto inimodem = fn<int(int, char*)>("inimodem");
    std::vector<char> buf(2000, '\0');
    ASSERT_EQ(inimodem(1, buf.data()), 0);
    EXPECT_EQ(std::string(buf.data()).rfind("OFFICE CONFIGURATION\n", 0), 0u);
    ASSERT_EQ(inimodem(2, buf.data()), 0);
    EXPECT_STREQ(buf.data(), "MY SHOP\n");
    ASSERT_EQ(inimodem(5, buf.data()), 0);
    EXPECT_EQ(std::string(buf.data()).rfind("MODEM CONFIGURATION\n", 0), 0u);
    std::string modem = buf.data();
    std::fill(buf.begin(), buf.end(), 'Z');  // sending never reads the buffer
    EXPECT_EQ(inimodem(3, buf.data()), 0);
    EXPECT_EQ(inimodem(0, buf.data()), 9);
    EXPECT_EQ(inimodem(6, buf.data()), 9);
    EXPECT_EQ(stored(portallib::kGateway, "modemsent").at(3), modem);
}

// ---- The library itself --------------------------------------------------------------------------

std::string command_output(const std::string& command) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return out;
    char chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, p)) > 0;) out.append(chunk, n);
    pclose(p);
    return out;
}

std::set<std::string> symbols(const std::string& library, const char* which) {
    std::istringstream in(command_output("nm -D " + std::string(which) + " '" + library + "' 2>/dev/null"));
    std::set<std::string> names;
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string field, last;
        while (fields >> field) last = field;
        std::size_t at = last.find('@');
        names.insert(last.substr(0, at));
    }
    return names;
}

TEST(EmulatorLibrary, ExportsEveryEntryPointAndNeverUsesASocket) {
    if (command_output("nm --version 2>/dev/null").empty()) GTEST_SKIP() << "nm not installed";
    std::set<std::string> exported = symbols(PORTALLIB_PATH, "--defined-only");
    EXPECT_EQ(exported, std::set<std::string>(kEntryPoints.begin(), kEntryPoints.end()));
    std::set<std::string> imported = symbols(PORTALLIB_PATH, "--undefined-only");
    ASSERT_FALSE(imported.empty());
    for (const char* net : {"socket", "connect", "bind", "listen", "accept", "send", "sendto", "sendmsg", "recv",
                            "recvfrom", "recvmsg", "getaddrinfo", "gethostbyname", "socketpair"})
        EXPECT_EQ(imported.count(net), 0u) << net;
}

TEST(EmulatorLibrary, ReducedVariantsLackExactlyTheirEntryPoint) {
    for (const char* omitted : {"lotr", "AddIPRelTableEntry", "NLinVolcToRead", "inimodem", "pass"}) {
        std::string path = std::string(PORTALLIB_VARIANTS_DIR) + "/PortalLib_no_" + omitted + "/libPortalLib.so";
        void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(lib, nullptr) << dlerror();
        for (const std::string& name : kEntryPoints)
            EXPECT_EQ(dlsym(lib, name.c_str()) == nullptr, name == omitted) << path << " " << name;
        dlclose(lib);
    }
}

}  // namespace
