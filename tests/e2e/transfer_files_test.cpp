// The five image and label file tools against the emulator: one gateway call
// by file name, the files moved byte for byte, and the member table's
// differences when the connection or the data call fails.
#include <string>
#include <vector>

#include "harness.h"

namespace e2e {
namespace {

struct FileTool {
    const char* name;
    const char* function;
    const char* kind;          // what the scale keeps it as
    bool reads;                // scale -> file (else file -> scale)
    bool has_label;
    int label_default;
    const char* default_file;
    bool silent_open_failure;  // opensocket failure not logged, closesockets still called
    bool keeps_connection;     // no closesockets after a failed data call
};

const FileTool kTools[] = {
    {"QKLOGOR", "logor", "logo", true, false, 0, "QKLOGOR.BMP", true, false},
    {"QKFORMR", "formr", "form", true, false, 0, "QKFORMR.BMP", true, false},
    {"QKLOGOW", "logow", "logo", false, false, 0, "QKLOGOW.BMP", false, false},
    {"QKLABELR", "labelr", "label", true, true, 0, "QKLABELR.BIN", false, true},
    {"QKLABELW", "labelw", "label", false, true, 30, "QKLABELW.BIN", false, true},
};

const std::string kOpen = R"(opensocket "127.0.0.1" 2003 2003 12)";

// Bytes no text handling would leave alone: zero, CR, LF, CR LF, 0x1A, 0xFF.
const std::string kImage = std::string("BM\0\0\r\n\n\r\x1a\xff\x80 image", 18);

std::string log_line(const FileTool& t, const std::string& code_and_text) {
    return std::string(t.name) + "|T|" + code_and_text + "\r\n";
}

// Journal line of the data call.
std::string call_line(const FileTool& t, char type, int number, int label, const std::string& file) {
    std::string s = std::string(t.function) + " " + std::to_string(type) + " " + std::to_string(number);
    if (t.has_label) s += " " + std::to_string(label);
    return s + " \"" + file + "\"";
}

// The record index under which the scale keeps the object.
int index_of(const FileTool& t, int label) { return t.has_label ? label : 0; }

Lines head(int mode) { return concat(kTestTable, {"settimeouts 2000 4 -1 " + std::to_string(mode), kOpen}); }

RunOptions faults(const std::string& plan) {
    RunOptions o;
    o.env["PORTALLIB_FAULTS"] = plan;
    return o;
}

class TransferFiles : public Scratch {};

TEST_F(TransferFiles, DefaultsMoveTheDefaultFileByteForByte) {
    for (const auto& t : kTools) {
        SCOPED_TRACE(t.name);
        SetUp();
        pargat();
        const int index = index_of(t, t.label_default);
        if (t.reads) {
            seed(0, t.kind, index, kImage);
        } else {
            write(t.default_file, kImage);
        }
        const Result r = run(t.name);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(journal(), concat(head(0), {call_line(t, 'S', 0, t.label_default, t.default_file),
                                              "closesockets"}));
        EXPECT_EQ(read("ordenes.err"), "");
        if (t.reads) {
            EXPECT_EQ(read(t.default_file), kImage);
        } else {
            bool present = false;
            EXPECT_EQ(stored(0, t.kind, index, &present), kImage);
            EXPECT_TRUE(present);
            EXPECT_EQ(read(t.default_file), kImage);  // the tool leaves its file alone
        }
    }
}

TEST_F(TransferFiles, ArgumentsGiveDestinationLabelAndFileName) {
    for (const auto& t : kTools) {
        SCOPED_TRACE(t.name);
        SetUp();
        pargat();
        const std::string file = "scale 2 object.dat";
        Lines args = {"t", "2"};
        if (t.has_label) args.push_back("-7");
        args.push_back(file);
        args.push_back("surplus");
        const int label = t.has_label ? -7 : 0;
        if (t.reads) {
            seed(2, t.kind, index_of(t, label), kImage);
        } else {
            write(file, kImage);
        }
        run(t.name, args);
        EXPECT_EQ(journal_without({"AddIPRelTableEntry", "settimeouts", "opensocket"}),
                  Lines({call_line(t, 'T', 2, label, file), "closesockets"}));
        EXPECT_EQ(read("ordenes.err"), "");
        if (t.reads) {
            EXPECT_EQ(read(file), kImage);
            EXPECT_FALSE(exists(t.default_file));
        } else {
            EXPECT_EQ(stored(2, t.kind, index_of(t, label)), kImage);
        }
    }
}

TEST_F(TransferFiles, LabelToolsGivenOnlyTypeAndNumberUseTheDefaultLabel) {
    pargat();
    write("QKLABELW.BIN", kImage);
    run("QKLABELW", {"S", "1"});
    // A section write reaches every scale of the section.
    EXPECT_EQ(stored(1, "label", 30), kImage);
    EXPECT_EQ(stored(2, "label", 30), kImage);
    run("QKLABELR", {"T", "2"});
    EXPECT_EQ(journal_without({"AddIPRelTableEntry", "settimeouts", "opensocket", "closesockets"}),
              Lines({R"(labelw 83 1 30 "QKLABELW.BIN")", R"(labelr 84 2 0 "QKLABELR.BIN")"}));
    // Nothing is stored under label 0: the scale refuses it.
    EXPECT_EQ(log(), "QKLABELR|T|Error: 08|Dll error: not valid register (ERROR_CMD_NACK, 8)\r\n");
}

TEST_F(TransferFiles, WhatIsSentComesBackByteForByte) {
    pargat();
    std::string big;
    for (int i = 0; i < 70000; ++i) big += static_cast<char>((i * 31 + i / 256) & 0xFF);
    write("sent.bmp", big);
    write("sent.bin", kImage);
    run("QKLOGOW", {"S", "1", "sent.bmp"});
    run("QKLOGOR", {"T", "2", "back.bmp"});
    run("QKLABELW", {"T", "1", "12", "sent.bin"});
    run("QKLABELR", {"S", "1", "12", "back.bin"});
    EXPECT_EQ(read("ordenes.err"), "");
    EXPECT_EQ(read("back.bmp"), big);
    EXPECT_EQ(read("back.bin"), kImage);
}

TEST_F(TransferFiles, ReadingReplacesAnExistingFile) {
    pargat();
    seed(0, "form", 0, "short");
    write("QKFORMR.BMP", std::string(5000, 'o'));
    run("QKFORMR");
    EXPECT_EQ(read("QKFORMR.BMP"), "short");
}

TEST_F(TransferFiles, SettimeoutsModeIsElevenOnlyForDisplayOne) {
    const struct {
        int display;
        int mode;
    } cases[] = {{0, 0}, {1, 11}, {2, 0}, {11, 0}, {-1, 0}};
    for (const auto& t : kTools) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(t.name) + " DISPLAY=" + std::to_string(c.display));
            SetUp();
            pargat(c.display);
            if (!t.reads) write(t.default_file, kImage);
            if (t.reads) seed(0, t.kind, index_of(t, t.label_default), kImage);
            const Result r = run(t.name);
            EXPECT_EQ(r.out, "");  // no console output, whatever DISPLAY says
            const Lines j = journal();
            ASSERT_GE(j.size(), 4u);
            EXPECT_EQ(j[3], "settimeouts 2000 4 -1 " + std::to_string(c.mode));
        }
    }
}

TEST_F(TransferFiles, FailedOpensocketFollowsTheMemberTable) {
    for (const auto& t : kTools) {
        SCOPED_TRACE(t.name);
        SetUp();
        pargat();
        if (!t.reads) write(t.default_file, kImage);
        run(t.name, {}, faults("opensocket=-1"));
        if (t.silent_open_failure) {
            EXPECT_EQ(journal(), concat(head(0), {"closesockets"}));
            EXPECT_EQ(read("ordenes.err"), "");
            EXPECT_TRUE(exists("ordenes.err"));
        } else {
            EXPECT_EQ(journal(), head(0));
            EXPECT_EQ(log(), log_line(t, "Error: 46|Unable to open port"));
        }
        if (t.reads) {
            EXPECT_FALSE(exists(t.default_file));
        }
    }
}

TEST_F(TransferFiles, SilentOpenFailureStillLogsAFailingClose) {
    for (const char* name : {"QKLOGOR", "QKFORMR"}) {
        SCOPED_TRACE(name);
        SetUp();
        pargat();
        run(name, {}, faults("opensocket=-1;closesockets=-1"));
        EXPECT_EQ(log(), std::string(name) + "|T|Error: 46|Unable to open port\r\n");
        EXPECT_EQ(journal_without({"AddIPRelTableEntry", "settimeouts", "opensocket"}), Lines({"closesockets"}));
    }
}

TEST_F(TransferFiles, FailedDataCallIsLoggedAndLabelToolsLeaveTheConnectionOpen) {
    const struct {
        const char* action;
        std::string logged;
    } results[] = {
        {"8", "Error: 08|Dll error: not valid register (ERROR_CMD_NACK, 8)"},
        {"-1", "Error: -1|Dll error: Socket error.Unable to send (SOCKET_ERROR, -1)"},
        {"77", "Error: 77|Number Error: 77"},
    };
    for (const auto& t : kTools) {
        for (const auto& res : results) {
            SCOPED_TRACE(std::string(t.name) + " " + res.action);
            SetUp();
            pargat();
            if (!t.reads) write(t.default_file, kImage);
            run(t.name, {}, faults(std::string(t.function) + "=" + res.action));
            EXPECT_EQ(log(), log_line(t, res.logged));
            Lines expected = concat(head(0), {call_line(t, 'S', 0, t.label_default, t.default_file)});
            if (!t.keeps_connection) expected.push_back("closesockets");
            EXPECT_EQ(journal(), expected);
        }
    }
}

TEST_F(TransferFiles, FailingCloseAfterATransferLogs46) {
    for (const auto& t : kTools) {
        SCOPED_TRACE(t.name);
        SetUp();
        pargat();
        if (!t.reads) write(t.default_file, kImage);
        if (t.reads) seed(0, t.kind, index_of(t, t.label_default), kImage);
        run(t.name, {}, faults("closesockets=-1"));
        EXPECT_EQ(log(), log_line(t, "Error: 46|Unable to open port"));
    }
}

TEST_F(TransferFiles, NameLongerThan49CharactersReachesNoGateway) {
    const std::string longest(49, 'n');
    const std::string too_long(50, 'n');
    for (const auto& t : kTools) {
        SCOPED_TRACE(t.name);
        SetUp();
        pargat();
        auto args = [&](const std::string& file) {
            Lines a = {"S", "0"};
            if (t.has_label) a.push_back(std::to_string(t.label_default));
            a.push_back(file);
            return a;
        };
        write(too_long, kImage);
        write(too_long.substr(0, 49), kImage);  // what a cut name would have met
        if (t.reads) seed(0, t.kind, index_of(t, t.label_default), "scale bytes");
        run(t.name, args(too_long));
        EXPECT_EQ(log(), log_line(t, "Error: 48|Can\xB4t open file function"));
        // No data call, and the connection is closed as after any transfer.
        EXPECT_EQ(journal(), concat(head(0), {"closesockets"}));
        EXPECT_EQ(read(too_long), kImage);
        EXPECT_EQ(read(longest), kImage);
        if (!t.reads) {
            bool present = true;
            stored(0, t.kind, index_of(t, t.label_default), &present);
            EXPECT_FALSE(present);
        }

        // 49 characters are a name like any other.
        SetUp();
        pargat();
        if (t.reads) seed(0, t.kind, index_of(t, t.label_default), kImage);
        if (!t.reads) write(longest, kImage);
        run(t.name, args(longest));
        EXPECT_EQ(read("ordenes.err"), "");
        EXPECT_EQ(journal_without({"AddIPRelTableEntry", "settimeouts", "opensocket"}),
                  Lines({call_line(t, 'S', 0, t.label_default, longest), "closesockets"}));
        if (t.reads) {
            EXPECT_EQ(read(longest), kImage);
        } else {
            EXPECT_EQ(stored(0, t.kind, index_of(t, t.label_default)), kImage);
        }
    }
}

}  // namespace
}  // namespace e2e
