// The frame seen through a real tool (QKLOTR) and the emulator: the error
// log, the parameter file, the run sequence and the command line.
#include <filesystem>

#include "harness.h"

namespace e2e {
namespace {

std::string line(const std::string& code_and_text) { return "QKLOTR|T|" + code_and_text + "\r\n"; }

class Frame : public Scratch {};

TEST_F(Frame, DefaultRunRegistersTableOpensReadsAndCloses) {
    pargat();
    for (int i = 0; i < 5; ++i) seed(0, "lot", i, "S 00 00" + std::to_string(i) + " lot\r\n");
    const Result r = run("QKLOTR");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(journal(), concat(kTestTable, {
                                  "settimeouts 2000 4 -1 2",
                                  R"(opensocket "127.0.0.1" 2003 2003 12)",
                                  "lotr 83 0 0 0 buf", "lotr 83 0 1 1 buf", "lotr 83 0 2 2 buf",
                                  "lotr 83 0 3 3 buf", "lotr 83 0 4 4 buf", "closesockets"}));
    // Code 0 at the end writes nothing but creates the log.
    EXPECT_TRUE(exists("ordenes.err"));
    EXPECT_EQ(read("ordenes.err"), "");
    EXPECT_EQ(read("QKLOTR.ASC"), "S 00 000 lot\r\nS 00 001 lot\r\nS 00 002 lot\r\nS 00 003 lot\r\nS 00 004 lot\r\n");
}

// ---- Error log ---------------------------------------------------------------

TEST_F(Frame, LogLineHeadAndWindows1252Text) {
    pargat();
    std::filesystem::create_directory(dir / "QKLOTR.ASC");  // cannot be opened for writing
    run("QKLOTR");
    EXPECT_EQ(log(), line("Error: 48|Can\xB4t open file function"));
}

TEST_F(Frame, LogTimeFieldsHaveNoLeadingZerosInTheDate) {
    pargat();
    std::filesystem::create_directory(dir / "QKLOTR.ASC");
    run("QKLOTR");
    const std::string raw = read("ordenes.err");
    ASSERT_EQ(raw.rfind("QKLOTR|", 0), 0u) << raw;
    // QKLOTR|d/m/yyyy|hh:mm:ss,mmm|Error: 48|...
    const std::size_t date_end = raw.find('|', 7);
    const std::string date = raw.substr(7, date_end - 7);
    EXPECT_NE(date[0], '0');
    EXPECT_NE(date[date.find('/') + 1], '0');
    EXPECT_EQ(raw.substr(date_end + 1, 13).size(), 13u);
    EXPECT_EQ(raw[date_end + 3], ':');
    EXPECT_EQ(raw[date_end + 9], ',');
}

struct CodeCase {
    const char* fault;
    std::string expected;
};

TEST_F(Frame, GatewayCodesAndTheGenericText) {
    const CodeCase cases[] = {
        {"lotr=-1", line("Error: -1|Dll error: Socket error.Unable to send (SOCKET_ERROR, -1)")},
        {"lotr=3", line("Error: 03|Dll error: timeout (timeout,3)")},
        {"lotr=8", line("Error: 08|Dll error: not valid register (ERROR_CMD_NACK, 8)")},
        {"lotr=9", line("Error: 09|Dll error: not valid command byte (ERROR_CMD_NOVALID, 9)")},
        {"lotr=14", line("Error: 14|Dll error: unable to bloq(ERROR_BLOQ_NOVALID, 14)")},
        {"lotr=21", line("Error: 21|Dll error: not valid destination (ERROR_DEST_NOVALID, 21)")},
        {"lotr=30", line("Error: 30|Dll error: Unable to match IP(NO_IPDEST_REL, 30)")},
        {"lotr=5", line("Error: 05|Number Error: 05")},
        {"lotr=45", line("Error: 45|Number Error: 45")},
        {"lotr=54", line("Error: 54|Number Error: 54")},
        {"lotr=123", line("Error: 123|Number Error: 123")},
        {"lotr=-7", line("Error: -7|Number Error: -7")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        std::filesystem::remove(dir / "ordenes.err");
        pargat();
        RunOptions o;
        o.env["PORTALLIB_FAULTS"] = c.fault;
        EXPECT_EQ(run("QKLOTR", {}, o).status, 0);
        EXPECT_EQ(log(), c.expected);
    }
}

TEST_F(Frame, UnwritableLogPrintsTheConsoleLineForEveryCode) {
    pargat();
    std::filesystem::create_directory(dir / "ordenes.err");
    RunOptions o;
    o.env["PORTALLIB_FAULTS"] = "lotr=8";
    const Result r = run("QKLOTR", {}, o);
    EXPECT_EQ(r.status, 0);
    // Code 8, then the closing call with code 0: both find the log shut.
    EXPECT_EQ(r.out, "Unable to open error file!\nUnable to open error file!\n");
}

TEST_F(Frame, LogIsAppendedAndFoundWhateverTheCaseOfItsName) {
    pargat();
    write("ORDENES.ERR", "earlier line\r\n");
    RunOptions o;
    o.env["PORTALLIB_FAULTS"] = "lotr=8";
    run("QKLOTR", {}, o);
    int logs = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
        std::string n = e.path().filename().string();
        for (char& c : n) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        logs += n == "ordenes.err";
    }
    EXPECT_EQ(logs, 1) << "one log, whatever the case of its name";
    EXPECT_EQ(read("ORDENES.ERR").substr(0, 14), "earlier line\r\n");
    EXPECT_NE(read("ORDENES.ERR").find("|Error: 08|"), std::string::npos);
}

// ---- Library and entry points -------------------------------------------------------

TEST_F(Frame, MissingLibraryLogs43Then44AndCreatesNoParameterFile) {
    RunOptions o;
    o.exe_dir = isolated_tool("QKLOTR");
    o.env["LD_LIBRARY_PATH"] = "/nonexistent";
    const Result r = run("QKLOTR", {}, o);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(log(), line("Error: 43|Unable load PORTALLIB.DLL") + line("Error: 44|Unable to load function"));
    EXPECT_FALSE(exists("PARGAT.INI"));
    EXPECT_FALSE(exists("QKLOTR.ASC"));
}

TEST_F(Frame, MissingDataFunctionLogs44Only) {
    RunOptions o;
    o.exe_dir = isolated_tool("QKLOTR", "no_lotr");
    const Result r = run("QKLOTR", {}, o);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(log(), line("Error: 44|Unable to load function"));
    EXPECT_FALSE(exists("PARGAT.INI"));
    EXPECT_EQ(journal(), Lines{});
}

TEST_F(Frame, MissingAddIPRelTableEntryIsAMissingFunction) {
    RunOptions o;
    o.exe_dir = isolated_tool("QKLOTR", "no_AddIPRelTableEntry");
    run("QKLOTR", {}, o);
    EXPECT_EQ(log(), line("Error: 44|Unable to load function"));
    EXPECT_FALSE(exists("PARGAT.INI"));
}

// ---- Parameter file ------------------------------------------------------------------

TEST_F(Frame, MissingParameterFileIsCreatedWithTheDefaultText) {
    run("QKLOTR");
    EXPECT_EQ(read("PARGAT.INI"),
              "IP_DESTI=192.168.2.5\r\nPORT_DESTI=2003\r\nPORT_LOCAL=2003\r\nREINTENTS=4\r\nTIMEOUT=2\r\n"
              "DISPLAY=1\r\nDEBUG=0\r\nINGREDIENTS=10\r\n\r\n[TABLE]\r\nNUM_ENTRIES=1\r\n"
              "SEC1=0 TERM1=0 MASTER1=1 IPASIG1=224.0.0.5\r\n");
    EXPECT_EQ(journal(), (Lines{R"(AddIPRelTableEntry 0 0 1 "224.0.0.5")", "settimeouts 2000 4 -1 2",
                                R"(opensocket "192.168.2.5" 2003 2003 12)", "lotr 83 0 0 0 buf",
                                "closesockets"}));
    // Nothing stored on the scale: the first record is missing.
    EXPECT_EQ(log(), line("Error: 08|Dll error: not valid register (ERROR_CMD_NACK, 8)"));
    // No temporary file is left behind.
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir)) files += e.is_regular_file();
    EXPECT_EQ(files, 3);  // PARGAT.INI, ordenes.err, QKLOTR.ASC (and the emulator's state folder)
}

TEST_F(Frame, EmptyParameterFileKeepsInitialValuesAndRegistersTheDefaultEntry) {
    write("PARGAT.INI", "");
    seed(100, "lot", 0, "rec0\n");
    const Result r = run("QKLOTR", {"S", "100", "0", "0"});
    EXPECT_EQ(journal(), (Lines{R"(AddIPRelTableEntry 100 100 2 "224.0.0.5")", "settimeouts 2000 4 -1 2",
                                R"(opensocket "224.0.0.5" 2003 2003 12)", "lotr 83 100 0 0 buf",
                                "closesockets"}));
    EXPECT_EQ(r.out, "rec0\n");  // DISPLAY keeps its initial value 1
}

struct ParamCase {
    const char* name;
    std::string text;  // stored with CR LF
    Lines expected_journal_head;  // the calls before settimeouts (or all calls when the run stops)
    std::string expected_log;
};

TEST_F(Frame, ParameterFileCases) {
    const std::string head = "IP_DESTI=127.0.0.1\nDISPLAY=0\n[TABLE]\n";
    const ParamCase cases[] = {
        {"lower-case keys", "ip_desti=127.0.0.2\ndisplay=0\n[table]\nnum_entries=1\nsec1=1 term1=1 master1=1 ipasig1=10.1.1.1\n",
         {R"(AddIPRelTableEntry 1 1 1 "10.1.1.1")", "settimeouts 2000 4 -1 2",
          R"(opensocket "127.0.0.2" 2003 2003 12)"}, ""},
        {"no entry count", head + "SEC1=0 TERM1=0 MASTER1=1 IPASIG1=1.1.1.1\n", {}, line("Error: 50|Incorrect table format")},
        {"zero entries", head + "NUM_ENTRIES=0\n", {}, line("Error: 51|Incorrect number of entries")},
        {"33 entries", head + "NUM_ENTRIES=33\n", {}, line("Error: 51|Incorrect number of entries")},
        {"section 100", head + "NUM_ENTRIES=1\nSEC1=100 TERM1=0 MASTER1=1 IPASIG1=1.1.1.1\n", {}, line("Error: 52|too much terminals")},
        {"terminal -1", head + "NUM_ENTRIES=1\nSEC1=0 TERM1=-1 MASTER1=1 IPASIG1=1.1.1.1\n", {}, line("Error: 52|too much terminals")},
        {"master 2", head + "NUM_ENTRIES=1\nSEC1=0 TERM1=0 MASTER1=2 IPASIG1=1.1.1.1\n", {}, line("Error: 52|too much terminals")},
        {"second entry missing", head + "NUM_ENTRIES=2\nSEC1=0 TERM1=3 MASTER1=1 IPASIG1=1.1.1.1\n",
         {R"(AddIPRelTableEntry 3 0 1 "1.1.1.1")"}, line("Error: 50|Incorrect table format")},
        {"ipasig missing", head + "NUM_ENTRIES=1\nSEC1=0 TERM1=0 MASTER1=1\n", {}, line("Error: 50|Incorrect table format")},
        {"sec12 before sec1", head + "NUM_ENTRIES=1\nSEC12=5\nSEC1=3 TERM1=0 MASTER1=1 IPASIG1=1.1.1.1\n",
         {R"(AddIPRelTableEntry 0 0 1 "1.1.1.1")", "settimeouts 2000 4 -1 2", R"(opensocket "127.0.0.1" 2003 2003 12)"}, ""},
        {"spaces around the sign", "PORT_DESTI = 2003\nDISPLAY=0\n",
         {R"(AddIPRelTableEntry 100 100 2 "224.0.0.5")", "settimeouts 2000 4 -1 2",
          R"(opensocket "224.0.0.5" 2003 0 12)"}, ""},
        {"address cut at 15 characters", "IP_DESTI=127.0.0.1 # gateway\nDISPLAY=0\n[TABLE]\nNUM_ENTRIES=1\nSEC1=0 TERM1=0 MASTER1=1 IPASIG1=10.20.30.40 main scale\n",
         {R"(AddIPRelTableEntry 0 0 1 "10.20.30.40 MAI")", "settimeouts 2000 4 -1 2", R"(opensocket "127.0.0.1 # GAT" 2003 2003 12)"}, ""},
        {"timeout beyond 32 bits in milliseconds", "TIMEOUT=3000000\nREINTENTS=99999999999\nDISPLAY=0\n",
         {R"(AddIPRelTableEntry 100 100 2 "224.0.0.5")", "settimeouts 2147483647 2147483647 -1 2"}, ""},
        {"key at the very end", "DISPLAY=0\nREINTENTS",
         {R"(AddIPRelTableEntry 100 100 2 "224.0.0.5")", "settimeouts 2000 0 -1 2"}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        pargat_text(c.text);
        // A destination with no scale keeps the data calls out of the picture.
        run("QKLOTR", {"T", "77", "0", "-1"});
        const Lines j = journal();
        const Lines head_of_j(j.begin(), j.begin() + std::min(j.size(), c.expected_journal_head.size()));
        EXPECT_EQ(head_of_j, c.expected_journal_head);
        if (c.expected_log.empty()) {
            EXPECT_EQ(log(), "");
        } else {
            EXPECT_EQ(log(), c.expected_log);
            EXPECT_EQ(j.size(), c.expected_journal_head.size()) << "no call after a parameter error";
        }
    }
}

TEST_F(Frame, RefusedEntryGives53) {
    pargat();
    RunOptions o;
    o.env["PORTALLIB_FAULTS"] = "AddIPRelTableEntry#2=1";
    run("QKLOTR", {}, o);
    EXPECT_EQ(log(), line("Error: 53|the table entry could not be added"));
    EXPECT_EQ(journal(), (Lines{kTestTable[0], kTestTable[1]}));
}

TEST_F(Frame, TextBeyond999CharactersIsIgnored) {
    std::string text = "DISPLAY=0\n";
    text += std::string(999 - text.size() - 4, '#');  // DEBUG starts at character 995
    text += "DEBUG=1\n";
    pargat_text(text);
    run("QKLOTR", {"T", "77", "0", "-1"});
    // Only "DEBU" is inside the 999 characters read: DEBUG stays 0.
    for (const auto& l : journal()) EXPECT_EQ(l.rfind("setdebug", 0), std::string::npos) << l;
}

TEST_F(Frame, DebugSwitchesTracingAroundTheRun) {
    pargat(0, 1);
    run("QKLOTR", {"T", "77", "0", "-1"});
    EXPECT_EQ(journal(), concat(kTestTable, {"setdebug 1 1 1 1", "settimeouts 2000 4 -1 2",
                                             R"(opensocket "127.0.0.1" 2003 2003 12)", "closesockets",
                                             "setdebug 0 0 0 0"}));
}

TEST_F(Frame, DebugWithATableErrorOnlySwitchesTracingOff) {
    pargat_text("DEBUG=1\nNODEBUG=0\n[TABLE]\nNUM_ENTRIES=40\n");
    run("QKLOTR");
    EXPECT_EQ(journal(), Lines{"setdebug 0 0 0 0"});
    EXPECT_EQ(log(), line("Error: 51|Incorrect number of entries"));
}

TEST_F(Frame, KeyInsideAnotherWordCounts) {
    pargat_text("DISPLAY=0\nNODEBUG=1\nDEBUG=0\n");
    run("QKLOTR", {"T", "77", "0", "-1"});
    EXPECT_EQ(journal().front(), R"(AddIPRelTableEntry 100 100 2 "224.0.0.5")");
    EXPECT_EQ(journal()[1], "setdebug 1 1 1 1");
}

// ---- Connection -------------------------------------------------------------------------

TEST_F(Frame, FailedOpenSocketLogs46AndSkipsTransferAndClose) {
    pargat();
    RunOptions o;
    o.env["PORTALLIB_FAULTS"] = "opensocket=3";
    run("QKLOTR", {}, o);
    EXPECT_EQ(log(), line("Error: 46|Unable to open port"));
    EXPECT_EQ(journal(), concat(kTestTable, {"settimeouts 2000 4 -1 2", R"(opensocket "127.0.0.1" 2003 2003 12)"}));
    EXPECT_FALSE(exists("QKLOTR.ASC"));
}

TEST_F(Frame, FailedCloseSocketsLogs46) {
    pargat();
    RunOptions o;
    o.env["PORTALLIB_FAULTS"] = "closesockets=1";
    run("QKLOTR", {"S", "0", "1", "0"}, o);
    EXPECT_EQ(log(), line("Error: 46|Unable to open port"));
}

TEST_F(Frame, EscapeBeforeTheFirstRecordStillClosesTheConnection) {
    pargat();
    const Result r = run_keys("QKLOTR", {}, "\x1b");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(log(), line("Error: 27|Application closed by the user"));
    EXPECT_EQ(journal(), concat(kTestTable, {"settimeouts 2000 4 -1 2", R"(opensocket "127.0.0.1" 2003 2003 12)",
                                             "closesockets"}));
}

// ---- Command line ------------------------------------------------------------------------

struct ArgCase {
    Lines args;
    std::string first_call;  // the first data call, or "" for none
};

TEST_F(Frame, ArgumentReading) {
    const ArgCase cases[] = {
        {{}, "lotr 83 0 0 0 buf"},
        {{"t7"}, "lotr 84 0 0 0 buf"},
        {{"s", "1"}, "lotr 83 1 0 0 buf"},
        {{"", "1"}, "lotr 83 1 0 0 buf"},
        {{"x", "1"}, "lotr 83 1 0 0 buf"},
        {{"T", "12abc"}, "lotr 84 12 0 0 buf"},
        {{"T", "abc"}, "lotr 84 0 0 0 buf"},
        {{"T", "  -3", "+2"}, "lotr 84 -3 2 2 buf"},
        {{"T", "99999999999999999999999999999"}, "lotr 84 2147483647 0 0 buf"},
        {{"T", "-99999999999999999999999999999"}, "lotr 84 -2147483648 0 0 buf"},
        {{"S", "0", "3", "2"}, ""},
        {{"S", "0", "-2", "-2", "OUT.ASC", "surplus", "more"}, "lotr 83 0 -2 -2 buf"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        std::filesystem::remove_all(state());
        pargat();
        run("QKLOTR", c.args);
        const Lines calls = journal_without({"AddIPRelTableEntry", "settimeouts", "opensocket", "closesockets"});
        if (c.first_call.empty()) {
            EXPECT_EQ(calls, Lines{});
        } else {
            ASSERT_FALSE(calls.empty());
            EXPECT_EQ(calls.front(), c.first_call);
        }
    }
}

TEST_F(Frame, DataFileNameLengthLimit) {
    pargat();
    const std::string name49(45, 'n');
    seed(0, "lot", 0, "x");
    run("QKLOTR", {"S", "0", "0", "0", name49 + ".ASC"});
    EXPECT_EQ(read(name49 + ".ASC"), "x");
    EXPECT_EQ(log(), "");

    // One character more does not fit: refused, 48, no file written at all.
    const std::string name50(46, 'n');
    run("QKLOTR", {"S", "0", "0", "0", name50 + ".ASC"});
    EXPECT_FALSE(exists(name50 + ".ASC"));
    EXPECT_FALSE(exists("QKLOTR.ASC"));
    EXPECT_EQ(log(), line("Error: 48|Can\xB4t open file function"));
    EXPECT_EQ(journal_without({"AddIPRelTableEntry", "settimeouts", "opensocket", "closesockets"}),
              Lines{"lotr 83 0 0 0 buf"});  // only the first run's call
}

}  // namespace
}  // namespace e2e

namespace e2e {
namespace {

TEST_F(Frame, AFolderNamedLikeTheParameterFileIsNoParameterFile) {
    // Such a folder can neither be read nor replaced: the file cannot be created.
    std::filesystem::create_directory(dir / "PARGAT.INI");
    const Result r = run("QKLOTR");
    EXPECT_EQ(r.out, "Can\xB4t create pargat.ini");
    EXPECT_EQ(log(), line("Error: 55|Unable to find PARGAT.INI"));
    EXPECT_EQ(journal(), Lines{});
}

}  // namespace
}  // namespace e2e
