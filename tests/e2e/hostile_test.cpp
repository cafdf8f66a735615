// Hostile input: parameter files, command lines, data files and gateway
// answers made to break a tool. Each row checks the decided result; the
// sanitizer build checks that nothing is read or written past a buffer.
//
// Rows the family tests hold already, and not repeated here:
//   key at the very end of the parameter file      frame_test ParameterFileCases "key at the very end"
//   numbers beyond 32 bits (29 digits)              frame_test ArgumentReading
//   INGREDIENTS=100000 and more, and below 0        upload_ingredients_test RecordLengthLimit, NegativeLimitStoresNothing
//   dump end below start                            dump_test EndBelowStartGivesAnEmptyFileAndNoRead
//   dump addresses of 9 and more digits, non-hex    dump_address_test, dump_test RangesReadInBlocksWithTheExtraRead
//   printf directives in downloaded records         download_range_test EchoIsTheLiteralText..., download_fixed_test, download_config_test
//   unterminated 4096-byte buffers (fill:4096)      download_range_test, download_fixed_test, download_config_test,
//                                                   tickets_test, modem_test (fill:5000), dump_test (DumpMax fill:17)
#include <filesystem>

#include "harness.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

std::string line(const std::string& tool, const std::string& code_and_text) {
    return tool + "|T|" + code_and_text + "\r\n";
}

const std::string k30Digits(30, '9');

class Hostile : public Scratch {
protected:
    void fresh() {
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    Lines data_calls(const Lines& more = {}) const {
        Lines names = {"AddIPRelTableEntry", "settimeouts", "opensocket", "closesockets"};
        names.insert(names.end(), more.begin(), more.end());
        return journal_without(names);
    }
};

// ---- Parameter file --------------------------------------------------------------------

struct ParamRow {
    const char* what;
    std::string bytes;     // PARGAT.INI as stored, byte for byte
    Lines journal_head;    // the first calls (all of them when the run stops)
    std::string log;
    bool stops = false;    // no connection: the journal is the head alone
};

TEST_F(Hostile, ParameterFiles) {
    const std::string head = "DISPLAY=0\r\nIP_DESTI=127.0.0.1\r\n";
    const std::string table = "[TABLE]\r\nNUM_ENTRIES=1\r\nSEC1=0 TERM1=0 MASTER1=1 IPASIG1=10.0.0.1\r\n";
    const ParamRow rows[] = {
        {"1 MB: the first 999 characters count, the rest is as if absent",
         head + std::string(1 << 20, 'X') + "\r\nDEBUG=1\r\n" + table,
         {R"(AddIPRelTableEntry 100 100 2 "127.0.0.1")", "settimeouts 2000 4 -1 2",
          R"(opensocket "127.0.0.1" 2003 2003 12)", "closesockets"}, ""},
        {"1 MB of line ends", head + table + std::string(1 << 19, '\r') + std::string(1 << 19, '\n'),
         {R"(AddIPRelTableEntry 0 0 1 "10.0.0.1")", "settimeouts 2000 4 -1 2",
          R"(opensocket "127.0.0.1" 2003 2003 12)", "closesockets"}, ""},
        {"a zero byte ends the text", head + std::string("\0DEBUG=1\r\n", 10) + "[TABLE]\r\nNUM_ENTRIES=0\r\n",
         {R"(AddIPRelTableEntry 100 100 2 "127.0.0.1")", "settimeouts 2000 4 -1 2",
          R"(opensocket "127.0.0.1" 2003 2003 12)", "closesockets"}, ""},
        {"zero bytes only", std::string(2000, '\0'),
         {R"(AddIPRelTableEntry 100 100 2 "224.0.0.5")", "settimeouts 2000 4 -1 2",
          R"(opensocket "224.0.0.5" 2003 2003 12)"}, ""},
        {"NUM_ENTRIES=2147483648 is held at 2147483647: too many", head + "[TABLE]\r\nNUM_ENTRIES=2147483648\r\n", {},
         line("QKLOTR", "Error: 51|Incorrect number of entries"), true},
        {"NUM_ENTRIES far below 32 bits", head + "[TABLE]\r\nNUM_ENTRIES=-" + k30Digits + "\r\n", {},
         line("QKLOTR", "Error: 51|Incorrect number of entries"), true},
        {"SEC1 of 30 digits", head + "[TABLE]\r\nNUM_ENTRIES=1\r\nSEC1=" + k30Digits + " TERM1=0 MASTER1=1 IPASIG1=1\r\n",
         {}, line("QKLOTR", "Error: 52|too much terminals"), true},
        {"IPASIG and IP_DESTI of 200 characters keep their first 15",
         "DISPLAY=0\r\nIP_DESTI=" + std::string(200, '7') + "\r\n[TABLE]\r\nNUM_ENTRIES=1\r\nSEC1=0 TERM1=0 MASTER1=1 IPASIG1=" +
             std::string(200, '1'),
         {R"(AddIPRelTableEntry 0 0 1 "111111111111111")", "settimeouts 2000 4 -1 2",
          R"(opensocket "777777777777777" 2003 2003 12)"}, ""},
        {"IPASIG at the very end, no value", head + "[TABLE]\r\nNUM_ENTRIES=1\r\nSEC1=0 TERM1=0 MASTER1=1 IPASIG1",
         {R"(AddIPRelTableEntry 0 0 1 "")", "settimeouts 2000 4 -1 2"}, ""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        fresh();
        write("PARGAT.INI", r.bytes);
        // A destination with no scale and an empty range: no data call.
        const Result res = run("QKLOTR", {"T", "77", "0", "-1"});
        EXPECT_EQ(res.status, 0);
        const Lines j = journal();
        if (r.stops) {
            EXPECT_EQ(j, r.journal_head);
        } else {
            ASSERT_GE(j.size(), r.journal_head.size());
            EXPECT_EQ(Lines(j.begin(), j.begin() + r.journal_head.size()), r.journal_head);
        }
        for (const auto& l : j) EXPECT_EQ(l.rfind("setdebug", 0), std::string::npos) << l;
        EXPECT_EQ(log(), r.log);
        EXPECT_EQ(read("PARGAT.INI"), r.bytes) << "the file is never rewritten";
    }
}

// The password tool's earlier reader takes one read of 680 characters.
TEST_F(Hostile, ParameterFileOf1MBForThePasswordTool) {
    write("PARGAT.INI", "DISPLAY=0\r\nIP_DESTI=127.0.0.1\r\n[TABLE]\r\nNUM_ENTRIES=1\r\nSEC1=0 TERM1=0 MASTER1=1 IPASIG1=10.0.0.1\r\n" +
                            std::string(1 << 20, '#') + "DEBUG=1\r\n");
    const Result r = run("QKPASS", {"T", "0", "secret"});
    EXPECT_EQ(r.status, 0);
    const Lines j = journal();
    ASSERT_GE(j.size(), 3u);
    EXPECT_EQ(j[0], R"(AddIPRelTableEntry 0 0 1 "10.0.0.1")");
    EXPECT_EQ(j[2], R"(opensocket "127.0.0.1" 2003 2003 12)");
    for (const auto& l : j) EXPECT_EQ(l.rfind("setdebug", 0), std::string::npos) << l;
}

// ---- Command line ----------------------------------------------------------------------

TEST_F(Hostile, NumbersOf30DigitsAreHeldAtThe32BitLimitsAndARangeEndsThere) {
    pargat();
    // First and last both 2147483647: exactly one call, the loop does not wrap.
    run("QKLOTR", {"T", "0", k30Digits, k30Digits});
    EXPECT_EQ(data_calls(), Lines{"lotr 84 0 2147483647 2147483647 buf"});
    EXPECT_EQ(log(), line("QKLOTR", "Error: 08|Dll error: not valid register (ERROR_CMD_NACK, 8)"));

    fresh();
    pargat();
    run("QKTARAMR", {"T", k30Digits, k30Digits, k30Digits});
    EXPECT_EQ(data_calls(), Lines{"taramr 84 2147483647 2147483647 buf"});

    fresh();
    pargat();
    run("QKLOTR", {"T", "-" + k30Digits, "-" + k30Digits, "-" + k30Digits});
    EXPECT_EQ(data_calls(), Lines{"lotr 84 -2147483648 -2147483648 -2147483648 buf"});
}

TEST_F(Hostile, DataFileNameOf300CharactersIsRefused) {
    const std::string name(300, 'N');
    const struct {
        const char* tool;
        Lines args;
    } rows[] = {
        {"QKLOTR", {"S", "0", "0", "0", name}},
        {"QKLOTW", {"S", "0", "0", "4", name}},
        {"QKPLIW", {"S", "0", "0", "4", name}},
        {"QKTARAMR", {"S", "0", "0", "0", name}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.tool);
        fresh();
        pargat();
        write("QKLOTW.ASC", "S 00 000 must not be sent\r\n");
        write("QKPLIW.ASC", "S 00 000 must not be sent\r\n");
        const Result res = run(r.tool, r.args);
        EXPECT_EQ(res.status, 0);
        EXPECT_EQ(log(), line(r.tool, "Error: 48|Can\xB4t open file function"));
        EXPECT_EQ(data_calls(), Lines{});
        EXPECT_EQ(journal().back(), "closesockets");
        EXPECT_FALSE(exists("QKLOTR.ASC"));
        EXPECT_FALSE(exists("QKTARAMR.ASC"));
    }
}

// ---- Data files ------------------------------------------------------------------------

// A line of 1 MB without a line end is read in pieces of 4095 characters: the
// first piece carries the header and goes to the scale as the record; the
// pieces after it have no header and are passed over.
TEST_F(Hostile, UploadLineOf1MBWithoutALineEnd) {
    pargat();
    const std::string text = "S 00 000 " + std::string((1 << 20) - 9, 'x');
    write("QKLOTW.ASC", text);
    const Result r = run("QKLOTW");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(log(), "");
    EXPECT_EQ(stored(0, "lot", 0), text.substr(0, 4095));
    EXPECT_EQ(data_calls().size(), 1u);

    // QKCBW compacts the first piece; nothing past its buffers.
    fresh();
    pargat();
    write("QKCBW.ASC", "S 00 000 " + std::string((1 << 20) - 9, ' ') + "y");
    EXPECT_EQ(run("QKCBW").status, 0);
    EXPECT_EQ(log(), "");
    EXPECT_EQ(stored(0, "cb", 0), "S 00 000");
}

TEST_F(Hostile, IngredientRecordOf1MBWithoutACarriageReturnIsNotSent) {
    pargat();
    write("QKPLIW.ASC", "S 00 000 " + std::string(1 << 20, 'i'));
    EXPECT_EQ(run("QKPLIW").status, 0);
    EXPECT_EQ(log(), "");
    EXPECT_EQ(data_calls(), Lines{});
}

TEST_F(Hostile, UploadedTextWithPrintfDirectivesIsEchoedAndSentLiterally) {
    pargat(1);
    const std::string text = "S 00 000 %s%n%x %% %99999999d\r\n";
    write("QKLOTW.ASC", text);
    const Result r = run("QKLOTW");
    EXPECT_EQ(r.status, 0);
    const std::string sent = stored(0, "lot", 0);
    EXPECT_EQ(sent.substr(0, 29), text.substr(0, 29));
    EXPECT_EQ(r.out, sent);
}

// ---- Gateway answers -------------------------------------------------------------------

// A failed call of a fixed-size download still echoes the buffer: here the
// gateway leaves bytes in it and fails. The failed record is not stored.
TEST_F(Hostile, FixedSizeDownloadEchoesWhatAFailedCallLeftInTheBuffer) {
    pargat(1);
    seed(0, "taram", 0, "tara zero");
    seed(0, "taram", 1, "tara one");
    RunOptions o;
    o.env["PORTALLIB_FAULTS"] = "taramr#2=fillfail:20:8";
    Result r = run("QKTARAMR", {"S", "0", "0", "2"}, o);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "tara zero" + std::string(20, 'X'));
    EXPECT_EQ(log(), line("QKTARAMR", "Error: 08|Dll error: not valid register (ERROR_CMD_NACK, 8)"));
    EXPECT_EQ(read("QKTARAMR.ASC"), "tara zero" + std::string(7, '\0') + "\r\n");
    EXPECT_EQ(data_calls(), (Lines{"taramr 83 0 0 buf", "taramr 83 0 1 buf"}));

    // A failed call that fills the whole buffer, with no zero byte: the echo
    // stops at the end of the 4096-byte buffer.
    fresh();
    pargat(1);
    o.env["PORTALLIB_FAULTS"] = "taramr=fillfail:4096:3";
    r = run("QKTARAMR", {"S", "0", "0", "2"}, o);
    EXPECT_EQ(r.out, std::string(4096, 'X'));
    EXPECT_EQ(log(), line("QKTARAMR", "Error: 03|Dll error: timeout (timeout,3)"));
    EXPECT_EQ(read("QKTARAMR.ASC"), "");
}

}  // namespace
}  // namespace e2e
