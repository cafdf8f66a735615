// The earlier frame revision of QKPASS and QKINIMODEM: its log lines and
// texts, its log file that is the current tools' log whatever the case of its
// name, and the password tool's earlier parameter reader.
#include <filesystem>

#include "earlier_frame_log.h"
#include "harness.h"

namespace e2e {
namespace {

const std::string kEarlierDefault =
    "IP_DESTI=192.168.2.5\r\nPORT_DESTI=2003\r\nPORT_LOCAL=2003\r\nREINTENTS=2\r\nTIMEOUT=2\r\n"
    "DISPLAY=1\r\nDEBUG=0\r\nSIZE_BUFF_BALANZA=1024\r\n[TABLE]\r\nNUM_ENTRIES=1\r\n"
    "SEC1=0 TERM1=0 MASTER1=1 IPASIG1=10.0.0.5";

class EarlierFrame : public Scratch {
protected:
    Result run_env(const std::string& tool, const Lines& args,
                   const std::map<std::string, std::string>& env) {
        RunOptions o;
        o.env = env;
        return run(tool, args, o);
    }
    Result run_faults(const std::string& tool, const std::string& faults, const Lines& args = {}) {
        return run_env(tool, args, {{"PORTALLIB_FAULTS", faults}});
    }
    void reset() {
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
};

// ---- Log lines -------------------------------------------------------------------------------

TEST_F(EarlierFrame, LogTextsOfBothToolsByteForByte) {
    struct Case {
        const char* tool;
        std::string faults;
        std::string log;
    };
    const Case cases[] = {
        // A gateway code without a text of its own: the generic text, English or Spanish.
        {"QKPASS", "pass=3", "|T|Numero de error: 03\r\n"},
        {"QKINIMODEM", "inimodem=3", "|QINIMODEM|T|Number Error: 03\r\n"},
        {"QKPASS", "pass=123", "|T|Numero de error: 123\r\n"},
        {"QKINIMODEM", "inimodem=-1", "|QINIMODEM|T|Number Error: -1\r\n"},
        {"QKPASS", "pass=8", "|T|Numero de error: 08\r\n"},
        // Codes of the tables.
        {"QKPASS", "pass=27", "|T|Error 4. Cancelado por el usuario\r\n"},
        {"QKPASS", "pass=37", "|T|Destino no es correcto\r\n"},
        {"QKPASS", "pass=38", "|T|Numero Destino no es correcto\r\n"},
        {"QKPASS", "pass=39", "|T|Inicio Registro o Final Registro no correcto\r\n"},
        {"QKPASS", "pass=40", "|T|Fichero PARGAT.INI no existe\r\n"},
        {"QKPASS", "pass=41", "|T|Fichero ORDERNES.SCR.scr no existe\r\n"},
        {"QKPASS", "pass=42", "|T|No puede cerrar el fichero pargat.ini\r\n"},
        {"QKPASS", "pass=43", "|T|No puede cargar PORTALLIB.DLL\r\n"},
        {"QKPASS", "pass=44", "|T|No puede cargar la funci\xF3n\r\n"},
        {"QKPASS", "pass=45", "|T|No encuentra el fichero pargat.ini\r\n"},
        {"QKPASS", "pass=46", "|T|Puerto no Cerrado\r\n"},
        {"QKPASS", "pass=47", "|T|Numero de error: 47\r\n"},
        {"QKPASS", "pass=48", "|T|No puede abrir el fichero\r\n"},
        {"QKPASS", "pass=49", "|T|No puede liberar la dll\r\n"},
        {"QKPASS", "pass=50", "|T|Incorrect table format\r\n"},
        {"QKPASS", "pass=51", "|T|Incorrect number of entries\r\n"},
        {"QKPASS", "pass=52", "|T|too much terminals\r\n"},
        {"QKPASS", "pass=53", "|T|the entry could not be added\r\n"},
        {"QKPASS", "pass=55", "|T|Numero de error: 55\r\n"},
        {"QKINIMODEM", "inimodem=27", "|QINIMODEM|T|Error 4. Close User\r\n"},
        {"QKINIMODEM", "inimodem=40", "|QINIMODEM|T|File PARGAT.INI not exist\r\n"},
        {"QKINIMODEM", "inimodem=41", "|QINIMODEM|T|File ORDERNES.SCR.scr not exist\r\n"},
        {"QKINIMODEM", "inimodem=42", "|QINIMODEM|T|Not Close file Pargat.ini\r\n"},
        {"QKINIMODEM", "inimodem=43", "|QINIMODEM|T|Unable load PORTALLIB.DLL\r\n"},
        {"QKINIMODEM", "inimodem=44", "|QINIMODEM|T|Unable load Function\r\n"},
        {"QKINIMODEM", "inimodem=45", "|QINIMODEM|T|Not Find file Pargat.ini\r\n"},
        {"QKINIMODEM", "inimodem=46", "|QINIMODEM|T|Not Close Port\r\n"},
        {"QKINIMODEM", "inimodem=47", "|QINIMODEM|T|Number Error: 47\r\n"},
        {"QKINIMODEM", "inimodem=48", "|QINIMODEM|T|Can\xB4t open file function\r\n"},
        {"QKINIMODEM", "inimodem=49", "|QINIMODEM|T|Can\xB4t free dll\r\n"},
        {"QKINIMODEM", "inimodem=50", "|QINIMODEM|T|Incorrect table format\r\n"},
        {"QKINIMODEM", "inimodem=51", "|QINIMODEM|T|Incorrect number of entries\r\n"},
        {"QKINIMODEM", "inimodem=52", "|QINIMODEM|T|too much terminals\r\n"},
        {"QKINIMODEM", "inimodem=53", "|QINIMODEM|T|the entry could not be added\r\n"},
        {"QKINIMODEM", "inimodem=8", "|QINIMODEM|T|Number Error: 08\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.tool) + " " + c.faults);
        reset();
        pargat();
        EXPECT_EQ(run_faults(c.tool, c.faults).status, 0);
        EXPECT_EQ(log_files(dir), Lines{"ORDENES.ERR"});
        EXPECT_EQ(any_case_log(*this), c.log);
    }
}

TEST_F(EarlierFrame, LineHeadFields) {
    pargat();
    run_faults("QKPASS", "pass=3");
    run_faults("QKINIMODEM", "inimodem=3");
    const std::string raw = read("ORDENES.ERR");
    // |d/m/yyyy|hh:mm:ss,mmm|text   and   |QINIMODEM|d/m/yyyy|hh:mm:ss,mmm|text
    const std::regex lines(
        R"(\|[1-9][0-9]?/[1-9][0-9]?/[0-9]{4}\|[0-9]{2}:[0-9]{2}:[0-9]{2},[0-9]{3}\|Numero de error: 03\r\n)"
        R"(\|QINIMODEM\|[1-9][0-9]?/[1-9][0-9]?/[0-9]{4}\|[0-9]{2}:[0-9]{2}:[0-9]{2},[0-9]{3}\|Number Error: 03\r\n)");
    EXPECT_TRUE(std::regex_match(raw, lines)) << raw;
}

TEST_F(EarlierFrame, MissingLibraryAndMissingFunction) {
    struct Case {
        const char* tool;
        const char* variant;  // "" for no library at all
        std::string log;
    };
    const Case cases[] = {
        {"QKPASS", "", "|T|No puede cargar PORTALLIB.DLL\r\n|T|No puede cargar la funci\xF3n\r\n"},
        {"QKINIMODEM", "", "|QINIMODEM|T|Unable load PORTALLIB.DLL\r\n|QINIMODEM|T|Unable load Function\r\n"},
        {"QKPASS", "PortalLib_no_pass", "|T|No puede cargar la funci\xF3n\r\n"},
        {"QKPASS", "PortalLib_no_AddIPRelTableEntry", "|T|No puede cargar la funci\xF3n\r\n"},
        {"QKINIMODEM", "PortalLib_no_inimodem", "|QINIMODEM|T|Unable load Function\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.tool) + " " + c.variant);
        reset();
        RunOptions o;
        o.exe_dir = isolated_tool(c.tool, c.variant);
        o.env["LD_LIBRARY_PATH"] = "/nonexistent";
        EXPECT_EQ(run(c.tool, {}, o).status, 0);
        EXPECT_EQ(any_case_log(*this), c.log);
        EXPECT_FALSE(exists("PARGAT.INI"));
        EXPECT_EQ(journal(), Lines{});
    }
}

TEST_F(EarlierFrame, ModemToolNeedsNoOtherEntryPoint) {
    // A library without AddIPRelTableEntry: the modem tool binds inimodem
    // alone, and its parameter reader, which looks the name up itself, fails
    // as a parameter file failure: 48.
    RunOptions o;
    o.exe_dir = isolated_tool("QKINIMODEM", "PortalLib_no_AddIPRelTableEntry");
    pargat();
    run("QKINIMODEM", {}, o);
    EXPECT_EQ(any_case_log(*this), "|QINIMODEM|T|Can\xB4t open file function\r\n");
    // A library without pass or lotr serves it fully.
    reset();
    pargat();
    o.exe_dir = isolated_tool("QKINIMODEM", "PortalLib_no_pass");
    run("QKINIMODEM", {}, o);
    EXPECT_EQ(journal_without({"AddIPRelTableEntry"}), Lines{"inimodem 1 buf"});
}

TEST_F(EarlierFrame, UnopenableLogLosesTheCodeSilently) {
    for (const char* tool : {"QKPASS", "QKINIMODEM"}) {
        SCOPED_TRACE(tool);
        reset();
        pargat(1);
        std::filesystem::create_directory(dir / "ORDENES.ERR");
        const Result r = run_faults(tool, std::string(tool) == "QKPASS" ? "pass=3" : "inimodem=3");
        EXPECT_EQ(r.status, 0);
        const std::string title = std::string(tool) == "QKPASS" ? "" : "office configuration:\n";
        EXPECT_EQ(r.out, title) << "no console text for the lost code";
    }
}

TEST_F(EarlierFrame, BothRevisionsAppendToTheOneLogWhateverTheCaseOfItsName) {
    // The earlier tools start the log as ORDENES.ERR ...
    pargat();
    run_faults("QKPASS", "pass=3");
    run_faults("QKCLRGT", "clrgt=8");
    run_faults("QKINIMODEM", "inimodem=3");
    EXPECT_EQ(log_files(dir), Lines{"ORDENES.ERR"});
    EXPECT_EQ(any_case_log(*this),
              "|T|Numero de error: 03\r\n"
              "QKCLRGT|T|Error: 08|Dll error: not valid register (ERROR_CMD_NACK, 8)\r\n"
              "|QINIMODEM|T|Number Error: 03\r\n");

    // ... and append to an ordenes.err that a current tool started.
    reset();
    pargat();
    run_faults("QKCLRGT", "clrgt=8");
    run_faults("QKPASS", "opensocket=3");
    run_faults("QKINIMODEM", "inimodem=9", {"2"});
    EXPECT_EQ(log_files(dir), Lines{"ordenes.err"});
    EXPECT_EQ(any_case_log(*this),
              "QKCLRGT|T|Error: 08|Dll error: not valid register (ERROR_CMD_NACK, 8)\r\n"
              "|T|Puerto no Cerrado\r\n"
              "|QINIMODEM|T|Number Error: 09\r\n");
}

// ---- Run sequences -------------------------------------------------------------------------

TEST_F(EarlierFrame, PasswordToolRunsTheWholeSequenceButTheClosingLogCall) {
    pargat(0, 1);
    run("QKPASS");
    EXPECT_EQ(journal(), (Lines{R"(AddIPRelTableEntry 0 0 1 "127.0.0.10")", R"(AddIPRelTableEntry 1 1 1 "127.0.0.11")",
                                R"(AddIPRelTableEntry 2 1 0 "127.0.0.12")", "setdebug 1 1 1 1",
                                "settimeouts 2000 4 -1 2", R"(opensocket "127.0.0.1" 2003 2003 12)",
                                R"(pass 83 0 "590817")", "closesockets", "setdebug 0 0 0 0"}));
    EXPECT_EQ(log_files(dir), Lines{}) << "no code 0 call: no log is made";
}

TEST_F(EarlierFrame, ModemToolOpensNoConnectionAndIgnoresDebug) {
    pargat(0, 1);
    run("QKINIMODEM");
    EXPECT_EQ(journal(), (Lines{R"(AddIPRelTableEntry 0 0 1 "127.0.0.10")", R"(AddIPRelTableEntry 1 1 1 "127.0.0.11")",
                                R"(AddIPRelTableEntry 2 1 0 "127.0.0.12")", "inimodem 1 buf"}));
    // The closing code 0 call writes nothing but makes the log.
    EXPECT_EQ(log_files(dir), Lines{"ORDENES.ERR"});
    EXPECT_EQ(read("ORDENES.ERR"), "");
}

TEST_F(EarlierFrame, ModemToolLogs48ForAnyParameterFileFailure) {
    struct Case {
        const char* name;
        std::string text;
    };
    const Case cases[] = {
        {"entry count", "DISPLAY=0\n[TABLE]\nNUM_ENTRIES=0\n"},
        {"table format", "DISPLAY=0\n[TABLE]\n"},
        {"section 100", "DISPLAY=0\n[TABLE]\nNUM_ENTRIES=1\nSEC1=100 TERM1=0 MASTER1=1 IPASIG1=1.1.1.1\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset();
        pargat_text(c.text);
        write("QKINIMODEM.ASC", "kept");
        run("QKINIMODEM", {"1"});
        EXPECT_EQ(any_case_log(*this), "|QINIMODEM|T|Can\xB4t open file function\r\n");
        EXPECT_EQ(read("QKINIMODEM.ASC"), "kept") << "the data file is not touched";
        EXPECT_EQ(journal_without({"AddIPRelTableEntry"}), Lines{});
    }
    // The parameter file that cannot be closed after reading (42 for the
    // current reader) is a parameter file failure too.
    if (windows_build()) GTEST_SKIP() << "the fault shim preloads into Linux processes only";
    reset();
    pargat();
    run_env("QKINIMODEM", {}, shim_env("close:PARGAT.INI"));
    EXPECT_EQ(any_case_log(*this), "|QINIMODEM|T|Can\xB4t open file function\r\n");
}

// ---- The password tool's parameter reader ---------------------------------------------------

TEST_F(EarlierFrame, PasswordToolCreatesItsOwnDefaultText) {
    run("QKPASS");
    EXPECT_EQ(read("PARGAT.INI"), kEarlierDefault);
    EXPECT_EQ(kEarlierDefault.size(), 179u + 10u);  // 179 characters, 10 of them LF stored as CR LF
    EXPECT_EQ(journal(), (Lines{R"(AddIPRelTableEntry 0 0 1 "10.0.0.5")", "settimeouts 2000 2 -1 2",
                                R"(opensocket "192.168.2.5" 2003 2003 12)", R"(pass 83 0 "590817")",
                                "closesockets"}));
    // And reads it back the same way on the next run.
    std::filesystem::remove_all(state());
    run("QKPASS");
    EXPECT_EQ(read("PARGAT.INI"), kEarlierDefault);
    EXPECT_EQ(journal().front(), R"(AddIPRelTableEntry 0 0 1 "10.0.0.5")");
    EXPECT_EQ(journal()[1], "settimeouts 2000 2 -1 2");
}

TEST_F(EarlierFrame, PasswordToolReaderCases) {
    struct Case {
        const char* name;
        std::string text;       // stored with CR LF
        Lines journal_head;     // the calls up to opensocket, or every call when it stops
        std::string log;        // "" for no log at all
        bool stops;             // a parameter error: no call after the journal head
    };
    // Where the table has no scale in section 0, the password is refused by the gateway.
    const std::string no_scale = "|T|Numero de error: 30\r\n";
    const std::string table = "[TABLE]\nNUM_ENTRIES=1\nSEC1=0 TERM1=0 MASTER1=1 IPASIG1=127.0.0.10\n";
    const std::string entry = R"(AddIPRelTableEntry 0 0 1 "127.0.0.10")";
    const Case cases[] = {
        // Absent keys keep the defaults step's values, TIMEOUT 2000 s among them.
        {"keys absent", table,
         {entry, "settimeouts 2000000 3 -1 2", R"(opensocket "192.168.2.2" 2003 2003 12)"}, "", false},
        {"empty file", "",
         {R"(AddIPRelTableEntry 100 100 2 "192.168.2.2")", "settimeouts 2000000 3 -1 2",
          R"(opensocket "192.168.2.2" 2003 2003 12)"}, no_scale, false},
        {"a current tool's file", test_pargat(0, 0, 99),
         {entry, R"(AddIPRelTableEntry 1 1 1 "127.0.0.11")", R"(AddIPRelTableEntry 2 1 0 "127.0.0.12")",
          "settimeouts 2000 4 -1 2", R"(opensocket "127.0.0.1" 2003 2003 12)"}, "", false},
        {"section 40", "[TABLE]\nNUM_ENTRIES=1\nSEC1=40 TERM1=0 MASTER1=1 IPASIG1=1.1.1.1\n", {},
         "|T|too much terminals\r\n", true},
        {"terminal 32", "[TABLE]\nNUM_ENTRIES=1\nSEC1=0 TERM1=32 MASTER1=1 IPASIG1=1.1.1.1\n", {},
         "|T|too much terminals\r\n", true},
        {"section and terminal 31", "[TABLE]\nNUM_ENTRIES=1\nSEC1=31 TERM1=31 MASTER1=0 IPASIG1=1.1.1.1\n",
         {R"(AddIPRelTableEntry 31 31 0 "1.1.1.1")", "settimeouts 2000000 3 -1 2",
          R"(opensocket "192.168.2.2" 2003 2003 12)"}, no_scale, false},
        {"master 2", "[TABLE]\nNUM_ENTRIES=1\nSEC1=0 TERM1=0 MASTER1=2 IPASIG1=1.1.1.1\n", {},
         "|T|too much terminals\r\n", true},
        {"33 entries", "[TABLE]\nNUM_ENTRIES=33\n", {}, "|T|Incorrect number of entries\r\n", true},
        {"second entry missing", "[TABLE]\nNUM_ENTRIES=2\nSEC1=0 TERM1=3 MASTER1=1 IPASIG1=1.1.1.1\n",
         {R"(AddIPRelTableEntry 3 0 1 "1.1.1.1")"}, "|T|Incorrect table format\r\n", true},
        // Only the first 680 characters are read: the table beyond them is not seen.
        {"table beyond 680 characters", "DISPLAY=0\n" + std::string(680, '#') + "\n" + table,
         {R"(AddIPRelTableEntry 100 100 2 "192.168.2.2")", "settimeouts 2000000 3 -1 2"}, no_scale, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset();
        pargat_text(c.text);
        run("QKPASS");
        const Lines j = journal();
        const Lines head(j.begin(), j.begin() + std::min(j.size(), c.journal_head.size()));
        EXPECT_EQ(head, c.journal_head);
        if (c.log.empty()) {
            EXPECT_EQ(log_files(dir), Lines{});
        } else {
            EXPECT_EQ(any_case_log(*this), c.log);
        }
        if (c.stops) {
            EXPECT_EQ(j.size(), c.journal_head.size()) << "no call after a parameter error";
        }
    }
}

TEST_F(EarlierFrame, PasswordToolReadsAt680CharactersWhereCurrentToolsRead999) {
    // DEBUG=1 starts at character 677: the password tool sees "DEB" only.
    std::string text = "DISPLAY=0\n";
    text += std::string(677 - text.size(), '#');
    text += "DEBUG=1\n";
    pargat_text(text);
    run("QKPASS", {"T", "77"});
    for (const auto& l : journal()) EXPECT_EQ(l.rfind("setdebug", 0), std::string::npos) << l;
    std::filesystem::remove_all(state());
    run("QKCLRGT", {"T", "77"});
    EXPECT_EQ(journal()[1], "setdebug 1 1 1 1");
}

TEST_F(EarlierFrame, PasswordToolParameterFileNeitherReadNorCreated) {
    if (windows_build()) GTEST_SKIP() << "the fault shim preloads into Linux processes only";
    const Result r = run_env("QKPASS", {}, shim_env("open:PARGAT.INI"));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Can\xB4t create pargat.ini");
    EXPECT_EQ(any_case_log(*this), "|T|No encuentra el fichero pargat.ini\r\n");
    EXPECT_EQ(journal(), Lines{}) << "no entry, no connection";
    EXPECT_FALSE(exists("PARGAT.INI"));
}

TEST_F(EarlierFrame, PasswordToolClosesItsParameterFileAfterTheTable) {
    if (windows_build()) GTEST_SKIP() << "the fault shim preloads into Linux processes only";
    // The close fails: the table has been registered by then, and 42 ends the run.
    pargat(0, 1);
    run_env("QKPASS", {}, shim_env("close:PARGAT.INI"));
    EXPECT_EQ(journal(), (Lines{R"(AddIPRelTableEntry 0 0 1 "127.0.0.10")", R"(AddIPRelTableEntry 1 1 1 "127.0.0.11")",
                                R"(AddIPRelTableEntry 2 1 0 "127.0.0.12")", "setdebug 0 0 0 0"}));
    EXPECT_EQ(any_case_log(*this), "|T|No puede cerrar el fichero pargat.ini\r\n");
}

TEST_F(EarlierFrame, PasswordToolShortDefaultWriteStillParsesTheDefaultText) {
    if (windows_build()) GTEST_SKIP() << "the fault shim preloads into Linux processes only";
    // The count written is not compared: the run goes on with the default text.
    run_env("QKPASS", {}, shim_env("write-short:PARGAT.INI"));
    const Lines j = journal();
    ASSERT_GE(j.size(), 2u);
    EXPECT_EQ(j[0], R"(AddIPRelTableEntry 0 0 1 "10.0.0.5")");
    EXPECT_EQ(j[1], "settimeouts 2000 2 -1 2");
}

}  // namespace
}  // namespace e2e
