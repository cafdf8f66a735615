// The fixed-size record download tools, one row per tool: the same cases run
// against every row and are checked byte for byte (data file, console, error
// log, call journal).
#include <string>
#include <vector>

#include "download_support.h"

namespace e2e {
namespace {

using namespace e2e::download;

enum class Reading { Range, Single, Header };

struct FixedTool {
    const char* name;
    const char* function;
    const char* kind;
    int arguments;      // 4: f(type, number, i, buf); 5: f(type, number, i, i, buf)
    bool appends;       // "a" (else "wt")
    std::size_t size;   // bytes stored per record
    bool newline;
    Reading reading;
};

const FixedTool kTools[] = {
    {"QKTARAMR", "taramr", "taram", 4, false, 16, true, Reading::Range},
    {"QKLOTFILTR", "lotfiltr", "lotfilt", 4, false, 39, true, Reading::Range},
    {"QKVOLCADOR", "volcador", "volcado", 5, true, 112, true, Reading::Range},
    {"QKTOTVNR", "totvnr", "totvn", 5, true, 113, true, Reading::Range},
    {"QKOPVNR", "opvnr", "opvn", 5, true, 67, true, Reading::Range},
    {"QKFAMFILTR", "famfiltr", "famfilt", 5, false, 39, false, Reading::Single},
    {"QKTOTVNXR", "totvnxr", "totvnx", 5, true, 113, true, Reading::Header},
};

// Header record of the extended totals: the count of records that follow it
// stands at offset 94.
std::string header(const std::string& at_94) { return "HEADER" + std::string(88, ' ') + at_94; }

class FixedDownload : public Scratch {
protected:
    static std::string asc(const FixedTool& t) { return std::string(t.name) + ".ASC"; }

    static std::string call(const FixedTool& t, int type, int number, int i) {
        std::string s = std::string(t.function) + " " + std::to_string(type) + " " + std::to_string(number) +
                        " " + std::to_string(i);
        if (t.arguments == 5) s += " " + std::to_string(i);
        return s + " buf";
    }
    // A record with printf directives, a line feed and zero bytes in it,
    // shorter than the smallest record size.
    static std::string record(const FixedTool& t, int terminal, int i) {
        if (t.reading == Reading::Header && i == 0) return header("4 ");
        return "%s%n" + std::string(t.kind, 2) + std::to_string(terminal) + std::to_string(i) + "\n" +
               std::string(1, '\0') + "z";
    }
    // The record as the file holds it: its size in bytes (the cleared buffer
    // beyond the record), the line end, in text mode.
    static std::string stored(const FixedTool& t, const std::string& rec) {
        std::string bytes = rec.substr(0, t.size);
        bytes.resize(t.size, '\0');
        if (t.newline) bytes += '\n';
        return text_mode(bytes);
    }
    // The console echo: the text up to its first zero byte.
    static std::string echoed(const std::string& rec) { return rec.substr(0, rec.find('\0')); }

    struct Expected {
        Lines calls;
        std::string file;
        std::string out;
    };
    // What reading the given indices of a terminal gives; every index is
    // called, the last `failed` ones fail (echoed empty, not stored).
    static Expected reading(const FixedTool& t, int type, int terminal, int number, const std::vector<int>& indices,
                            std::size_t failed = 0) {
        Expected e;
        for (std::size_t k = 0; k < indices.size(); ++k) {
            const int i = indices[k];
            e.calls.push_back(call(t, type, number, i));
            if (k + failed >= indices.size()) continue;
            e.file += stored(t, record(t, terminal, i));
            e.out += echoed(record(t, terminal, i));
        }
        return e;
    }

    void start(int display = 0) const {
        fresh(*this);
        pargat(display);
        for (int terminal : {0, 1}) {
            for (const FixedTool& t : kTools) {
                for (int i = 0; i <= 4; ++i) seed(terminal, t.kind, i, record(t, terminal, i));
            }
        }
    }
    void check(const FixedTool& t, const Result& r, const Expected& e, int display, const std::string& file_before,
               const std::string& log_text) const {
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(journal(), connection_calls() + e.calls + Lines{"closesockets"});
        EXPECT_EQ(read(asc(t)), (t.appends ? file_before : "") + e.file);
        EXPECT_EQ(r.out, display ? e.out : "");
        EXPECT_EQ(log(), log_text);
    }
};

TEST_F(FixedDownload, DefaultsReadRecordZeroOfSectionZero) {
    for (const FixedTool& t : kTools) {
        SCOPED_TRACE(t.name);
        start();
        const Result r = run(t.name);
        // The header member reads the header, then the four records it counts.
        const std::vector<int> indices = t.reading == Reading::Header ? std::vector<int>{0, 1, 2, 3, 4}
                                                                       : std::vector<int>{0};
        check(t, r, reading(t, 'S', 0, 0, indices), 0, "", "");
    }
}

TEST_F(FixedDownload, RangeOfATerminalWithEchoOfTheTextUpToItsFirstZeroByte) {
    for (const FixedTool& t : kTools) {
        SCOPED_TRACE(t.name);
        start(1);
        write(asc(t), "earlier\r\n");
        Result r;
        Expected e;
        switch (t.reading) {
            case Reading::Range:
                r = run(t.name, {"t", "1", "1", "2"});
                e = reading(t, 'T', 1, 1, {1, 2});
                break;
            case Reading::Single:  // first and last are read and not used
                r = run(t.name, {"t", "1", "1", "2"});
                e = reading(t, 'T', 1, 1, {0});
                break;
            case Reading::Header:  // the third argument is the data file
                r = run(t.name, {"t", "1"});
                e = reading(t, 'T', 1, 1, {0, 1, 2, 3, 4});
                break;
        }
        check(t, r, e, 1, "earlier\r\n", "");
    }
}

TEST_F(FixedDownload, FirstAboveLastReadsNothing) {
    for (const FixedTool& t : kTools) {
        if (t.reading == Reading::Header) continue;  // it has no range
        SCOPED_TRACE(t.name);
        start(1);
        write(asc(t), "earlier\r\n");
        const Result r = run(t.name, {"S", "0", "3", "2"});
        check(t, r, reading(t, 'S', 0, 0, t.reading == Reading::Single ? std::vector<int>{0} : std::vector<int>{}),
              1, "earlier\r\n", "");
    }
}

TEST_F(FixedDownload, FailureAtTheThirdCallKeepsTwoRecordsAndLogsOnce) {
    for (const FixedTool& t : kTools) {
        SCOPED_TRACE(t.name);
        start(1);
        Result r;
        Expected e;
        switch (t.reading) {
            case Reading::Range:
                r = run(t.name, {"S", "0", "0", "4"}, faults(std::string(t.function) + "#3=8"));
                e = reading(t, 'S', 0, 0, {0, 1, 2}, 1);
                break;
            case Reading::Single:  // its one call fails
                r = run(t.name, {}, faults(std::string(t.function) + "#1=8"));
                e = reading(t, 'S', 0, 0, {0}, 1);
                break;
            case Reading::Header:
                r = run(t.name, {}, faults(std::string(t.function) + "#3=8"));
                e = reading(t, 'S', 0, 0, {0, 1, 2}, 1);
                break;
        }
        check(t, r, e, 1, "", missing_record(t.name));
    }
}

struct EscapeCase {
    const char* keys;
    std::vector<int> range_reads, single_reads, header_reads;
    bool cancelled_range, cancelled_single, cancelled_header;
};

TEST_F(FixedDownload, EscapeEndsTheReadingWithOneLine) {
    const EscapeCase cases[] = {
        // The header is read before the keyboard is looked at.
        {"\x1b", {}, {}, {0}, true, true, true},
        // The single read checks once and sees "a".
        {"ab\x1b", {0, 1}, {0}, {0, 1, 2}, true, false, true},
    };
    for (const FixedTool& t : kTools) {
        for (const EscapeCase& c : cases) {
            SCOPED_TRACE(std::string(t.name) + " keys " + testing::PrintToString(c.keys));
            start();
            const std::vector<std::string> args =
                t.reading == Reading::Header ? Lines{"S", "0"} : Lines{"S", "0", "0", "4"};
            const Result r = run(t.name, args, faults("", c.keys));
            const bool cancels = t.reading == Reading::Range    ? c.cancelled_range
                                 : t.reading == Reading::Single ? c.cancelled_single
                                                                : c.cancelled_header;
            const std::vector<int>& reads = t.reading == Reading::Range    ? c.range_reads
                                            : t.reading == Reading::Single ? c.single_reads
                                                                           : c.header_reads;
            check(t, r, reading(t, 'S', 0, 0, reads), 0, "", cancels ? cancelled(t.name) : "");
        }
    }
}

TEST_F(FixedDownload, SecondRunAppendsOrReplaces) {
    for (const FixedTool& t : kTools) {
        SCOPED_TRACE(t.name);
        start();
        const std::vector<std::string> args =
            t.reading == Reading::Header ? Lines{"S", "0"} : Lines{"S", "0", "0", "1"};
        run(t.name, args);
        const std::string once = read(asc(t));
        ASSERT_FALSE(once.empty());
        run(t.name, args);
        EXPECT_EQ(read(asc(t)), t.appends ? once + once : once);
        EXPECT_EQ(log(), "");
    }
}

TEST_F(FixedDownload, UnterminatedBufferEchoesTheWholeBufferAndStoresTheRecordSize) {
    for (const FixedTool& t : kTools) {
        SCOPED_TRACE(t.name);
        start(1);
        const std::vector<std::string> args =
            t.reading == Reading::Header ? Lines{"S", "0"} : Lines{"S", "0", "0", "0"};
        const Result r = run(t.name, args, faults(std::string(t.function) + "=fill:4096"));
        // A header of X's counts no records.
        EXPECT_EQ(journal(), (connection_calls() + Lines{call(t, 'S', 0, 0), "closesockets"}));
        EXPECT_EQ(r.out, std::string(4096, 'X'));
        EXPECT_EQ(read(asc(t)), std::string(t.size, 'X') + (t.newline ? "\r\n" : ""));
        EXPECT_EQ(log(), "");
    }
}

// ---- The header's count -----------------------------------------------------------

struct CountCase {
    const char* name;
    std::string header;
    int records;      // counted records stored after the header
    bool missing;     // the last counted record is missing on the scale
};

TEST_F(FixedDownload, HeaderCountIsTheNumberAtOffset94) {
    const FixedTool& t = kTools[6];
    ASSERT_STREQ(t.name, "QKTOTVNXR");
    const CountCase cases[] = {
        {"zero", header("0"), 0, false},
        {"no digits", header("abc 3"), 0, false},
        {"negative", header("-3"), 0, false},
        {"blanks and sign first", header(" \t+2x"), 2, false},
        {"text ends before offset 94", "HEADER", 0, false},
        {"more than stored", header("6"), 4, true},
        {"count beyond 32 bits", header("99999999999999999999") + "", 4, true},
    };
    for (const CountCase& c : cases) {
        SCOPED_TRACE(c.name);
        start(1);
        seed(0, t.kind, 0, c.header);
        const Result r = run(t.name);
        Expected e = reading(t, 'S', 0, 0, {});
        e.calls.push_back(call(t, 'S', 0, 0));
        e.file = stored(t, c.header);
        e.out = c.header;
        for (int i = 1; i <= c.records; ++i) {
            e.calls.push_back(call(t, 'S', 0, i));
            e.file += stored(t, record(t, 0, i));
            e.out += echoed(record(t, 0, i));
        }
        if (c.missing) e.calls.push_back(call(t, 'S', 0, c.records + 1));
        check(t, r, e, 1, "", c.missing ? missing_record(t.name) : "");
    }
}

TEST_F(FixedDownload, FailedHeaderStoresNothingAndAsksForNoRecord) {
    const FixedTool& t = kTools[6];
    start(1);
    const Result r = run(t.name, {"S", "0", "T.TXT"}, faults("totvnxr#1=30"));
    EXPECT_EQ(journal(), (connection_calls() + Lines{call(t, 'S', 0, 0), "closesockets"}));
    EXPECT_EQ(read("T.TXT"), "");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(log(), log_line(t.name, "Error: 30|Dll error: Unable to match IP(NO_IPDEST_REL, 30)"));
}

// ---- Data file name ---------------------------------------------------------------

TEST_F(FixedDownload, NameOverFortyNineCharactersIsRefused) {
    const std::string too_long = std::string(46, 'n') + ".ASC";
    const std::pair<const char*, Lines> cases[] = {
        {"QKTARAMR", {"S", "0", "0", "0", too_long}},
        {"QKTOTVNXR", {"S", "0", too_long}},
    };
    for (const auto& [tool, args] : cases) {
        SCOPED_TRACE(tool);
        start();
        run(tool, args);
        EXPECT_EQ(log(), file_refused(tool));
        EXPECT_EQ(journal(), connection_calls() + Lines{"closesockets"});
        EXPECT_FALSE(exists(too_long));
        EXPECT_FALSE(exists(std::string(tool) + ".ASC"));
    }
}

}  // namespace
}  // namespace e2e
