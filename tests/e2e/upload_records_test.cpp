// The record file upload tools, one row per tool: every row runs the same
// cases against the emulator and checks the data calls in its journal, the
// error log and the console.
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "harness.h"

namespace e2e {
namespace {

enum class Form { Five, Four, Six };
enum class Loop { Standard, ReadToEnd, EchoAfterSend };

struct Member {
    const char* tool;
    const char* fn;
    Form form;
    int selector;
    int last;      // default last record index
    int no_index;
    bool text_mode;  // "rt"
    Loop loop;
    bool compact;
};

const Member kMembers[] = {
    {"QKTLOTW", "tlotw", Form::Five, 0, 4, -1, false, Loop::EchoAfterSend, false},
    {"QKCBW", "cbw", Form::Five, 0, 4, -1, false, Loop::Standard, true},
    {"QKVOLCADOW", "volcadow", Form::Five, 0, 0, -1, false, Loop::Standard, false},
    {"QKOPVNW", "opvnw", Form::Five, 0, 0, -1, false, Loop::Standard, false},
    {"QKIVAW", "ivaw", Form::Five, 0, 3, -1, false, Loop::Standard, false},
    {"QKRACW", "bobw", Form::Six, 0, 4, -1, false, Loop::Standard, false},
    {"QKCATW", "bobw", Form::Six, 1, 4, -1, false, Loop::Standard, false},
    {"QKSLAW", "bobw", Form::Six, 2, 4, -1, false, Loop::Standard, false},
    {"QKDESPW", "bobw", Form::Six, 3, 4, -1, false, Loop::Standard, false},
    {"QKVNW", "vnw", Form::Five, 0, 4, -1, false, Loop::Standard, false},
    {"QKFAMW", "famw", Form::Five, 0, 4, -1, false, Loop::Standard, false},
    {"QKCOW", "cow", Form::Five, 0, 4, -1, false, Loop::Standard, false},
    {"QKTOTVNW", "totvnw", Form::Five, 0, 0, -1, false, Loop::Standard, false},
    {"QKFAMFILTW", "famfiltw", Form::Five, 0, 4, 39, false, Loop::Standard, false},
    {"QKLOTW", "lotw", Form::Five, 0, 4, -1, false, Loop::Standard, false},
    {"QKCAW", "caw", Form::Five, 0, 4, -1, false, Loop::Standard, false},
    {"QKPLDW", "pldw", Form::Five, 0, 4, 1000, false, Loop::Standard, false},
    {"QKLOTFILTW", "lotfiltw", Form::Four, 0, 4, 39, true, Loop::Standard, false},
    {"QKTOTVNXW", "totvnxw", Form::Five, 0, 4, -1, false, Loop::ReadToEnd, false},
    {"QKMERMW", "mermw", Form::Five, 0, 4, -1, false, Loop::ReadToEnd, false},
    {"QKTARAMW", "taramw", Form::Four, 0, 0, -1, false, Loop::ReadToEnd, false},
};

void PrintTo(const Member& m, std::ostream* os) { *os << m.tool; }

// Journal form of a text: C escapes, printable ASCII.
std::string esc(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        switch (c) {
            case '\r': out += "\\r"; break;
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            case '\\': out += "\\\\"; break;
            case '"': out += "\\\""; break;
            default:
                if (c < 0x20 || c > 0x7e) {
                    char hex[8];
                    std::snprintf(hex, sizeof hex, "\\x%02X", c);
                    out += hex;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out;
}

// Journal line of one data call that sends line under index, to S 0 unless
// another destination is given.
std::string sent(const Member& m, int index, const std::string& line, int type = 'S', int number = 0) {
    std::string s = std::string(m.fn) + " " + std::to_string(type) + " " + std::to_string(number) + " " +
                    std::to_string(index);
    if (m.form != Form::Four) s += " " + std::to_string(index);
    s += " \"" + esc(line) + "\"";
    if (m.form == Form::Six) s += " " + std::to_string(m.selector);
    return s;
}

std::string header(int index, const std::string& text, const std::string& dest = "S 00") {
    char h[32];
    std::snprintf(h, sizeof h, "%s %03d", dest.c_str(), index);
    return h + text;
}

class UploadRecords : public Scratch, public ::testing::WithParamInterface<Member> {
protected:
    const Member& m() const { return GetParam(); }
    // Data calls and the closing of the connection.
    Lines calls() const { return journal_without({"AddIPRelTableEntry", "settimeouts", "opensocket", "setdebug"}); }
    std::string file() const { return std::string(m().tool) + ".ASC"; }
    std::string log_line(const std::string& code_and_text) const {
        return std::string(m().tool) + "|T|" + code_and_text + "\r\n";
    }
    Lines with_close(Lines l) const {
        l.push_back("closesockets");
        return l;
    }
};

// Lines of the destination in range are sent in file order, lower-case
// letters included; other destinations and lines below the range are passed
// over without ending anything; the first line of the destination above the
// range ends the sending.
TEST_P(UploadRecords, SendsTheLinesOfTheDestinationAndRange) {
    pargat();
    const std::string l1 = "s 00 001;lower\n", l2 = "S 00 002;dup\n", l3 = "S  0 003;blank-led\n";
    write(file(), "T 00 009;other type\n" + std::string("S 01 009;other number\n") + l1 +
                      "S 00 000;below\n" + l2 + l2 + "S 00 -05;negative\n" + l3 +
                      "S 00 004;above\n" + "S 00 002;after the end\n");
    const Result r = run(m().tool, {"S", "0", "1", "3"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(calls(), with_close({sent(m(), 1, l1), sent(m(), 2, l2), sent(m(), 2, l2), sent(m(), 3, l3)}));
    EXPECT_EQ(log(), "");
    EXPECT_EQ(r.out, "");
}

TEST_P(UploadRecords, DefaultsSendRecordsZeroToTheLastIndexToSectionZero) {
    pargat();
    std::string content;
    Lines expected;
    for (int i = 0; i <= m().last + 1; ++i) {
        const std::string line = header(i, ";rec\n");
        content += line;
        if (i <= m().last) expected.push_back(sent(m(), i, line));
    }
    content += header(0, ";after the end\n");
    write(file(), content);
    run(m().tool);
    EXPECT_EQ(calls(), with_close(expected));
}

TEST_P(UploadRecords, OtherDestinationsAndTerminals) {
    pargat();
    const std::string mine = "T 02 001;mine\n";
    write(file(), "S 02 009;section\n" + std::string("T 01 009;other terminal\n") + "T 2 001;short\n" + mine);
    run(m().tool, {"t", "2", "0", "4"});
    // "T 2 001": the number is read from character 2 up to its first
    // non-digit, the index from character 5 ("01").
    EXPECT_EQ(calls(), with_close({sent(m(), 1, "T 2 001;short\n", 'T', 2), sent(m(), 1, mine, 'T', 2)}));
}

TEST_P(UploadRecords, FirstAboveLastSendsNothing) {
    pargat();
    write(file(), header(2, ";a\n") + header(0, ";b\n") + header(5, ";c\n") + header(3, ";d\n"));
    run(m().tool, {"S", "0", "3", "1"});
    EXPECT_EQ(calls(), with_close({}));
    EXPECT_EQ(log(), "");
}

// A line whose index is the no-index value is not sent even inside the range.
TEST_P(UploadRecords, TheNoIndexValueIsNeverSent) {
    pargat();
    const int n = m().no_index;
    auto line = [](int i) { return "S 00 " + std::to_string(i) + ";x\n"; };
    write(file(), line(n - 1) + line(n) + line(n + 1));
    run(m().tool, {"S", "0", std::to_string(n - 1), std::to_string(n + 1)});
    EXPECT_EQ(calls(), with_close({sent(m(), n - 1, line(n - 1)), sent(m(), n + 1, line(n + 1))}));
}

TEST_P(UploadRecords, ALastLineWithoutLineEndIsSent) {
    pargat();
    write(file(), header(1, ";a\n") + header(2, ";no-line-end"));
    run(m().tool, {"S", "0", "0", "4"});
    EXPECT_EQ(calls(), with_close({sent(m(), 1, header(1, ";a\n")), sent(m(), 2, header(2, ";no-line-end"))}));
    EXPECT_EQ(log(), "");
}

TEST_P(UploadRecords, EmptyFileSendsNothing) {
    pargat();
    write(file(), "");
    const Result r = run(m().tool, {"S", "0", "0", "4"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(calls(), with_close({}));
    EXPECT_EQ(log(), "");
}

// Empty lines fail the check; a line that stops after its type letter reads
// as record 0 of destination 0.
TEST_P(UploadRecords, EmptyLinesAndALineOfOnlyTheTypeLetter) {
    pargat();
    write(file(), "\n\nS\n" + header(1, ";a\n") + "\n" + "S");
    run(m().tool, {"S", "0", "0", "4"});
    EXPECT_EQ(calls(), with_close({sent(m(), 0, "S\n"), sent(m(), 1, header(1, ";a\n")), sent(m(), 0, "S")}));
    // With another destination number the lone letter is not sent.
    std::filesystem::remove_all(state());
    run(m().tool, {"S", "1", "0", "4"});
    EXPECT_EQ(calls(), with_close({}));
}

// A line of more than 4095 characters arrives in pieces of 4095, each
// checked as a line of its own.
TEST_P(UploadRecords, ALongLineArrivesInPieces) {
    pargat();
    const std::string first_piece = header(1, ";" + std::string(4095 - 9, 'x'));
    const std::string second_piece = header(2, ";tail\n");
    write(file(), first_piece + second_piece + header(3, ";next\n"));
    run(m().tool, {"S", "0", "0", "4"});
    ASSERT_EQ(first_piece.size(), 4095u);
    EXPECT_EQ(calls(), with_close({sent(m(), 1, first_piece), sent(m(), 2, second_piece),
                                   sent(m(), 3, header(3, ";next\n"))}));
}

// The keyboard is read once per line: other keys are read and ignored,
// Escape ends the upload before the line in hand is checked.
TEST_P(UploadRecords, KeysOtherThanEscapeAreIgnoredEscapeEnds) {
    pargat();
    write(file(), header(1, ";a\n") + header(2, ";b\n") + header(3, ";c\n") + header(4, ";d\n"));
    run_keys(m().tool, {"S", "0", "0", "4"}, "q \x1b");
    EXPECT_EQ(calls(), with_close({sent(m(), 1, header(1, ";a\n")), sent(m(), 2, header(2, ";b\n"))}));
    EXPECT_EQ(log(), log_line("Error: 27|Application closed by the user"));
}

TEST_P(UploadRecords, EscapeBeforeTheFirstLine) {
    pargat();
    write(file(), header(1, ";a\n"));
    run_keys(m().tool, {"S", "0", "0", "4"}, "\x1b");
    EXPECT_EQ(calls(), with_close({}));
    EXPECT_EQ(log(), log_line("Error: 27|Application closed by the user"));
}

// An Escape still waiting when the last line has been sent is never read.
TEST_P(UploadRecords, EscapeAfterTheLastLineHasNoEffect) {
    pargat();
    write(file(), header(1, ";a\n"));
    run_keys(m().tool, {"S", "0", "0", "4"}, "a\x1b");
    EXPECT_EQ(calls(), with_close({sent(m(), 1, header(1, ";a\n"))}));
    EXPECT_EQ(log(), "");
}

// The standard loops stop reading at the first line above the range, the
// read-to-end loop goes on reading (and looking at the keyboard) without
// sending anything more.
TEST_P(UploadRecords, AfterTheRangeEndOnlyReadToEndReadsOn) {
    pargat();
    write(file(), header(1, ";a\n") + header(9, ";above\n") + header(2, ";b\n") + header(3, ";c\n"));
    run_keys(m().tool, {"S", "0", "0", "4"}, "ab\x1b");
    EXPECT_EQ(calls(), with_close({sent(m(), 1, header(1, ";a\n"))}));
    EXPECT_EQ(log(), m().loop == Loop::ReadToEnd ? log_line("Error: 27|Application closed by the user") : "");
}

// A refused line ends the upload; it has been echoed already except by the
// tool that echoes after sending.
TEST_P(UploadRecords, ARefusedLineEndsTheUploadAndTheEcho) {
    pargat(1);
    const std::string a = header(1, ";a\n"), b = header(2, ";b\n"), c = header(3, ";c\n");
    write(file(), a + b + c);
    RunOptions o;
    o.env["PORTALLIB_FAULTS"] = std::string(m().fn) + "#2=8";
    const Result r = run(m().tool, {"S", "0", "0", "4"}, o);
    EXPECT_EQ(calls(), with_close({sent(m(), 1, a), sent(m(), 2, b)}));
    EXPECT_EQ(log(), log_line("Error: 08|Dll error: not valid register (ERROR_CMD_NACK, 8)"));
    EXPECT_EQ(r.out, m().loop == Loop::EchoAfterSend ? a : a + b);
}

TEST_P(UploadRecords, EchoShowsEveryLineSentAsItIs) {
    pargat(1);
    const std::string a = header(1, ";a\n"), b = header(2, ";b");
    write(file(), a + "S 01 001;not sent\n" + b);
    const Result r = run(m().tool, {"S", "0", "0", "4"});
    EXPECT_EQ(r.out, a + b);
}

TEST_P(UploadRecords, MissingDataFile) {
    pargat();
    run(m().tool, {"S", "0", "0", "4", "MISSING.ASC"});
    EXPECT_EQ(calls(), with_close({}));
    EXPECT_EQ(log(), log_line("Error: 48|Can\xB4t open file function"));
}

// A name that does not fit the 49-character field is refused, not cut.
TEST_P(UploadRecords, AFileNameTooLongIsRefused) {
    pargat();
    const std::string name(50, 'n');
    write(name, header(1, ";a\n"));
    write(name.substr(0, 49), header(1, ";a\n"));
    run(m().tool, {"S", "0", "0", "4", name});
    EXPECT_EQ(calls(), with_close({}));
    EXPECT_EQ(log(), log_line("Error: 48|Can\xB4t open file function"));
}

TEST_P(UploadRecords, FileNameArgument) {
    pargat();
    write("other.txt", header(1, ";a\n"));
    write(file(), header(2, ";default file\n"));
    run(m().tool, {"S", "0", "0", "4", "other.txt"});
    EXPECT_EQ(calls(), with_close({sent(m(), 1, header(1, ";a\n"))}));
}

// Only the text-mode tool turns CR LF into LF and stops at a byte 0x1A;
// the others hand the line end over as it is.
TEST_P(UploadRecords, LineEndsInTextAndBinaryMode) {
    pargat();
    write(file(), header(1, ";a\r\n") + "\x1a\r\n" + header(2, ";b\r\n"));
    run(m().tool, {"S", "0", "0", "4"});
    if (m().text_mode) {
        EXPECT_EQ(calls(), with_close({sent(m(), 1, header(1, ";a\n"))}));
    } else {
        EXPECT_EQ(calls(), with_close({sent(m(), 1, header(1, ";a\r\n")), sent(m(), 2, header(2, ";b\r\n"))}));
    }
}

// Blanks after the eighth character are dropped before the check by the
// compacting tool only; the index is then read from the compacted line.
TEST_P(UploadRecords, Compaction) {
    pargat();
    // Text mode hands the CR LF over as LF.
    const std::string end = m().text_mode ? "\n" : "\r\n";
    const std::string spaced = "S 00 001 a b\tc  d\r\n", digit = "S 00 001 5 kg\n", short_line = "S 00 00\n";
    write(file(), spaced + digit + short_line);
    run(m().tool, {"S", "0", "0", "20"});
    if (m().compact) {
        EXPECT_EQ(calls(), with_close({sent(m(), 1, "S 00 001ab\tcd" + end), sent(m(), 15, "S 00 0015kg\n"),
                                       sent(m(), 0, short_line)}));
    } else {
        EXPECT_EQ(calls(), with_close({sent(m(), 1, "S 00 001 a b\tc  d" + end), sent(m(), 1, digit), sent(m(), 0, short_line)}));
    }
}

// A failing read ends the upload like the end of the file: nothing is sent,
// the run ends normally.
TEST_P(UploadRecords, AFailingReadEndsTheUpload) {
    const auto shim = bin_dir() / "libqk_faults.so";
    if (!std::filesystem::exists(shim)) GTEST_SKIP() << "no fault shim in this build";
    pargat();
    write(file(), header(1, ";a\n"));
    RunOptions o;
    o.env["LD_PRELOAD"] = shim.string();
    o.env["QK_FAULTS"] = "read:" + file();
    o.env["ASAN_OPTIONS"] = "detect_leaks=0:verify_asan_link_order=0";
    const Result r = run(m().tool, {"S", "0", "0", "4"}, o);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(calls(), with_close({}));
    EXPECT_EQ(log(), "");
}

INSTANTIATE_TEST_SUITE_P(Members, UploadRecords, ::testing::ValuesIn(kMembers),
                         [](const ::testing::TestParamInfo<Member>& p) { return std::string(p.param.tool); });

}  // namespace
}  // namespace e2e
