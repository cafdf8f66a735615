// QKINIMODEM: the modes 0 to 6 with the data file, the console, the log and
// the journal; the data file name and what a hostile gateway may leave in
// the text buffer.
#include <filesystem>

#include "earlier_frame_log.h"
#include "harness.h"
#include "defaults.h"
#include "store.h"

namespace e2e {
namespace {

class Modem : public Scratch {
protected:
    void reset(int display) {
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        pargat(display);
        seed(portallib::kGateway, "office", 0, "OFFICE=12\nNAME=North\n");
        seed(portallib::kGateway, "shop", 0, "SHOP=3\n");
        seed(portallib::kGateway, "modem", 0, "ATZ\nATDT5550101\n");
        write("QKINIMODEM.ASC", "old contents");
    }
    Lines calls() const { return journal_without({"AddIPRelTableEntry"}); }
};

TEST_F(Modem, ModesZeroToSix) {
    struct Case {
        Lines args;
        std::string file;     // QKINIMODEM.ASC afterwards
        std::string console;  // with DISPLAY 1
        Lines calls;
    };
    const std::string sending = "sending modem configuration...\nsending procedure finished\n";
    const Case cases[] = {
        {{"0"}, "", "", {}},
        {{}, "OFFICE=12\r\nNAME=North\r\n", "office configuration:\nOFFICE=12\nNAME=North\n\n", {"inimodem 1 buf"}},
        {{"1"}, "OFFICE=12\r\nNAME=North\r\n", "office configuration:\nOFFICE=12\nNAME=North\n\n", {"inimodem 1 buf"}},
        {{"2"}, "SHOP=3\r\n", "shop configuration:\nSHOP=3\n\n", {"inimodem 2 buf"}},
        {{"3"}, "", sending, {"inimodem 3 buf"}},
        {{"4"}, "", sending, {"inimodem 4 buf"}},
        {{"5"}, "ATZ\r\nATDT5550101\r\n", "reading modem configuration:\nATZ\nATDT5550101\n\n", {"inimodem 5 buf"}},
        {{"6"}, "", "", {}},
        {{"-1"}, "", "", {}},
        {{"abc"}, "", "", {}},
        {{"2x", "OTHER.TXT"}, "", "shop configuration:\nSHOP=3\n\n", {"inimodem 2 buf"}},
    };
    for (const Case& c : cases) {
        for (int display : {0, 1}) {
            SCOPED_TRACE(testing::PrintToString(c.args) + " DISPLAY=" + std::to_string(display));
            reset(display);
            const Result r = run("QKINIMODEM", c.args);
            EXPECT_EQ(r.status, 0);
            if (c.args.size() > 1) {
                EXPECT_EQ(read("QKINIMODEM.ASC"), "old contents");
                EXPECT_EQ(read(c.args[1]), "SHOP=3\r\n");
            } else {
                EXPECT_EQ(read("QKINIMODEM.ASC"), c.file) << "created for every mode, replacing the old file";
            }
            EXPECT_EQ(r.out, display ? c.console : "");
            EXPECT_EQ(calls(), c.calls);
            EXPECT_EQ(log_files(dir), Lines{"ORDENES.ERR"});
            EXPECT_EQ(read("ORDENES.ERR"), "") << "only the closing code 0 call";
        }
    }
}

TEST_F(Modem, SendingModesHandTheStoredModemConfigurationToTheGateway) {
    for (int mode : {3, 4}) {
        reset(0);
        run("QKINIMODEM", {std::to_string(mode)});
        EXPECT_EQ(stored(portallib::kGateway, "modemsent", mode), "ATZ\nATDT5550101\n");
    }
}

TEST_F(Modem, FailedCallLeavesAnEmptyFileAndLogsTheCode) {
    for (const char* mode : {"1", "3", "5"}) {
        SCOPED_TRACE(mode);
        reset(1);
        RunOptions o;
        o.env["PORTALLIB_FAULTS"] = "inimodem=3";
        const Result r = run("QKINIMODEM", {mode}, o);
        EXPECT_EQ(read("QKINIMODEM.ASC"), "");
        EXPECT_EQ(any_case_log(*this), "|QINIMODEM|T|Number Error: 03\r\n");
        // The title comes before the call; nothing after a failure.
        const std::string title = std::string(mode) == "1"   ? "office configuration:\n"
                                  : std::string(mode) == "3" ? "sending modem configuration...\n"
                                                             : "reading modem configuration:\n";
        EXPECT_EQ(r.out, title);
    }
}

TEST_F(Modem, TextWithoutTerminatingZeroIsBoundedByTheBuffer) {
    reset(1);
    RunOptions o;
    o.env["PORTALLIB_FAULTS"] = "inimodem=fill:5000";  // the whole 2000 bytes, no zero
    const Result r = run("QKINIMODEM", {"2"}, o);
    EXPECT_EQ(read("QKINIMODEM.ASC"), std::string(2000, 'X'));
    EXPECT_EQ(r.out, "shop configuration:\n" + std::string(2000, 'X') + "\n");
}

TEST_F(Modem, LongestTextTheGatewayMayReturn) {
    reset(0);
    const std::string text(1999, 'a');
    seed(portallib::kGateway, "office", 0, text);
    run("QKINIMODEM");
    EXPECT_EQ(read("QKINIMODEM.ASC"), text);
}

TEST_F(Modem, DataFileNames) {
    // 49 characters fit.
    reset(0);
    const std::string name49 = std::string(45, 'm') + ".ASC";
    run("QKINIMODEM", {"2", name49});
    EXPECT_EQ(read(name49), "SHOP=3\r\n");

    // 50 do not: refused with 48, no file made, no call.
    reset(0);
    const std::string name50 = std::string(46, 'm') + ".ASC";
    run("QKINIMODEM", {"2", name50});
    EXPECT_FALSE(exists(name50));
    EXPECT_EQ(read("QKINIMODEM.ASC"), "old contents");
    EXPECT_EQ(any_case_log(*this), "|QINIMODEM|T|Can\xB4t open file function\r\n");
    EXPECT_EQ(calls(), Lines{});

    // A file that cannot be created ends the run without a word.
    reset(1);
    std::filesystem::create_directory(dir / "CFG");
    const Result r = run("QKINIMODEM", {"1", "CFG"});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(read("ORDENES.ERR"), "");
    EXPECT_EQ(calls(), Lines{});
}

TEST_F(Modem, EmulatorDefaultTextsWhenNothingIsStored) {
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    pargat(0);
    for (int mode : {1, 2, 5}) {
        SCOPED_TRACE(mode);
        run("QKINIMODEM", {std::to_string(mode)});
        std::string expected;
        for (char ch : portallib::default_modem_text(mode)) {
            if (ch == '\n') expected += '\r';
            expected += ch;
        }
        EXPECT_FALSE(expected.empty());
        EXPECT_EQ(read("QKINIMODEM.ASC"), expected);
    }
}

}  // namespace
}  // namespace e2e
