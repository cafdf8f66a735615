// The emulator's store: file format, escapes, lazy loading and atomic saving.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "emulator/defaults.h"
#include "emulator/store.h"
#include "emulator_support.h"

namespace {

using namespace emulator_test;
using portallib::Records;
using portallib::Store;

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override { dir = fresh_folder("store") / "state"; }
    void TearDown() override { fs::remove_all(dir.parent_path()); }
    fs::path dir;
};

TEST(StoreEscape, EveryByteSurvivesAndTheTextIsPrintableAscii) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    std::string text = portallib::escape(all);
    for (char c : text) {
        ASSERT_GE(static_cast<unsigned char>(c), 0x20);
        ASSERT_LE(static_cast<unsigned char>(c), 0x7e);
    }
    std::string back;
    ASSERT_TRUE(portallib::unescape(text, back));
    EXPECT_EQ(back, all);
}

TEST(StoreEscape, UsesTheShortEscapesAndLowerCaseHex) {
    EXPECT_EQ(portallib::escape(std::string("a\\b\"c\r\n\t\x01\xb4\x7f\0z", 13)),
              "a\\\\b\\\"c\\r\\n\\t\\x01\\xb4\\x7f\\x00z");
}

TEST(StoreEscape, RejectsMalformedText) {
    std::string out;
    for (const char* bad : {"\\", "\\x", "\\x4", "\\xg0", "\\q", "tab\there"}) {
        EXPECT_FALSE(portallib::unescape(bad, out)) << bad;
    }
    EXPECT_TRUE(portallib::unescape("\\x41\\X", out) == false);
    ASSERT_TRUE(portallib::unescape("\\x41B", out));
    EXPECT_EQ(out, "AB");  // exactly two digits, unlike C
}

TEST_F(StoreTest, SavedFileHoldsOneEscapedRecordPerLine) {
    Store s(dir);
    s.records(1, "lot")[3] = "S 01 003 abc\r\n";
    s.records(1, "lot")[-2] = std::string("z\0\xb4", 3);
    s.records(1, "lot")[10] = "";
    ASSERT_TRUE(s.save());
    EXPECT_EQ(slurp(dir / "t1.lot"),
              "# portallib store: one record per line, \"<index> <bytes with C escapes>\"\n"
              "-2 z\\x00\\xb4\n"
              "3 S 01 003 abc\\r\\n\n"
              "10 \n");
}

TEST_F(StoreTest, RecordsComeBackByteForByteFromAnotherStore) {
    std::string bytes;
    for (int b = 255; b >= 0; --b) bytes += static_cast<char>(b);
    {
        Store s(dir);
        s.records(7, "totvn")[1] = bytes;
        s.records(portallib::kGateway, "modem")[0] = "AT\r\n";
        ASSERT_TRUE(s.save());
    }
    EXPECT_TRUE(fs::exists(dir / "gateway.modem"));
    Store again(dir);
    EXPECT_EQ(again.records(7, "totvn").at(1), bytes);
    EXPECT_EQ(again.records(portallib::kGateway, "modem").at(0), "AT\r\n");
}

TEST_F(StoreTest, HandEditedFilesWithCrLfAndCommentsAreRead) {
    fs::create_directories(dir);
    spit(dir / "t2.fam", "# edited\r\n5 S 02 005 FISH\\r\\n\r\n\r\n6\r\n");
    Store s(dir);
    Records& fam = s.records(2, "fam");
    ASSERT_EQ(fam.size(), 2u);
    EXPECT_EQ(fam.at(5), "S 02 005 FISH\r\n");
    EXPECT_EQ(fam.at(6), "");
}

TEST_F(StoreTest, MalformedFileIsReportedWithItsLineAndLeftAlone) {
    fs::create_directories(dir);
    const std::string corrupt = "1 fine\nx2 bad index\n";
    spit(dir / "t1.lot", corrupt);
    spit(dir / "t2.lot", "1 bad \\q escape\n");
    Store s(dir);
    std::string error;
    EXPECT_EQ(s.find(1, "lot", &error), nullptr);
    EXPECT_NE(error.find("t1.lot:2"), std::string::npos) << error;
    EXPECT_THROW(s.records(2, "lot"), portallib::StoreError);
    // Another scale's store does not care.
    s.records(3, "lot")[0] = "S 01 000 ok\r\n";
    ASSERT_TRUE(s.save());
    EXPECT_EQ(slurp(dir / "t1.lot"), corrupt);
}

TEST_F(StoreTest, StoresAreReadOnlyWhenTouched) {
    fs::create_directories(dir);
    spit(dir / "t1.lot", "garbage without index\n");
    Store s(dir);
    s.records(2, "lot")[0] = "x";
    EXPECT_TRUE(s.save());
}

TEST_F(StoreTest, SaveWritesOnlyWhatChangedAndLeavesNoTemporaryFiles) {
    {
        Store s(dir);
        s.records(1, "lot")[0] = "a";
        s.records(1, "fam")[0] = "b";
        ASSERT_TRUE(s.save());
    }
    Store s(dir);
    s.records(1, "lot");           // loaded, unchanged
    s.records(1, "fam")[0] = "c";  // changed
    // Replace the lot file behind the store's back: an unchanged store must
    // not write over it.
    spit(dir / "t1.lot", "0 other\n");
    EXPECT_TRUE(s.changed());
    ASSERT_TRUE(s.save());
    EXPECT_FALSE(s.changed());
    EXPECT_EQ(slurp(dir / "t1.lot"), "0 other\n");
    int files = 0;
    for (const auto& e : fs::directory_iterator(dir)) {
        ++files;
        EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();
    }
    EXPECT_EQ(files, 2);
}

TEST_F(StoreTest, AnEditThatKeepsTheSizeIsStillSaved) {
    {
        Store s(dir);
        s.records(1, "lot")[0] = "abc";
        s.records(1, "lot")[1] = "def";
        ASSERT_TRUE(s.save());
    }
    Store s(dir);
    s.records(1, "lot")[0][1] = 'X';
    std::swap(s.records(1, "lot")[0], s.records(1, "lot")[1]);
    EXPECT_TRUE(s.changed());
    ASSERT_TRUE(s.save());
    EXPECT_EQ(Store(dir).records(1, "lot"), (Records{{0, "def"}, {1, "aXc"}}));
}

TEST_F(StoreTest, EmptiedStoreRemovesItsFile) {
    {
        Store s(dir);
        s.records(4, "ticket")[0] = "line";
        ASSERT_TRUE(s.save());
    }
    Store s(dir);
    s.records(4, "ticket").clear();
    ASSERT_TRUE(s.save());
    EXPECT_FALSE(fs::exists(dir / "t4.ticket"));
}

TEST_F(StoreTest, SaveIntoAFolderThatCannotBeCreatedFails) {
    fs::create_directories(dir.parent_path());
    spit(dir, "a file where the folder should be");
    Store s(dir);
    s.records(1, "lot")[0] = "x";
    std::string error;
    EXPECT_FALSE(s.save(&error));
    EXPECT_NE(error.find("t1.lot"), std::string::npos) << error;
}

TEST_F(StoreTest, OnDiskListsScalesAndKindsInOrderWithoutLoading) {
    fs::create_directories(dir);
    for (const char* name : {"t10.lot", "t2.pl", "t2.fam", "gateway.office", "journal.txt", "faults.txt",
                             "t3.lot.tmp123", "tx.lot", "t-1.lot"})
        spit(dir / name, "not read\n");
    Store s(dir);
    std::vector<std::pair<int, std::string>> expected = {
        {portallib::kGateway, "office"}, {-1, "lot"}, {2, "fam"}, {2, "pl"}, {10, "lot"}};
    EXPECT_EQ(s.on_disk(), expected);
}

TEST_F(StoreTest, KindNamesAreCheckedAsFileNameParts) {
    Store s(dir);
    EXPECT_THROW(s.records(1, "../x"), std::invalid_argument);
    EXPECT_THROW(s.records(1, ""), std::invalid_argument);
    EXPECT_THROW(s.records(1, "Lot"), std::invalid_argument);
    EXPECT_NO_THROW(s.records(1, "bob_3"));
}

TEST(StoreDefaultDir, FollowsTheEnvironment) {
    const char* old = std::getenv("PORTALLIB_STATE");
    std::string saved = old ? old : "";
    unsetenv("PORTALLIB_STATE");
    EXPECT_EQ(Store::default_dir(), fs::path("portallib-state"));
    setenv("PORTALLIB_STATE", "", 1);
    EXPECT_EQ(Store::default_dir(), fs::path("portallib-state"));
    setenv("PORTALLIB_STATE", "/some/where", 1);
    EXPECT_EQ(Store::default_dir(), fs::path("/some/where"));
    if (old) setenv("PORTALLIB_STATE", saved.c_str(), 1);
    else unsetenv("PORTALLIB_STATE");
}

TEST(EmulatorDefaults, FixedContentsAsDocumented) {
    // (a*7 + (a>>8) + terminal) & 0xFF
    EXPECT_EQ(portallib::default_memory_byte(0, 0), 0);
    EXPECT_EQ(portallib::default_memory_byte(0x100, 1), 2);
    EXPECT_EQ(portallib::default_memory_byte(0xFFFFFFFFu, 3), (0xF9 + 0xFF + 3) & 0xFF);
    const int sizes[] = {27, 23, 35, 36, 23, 38, 80, 97, 54, 32, 22};
    for (int kind = 1; kind <= 11; ++kind) {
        std::string block = portallib::default_config_block(kind, 5);
        EXPECT_EQ(block.size(), static_cast<std::size_t>(sizes[kind - 1])) << kind;
        EXPECT_EQ(block.find('\0'), std::string::npos);
    }
    EXPECT_EQ(portallib::default_config_block(2, 5), "CFG02 T005 123456789012");
    std::string header = portallib::totvnx_header('S', 1, 12);
    ASSERT_EQ(header.size(), 113u);
    EXPECT_EQ(header.substr(0, 22), "S 01 000 TOTVNX HEADER");
    EXPECT_EQ(header.substr(94, 3), "12 ");
    std::string bmp = portallib::default_image(1, "logo");
    ASSERT_EQ(bmp.size(), 246u);
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    EXPECT_NE(bmp, portallib::default_image(2, "logo"));
    EXPECT_NE(bmp, portallib::default_image(1, "form"));
}

}  // namespace
