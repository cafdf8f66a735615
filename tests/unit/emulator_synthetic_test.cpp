// The emulator's benchmark mode PORTALLIB_SYNTHETIC_RECORDS=N: after
// opensocket every record download answers an N-byte text made for the call,
// without journal, fault plan, addressing or store. Each test loads the
// library afresh, so the setting is read again.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "emulator_support.h"

#ifndef PORTALLIB_PATH
#error "PORTALLIB_PATH must name the built library"
#endif

namespace {

using namespace emulator_test;

using Down5 = int(int, int, int, int, char*);
using Down6 = int(int, int, int, int, char*, int);
using Down4 = int(int, int, int, char*);
using Up5 = int(int, int, int, int, const char*);

class SyntheticRecords : public ::testing::Test {
protected:
    void SetUp() override {
        root = fresh_folder("synthetic");
        setenv("PORTALLIB_STATE", (root / "state").c_str(), 1);
        unsetenv("PORTALLIB_FAULTS");
        unsetenv("PORTALLIB_JOURNAL");
        unsetenv("PORTALLIB_SYNTHETIC_RECORDS");
    }
    void TearDown() override {
        if (lib) dlclose(lib);
        for (const char* v : {"PORTALLIB_STATE", "PORTALLIB_FAULTS", "PORTALLIB_SYNTHETIC_RECORDS"}) unsetenv(v);
        fs::remove_all(root);
    }
    // Loads the library with the mode set to value (nullptr: unset), registers
    // terminal 0 in section 0 and, when asked, opens the connection.
    void start(const char* value, bool open = true) {
        if (value) {
            setenv("PORTALLIB_SYNTHETIC_RECORDS", value, 1);
        } else {
            unsetenv("PORTALLIB_SYNTHETIC_RECORDS");
        }
        lib = dlopen(PORTALLIB_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(lib, nullptr) << dlerror();
        ASSERT_EQ(fn<int(int, int, int, const char*)>("AddIPRelTableEntry")(0, 0, 1, "127.0.0.1"), 0);
        if (open) {
            ASSERT_EQ(fn<int(const char*, int, int, int)>("opensocket")("127.0.0.1", 2003, 2003, 12), 0);
        }
    }
    template <class F>
    F* fn(const char* name) {
        void* p = dlsym(lib, name);
        if (!p) ADD_FAILURE() << "no entry point " << name;
        return reinterpret_cast<F*>(p);
    }
    // A record download into a 4096-byte buffer of 'Z': the code, and the
    // bytes up to the first zero in *text.
    int lotr(int type, int number, int index, std::string* text) {
        std::vector<char> buf(4096, 'Z');
        const int rc = fn<Down5>("lotr")(type, number, index, index, buf.data());
        text->assign(buf.data(), strnlen(buf.data(), buf.size()));
        return rc;
    }
    std::string journal() { return slurp(root / "state" / "journal.txt"); }

    fs::path root;
    void* lib = nullptr;
};

std::string expected(const std::string& head, std::size_t size) {
    std::string t = head;
    for (char d = '0'; t.size() + 2 < size; d = d == '9' ? '0' : static_cast<char>(d + 1)) t += d;
    t += "\r\n";
    t.resize(size);
    return t;
}

TEST_F(SyntheticRecords, EveryDownloadAnswersTheTextOfItsCallWithoutStoreJournalOrFaults) {
    // A stored record and a fault plan that would fail every lotr: neither is used.
    fs::create_directories(root / "state");
    spit(root / "state" / "t0.lot", "5 STORED\\r\\n\n");
    setenv("PORTALLIB_FAULTS", "lotr=8;plr=8;lotw=9", 1);
    start("60");
    std::string text;
    ASSERT_EQ(lotr('S', 0, 5, &text), 0);
    EXPECT_EQ(text, expected("S 00 0000005 ", 60));
    EXPECT_EQ(text.size(), 60u);
    ASSERT_EQ(lotr('T', 7, 1234567, &text), 0);  // no such scale: not consulted
    EXPECT_EQ(text, expected("T 07 1234567 ", 60));

    std::vector<char> buf(4096, 'Z');
    ASSERT_EQ(fn<Down6>("plr")('S', 0, 3, 3, buf.data(), 0), 0);
    EXPECT_EQ(std::string(buf.data()), expected("S 00 0000003 ", 60));
    ASSERT_EQ(fn<Down6>("bobr")('S', 1, 4, 4, buf.data(), 2), 0);
    EXPECT_EQ(std::string(buf.data()), expected("S 01 0000004 ", 60));
    ASSERT_EQ(fn<Down4>("taramr")('S', 0, 9, buf.data()), 0);
    EXPECT_EQ(std::string(buf.data()), expected("S 00 0000009 ", 60));

    // Uploads are not affected: the fault plan answers them.
    EXPECT_EQ(fn<Up5>("lotw")('S', 0, 1, 1, "S 00 001 a\r\n"), 9);

    EXPECT_EQ(journal().find("lotr"), std::string::npos);
    EXPECT_EQ(journal().find("plr"), std::string::npos);
    EXPECT_NE(journal().find("lotw 83 0 1 1"), std::string::npos);
    EXPECT_EQ(slurp(root / "state" / "t0.lot"), "5 STORED\\r\\n\n");
}

TEST_F(SyntheticRecords, IndexDigitsFollowEveryOrderOfCalls) {
    start("40");
    // Runs of consecutive indexes (with carries), jumps back, a negative
    // index (its magnitude) and one over seven digits (its lowest seven).
    const std::vector<std::pair<int, std::string>> cases = {
        {8, "0000008"},        {9, "0000009"},       {10, "0000010"},       {11, "0000011"},
        {99, "0000099"},       {100, "0000100"},     {3, "0000003"},        {9999998, "9999998"},
        {9999999, "9999999"},  {10000000, "0000000"}, {10000001, "0000001"}, {-5, "0000005"},
        {-4, "0000004"},       {2147483647, "7483647"},
    };
    for (const auto& [index, digits] : cases) {
        SCOPED_TRACE(index);
        std::string text;
        ASSERT_EQ(lotr('S', 0, index, &text), 0);
        EXPECT_EQ(text, expected("S 00 " + digits + " ", 40));
    }
}

// The text goes out in whole 16-byte blocks: zeros follow its zero byte up to
// the block's end, and nothing beyond that block (or the buffer) is touched.
TEST_F(SyntheticRecords, TextIsStoredInWholeBlocks) {
    struct Case {
        const char* size;
        std::size_t buffer;   // of the call: 4096 for lotr, 1024 for mermr
        std::size_t length;   // of the text
        std::size_t zeros;    // from the text's end
    };
    const Case cases[] = {
        {"60", 4096, 60, 4},     // 60..63
        {"64", 4096, 64, 16},    // a block of its own for the zero byte
        {"9", 4096, 9, 1},       // cut inside the index digits: byte by byte
        {"1020", 1024, 1020, 4},  // the last block ends with the buffer
        {"1023", 1024, 1023, 1},
        {"4095", 1024, 1023, 1},  // cut to the buffer: byte by byte
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        start(c.size);
        std::vector<char> buf(c.buffer, 'Z');
        if (c.buffer == 4096) {
            ASSERT_EQ(fn<Down5>("lotr")('S', 0, 7, 7, buf.data()), 0);
        } else {
            ASSERT_EQ(fn<Down5>("mermr")('S', 0, 7, 7, buf.data()), 0);
        }
        EXPECT_EQ(strnlen(buf.data(), buf.size()), c.length);
        EXPECT_EQ(std::string(buf.data() + c.length, c.zeros), std::string(c.zeros, '\0'));
        const std::size_t rest = c.buffer - c.length - c.zeros;
        EXPECT_EQ(std::string(buf.data() + c.length + c.zeros, rest), std::string(rest, 'Z'));
        dlclose(lib);
        lib = nullptr;
    }
}

TEST_F(SyntheticRecords, SizeIsCutToTheBuffer) {
    start("4095");
    std::string text;
    ASSERT_EQ(lotr('S', 0, 1, &text), 0);
    EXPECT_EQ(text, expected("S 00 0000001 ", 4095));
    std::vector<char> buf(1024, 'Z');
    ASSERT_EQ(fn<Down5>("mermr")('S', 0, 2, 2, buf.data()), 0);  // a 1024-byte buffer
    EXPECT_EQ(buf[1023], '\0');
    EXPECT_EQ(std::string(buf.data()), expected("S 00 0000002 ", 4095).substr(0, 1023));
}

TEST_F(SyntheticRecords, TextsShorterThanTheHeaderAreItsStart) {
    start("9");
    std::string text;
    ASSERT_EQ(lotr('S', 3, 12, &text), 0);
    EXPECT_EQ(text, "S 03 0000");
}

TEST_F(SyntheticRecords, OffUnlessAValidSizeIsGivenOrBeforeTheConnection) {
    for (const char* value : {static_cast<const char*>(nullptr), "", "0", "-60", "60x", "4096"}) {
        SCOPED_TRACE(value ? value : "(unset)");
        start(value);
        std::string text;
        EXPECT_EQ(lotr('S', 0, 1, &text), 8);  // the empty store answers
        dlclose(lib);
        lib = nullptr;
    }
    start("60", false);
    std::string text;
    EXPECT_EQ(lotr('S', 0, 1, &text), -1);  // no connection yet
}

}  // namespace
