// The scale command tools, one row per tool: defaults, arguments, the mode of
// settimeouts, what a failed opensocket and a failed command do to the log and
// the connection, and what the command does to the scale.
#include <filesystem>

#include "earlier_frame_log.h"
#include "harness.h"

namespace e2e {
namespace {

const std::string kOpen = R"(opensocket "127.0.0.1" 2003 2003 12)";

struct Row {
    const char* tool;
    bool earlier;                 // on the earlier frame: Spanish log lines, no tool name
    Lines default_calls;          // data calls with no arguments
    Lines args;                   // a full command line
    Lines arg_calls;              // the data calls it gives
    bool mode_follows_display;    // settimeouts mode 11 for DISPLAY 1, else 0; otherwise 2
    bool open_failure_logged;     // 46 and no closesockets; otherwise silent, closesockets called
    bool closes_after_failed_call;
    const char* function;         // for the fault plan
    // What the run with no arguments does to terminal 0 (section 0).
    const char* kind;
    int index;
    const char* seeded;           // stored before the run, nullptr for nothing
    const char* after;            // stored after the run, nullptr for absent
};

const Row kRows[] = {
    {"QKCLRGT", false, {"clrgt 83 0 2"}, {"T", "1", "7"}, {"clrgt 84 1 7"},
     false, true, false, "clrgt", "totvn", 3, "totals", nullptr},
    {"QKCLRMERM", false, {"clrmerm 83 0 0"}, {"t", "2", "-5"}, {"clrmerm 84 2 -5"},
     true, false, true, "clrmerm", "merm", 1, "waste", nullptr},
    {"QKCLRCMD", false, {"clrcmd 83 0 0"}, {"S", "1", "9x"}, {"clrcmd 83 1 9"},
     true, false, true, "clrcmd", "cmd", 0, "command", nullptr},
    {"QKBLOQ", false, {"bloq 83 0"}, {"T", "2", "surplus"}, {"bloq 84 2"},
     false, false, true, "bloq", "lock", 0, nullptr, "1"},
    {"QKLABELER", false, {"label_er 83 0 30"}, {"T", "1", "12"}, {"label_er 84 1 12"},
     true, false, true, "label_er", "label", 30, "label 30", nullptr},
    {"QKDELPLU", false,
     {"delplu 83 0 0 0 0", "delplu 83 0 1 1 0", "delplu 83 0 2 2 0", "delplu 83 0 3 3 0", "delplu 83 0 4 4 0"},
     {"T", "1", "6", "7", "3"}, {"delplu 84 1 6 6 3", "delplu 84 1 7 7 3"},
     true, true, false, "delplu", "pl", 4, "article 4", nullptr},
    {"QKPASS", true, {R"(pass 83 0 "590817")"}, {"T", "1", "my word"}, {R"(pass 84 1 "my word")"},
     false, true, true, "pass", "pass", 0, nullptr, "590817"},
};

std::string log_line(const Row& r, int code) {
    if (r.earlier) {
        return code == 46 ? "|T|Puerto no Cerrado\r\n" : "|T|Numero de error: 0" + std::to_string(code) + "\r\n";
    }
    const std::string head = std::string(r.tool) + "|T|Error: ";
    return code == 46 ? head + "46|Unable to open port\r\n"
                      : head + "08|Dll error: not valid register (ERROR_CMD_NACK, 8)\r\n";
}

Lines connected(int mode, const Lines& calls, bool close) {
    Lines j = kTestTable;
    j.push_back("settimeouts 2000 4 -1 " + std::to_string(mode));
    j.push_back(kOpen);
    j.insert(j.end(), calls.begin(), calls.end());
    if (close) j.push_back("closesockets");
    return j;
}

class CommandTools : public Scratch {
protected:
    void reset(int display = 0) {
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        pargat(display);
    }
    Result run_faults(const Row& r, const std::string& faults, const Lines& args = {}) {
        RunOptions o;
        o.env["PORTALLIB_FAULTS"] = faults;
        return run(r.tool, args, o);
    }
    int mode(const Row& r, int display) const {
        if (!r.mode_follows_display) return 2;
        return display == 1 ? 11 : 0;
    }
};

TEST_F(CommandTools, DefaultsSendTheCommandAndChangeTheScale) {
    for (const Row& r : kRows) {
        SCOPED_TRACE(r.tool);
        reset();
        if (r.seeded) seed(0, r.kind, r.index, r.seeded);
        seed(1, r.kind, r.index, "other section");
        const Result res = run(r.tool);
        EXPECT_EQ(res.status, 0);
        EXPECT_EQ(res.out, "");
        EXPECT_EQ(journal(), connected(mode(r, 0), r.default_calls, true));
        bool present = false;
        const std::string value = stored(0, r.kind, r.index, &present);
        if (r.after) {
            EXPECT_EQ(value, r.after);
        } else {
            EXPECT_FALSE(present) << value;
        }
        EXPECT_EQ(stored(1, r.kind, r.index), "other section") << "section 1 is not addressed";
        if (r.earlier) {
            // No closing call with code 0: not even an empty log is made.
            EXPECT_EQ(log_files(dir), Lines{});
        } else {
            EXPECT_EQ(log_files(dir), Lines{"ordenes.err"});
            EXPECT_EQ(log(), "");
        }
    }
}

TEST_F(CommandTools, ArgumentsAfterTheDestination) {
    for (const Row& r : kRows) {
        SCOPED_TRACE(r.tool);
        reset(1);
        const Result res = run(r.tool, r.args);
        EXPECT_EQ(res.out, "") << "no console output, whatever DISPLAY says";
        EXPECT_EQ(journal(), connected(mode(r, 1), r.arg_calls, true));
    }
}

TEST_F(CommandTools, TimeoutModeFollowsDisplayExactlyOne) {
    for (const Row& r : kRows) {
        for (int display : {0, 1, 2}) {
            SCOPED_TRACE(std::string(r.tool) + " DISPLAY=" + std::to_string(display));
            reset(display);
            run(r.tool, {"T", "77"});  // no such scale: the command fails, the mode is what counts
            const Lines j = journal();
            ASSERT_GT(j.size(), 3u);
            EXPECT_EQ(j[3], "settimeouts 2000 4 -1 " + std::to_string(mode(r, display)));
        }
    }
}

TEST_F(CommandTools, FailedOpenSocket) {
    for (const Row& r : kRows) {
        SCOPED_TRACE(r.tool);
        reset();
        run_faults(r, "opensocket=3");
        if (r.open_failure_logged) {
            EXPECT_EQ(any_case_log(*this), log_line(r, 46));
            EXPECT_EQ(journal(), connected(mode(r, 0), {}, false));
        } else {
            // Nothing logged, the command skipped, the connection closed all the same.
            EXPECT_EQ(any_case_log(*this), "");
            EXPECT_EQ(journal(), connected(mode(r, 0), {}, true));
        }

        // ... and when closing fails too, only the tools that close say so.
        reset();
        run_faults(r, "opensocket=3;closesockets=1");
        EXPECT_EQ(any_case_log(*this), log_line(r, 46));
        EXPECT_EQ(journal(), connected(mode(r, 0), {}, !r.open_failure_logged));
    }
}

TEST_F(CommandTools, FailedCommandIsLoggedAndClosesOnlyWhereTheToolDoes) {
    for (const Row& r : kRows) {
        SCOPED_TRACE(r.tool);
        reset();
        if (r.seeded) seed(0, r.kind, r.index, r.seeded);
        run_faults(r, std::string(r.function) + "=8");
        EXPECT_EQ(any_case_log(*this), log_line(r, 8));
        EXPECT_EQ(journal(), connected(mode(r, 0), {r.default_calls.front()}, r.closes_after_failed_call));
        if (r.seeded) {
            EXPECT_EQ(stored(0, r.kind, r.index), r.seeded) << "a refused command changes nothing";
        }
    }
}

TEST_F(CommandTools, FailedCloseSocketsLogs46) {
    for (const Row& r : kRows) {
        SCOPED_TRACE(r.tool);
        reset();
        run_faults(r, "closesockets=1");
        EXPECT_EQ(any_case_log(*this), log_line(r, 46));
        EXPECT_EQ(journal(), connected(mode(r, 0), r.default_calls, true));
    }
}

TEST_F(CommandTools, CommandForAScaleNotInTheTableGivesTheGatewaysCode) {
    pargat();
    run("QKBLOQ", {"T", "77"});
    EXPECT_EQ(log(), "QKBLOQ|T|Error: 30|Dll error: Unable to match IP(NO_IPDEST_REL, 30)\r\n");
}

TEST_F(CommandTools, SectionCommandReachesEveryScaleOfTheSection) {
    pargat();
    seed(1, "merm", 0, "a");
    seed(2, "merm", 5, "b");
    seed(0, "merm", 0, "section 0");
    run("QKCLRMERM", {"S", "1"});
    bool p1 = true, p2 = true;
    stored(1, "merm", 0, &p1);
    stored(2, "merm", 5, &p2);
    EXPECT_FALSE(p1);
    EXPECT_FALSE(p2);
    EXPECT_EQ(stored(0, "merm", 0), "section 0");
}

// ---- QKDELPLU's range --------------------------------------------------------------

const Lines kDelpluCalls = {"delplu 83 0 0 0 0", "delplu 83 0 1 1 0", "delplu 83 0 2 2 0",
                            "delplu 83 0 3 3 0", "delplu 83 0 4 4 0"};

class Delplu : public Scratch {
protected:
    Lines calls() const { return journal_without({"AddIPRelTableEntry", "settimeouts", "opensocket"}); }
};

TEST_F(Delplu, DeletesEveryIndexOfTheRangeAndNothingElse) {
    pargat(1);
    for (int i = 0; i <= 5; ++i) seed(0, "pl", i, "article " + std::to_string(i));
    const Result r = run("QKDELPLU", {"S", "0", "1", "3"});
    EXPECT_EQ(r.out, "") << "prints nothing, also with DISPLAY 1";
    EXPECT_EQ(calls(), (Lines{"delplu 83 0 1 1 0", "delplu 83 0 2 2 0", "delplu 83 0 3 3 0", "closesockets"}));
    for (int i = 0; i <= 5; ++i) {
        bool present = false;
        stored(0, "pl", i, &present);
        EXPECT_EQ(present, i == 0 || i > 3) << "index " << i;
    }
    EXPECT_EQ(log(), "");
}

TEST_F(Delplu, RangeCases) {
    struct Case {
        Lines args;
        std::string keys;
        std::string faults;
        Lines calls;
        std::string log;
    };
    const std::string cancel = "QKDELPLU|T|Error: 27|Application closed by the user\r\n";
    const Case cases[] = {
        // First above last: no call, the connection closed, nothing logged.
        {{"S", "0", "7", "3"}, "", "", {"closesockets"}, ""},
        {{"S", "0", "-1", "-1", "4"}, "", "", {"delplu 83 0 -1 -1 4", "closesockets"}, ""},
        // A range ending at the largest int ends.
        {{"S", "0", "2147483646", "2147483647"}, "", "",
         {"delplu 83 0 2147483646 2147483646 0", "delplu 83 0 2147483647 2147483647 0", "closesockets"}, ""},
        // Escape waiting before the first call: nothing sent, the connection left open.
        {{}, "\x1b", "", {}, cancel},
        // Other keys are read and ignored; Escape is checked before each call.
        {{}, "a\x1b", "", {kDelpluCalls[0]}, cancel},
        {{}, "ab\x1b", "", {kDelpluCalls[0], kDelpluCalls[1]}, cancel},
        // The call for the third index fails: no further call, no closesockets.
        {{}, "", "delplu#3=8",
         {kDelpluCalls[0], kDelpluCalls[1], kDelpluCalls[2]},
         "QKDELPLU|T|Error: 08|Dll error: not valid register (ERROR_CMD_NACK, 8)\r\n"},
        {{}, "", "delplu#1=-1", {kDelpluCalls[0]},
         "QKDELPLU|T|Error: -1|Dll error: Socket error.Unable to send (SOCKET_ERROR, -1)\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args) + " keys " + testing::PrintToString(c.keys) + " " + c.faults);
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        pargat();
        RunOptions o;
        o.keys = c.keys;
        if (!c.faults.empty()) o.env["PORTALLIB_FAULTS"] = c.faults;
        EXPECT_EQ(run("QKDELPLU", c.args, o).status, 0);
        EXPECT_EQ(calls(), c.calls);
        EXPECT_EQ(log(), c.log);
    }
}

// ---- QKPASS's password -------------------------------------------------------------------

class Password : public Scratch {};

TEST_F(Password, TheThirdArgumentIsSentUnchangedUpTo49Characters) {
    struct Case {
        std::string password;
        std::string sent;  // journal form
    };
    const std::string p49(49, 'p');
    const Case cases[] = {
        {"", R"("")"},
        {" 12 ab", R"(" 12 ab")"},
        {"-5", R"("-5")"},
        {p49, "\"" + p49 + "\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.password);
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        pargat();
        run("QKPASS", {"T", "1", c.password});
        EXPECT_EQ(journal_without({"AddIPRelTableEntry", "settimeouts", "opensocket"}),
                  (Lines{"pass 84 1 " + c.sent, "closesockets"}));
        EXPECT_EQ(stored(1, "pass", 0), c.password);
        EXPECT_EQ(log_files(dir), Lines{});
    }
}

TEST_F(Password, APasswordTooLongForItsFieldIsRefusedNotCut) {
    pargat();
    seed(1, "pass", 0, "old");
    run("QKPASS", {"T", "1", std::string(50, 'p')});
    // Sending its first 49 characters would set another password than the
    // one asked for: nothing is sent, 48 is logged, the connection closed.
    EXPECT_EQ(journal_without({"AddIPRelTableEntry", "settimeouts", "opensocket"}), Lines{"closesockets"});
    EXPECT_EQ(any_case_log(*this), "|T|No puede abrir el fichero\r\n");
    EXPECT_EQ(stored(1, "pass", 0), "old");
}

}  // namespace
}  // namespace e2e
