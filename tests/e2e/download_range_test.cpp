// The record range download tools, one row per tool: every row runs the same
// cases against the emulator and is checked byte for byte (data file,
// console, error log, call journal).
#include <string>
#include <vector>

#include "download_support.h"

namespace e2e {
namespace {

using namespace e2e::download;

struct RangeTool {
    const char* name;
    const char* function;
    const char* kind;        // the emulator's store of the records
    const char* sixth = "";  // constant sixth argument, as journalled
    int last = 4;            // default last record index
    std::size_t bound = 4096;  // longest record text
    bool clears = false;     // buffer cleared before every call
    bool plir = false;       // counter echo, INGREDIENTS, no Escape, left open after a failure
};

const RangeTool kTools[] = {
    {"QKCOR", "cor", "co"},
    {"QKPLR", "plr", "pl", " 0"},
    {"QKRACR", "bobr", "bob0", " 0"},
    {"QKCATR", "bobr", "bob1", " 1"},
    {"QKSLAR", "bobr", "bob2", " 2"},
    {"QKDESPR", "bobr", "bob3", " 3"},
    {"QKTLOTR", "tlotr", "tlot"},
    {"QKACPLR", "acplr", "acpl"},
    {"QKLOTR", "lotr", "lot"},
    {"QKCAR", "car", "ca", "", 5, 4096, true},
    {"QKFAMR", "famr", "fam"},
    {"QKACVNR", "acvnr", "acvn"},
    {"QKIVAR", "ivar", "iva", "", 3},
    {"QKFIMR", "fimr", "fim", "", 3},
    {"QKCMDR", "cmdr", "cmd"},
    {"QKMERMR", "mermr", "merm", "", 4, 1024},
    {"QKPLIR", "plir", "pli", "", 4, 1048, true, true},
};

constexpr int kIngredients = 7;

class RangeDownload : public Scratch {
protected:
    static std::string asc(const RangeTool& t) { return std::string(t.name) + ".ASC"; }

    static std::string call(const RangeTool& t, int type, int number, int i) {
        return std::string(t.function) + " " + std::to_string(type) + " " + std::to_string(number) + " " +
               std::to_string(i) + " " + std::to_string(i) + " buf" + t.sixth;
    }
    static Lines calls(const RangeTool& t, int type, int number, int first, int last) {
        Lines l;
        for (int i = first; i <= last; ++i) l.push_back(call(t, type, number, i));
        return l;
    }
    // A record as the scale keeps it: its own line end, different per tool,
    // scale and index.
    static std::string record(const RangeTool& t, int terminal, int i) {
        return std::string(t.kind) + " t" + std::to_string(terminal) + " #" + std::to_string(i) + "\r\n";
    }
    static std::string records(const RangeTool& t, int terminal, int first, int last) {
        std::string s;
        for (int i = first; i <= last; ++i) s += record(t, terminal, i);
        return s;
    }
    static Lines opened(const RangeTool& t) { return connection_calls(t.plir ? kIngredients : 12); }

    void seed_range(const RangeTool& t, int terminal, int first, int last) const {
        for (int i = first; i <= last; ++i) seed(terminal, t.kind, i, record(t, terminal, i));
    }
    void start(int display = 0) const {
        fresh(*this);
        pargat(display, 0, kIngredients);
    }
};

TEST_F(RangeDownload, DefaultsReadRecordsZeroToTheDefaultLastOfSectionZero) {
    for (const RangeTool& t : kTools) {
        SCOPED_TRACE(t.name);
        start();
        seed_range(t, 0, 0, t.last + 1);
        const Result r = run(t.name);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(journal(), opened(t) + calls(t, 'S', 0, 0, t.last) + Lines{"closesockets"});
        EXPECT_EQ(read(asc(t)), records(t, 0, 0, t.last));
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(log(), "");
    }
}

TEST_F(RangeDownload, RangeOfATerminalIsEchoedAndWrittenUnchanged) {
    for (const RangeTool& t : kTools) {
        SCOPED_TRACE(t.name);
        start(1);
        seed_range(t, 1, -1, 2);
        // Four arguments: the default data file; negative indices as given.
        const Result r = run(t.name, {"t", "1", "-1", "1"});
        EXPECT_EQ(journal(), opened(t) + calls(t, 'T', 1, -1, 1) + Lines{"closesockets"});
        EXPECT_EQ(read(asc(t)), records(t, 1, -1, 1));
        EXPECT_EQ(r.out, t.plir ? "-1\r0\r1\r" : records(t, 1, -1, 1));
        EXPECT_EQ(log(), "");

        // The fifth argument names the data file; surplus arguments are ignored.
        fs::remove(dir / asc(t));
        run(t.name, {"S", "1", "2", "2", "OUT.TXT", "surplus"});
        EXPECT_EQ(read("OUT.TXT"), record(t, 1, 2));  // section 1 reads from its master, terminal 1
        EXPECT_FALSE(exists(asc(t)));
    }
}

TEST_F(RangeDownload, FirstAboveLastTruncatesTheFileAndCallsNothing) {
    for (const RangeTool& t : kTools) {
        SCOPED_TRACE(t.name);
        start(1);
        seed_range(t, 0, 0, 4);
        write(asc(t), "earlier content");
        const Result r = run(t.name, {"S", "0", "3", "2"});
        EXPECT_EQ(journal(), opened(t) + Lines{"closesockets"});
        EXPECT_TRUE(exists(asc(t)));
        EXPECT_EQ(read(asc(t)), "");
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(log(), "");
    }
}

TEST_F(RangeDownload, FailureAtTheThirdIndexKeepsTwoRecordsAndLogsOnce) {
    for (const RangeTool& t : kTools) {
        SCOPED_TRACE(t.name);
        start(1);
        seed_range(t, 0, 0, 4);
        const Result r = run(t.name, {"S", "0", "0", "4"}, faults(std::string(t.function) + "#3=8"));
        EXPECT_EQ(read(asc(t)), records(t, 0, 0, 1));
        EXPECT_EQ(r.out, t.plir ? "0\r1\r" : records(t, 0, 0, 1));
        EXPECT_EQ(log(), missing_record(t.name));
        // QKPLIR leaves the connection open after a failed call.
        EXPECT_EQ(journal(), opened(t) + calls(t, 'S', 0, 0, 2) + (t.plir ? Lines{} : Lines{"closesockets"}));
    }
}

struct EscapeCase {
    const char* keys;
    int records_before;  // records read before the Escape is seen
};

TEST_F(RangeDownload, EscapeEndsTheLoopExceptInQKPLIR) {
    const EscapeCase cases[] = {{"\x1b", 0}, {"ab\x1b", 2}};
    for (const RangeTool& t : kTools) {
        for (const EscapeCase& c : cases) {
            SCOPED_TRACE(std::string(t.name) + " keys " + testing::PrintToString(c.keys));
            start();
            seed_range(t, 0, 0, 4);
            run_keys(t.name, {"S", "0", "0", "4"}, c.keys);
            const int read_up_to = t.plir ? 4 : c.records_before - 1;
            EXPECT_EQ(journal(), opened(t) + calls(t, 'S', 0, 0, read_up_to) + Lines{"closesockets"});
            EXPECT_EQ(read(asc(t)), records(t, 0, 0, read_up_to));
            EXPECT_EQ(log(), t.plir ? "" : cancelled(t.name));
        }
    }
}

TEST_F(RangeDownload, EchoIsTheLiteralTextAndDisplayZeroPrintsNothing) {
    // printf directives in a record are text like any other.
    const std::string text = "%s%n%d %x %%\r\n";
    for (const RangeTool& t : kTools) {
        for (int display : {0, 1}) {
            SCOPED_TRACE(std::string(t.name) + " DISPLAY=" + std::to_string(display));
            start(display);
            seed(0, t.kind, 0, text);
            const Result r = run(t.name, {"S", "0", "0", "0"});
            EXPECT_EQ(r.status, 0);
            EXPECT_EQ(read(asc(t)), text);
            EXPECT_EQ(r.out, display == 0 ? "" : t.plir ? "0\r" : text);
            EXPECT_EQ(log(), "");
        }
    }
}

TEST_F(RangeDownload, UnterminatedBufferIsTakenWholeUpToTheToolsBound) {
    for (const RangeTool& t : kTools) {
        SCOPED_TRACE(t.name);
        start(1);
        // The gateway fills the buffer with no zero byte (never past the
        // tool's own buffer size).
        const Result r = run(t.name, {"S", "0", "0", "1"}, faults(std::string(t.function) + "=fill:4096"));
        const std::string whole(t.bound, 'X');
        EXPECT_EQ(read(asc(t)), whole + whole);
        EXPECT_EQ(r.out, t.plir ? "0\r1\r" : whole + whole);
        EXPECT_EQ(log(), "");
    }
}

TEST_F(RangeDownload, UntouchedBufferRepeatsThePreviousRecordUnlessClearedBeforeEveryCall) {
    for (const RangeTool& t : kTools) {
        SCOPED_TRACE(t.name);
        start();
        seed_range(t, 0, 0, 2);
        run(t.name, {"S", "0", "0", "2"}, faults(std::string(t.function) + "#2=untouched"));
        EXPECT_EQ(read(asc(t)), record(t, 0, 0) + (t.clears ? "" : record(t, 0, 0)) + record(t, 0, 2));
        EXPECT_EQ(log(), "");
    }
}

// ---- QKRELR: one record, no range, no keyboard check -----------------------------

TEST_F(RangeDownload, RelrReadsOneRecordIntoTheThirdArgumentsFile) {
    start(1);
    seed(1, "rel", 0, "relation %s\r\n");
    // Escape is waiting but never looked at; the fourth argument is surplus.
    const Result r = run_keys("QKRELR", {"T", "1", "REL.TXT", "9"}, "\x1b");
    EXPECT_EQ(journal(), (connection_calls() + Lines{"relr 84 1 buf", "closesockets"}));
    EXPECT_EQ(read("REL.TXT"), "relation %s\r\n");
    EXPECT_EQ(r.out, "relation %s\r\n");
    EXPECT_EQ(log(), "");
    EXPECT_FALSE(exists("QKRELR.ASC"));
}

TEST_F(RangeDownload, RelrDefaultsFailureAndUnterminatedBuffer) {
    start();
    seed(0, "rel", 0, "rel0\r\n");
    run("QKRELR");
    EXPECT_EQ(journal(), (connection_calls() + Lines{"relr 83 0 buf", "closesockets"}));
    EXPECT_EQ(read("QKRELR.ASC"), "rel0\r\n");

    start(1);
    seed(0, "rel", 0, "rel0\r\n");
    Result r = run("QKRELR", {}, faults("relr=8"));
    EXPECT_EQ(read("QKRELR.ASC"), "");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(log(), missing_record("QKRELR"));
    EXPECT_EQ(journal(), (connection_calls() + Lines{"relr 83 0 buf", "closesockets"}));

    start(1);
    r = run("QKRELR", {}, faults("relr=fill:4096"));
    EXPECT_EQ(read("QKRELR.ASC"), std::string(4096, 'X'));
    EXPECT_EQ(r.out, std::string(4096, 'X'));
}

// ---- Data file name ---------------------------------------------------------------

TEST_F(RangeDownload, NameOverFortyNineCharactersIsRefusedAndTheConnectionStillClosed) {
    const std::string too_long = std::string(46, 'n') + ".ASC";  // 50 characters
    struct NameCase {
        const char* tool;
        Lines args;
        const char* call;
    };
    const NameCase cases[] = {
        {"QKCOR", {"S", "0", "0", "0", too_long}, "cor"},
        {"QKPLIR", {"S", "0", "0", "0", too_long}, "plir"},
        {"QKRELR", {"S", "0", too_long}, "relr"},
    };
    for (const NameCase& c : cases) {
        SCOPED_TRACE(c.tool);
        start();
        run(c.tool, c.args);
        EXPECT_EQ(log(), file_refused(c.tool));
        EXPECT_EQ(journal(), opened(RangeTool{c.tool, c.call, "", "", 4, 4096, false,
                                              std::string(c.tool) == "QKPLIR"}) +
                                 Lines{"closesockets"});
        EXPECT_FALSE(exists(too_long));
        EXPECT_FALSE(exists(std::string(c.tool) + ".ASC"));
    }
}

}  // namespace
}  // namespace e2e
