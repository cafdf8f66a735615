// Tools started at the same moment in one folder: they share the parameter
// file (created by whichever comes first), the error log and the emulator's
// journal. Every process must read the whole default text, the folder must
// end up with exactly one default file, and no log or journal line may tear.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <thread>

#include "emulator/store.h"
#include "harness.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;
struct Launch {
    fs::path exe;
    Lines args;
    std::map<std::string, std::string> env;
};

// Starts every program at once: each child waits on a common gate until all
// are forked, then they run together. Waits for them all (at most 120 s) and
// returns how many exited with status 0.
int run_together(const fs::path& folder, const std::vector<Launch>& launches) {
    int gate[2];
    if (pipe(gate) != 0) return -1;
    std::vector<pid_t> pids;
    for (const auto& l : launches) {
        const pid_t pid = fork();
        if (pid == 0) {
            close(gate[1]);
            char c;
            while (read(gate[0], &c, 1) < 0) {}  // returns 0 when the gate opens
            close(gate[0]);
            const int null = open("/dev/null", O_RDWR);
            dup2(null, 0);
            dup2(null, 1);
            dup2(null, 2);
            if (chdir(folder.c_str()) != 0) _exit(126);
            for (const auto& [k, v] : l.env) setenv(k.c_str(), v.c_str(), 1);
            std::vector<std::string> argv_s{l.exe.string()};
            argv_s.insert(argv_s.end(), l.args.begin(), l.args.end());
            std::vector<char*> argv;
            for (auto& a : argv_s) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        pids.push_back(pid);
    }
    close(gate[0]);
    close(gate[1]);  // all go

    int ok = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    std::size_t left = pids.size();
    while (left > 0) {
        for (auto& pid : pids) {
            if (pid <= 0) continue;
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                ok += WIFEXITED(status) && WEXITSTATUS(status) == 0;
                pid = 0;
                --left;
            }
        }
        if (left == 0) break;
        if (std::chrono::steady_clock::now() > deadline) {
            for (auto pid : pids) {
                if (pid > 0) kill(pid, SIGKILL), waitpid(pid, nullptr, 0);
            }
            ADD_FAILURE() << left << " processes did not end within 120 s";
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return ok;
}

Lines split_lines(const std::string& bytes, std::string* rest) {
    Lines lines;
    std::size_t start = 0;
    for (std::size_t at = bytes.find("\r\n"); at != std::string::npos; at = bytes.find("\r\n", start)) {
        lines.push_back(bytes.substr(start, at - start));
        start = at + 2;
    }
    *rest = bytes.substr(start);
    return lines;
}

class SideBySide : public Scratch {
protected:
    void SetUp() override {
        Scratch::SetUp();
        if (std::getenv("QK_E2E_EXE_SUFFIX") && *std::getenv("QK_E2E_EXE_SUFFIX")) {
            GTEST_SKIP() << "started directly as Linux processes";
        }
    }
};

// Members whose connection is the rule: opensocket with count 12.
const char* const kTools[] = {
    "QKACPLR", "QKACVNR", "QKCAR",   "QKCATR",     "QKCMDR",  "QKCOR",   "QKDESPR", "QKFAMFILTR",
    "QKFAMR",  "QKFIMR",  "QKIVAR",  "QKLOTFILTR", "QKLOTR",  "QKMERMR", "QKOPVNR", "QKPLR",
    "QKRACR",  "QKRELR",  "QKSLAR",  "QKTARAMR",   "QKTLOTR", "QKTOTVNR", "QKTOTVNXR", "QKVOLCADOR",
    "QKCATW",  "QKCAW",   "QKCBW",   "QKCOW",      "QKDESPW", "QKFAMFILTW", "QKFAMW", "QKIVAW",
};
static_assert(sizeof kTools / sizeof kTools[0] == 32);

TEST_F(SideBySide, ThirtyTwoToolsWithoutAParameterFileAllReadTheWholeDefaultText) {
    std::vector<Launch> launches;
    for (int i = 0; i < 32; ++i) {
        // Each its own emulator state, so that each journal is its own.
        launches.push_back({bin_dir() / exe_name(kTools[i]), {},
                            {{"PORTALLIB_STATE", (dir / ("state-" + std::to_string(i))).string()}}});
    }
    EXPECT_EQ(run_together(dir, launches), 32);

    EXPECT_EQ(read("PARGAT.INI"),
              "IP_DESTI=192.168.2.5\r\nPORT_DESTI=2003\r\nPORT_LOCAL=2003\r\nREINTENTS=4\r\nTIMEOUT=2\r\n"
              "DISPLAY=1\r\nDEBUG=0\r\nINGREDIENTS=10\r\n\r\n[TABLE]\r\nNUM_ENTRIES=1\r\n"
              "SEC1=0 TERM1=0 MASTER1=1 IPASIG1=224.0.0.5\r\n");
    EXPECT_EQ(read("PARGAT.INI").size(), 186u);  // 174 characters, 12 of them line feeds
    for (const auto& e : fs::directory_iterator(dir)) {
        const std::string name = e.path().filename().string();
        EXPECT_EQ(name.find(".tmp"), std::string::npos) << "left behind: " << name;
    }
    for (int i = 0; i < 32; ++i) {
        SCOPED_TRACE(kTools[i]);
        std::istringstream in(read("state-" + std::to_string(i) + "/journal.txt"));
        Lines j;
        for (std::string l; std::getline(in, l);) j.push_back(l);
        ASSERT_GE(j.size(), 3u);
        // The one default entry, the default retries and timeout, the default
        // gateway: all three come from the default text alone.
        EXPECT_EQ(j[0], R"(AddIPRelTableEntry 0 0 1 "224.0.0.5")");
        EXPECT_EQ(j[1].rfind("settimeouts 2000 4 -1 ", 0), 0u) << j[1];
        EXPECT_EQ(j[2], R"(opensocket "192.168.2.5" 2003 2003 12)");
        EXPECT_EQ(j.back(), "closesockets");
    }
    // Whatever they logged, each line whole.
    std::string rest;
    const Lines log_lines = split_lines(read("ordenes.err"), &rest);
    EXPECT_EQ(rest, "");
    static const std::regex whole(R"(QK[A-Z]+\|[0-9]{1,2}/[0-9]{1,2}/[0-9]{4}\|[0-9]{2}:[0-9]{2}:[0-9]{2},[0-9]{3}\|Error: -?[0-9]{2,}\|[^|\r\n]+)");
    for (const auto& l : log_lines) EXPECT_TRUE(std::regex_match(l, whole)) << l;
}

const std::map<int, std::string> kTexts = {
    {8, "Error: 08|Dll error: not valid register (ERROR_CMD_NACK, 8)"},
    {48, "Error: 48|Can\xB4t open file function"},
    {5, "Error: 05|Number Error: 05"},
    {-1, "Error: -1|Dll error: Socket error.Unable to send (SOCKET_ERROR, -1)"},
    {123, "Error: 123|Number Error: 123"},
    {27, "Error: 27|Application closed by the user"},
    {47, "Error: 47|Unable to close file"},
    {3, "Error: 03|Dll error: timeout (timeout,3)"},
};
const int kBurstCodes[] = {8, 48, 5, -1, 123, 27, 47, 3};

TEST_F(SideBySide, ThirtyTwoProcessesLogging200CodesEachLeave6400WholeLines) {
    const fs::path helper = fs::path(QK_E2E_HELPER_DIR) / "qk_log_burst";
    std::vector<Launch> launches;
    for (int i = 0; i < 32; ++i) {
        char name[8];
        std::snprintf(name, sizeof name, "P%02d", i);
        launches.push_back({helper, {name, "200"}, {}});
    }
    EXPECT_EQ(run_together(dir, launches), 32);

    std::string rest;
    const Lines lines = split_lines(read("ordenes.err"), &rest);
    EXPECT_EQ(rest, "") << "a torn last line";
    ASSERT_EQ(lines.size(), 6400u);
    static const std::regex head(R"((P[0-9]{2})\|[0-9]{1,2}/[0-9]{1,2}/[0-9]{4}\|[0-9]{2}:[0-9]{2}:[0-9]{2},[0-9]{3}\|(.*))");
    std::map<std::string, int> seen;  // lines of each process so far
    int torn = 0;
    for (const auto& l : lines) {
        std::smatch m;
        if (!std::regex_match(l, m, head)) {
            ++torn;
            ADD_FAILURE() << "torn line: " << l;
            continue;
        }
        int& n = seen[m[1]];
        // Each process's lines arrive whole and in its own order.
        EXPECT_EQ(m[2].str(), kTexts.at(kBurstCodes[n % 8])) << m[1] << " line " << n;
        ++n;
    }
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(seen.size(), 32u);
    for (const auto& [name, n] : seen) EXPECT_EQ(n, 200) << name;
}

TEST_F(SideBySide, ThirtyTwoDownloadsShareOneJournalWithoutATornLine) {
    pargat();
    {
        portallib::Store s(state());
        for (int i = 0; i < 200; ++i) s.records(0, "lot")[i] = "S 00 " + std::to_string(1000 + i) + " lot\r\n";
        ASSERT_TRUE(s.save());
    }
    std::vector<Launch> launches;
    for (int i = 0; i < 32; ++i) {
        launches.push_back({bin_dir() / exe_name("QKLOTR"), {"S", "0", "0", "199", "D" + std::to_string(i) + ".ASC"}, {}});
    }
    EXPECT_EQ(run_together(dir, launches), 32);

    std::string expected;
    for (int i = 0; i < 200; ++i) expected += "S 00 " + std::to_string(1000 + i) + " lot\r\n";
    for (int i = 0; i < 32; ++i) EXPECT_EQ(read("D" + std::to_string(i) + ".ASC"), expected) << i;
    EXPECT_EQ(log(), "");

    const std::string bytes = read("portallib-state/journal.txt");
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(bytes.back(), '\n') << "a torn last line";
    std::map<std::string, int> count;
    std::istringstream in(bytes);
    for (std::string l; std::getline(in, l);) ++count[l];
    std::map<std::string, int> want = {
        {R"(AddIPRelTableEntry 0 0 1 "127.0.0.10")", 32}, {R"(AddIPRelTableEntry 1 1 1 "127.0.0.11")", 32},
        {R"(AddIPRelTableEntry 2 1 0 "127.0.0.12")", 32}, {"settimeouts 2000 4 -1 2", 32},
        {R"(opensocket "127.0.0.1" 2003 2003 12)", 32},   {"closesockets", 32},
    };
    for (int i = 0; i < 200; ++i) want["lotr 83 0 " + std::to_string(i) + " " + std::to_string(i) + " buf"] = 32;
    EXPECT_EQ(count, want) << "every line whole: 32 x 206";
}

}  // namespace
}  // namespace e2e
