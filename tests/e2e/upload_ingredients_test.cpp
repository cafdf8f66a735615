// QKPLIW, the ingredient text upload: CR-ended records, the record length
// limit from INGREDIENTS, the command line's range with every record, the
// progress counter and Escape after the record in hand.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "harness.h"

namespace e2e {
namespace {

class UploadIngredients : public Scratch {
protected:
    Lines calls() const { return journal_without({"AddIPRelTableEntry", "settimeouts", "opensocket", "setdebug"}); }
    static Lines with_close(Lines l) {
        l.push_back("closesockets");
        return l;
    }
    // Journal line of pliw with the range 1..3 of the command line.
    static std::string pliw(const std::string& record, const std::string& range = "1 3") {
        std::string escaped;
        for (char c : record) escaped += c == '"' ? std::string("\\\"") : std::string(1, c);
        return "pliw 83 0 " + range + " \"" + escaped + "\"";
    }
    static std::string log_line(const std::string& code_and_text) { return "QKPLIW|T|" + code_and_text + "\r\n"; }
};

struct RecordCase {
    const char* what;
    std::string file;
    Lines sent;  // records, with the range 1..3
};

TEST_F(UploadIngredients, RecordsEndAtACarriageReturn) {
    const RecordCase cases[] = {
        {"CR LF records, the range of the command line with each, any order",
         "S 00 003;c\r\nS 00 001;a\r\nS 00 002;b\r\n", {"S 00 003;c", "S 00 001;a", "S 00 002;b"}},
        {"other destinations, below and above the range are passed over; reading goes on",
         "T 00 001;type\r\nS 01 001;number\r\nS 00 009;above\r\nS 00 000;below\r\nS 00 002;b\r\n",
         {"S 00 002;b"}},
        {"lower-case type letter, duplicates in order",
         "s 00 001;a\r\nS 00 001;a\r\n", {"s 00 001;a", "S 00 001;a"}},
        {"an empty record fails the check", "S 00 001;a\r\n\r\nS 00 002;b\r\n", {"S 00 001;a", "S 00 002;b"}},
        {"the byte after a CR is consumed, whatever it is", "S 00 001;a\rS 00 002;b\r\nS 00 003;c\r\n",
         {"S 00 001;a", "S 00 003;c"}},
        {"a CR after a CR ends an empty record", "S 00 001;a\r\r\nS 00 002;b\r\n", {"S 00 001;a", "S 00 002;b"}},
        {"a file ending right after a CR keeps its last record", "S 00 001;a\r\nS 00 002;b\r",
         {"S 00 001;a", "S 00 002;b"}},
        {"a last record without CR is not sent", "S 00 001;a\r\nS 00 002;b", {"S 00 001;a"}},
        {"LF line ends make one record without CR: nothing is sent", "S 00 001;a\nS 00 002;b\n", {}},
        {"an empty file", "", {}},
        {"a record of only its type letter is record 0 of number 0: outside 1..3", "S\r\nS 00 001;a\r\n",
         {"S 00 001;a"}},
    };
    for (const RecordCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(state());
        pargat();
        write("QKPLIW.ASC", c.file);
        const Result r = run("QKPLIW", {"S", "0", "1", "3"});
        EXPECT_EQ(r.status, 0);
        Lines expected;
        for (const auto& s : c.sent) expected.push_back(pliw(s));
        EXPECT_EQ(calls(), with_close(expected));
        EXPECT_EQ(log(), "");
        EXPECT_EQ(r.out, "");
    }
}

TEST_F(UploadIngredients, DefaultsAndTheConnectionCount) {
    pargat(0, 0, 7);
    write("QKPLIW.ASC", "S 00 000;a\r\nS 00 004;b\r\nS 00 005;c\r\n");
    run("QKPLIW");
    const Lines all = journal();
    EXPECT_NE(std::find(all.begin(), all.end(), R"(opensocket "127.0.0.1" 2003 2003 7)"), all.end());
    EXPECT_EQ(calls(), with_close({pliw("S 00 000;a", "0 4"), pliw("S 00 004;b", "0 4")}));
}

// The stored part of a record is INGREDIENTS x 24 + 14 characters, never more
// than the 4110-byte buffer holds with its zero, nothing for a negative limit.
TEST_F(UploadIngredients, RecordLengthLimit) {
    struct LimitCase {
        int ingredients;
        std::size_t kept;
    };
    const LimitCase cases[] = {{0, 14}, {10, 254}, {170, 4094}, {171, 4109}, {100000000, 4109}, {2147483647, 4109}};
    const std::string record = "S 00 001;" + std::string(6000, 'i');
    for (const LimitCase& c : cases) {
        SCOPED_TRACE(c.ingredients);
        std::filesystem::remove_all(state());
        pargat(0, 0, c.ingredients);
        write("QKPLIW.ASC", record + "\r\nS 00 002;next\r\n");
        run("QKPLIW", {"S", "0", "1", "3"});
        EXPECT_EQ(calls(), with_close({pliw(record.substr(0, c.kept)), pliw("S 00 002;next")}));
        EXPECT_EQ(log(), "");
    }
}

TEST_F(UploadIngredients, NegativeLimitStoresNothing) {
    for (int ingredients : {-1, -2147483647}) {
        SCOPED_TRACE(ingredients);
        std::filesystem::remove_all(state());
        pargat(0, 0, ingredients);
        write("QKPLIW.ASC", "S 00 001;a\r\nS 00 002;b\r\n");
        run("QKPLIW", {"S", "0", "1", "3"});
        // Every record is empty and fails the check.
        EXPECT_EQ(calls(), with_close({}));
    }
}

TEST_F(UploadIngredients, ProgressCounterStartsAtTheFirstIndex) {
    pargat(1);
    write("QKPLIW.ASC", "S 00 005;a\r\nS 00 001;out\r\nS 00 007;b\r\nS 00 006;c\r\n");
    const Result r = run("QKPLIW", {"S", "0", "5", "9"});
    EXPECT_EQ(r.out, "5\r6\r7\r");
    EXPECT_EQ(calls().size(), 4u);
}

TEST_F(UploadIngredients, EscapeEndsTheUploadAfterTheRecordInHand) {
    pargat();
    write("QKPLIW.ASC", "S 00 001;a\r\nS 00 009;above\r\nS 00 002;b\r\nS 00 003;c\r\n");
    // The record in hand is sent before the keyboard is looked at; a record
    // that is not sent still reads a key.
    run_keys("QKPLIW", {"S", "0", "1", "3"}, "xy\x1b");
    EXPECT_EQ(calls(), with_close({pliw("S 00 001;a"), pliw("S 00 002;b")}));
    EXPECT_EQ(log(), log_line("Error: 27|Application closed by the user"));
}

TEST_F(UploadIngredients, ARefusedRecordEndsTheUpload) {
    pargat(1);
    write("QKPLIW.ASC", "S 00 001;a\r\nS 00 002;b\r\nS 00 003;c\r\n");
    RunOptions o;
    o.env["PORTALLIB_FAULTS"] = "pliw#2=9";
    const Result r = run("QKPLIW", {"S", "0", "1", "3"}, o);
    EXPECT_EQ(calls(), with_close({pliw("S 00 001;a"), pliw("S 00 002;b")}));
    EXPECT_EQ(log(), log_line("Error: 09|Dll error: not valid command byte (ERROR_CMD_NOVALID, 9)"));
    EXPECT_EQ(r.out, "1\r");
}

TEST_F(UploadIngredients, MissingDataFile) {
    pargat();
    run("QKPLIW", {"S", "0", "1", "3"});
    EXPECT_EQ(calls(), with_close({}));
    EXPECT_EQ(log(), log_line("Error: 48|Can\xB4t open file function"));
}

TEST_F(UploadIngredients, AFailingReadEndsTheUpload) {
    const auto shim = bin_dir() / "libqk_faults.so";
    if (!std::filesystem::exists(shim)) GTEST_SKIP() << "no fault shim in this build";
    pargat();
    write("QKPLIW.ASC", "S 00 001;a\r\n");
    RunOptions o;
    o.env["LD_PRELOAD"] = shim.string();
    o.env["QK_FAULTS"] = "read:QKPLIW.ASC";
    o.env["ASAN_OPTIONS"] = "detect_leaks=0:verify_asan_link_order=0";
    const Result r = run("QKPLIW", {"S", "0", "1", "3"}, o);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(calls(), with_close({}));
    EXPECT_EQ(log(), "");
}

}  // namespace
}  // namespace e2e
