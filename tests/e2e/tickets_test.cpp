// QKTOTIK and QKTOTIKT against the emulator's ticket lines: the four ticket
// modes, the fixed line lengths in the appended text file, the echo, Escape
// and the failures on the way.
#include <string>
#include <vector>

#include "defaults.h"
#include "harness.h"

namespace e2e {
namespace {

struct TicketTool {
    const char* name;
    const char* function;
    std::size_t length;            // stored bytes of each line
    bool closes_after_open_failure;
};

const TicketTool kTools[] = {
    {"QKTOTIK", "totik", 112, false},
    {"QKTOTIKT", "totikt", 151, true},
};

// The journal up to the opening of the connection.
Lines concat_head() {
    Lines j = kTestTable;
    j.push_back("settimeouts 2000 4 -1 2");
    j.push_back(R"(opensocket "127.0.0.1" 2003 2003 12)");
    return j;
}

const Lines kService = {"AddIPRelTableEntry", "settimeouts", "opensocket", "closesockets"};

// Lines the scale (terminal 0) holds in most cases: a LF inside one, a zero
// byte inside another, one longer than either line length.
std::string seeded_line(int i) {
    switch (i) {
        case 0: return "0 first line";
        case 1: return "1 two\nparts";
        case 2: return std::string("2 zero\0inside", 13);
        case 3: return "3 " + std::string(198, 'x');
        default: return std::to_string(i) + " line";
    }
}

// A line as the data file keeps it: exactly `length` bytes (cut, or filled
// with zero bytes), then the line end; every LF stored as CR LF.
std::string stored_line(const std::string& text, std::size_t length) {
    std::string bytes = text.substr(0, length);
    bytes.resize(length, '\0');
    bytes += '\n';
    return crlf(bytes);
}

// Text of line i of terminal 0: seeded below `seeded`, else one that arrived
// through the fault plan.
std::string line_text(int i, int seeded) {
    return i < seeded ? seeded_line(i) : portallib::generated_ticket_line(0, i);
}

std::string with_function(const std::string& line, const TicketTool& t) {
    std::string s = line;
    if (s.rfind("F ", 0) == 0) s = t.function + s.substr(1);
    return s;
}

const std::string kCount = "NLinVolcToRead 83 0 count";
std::string read_call(int i) { return "F 83 0 " + std::to_string(i) + " " + std::to_string(i) + " buf 0"; }
const std::string kClosing = "F 83 0 0 0 buf 1";

struct ModeCase {
    const char* what;
    Lines args;
    int seeded;            // lines waiting at terminal 0 (0..seeded-1)
    std::string faults;
    std::string keys;
    Lines calls;           // journal without the service calls; F is the data function
    std::vector<int> lines;  // lines stored, in order
    std::string logged;    // after "<tool>|T|", empty: nothing
    int left_waiting;      // lines the scale still holds afterwards
};

Lines args_mode(const std::string& first, const std::string& last, const std::string& mode) {
    return {"S", "0", first, last, "tickets.asc", mode};
}

const ModeCase kModes[] = {
    {"no range arguments, five waiting: line 0 only", {}, 5, "", "",
     {kCount, read_call(0)}, {0}, "", 5},
    {"first 2 last 10, three waiting: line 2 only", args_mode("2", "10", "0"), 3, "", "",
     {kCount, read_call(2)}, {2}, "", 3},
    {"mode 3 reads a range like mode 0", args_mode("1", "3", "3"), 5, "", "",
     {kCount, read_call(1), read_call(2), read_call(3)}, {1, 2, 3}, "", 5},
    {"mode 0, count 0: no data call", args_mode("0", "4", "0"), 0, "", "", {kCount}, {}, "", 0},
    {"mode 3, count 0: no data call", args_mode("0", "4", "3"), 0, "", "", {kCount}, {}, "", 0},
    {"first above last: nothing read", args_mode("3", "1", "0"), 5, "", "", {kCount}, {}, "", 5},
    {"the count bounds the range", args_mode("0", "9", "0"), 5, "NLinVolcToRead=count:2", "",
     {kCount, read_call(0), read_call(1)}, {0, 1}, "", 5},
    {"mode 0, failed read ends the reading", args_mode("0", "4", "0"), 5, "F#3=8", "",
     {kCount, read_call(0), read_call(1), read_call(2)}, {0, 1},
     "Error: 08|Dll error: not valid register (ERROR_CMD_NACK, 8)", 5},
    {"mode 0, failed count: no read", args_mode("0", "4", "0"), 5, "NLinVolcToRead=21", "",
     {kCount}, {}, "Error: 21|Dll error: not valid destination (ERROR_DEST_NOVALID, 21)", 5},
    {"mode 0, Escape before the first line", args_mode("0", "4", "0"), 5, "", "\x1b",
     {kCount}, {}, "Error: 27|Application closed by the user", 5},
    {"mode 0, Escape after two other keys", args_mode("0", "4", "0"), 5, "", "ab\x1b",
     {kCount, read_call(0), read_call(1)}, {0, 1}, "Error: 27|Application closed by the user", 5},
    {"mode 1, four waiting and no more", args_mode("0", "0", "1"), 4, "", "",
     {kCount, read_call(0), read_call(1), read_call(2), read_call(3), kCount, kClosing},
     {0, 1, 2, 3}, "", 0},
    {"mode 1, six more after the first pass", args_mode("0", "0", "1"), 4, "NLinVolcToRead#2=add:6", "",
     {kCount, read_call(0), read_call(1), read_call(2), read_call(3), kCount, read_call(4), read_call(5),
      read_call(6), read_call(7), read_call(8), read_call(9), kCount, kClosing},
     {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, "", 0},
    {"mode 1, no more lines than the pass base", args_mode("0", "0", "1"), 4, "NLinVolcToRead#2=count:4", "",
     {kCount, read_call(0), read_call(1), read_call(2), read_call(3), kCount, kClosing},
     {0, 1, 2, 3}, "", 0},
    {"mode 1, count 0: no closing call", args_mode("0", "0", "1"), 0, "", "", {kCount}, {}, "", 0},
    {"mode 1, count below 0: the closing call alone", args_mode("0", "0", "1"), 3,
     "NLinVolcToRead#1=count:-1", "", {kCount, kClosing}, {}, "", 0},
    {"mode 1, failed read ends the pass, not the mode", args_mode("0", "0", "1"), 4, "F#2=3", "",
     {kCount, read_call(0), read_call(1), kCount, kClosing}, {0},
     "Error: 03|Dll error: timeout (timeout,3)", 0},
    {"mode 1, failed first count: nothing else", args_mode("0", "0", "1"), 4, "NLinVolcToRead#1=3", "",
     {kCount}, {}, "Error: 03|Dll error: timeout (timeout,3)", 4},
    {"mode 1, failed count after a pass: closing call", args_mode("0", "0", "1"), 2, "NLinVolcToRead#2=-1", "",
     {kCount, read_call(0), read_call(1), kCount, kClosing}, {0, 1},
     "Error: -1|Dll error: Socket error.Unable to send (SOCKET_ERROR, -1)", 0},
    {"mode 1, failed closing call", args_mode("0", "0", "1"), 1, "F#2=9", "",
     {kCount, read_call(0), kCount, kClosing}, {0},
     "Error: 09|Dll error: not valid command byte (ERROR_CMD_NOVALID, 9)", 1},
    {"mode 1, Escape still makes the closing call", args_mode("0", "0", "1"), 4, "", "a\x1b",
     {kCount, read_call(0), kClosing}, {0}, "Error: 27|Application closed by the user", 0},
    {"mode 1, the largest count, ended by Escape", args_mode("0", "0", "1"), 4,
     "NLinVolcToRead=count:2147483647", "ab\x1b", {kCount, read_call(0), read_call(1), kClosing}, {0, 1},
     "Error: 27|Application closed by the user", 0},
    {"mode 2 with lines: the closing call alone", args_mode("0", "4", "2"), 3, "", "",
     {kCount, kClosing}, {}, "", 0},
    {"mode 2 without lines: nothing", args_mode("0", "4", "2"), 0, "", "", {kCount}, {}, "", 0},
    {"mode 2, failed count", args_mode("0", "4", "2"), 3, "NLinVolcToRead=8", "",
     {kCount}, {}, "Error: 08|Dll error: not valid register (ERROR_CMD_NACK, 8)", 3},
    {"mode 5: no call at all", args_mode("0", "4", "5"), 3, "", "", {}, {}, "", 3},
    {"mode -1: no call at all", args_mode("0", "4", "-1"), 3, "", "", {}, {}, "", 3},
};

class Tickets : public Scratch {
protected:
    void seed_lines(int count) const {
        for (int i = 0; i < count; ++i) seed(0, "ticket", i, seeded_line(i));
    }
    int lines_left() const {
        portallib::Store s(state().string());
        return static_cast<int>(s.records(0, "ticket").size());
    }
};

TEST_F(Tickets, ModesOverBothTools) {
    for (const auto& t : kTools) {
        for (const auto& c : kModes) {
            SCOPED_TRACE(std::string(t.name) + ": " + c.what);
            SetUp();
            pargat();
            seed_lines(c.seeded);
            std::string plan = c.faults;
            if (plan.rfind("F#", 0) == 0) plan = t.function + plan.substr(1);
            RunOptions o;
            o.keys = c.keys;
            o.env["PORTALLIB_FAULTS"] = plan;
            const Result r = run(t.name, c.args, o);
            EXPECT_EQ(r.status, 0);
            EXPECT_EQ(r.out, "");

            Lines calls;
            for (const auto& l : c.calls) calls.push_back(with_function(l, t));
            EXPECT_EQ(journal_without(kService), calls);
            // The connection is opened with 12 and closed after every transfer.
            const Lines j = journal();
            ASSERT_GE(j.size(), 5u);
            EXPECT_EQ(j[3], "settimeouts 2000 4 -1 2");
            EXPECT_EQ(j[4], R"(opensocket "127.0.0.1" 2003 2003 12)");
            EXPECT_EQ(j.back(), "closesockets");

            std::string expected;
            for (int i : c.lines) expected += stored_line(line_text(i, c.seeded), t.length);
            const std::string file = c.args.empty() ? std::string(t.name) + ".ASC" : "tickets.asc";
            EXPECT_TRUE(exists(file));
            EXPECT_EQ(read(file), expected);
            EXPECT_EQ(log(), c.logged.empty() ? "" : std::string(t.name) + "|T|" + c.logged + "\r\n");
            EXPECT_EQ(lines_left(), c.left_waiting);
        }
    }
}

TEST_F(Tickets, LinesAreAppendedToWhatEarlierRunsLeft) {
    for (const auto& t : kTools) {
        SCOPED_TRACE(t.name);
        SetUp();
        pargat();
        seed_lines(2);
        const std::string file = std::string(t.name) + ".ASC";
        write(file, "earlier\r\n");
        run(t.name, {"S", "0", "0", "1"});
        run(t.name, {"S", "0", "1", "1"});
        EXPECT_EQ(read(file), "earlier\r\n" + stored_line(seeded_line(0), t.length) +
                                  stored_line(seeded_line(1), t.length) + stored_line(seeded_line(1), t.length));
    }
}

TEST_F(Tickets, ShortLineIsFilledWithZeroBytes) {
    pargat();
    seed(0, "ticket", 0, "TOTAL 12,50");
    run("QKTOTIKT");
    const std::string bytes = read("QKTOTIKT.ASC");
    ASSERT_EQ(bytes.size(), 151u + 2);
    EXPECT_EQ(bytes, "TOTAL 12,50" + std::string(140, '\0') + "\r\n");
}

TEST_F(Tickets, EchoShowsEachLineTextUpToItsZeroByte) {
    for (const auto& t : kTools) {
        SCOPED_TRACE(t.name);
        SetUp();
        pargat(1);
        seed_lines(5);
        const Result r = run(t.name, {"S", "0", "0", "4"});
        EXPECT_EQ(r.out, seeded_line(0) + seeded_line(1) + "2 zero" + seeded_line(3) + seeded_line(4));
    }
}

TEST_F(Tickets, GatewayLeavingNoZeroByteIsEchoedOnlyUpToTheBuffer) {
    for (const auto& t : kTools) {
        SCOPED_TRACE(t.name);
        SetUp();
        pargat(1);
        seed_lines(1);
        RunOptions o;
        o.env["PORTALLIB_FAULTS"] = std::string(t.function) + "=fill:4096";
        const Result r = run(t.name, {}, o);
        EXPECT_EQ(r.out, std::string(4096, 'X'));
        EXPECT_EQ(read(std::string(t.name) + ".ASC"), std::string(t.length, 'X') + "\r\n");
    }
}

TEST_F(Tickets, ClosedTicketIsNotReadAgain) {
    for (const auto& t : kTools) {
        SCOPED_TRACE(t.name);
        SetUp();
        pargat();
        seed_lines(3);
        run(t.name, {"S", "0", "0", "0", "t.asc", "1"});
        run(t.name, {"S", "0", "0", "0", "t.asc", "1"});
        EXPECT_EQ(read("t.asc"), stored_line(seeded_line(0), t.length) + stored_line(seeded_line(1), t.length) +
                                     stored_line(seeded_line(2), t.length));
        EXPECT_EQ(lines_left(), 0);
    }
}

TEST_F(Tickets, FailedOpensocket) {
    for (const auto& t : kTools) {
        SCOPED_TRACE(t.name);
        SetUp();
        pargat();
        seed_lines(3);
        RunOptions o;
        o.env["PORTALLIB_FAULTS"] = "opensocket=-1";
        run(t.name, {}, o);
        const std::string line46 = std::string(t.name) + "|T|Error: 46|Unable to open port\r\n";
        EXPECT_EQ(log(), line46);
        Lines expected = concat_head();
        if (t.closes_after_open_failure) expected.push_back("closesockets");
        EXPECT_EQ(journal(), expected);
        EXPECT_FALSE(exists(std::string(t.name) + ".ASC"));

        if (t.closes_after_open_failure) {
            SetUp();
            pargat();
            o.env["PORTALLIB_FAULTS"] = "opensocket=-1;closesockets=-1";
            run(t.name, {}, o);
            EXPECT_EQ(log(), line46 + line46);
        }
    }
}

TEST_F(Tickets, DataFileThatCannotBeOpened) {
    for (const auto& t : kTools) {
        SCOPED_TRACE(t.name);
        SetUp();
        pargat();
        seed_lines(3);
        std::filesystem::create_directory(dir / "tickets.asc");
        run(t.name, {"S", "0", "0", "2", "tickets.asc", "1"});
        EXPECT_EQ(log(), std::string(t.name) + "|T|Error: 48|Can\xB4t open file function\r\n");
        EXPECT_EQ(journal_without({"AddIPRelTableEntry", "settimeouts", "opensocket"}), Lines({"closesockets"}));

        SetUp();
        pargat();
        seed_lines(3);
        const std::string too_long(50, 'k');
        run(t.name, {"S", "0", "0", "2", too_long, "0"});
        EXPECT_EQ(log(), std::string(t.name) + "|T|Error: 48|Can\xB4t open file function\r\n");
        EXPECT_EQ(journal_without({"AddIPRelTableEntry", "settimeouts", "opensocket"}), Lines({"closesockets"}));
        EXPECT_FALSE(exists(too_long.substr(0, 49)));
        EXPECT_FALSE(exists(std::string(t.name) + ".ASC"));
    }
}

TEST_F(Tickets, LibraryWithoutTheLineCountIsRefused) {
    for (const auto& t : kTools) {
        SCOPED_TRACE(t.name);
        SetUp();
        pargat();
        RunOptions o;
        o.exe_dir = isolated_tool(t.name, "PortalLib_no_NLinVolcToRead");
        run(t.name, {}, o);
        EXPECT_EQ(log(), std::string(t.name) + "|T|Error: 44|Unable to load function\r\n");
        EXPECT_EQ(journal(), Lines{});
    }
}

TEST_F(Tickets, FailingCloseOfTheDataFileLogs47) {
    const auto shim = bin_dir() / "libqk_faults.so";
    if (!std::filesystem::exists(shim)) GTEST_SKIP() << "no fault shim in this build";
    for (const auto& t : kTools) {
        SCOPED_TRACE(t.name);
        SetUp();
        pargat();
        seed_lines(2);
        RunOptions o;
        o.env["LD_PRELOAD"] = shim.string();
        o.env["QK_FAULTS"] = "close:lines.asc";
        o.env["ASAN_OPTIONS"] = "detect_leaks=0:verify_asan_link_order=0";
        run(t.name, {"S", "0", "0", "0", "lines.asc", "1"}, o);
        EXPECT_EQ(log(), std::string(t.name) + "|T|Error: 47|Unable to close file\r\n");
        // The closing call came before the file was closed; the connection
        // is closed after it.
        EXPECT_EQ(journal_without({"AddIPRelTableEntry", "settimeouts", "opensocket"}),
                  Lines({kCount, with_function(read_call(0), t), with_function(read_call(1), t), kCount,
                         with_function(kClosing, t), "closesockets"}));
        EXPECT_EQ(read("lines.asc"), stored_line(seeded_line(0), t.length) + stored_line(seeded_line(1), t.length));
    }
}

}  // namespace
}  // namespace e2e
