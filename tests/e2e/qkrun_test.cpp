// qkrun seen from a script: real tools against the emulator, the lines of
// the run on standard error, the exit status, and the JSON report parsed back.
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <thread>
#include <variant>

#include "earlier_frame_log.h"
#include "harness.h"

namespace e2e {
namespace {

// ---- A small JSON reader, enough for qkrun's report ---------------------------

struct Json;
using JsonObject = std::map<std::string, Json>;
using JsonArray = std::vector<Json>;

struct Json {
    // null, bool, number, string, array, object
    std::variant<std::nullptr_t, bool, double, std::string, std::shared_ptr<JsonArray>, std::shared_ptr<JsonObject>> v;

    bool is_null() const { return std::holds_alternative<std::nullptr_t>(v); }
    double num() const { return std::get<double>(v); }
    const std::string& str() const { return std::get<std::string>(v); }
    const JsonArray& arr() const { return *std::get<std::shared_ptr<JsonArray>>(v); }
    const JsonObject& obj() const { return *std::get<std::shared_ptr<JsonObject>>(v); }
    const Json& operator[](const std::string& key) const { return obj().at(key); }
};

class JsonReader {
public:
    explicit JsonReader(const std::string& s) : s_(s) {}

    // The whole text must be one value, with white space around it only.
    bool parse(Json& out) {
        if (!value(out)) return false;
        space();
        return i_ == s_.size();
    }

private:
    const std::string& s_;
    std::size_t i_ = 0;

    void space() {
        while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\n' || s_[i_] == '\r' || s_[i_] == '\t')) ++i_;
    }
    bool word(const char* w) {
        const std::size_t n = std::strlen(w);
        if (s_.compare(i_, n, w) != 0) return false;
        i_ += n;
        return true;
    }
    static void utf8(std::string& out, unsigned cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    bool string(std::string& out) {
        if (i_ >= s_.size() || s_[i_] != '"') return false;
        ++i_;
        while (i_ < s_.size()) {
            const unsigned char c = static_cast<unsigned char>(s_[i_++]);
            if (c == '"') return true;
            if (c < 0x20) return false;  // raw control characters are not JSON
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            if (i_ >= s_.size()) return false;
            const char e = s_[i_++];
            switch (e) {
                case '"': out += '"'; break;
                case '\\': out += '\\'; break;
                case '/': out += '/'; break;
                case 'b': out += '\b'; break;
                case 'f': out += '\f'; break;
                case 'n': out += '\n'; break;
                case 'r': out += '\r'; break;
                case 't': out += '\t'; break;
                case 'u': {
                    if (i_ + 4 > s_.size()) return false;
                    unsigned cp = 0;
                    for (int k = 0; k < 4; ++k) {
                        const char h = s_[i_++];
                        if (!std::isxdigit(static_cast<unsigned char>(h))) return false;
                        cp = cp * 16 + static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(h)) ? h - '0' : (std::tolower(h) - 'a' + 10));
                    }
                    utf8(out, cp);
                    break;
                }
                default: return false;
            }
        }
        return false;
    }
    bool value(Json& out) {
        space();
        if (i_ >= s_.size()) return false;
        const char c = s_[i_];
        if (c == '{') {
            ++i_;
            auto o = std::make_shared<JsonObject>();
            space();
            if (i_ < s_.size() && s_[i_] == '}') {
                ++i_;
            } else {
                for (;;) {
                    space();
                    std::string key;
                    if (!string(key)) return false;
                    space();
                    if (!word(":")) return false;
                    Json v;
                    if (!value(v)) return false;
                    if (!o->emplace(key, v).second) return false;  // no duplicate keys
                    space();
                    if (word("}")) break;
                    if (!word(",")) return false;
                }
            }
            out.v = o;
            return true;
        }
        if (c == '[') {
            ++i_;
            auto a = std::make_shared<JsonArray>();
            space();
            if (i_ < s_.size() && s_[i_] == ']') {
                ++i_;
            } else {
                for (;;) {
                    Json v;
                    if (!value(v)) return false;
                    a->push_back(v);
                    space();
                    if (word("]")) break;
                    if (!word(",")) return false;
                }
            }
            out.v = a;
            return true;
        }
        if (c == '"') {
            std::string s;
            if (!string(s)) return false;
            out.v = s;
            return true;
        }
        if (word("null")) return out.v = nullptr, true;
        if (word("true")) return out.v = true, true;
        if (word("false")) return out.v = false, true;
        const std::size_t start = i_;
        if (i_ < s_.size() && s_[i_] == '-') ++i_;
        while (i_ < s_.size() && (std::isdigit(static_cast<unsigned char>(s_[i_])) || s_[i_] == '.')) ++i_;
        if (i_ == start) return false;
        out.v = std::strtod(s_.substr(start, i_ - start).c_str(), nullptr);
        return true;
    }
};

Json parse_json(const std::string& text) {
    Json j;
    JsonReader r(text);
    if (!r.parse(j)) ADD_FAILURE() << "not one JSON value: " << text;
    return j;
}

const std::regex kIsoTime(R"(\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}\.\d{3})");

// ---- The fixture ------------------------------------------------------------------

class Qkrun : public Scratch {
protected:
    void SetUp() override {
        Scratch::SetUp();
        // These tests use POSIX shell scripts as stand-in tools and compare
        // qkrun's console bytes, which it writes untranslated; under Wine the
        // harness folds CR LF on the console. The log reading itself is
        // covered by the unit tests on every build.
        if (windows_build()) GTEST_SKIP() << "qkrun end-to-end tests run on the native build";
    }

public:
    Result qkrun(const std::vector<std::string>& args, const std::map<std::string, std::string>& env = {},
                 const fs::path& exe_dir = {}) {
        RunOptions o;
        o.env = env;
        o.exe_dir = exe_dir;
        return run("qkrun", args, o);
    }

    // Lines with the date and time replaced by T, as Scratch::log() does.
    static std::string masked(const std::string& lines) {
        static const std::regex head(R"(\|[1-9][0-9]?/[1-9][0-9]?/[0-9]{4}\|[0-9]{2}:[0-9]{2}:[0-9]{2},[0-9]{3}\|)");
        return std::regex_replace(lines, head, "|T|");
    }

    // A folder holding a copy of qkrun and nothing else.
    fs::path lone_qkrun() const {
        const fs::path where = dir / "lone";
        fs::create_directories(where);
        fs::copy_file(bin_dir() / exe_name("qkrun"), where / exe_name("qkrun"), fs::copy_options::overwrite_existing);
        return where;
    }
};

const std::map<std::string, std::string> kNack = {{"PORTALLIB_FAULTS", "lotr=8"}};
const std::string kNackLine = "QKLOTR|T|Error: 08|Dll error: not valid register (ERROR_CMD_NACK, 8)\r\n";

// ---- Exit status and the lines on standard error ------------------------------------

TEST_F(Qkrun, CleanRunExitsZeroAndPrintsNothing) {
    pargat();
    seed(0, "lot", 0, "S 00 000 lot\r\n");
    const Result r = qkrun({"QKLOTR", "T", "0", "0", "0"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "");
    // The tool ran with its arguments, in this folder.
    EXPECT_EQ(read("QKLOTR.ASC"), "S 00 000 lot\r\n");
    EXPECT_EQ(journal_without({"AddIPRelTableEntry", "settimeouts", "opensocket", "closesockets"}),
              std::vector<std::string>{"lotr 84 0 0 0 buf"});
}

TEST_F(Qkrun, LoggedCodeExitsOneAndShowsOnlyTheNewLine) {
    pargat();
    // A line of an earlier run of the same tool is not this run's.
    write("ordenes.err", "QKLOTR|1/1/2020|10:00:00,000|Error: 03|Dll error: timeout (timeout,3)\r\n");
    const Result r = qkrun({"QKLOTR"}, kNack);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(masked(r.err), kNackLine);
    // Printed as stored, time included.
    const std::string log_bytes = read("ordenes.err");
    EXPECT_EQ(log_bytes.substr(log_bytes.size() - r.err.size()), r.err);
    EXPECT_EQ(r.out, "");
}

TEST_F(Qkrun, LogMissingBeforeTheRun) {
    pargat();
    ASSERT_FALSE(exists("ordenes.err"));
    const Result r = qkrun({"QKLOTR"}, kNack);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(masked(r.err), kNackLine);

    // And a clean run that only creates the empty log.
    fs::remove(dir / "ordenes.err");
    seed(0, "lot", 0, "S 00 000 lot\r\n");
    const Result clean = qkrun({"QKLOTR", "S", "0", "0", "0"});
    EXPECT_EQ(clean.status, 0);
    EXPECT_EQ(clean.err, "");
    EXPECT_TRUE(exists("ordenes.err"));
}

TEST_F(Qkrun, LogNamedInCapitalsIsTheSameLog) {
    pargat();
    write("ORDENES.ERR", "QKLOTR|1/1/2020|10:00:00,000|Error: 03|Dll error: timeout (timeout,3)\r\n");
    const Result r = qkrun({"QKLOTR"}, kNack);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(masked(r.err), kNackLine);
    EXPECT_EQ(log_files(dir), std::vector<std::string>{"ORDENES.ERR"});
}

// A log replaced by a shorter one during the run is read from its start.
TEST_F(Qkrun, LogShorterAfterTheRunIsReadWhole) {
    pargat();
    write("ordenes.err", std::string(4000, 'x') + "\r\n");
    std::filesystem::create_directory(dir / "QKLOTR.ASC");  // 48
    // The tool's parameter file step cannot replace the log, so the test does
    // it through a wrapper script that qkrun starts as the tool.
    const fs::path lone = lone_qkrun();
    {
        std::ofstream s(lone / "QKLOTR", std::ios::binary);
        s << "#!/bin/sh\n: > ordenes.err\nexec '" << (bin_dir() / exe_name("QKLOTR")).string() << "' \"$@\"\n";
    }
    fs::permissions(lone / "QKLOTR", fs::perms::owner_all);
    const Result r = qkrun({"QKLOTR"}, {}, lone);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(masked(r.err), "QKLOTR|T|Error: 48|Can\xB4t open file function\r\n");
}

TEST_F(Qkrun, ToolThatCannotBeStartedExitsTwo) {
    const Result missing = qkrun({"QKNOSUCH", "S", "1"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("QKNOSUCH"), std::string::npos) << missing.err;
    EXPECT_FALSE(exists("ordenes.err"));

    // No tool named at all.
    const Result none = qkrun({});
    EXPECT_EQ(none.status, 2);
    EXPECT_NE(none.err.find("usage"), std::string::npos) << none.err;

    // A file beside qkrun that is not executable.
    const fs::path lone = lone_qkrun();
    write("lone/QKFAKE", "not a program\n");
    fs::permissions(lone / "QKFAKE", fs::perms::owner_read | fs::perms::owner_write);
    const Result plain = qkrun({"QKFAKE"}, {}, lone);
    EXPECT_EQ(plain.status, 2);
    EXPECT_NE(plain.err.find("QKFAKE"), std::string::npos) << plain.err;

    // Executable but not a program the system can start.
    write("lone/QKJUNK", "\x7f" "ELF junk");
    fs::permissions(lone / "QKJUNK", fs::perms::owner_all);
    const Result junk = qkrun({"QKJUNK"}, {}, lone);
    EXPECT_EQ(junk.status, 2);
    EXPECT_NE(junk.err.find("cannot start"), std::string::npos) << junk.err;
}

// Beside qkrun first, then along the search path.
TEST_F(Qkrun, FindsTheToolOnTheSearchPath) {
    pargat();
    const fs::path lone = lone_qkrun();
    const std::string path = "/nonexistent:" + bin_dir().string() + ":" + (std::getenv("PATH") ? std::getenv("PATH") : "");
    Result r = qkrun({"QKLOTR"}, {{"PATH", path}, {"PORTALLIB_FAULTS", "lotr=8"}}, lone);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(masked(r.err), kNackLine);

    // Beside wins over the path.
    {
        std::ofstream s(lone / "QKLOTR", std::ios::binary);
        s << "#!/bin/sh\nprintf 'QKLOTR|1/2/2026|09:05:03,007|Error: 05|Number Error: 05\\r\\n' >> ordenes.err\n";
    }
    fs::permissions(lone / "QKLOTR", fs::perms::owner_all);
    r = qkrun({"QKLOTR"}, {{"PATH", path}}, lone);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "QKLOTR|1/2/2026|09:05:03,007|Error: 05|Number Error: 05\r\n");
}

// A tool that ends with a status of its own or by a signal, logging nothing,
// is no success.
TEST_F(Qkrun, AbnormalEndWithoutLogExitsThree) {
    const fs::path lone = lone_qkrun();
    struct Case {
        const char* body;
        int status;
    } cases[] = {{"exit 0", 0}, {"exit 5", 3}, {"kill -KILL $$", 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        {
            std::ofstream s(lone / "QKFAKE", std::ios::binary | std::ios::trunc);
            s << "#!/bin/sh\n" << c.body << "\n";
        }
        fs::permissions(lone / "QKFAKE", fs::perms::owner_all);
        const Result r = qkrun({"QKFAKE"}, {}, lone);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err.empty(), c.status == 0) << r.err;
    }
}

// The arguments reach the tool unchanged: blanks, quotes, empty ones.
TEST_F(Qkrun, ArgumentsPassUnchanged) {
    const fs::path lone = lone_qkrun();
    {
        std::ofstream s(lone / "QKARGS", std::ios::binary);
        s << "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]' \"$a\"; done\n";
    }
    fs::permissions(lone / "QKARGS", fs::perms::owner_all);
    const Result r = qkrun({"QKARGS", "S", "", "two words", "--json", "a\"b", "LOTS.ASC"}, {}, lone);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "[S][][two words][--json][a\"b][LOTS.ASC]");
}

// Two tools side by side in one folder: each qkrun reports only its own lines.
TEST_F(Qkrun, ToolsSideBySideSeeOnlyTheirOwnLines) {
    pargat();
    // Each tool has its own emulator state; only the log is shared. Every
    // tool fails its first data call and also its closing call.
    const std::map<std::string, std::string> lotr = {{"PORTALLIB_FAULTS", "lotr=8;closesockets=-1"},
                                                     {"PORTALLIB_STATE", (dir / "state-r").string()}};
    const std::map<std::string, std::string> lotw = {{"PORTALLIB_FAULTS", "lotw=21;closesockets=-1"},
                                                     {"PORTALLIB_STATE", (dir / "state-w").string()}};
    write("LOTS.ASC", "S 01 000 lot\r\nS 01 001 lot\r\n");
    for (int round = 0; round < 8; ++round) {
        SCOPED_TRACE(round);
        Result a, b;
        std::thread ta([&] { a = qkrun({"QKLOTR", "S", "1", "0", "1"}, lotr); });
        std::thread tb([&] { b = qkrun({"QKLOTW", "S", "1", "0", "1", "LOTS.ASC"}, lotw); });
        ta.join();
        tb.join();
        EXPECT_EQ(a.status, 1);
        EXPECT_EQ(b.status, 1);
        EXPECT_EQ(masked(a.err), "QKLOTR|T|Error: 08|Dll error: not valid register (ERROR_CMD_NACK, 8)\r\n"
                                 "QKLOTR|T|Error: 46|Unable to open port\r\n");
        EXPECT_EQ(masked(b.err), "QKLOTW|T|Error: 21|Dll error: not valid destination (ERROR_DEST_NOVALID, 21)\r\n"
                                 "QKLOTW|T|Error: 46|Unable to open port\r\n");
    }
    // Every line of the log went to exactly one of them.
    const std::string all = log();
    std::size_t lines = 0;
    for (char c : all) lines += c == '\n';
    EXPECT_EQ(lines, 8u * 4u);
}

// ---- The earlier-revision tools ----------------------------------------------------

TEST_F(Qkrun, EarlierFrameToolsLines) {
    pargat();
    // Lines of both earlier forms and of a current tool already in the log.
    write("ORDENES.ERR",
          "|QINIMODEM|1/1/2020|10:00:00,000|Number Error: 08\r\n"
          "|1/1/2020|10:00:00,000|Numero de error: 08\r\n"
          "QKLOTR|1/1/2020|10:00:00,000|Error: 03|Dll error: timeout (timeout,3)\r\n");
    Result r = qkrun({"QKINIMODEM", "1"}, {{"PORTALLIB_FAULTS", "inimodem=3"}});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(masked(r.err), "|QINIMODEM|T|Number Error: 03\r\n");
    EXPECT_EQ(r.out, "");  // DISPLAY=0: no title

    r = qkrun({"QKPASS"}, {{"PORTALLIB_FAULTS", "pass=46"}});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(masked(r.err), "|T|Puerto no Cerrado\r\n");

    // A current tool sees neither form.
    r = qkrun({"QKLOTR"}, kNack);
    EXPECT_EQ(masked(r.err), kNackLine);

    // Clean runs of both.
    r = qkrun({"QKPASS"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    r = qkrun({"QKINIMODEM", "1"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(log_files(dir), std::vector<std::string>{"ORDENES.ERR"});
}

// ---- --json ---------------------------------------------------------------------------

TEST_F(Qkrun, JsonReportOfALoggedCode) {
    pargat();
    std::filesystem::create_directory(dir / "QKLOTR.ASC");  // 48, Can´t open file function
    const Result r = qkrun({"--json", "QKLOTR", "T", "0", "0", "9"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "");  // the report replaces the lines
    const Json j = parse_json(r.out);
    EXPECT_EQ(j["tool"].str(), "QKLOTR");
    ASSERT_EQ(j["arguments"].arr().size(), 4u);
    EXPECT_EQ(j["arguments"].arr()[0].str(), "T");
    EXPECT_EQ(j["arguments"].arr()[3].str(), "9");
    EXPECT_TRUE(std::regex_match(j["start"].str(), kIsoTime)) << j["start"].str();
    EXPECT_TRUE(std::regex_match(j["end"].str(), kIsoTime)) << j["end"].str();
    EXPECT_LE(j["start"].str(), j["end"].str());
    EXPECT_GE(j["duration_ms"].num(), 0);
    ASSERT_EQ(j["codes"].arr().size(), 1u);
    const Json& c = j["codes"].arr()[0];
    EXPECT_EQ(c["code"].num(), 48);
    EXPECT_EQ(c["text"].str(), "Can\u00B4t open file function");
    EXPECT_TRUE(std::regex_match(c["time"].str(), kIsoTime)) << c["time"].str();
    // The line's own time, within the run.
    EXPECT_LE(j["start"].str().substr(0, 19), c["time"].str().substr(0, 19));
    EXPECT_LE(c["time"].str().substr(0, 19), j["end"].str().substr(0, 19));
    EXPECT_EQ(j["exit_status"].num(), 1);
    EXPECT_EQ(j["tool_exit_status"].num(), 0);
}

TEST_F(Qkrun, JsonReportsOfTheOtherOutcomes) {
    pargat();
    seed(0, "lot", 0, "S 00 000 lot\r\n");
    Result r = qkrun({"--json", "QKLOTR", "S", "0", "0", "0", "N\xF3MINA.ASC"});
    EXPECT_EQ(r.status, 0);
    Json j = parse_json(r.out);
    EXPECT_EQ(j["codes"].arr().size(), 0u);
    EXPECT_EQ(j["exit_status"].num(), 0);
    EXPECT_EQ(j["arguments"].arr()[4].str(), "N\u00F3MINA.ASC");  // not UTF-8: read as Windows-1252

    r = qkrun({"--json", "QKNOSUCH"});
    EXPECT_EQ(r.status, 2);
    j = parse_json(r.out);
    EXPECT_EQ(j["exit_status"].num(), 2);
    EXPECT_TRUE(j["tool_exit_status"].is_null());
    EXPECT_EQ(j["codes"].arr().size(), 0u);
    EXPECT_NE(j["error"].str().find("QKNOSUCH"), std::string::npos);

    // Earlier forms: the code found from the text, in English and Spanish.
    r = qkrun({"--json", "QKPASS", "T", "0", "funci\xF3n"}, {{"PORTALLIB_FAULTS", "pass=44"}});
    EXPECT_EQ(r.status, 1);
    j = parse_json(r.out);
    ASSERT_EQ(j["codes"].arr().size(), 1u);
    EXPECT_EQ(j["codes"].arr()[0]["code"].num(), 44);
    EXPECT_EQ(j["codes"].arr()[0]["text"].str(), "No puede cargar la funci\u00F3n");
    EXPECT_EQ(j["arguments"].arr()[2].str(), "funci\u00F3n");

    r = qkrun({"--json", "QKINIMODEM", "1"}, {{"PORTALLIB_FAULTS", "inimodem=3"}});
    EXPECT_EQ(r.status, 1);
    j = parse_json(r.out);
    ASSERT_EQ(j["codes"].arr().size(), 1u);
    EXPECT_EQ(j["codes"].arr()[0]["code"].num(), 3);
    EXPECT_EQ(j["codes"].arr()[0]["text"].str(), "Number Error: 03");
}

// With the echo on, the report is the last line of standard output.
TEST_F(Qkrun, JsonAfterTheToolsEcho) {
    pargat(1);
    seed(0, "lot", 0, "S 00 000 lot\r\n");
    const Result r = qkrun({"--json", "QKLOTR", "T", "0", "0", "0"});
    EXPECT_EQ(r.status, 0);
    ASSERT_FALSE(r.out.empty());
    ASSERT_EQ(r.out.back(), '\n');
    const std::size_t last = r.out.rfind('\n', r.out.size() - 2);
    ASSERT_NE(last, std::string::npos) << r.out;
    EXPECT_NE(r.out.substr(0, last).find("lot"), std::string::npos) << r.out;
    const Json j = parse_json(r.out.substr(last + 1));
    EXPECT_EQ(j["tool"].str(), "QKLOTR");
}

}  // namespace
}  // namespace e2e
