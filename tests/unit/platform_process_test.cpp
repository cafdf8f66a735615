// The platform layer seen from outside a process: keys on a pipe or a
// terminal, the library loaded beside the executable, and the fault shim
// making real system calls fail. The helper programs live in
// QK_PLATFORM_LIB_DIR (tests/unit/platform_helpers).
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform_scratch.h"

extern char** environ;

namespace platform_test {
namespace {

const fs::path kHelpers = QK_PLATFORM_LIB_DIR;

struct Child {
    int status = -1;  // raw wait status
    std::string out;
    bool exited(int code) const { return WIFEXITED(status) && WEXITSTATUS(status) == code; }
};

enum class Stdin { pipe, open_pipe, file, devnull, closed };

struct Spawn {
    std::vector<std::string> argv;
    std::map<std::string, std::string> env;  // added to (or replacing) ours
    std::vector<std::string> unset;
    fs::path cwd;
    Stdin in = Stdin::pipe;
    std::string keys;
};

std::vector<std::string> child_environment(const Spawn& s) {
    std::map<std::string, std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const char* eq = std::strchr(*e, '=');
        if (eq != nullptr) env[std::string(*e, static_cast<std::size_t>(eq - *e))] = eq + 1;
    }
    for (const auto& u : s.unset) env.erase(u);
    for (const auto& [k, v] : s.env) env[k] = v;
    std::vector<std::string> out;
    for (const auto& [k, v] : env) out.push_back(k + "=" + v);
    return out;
}

Child run(const Spawn& s) {
    Child result;
    int out_pipe[2];
    int in_pipe[2] = {-1, -1};
    if (pipe(out_pipe) != 0) return result;
    if ((s.in == Stdin::pipe || s.in == Stdin::open_pipe) && pipe(in_pipe) != 0) return result;
    if (s.in == Stdin::pipe || s.in == Stdin::open_pipe) {
        // The keys are in the pipe before the child starts.
        if (write(in_pipe[1], s.keys.data(), s.keys.size()) != static_cast<ssize_t>(s.keys.size())) {
            return result;
        }
        if (s.in == Stdin::pipe) {
            close(in_pipe[1]);
            in_pipe[1] = -1;
        }
    }
    if (s.in == Stdin::file) std::ofstream(s.cwd / "keys.txt", std::ios::binary) << s.keys;
    const std::vector<std::string> env = child_environment(s);
    std::vector<char*> envp;
    for (const auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    std::vector<char*> argv;
    for (const auto& a : s.argv) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    const pid_t pid = fork();
    if (pid == 0) {
        if (!s.cwd.empty() && chdir(s.cwd.c_str()) != 0) _exit(126);
        switch (s.in) {
            case Stdin::pipe:
            case Stdin::open_pipe: dup2(in_pipe[0], 0); break;
            case Stdin::file: {
                const int fd = open("keys.txt", O_RDONLY);
                dup2(fd, 0);
                close(fd);
                break;
            }
            case Stdin::devnull: {
                const int fd = open("/dev/null", O_RDONLY);
                dup2(fd, 0);
                close(fd);
                break;
            }
            case Stdin::closed: close(0); break;
        }
        if (in_pipe[0] >= 0 && in_pipe[0] != 0) close(in_pipe[0]);
        if (in_pipe[1] >= 0) close(in_pipe[1]);
        dup2(out_pipe[1], 1);
        close(out_pipe[0]);
        close(out_pipe[1]);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(out_pipe[1]);
    if (in_pipe[0] >= 0) close(in_pipe[0]);
    char buf[4096];
    ssize_t n;
    while ((n = read(out_pipe[0], buf, sizeof buf)) > 0) result.out.append(buf, static_cast<std::size_t>(n));
    close(out_pipe[0]);
    waitpid(pid, &result.status, 0);
    if (in_pipe[1] >= 0) close(in_pipe[1]);
    return result;
}

std::string helper(const char* name) { return (kHelpers / name).string(); }

// The preload shim with a fault plan; a sanitized child must accept a library
// loaded ahead of its sanitizer runtime.
void preload_faults(Spawn& s, const std::string& rules) {
    s.env["LD_PRELOAD"] = QK_FAULTS_LIB;
    s.env["QK_FAULTS"] = rules;
    const char* asan = std::getenv("ASAN_OPTIONS");
    s.env["ASAN_OPTIONS"] = std::string(asan ? asan : "") + (asan && *asan ? ":" : "") +
                            "verify_asan_link_order=0";
}

// ---- Keys from standard input that is not a terminal ---------------------------

struct KeyCase {
    friend void PrintTo(const KeyCase& c, std::ostream* os) { *os << c.name; }
    const char* name;
    Stdin in;
    std::string keys;
    int checks;
    std::string out;
};

class KeysFromInput : public PlatformScratch, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(KeysFromInput, EachByteIsOneKeyUntilTheInputEnds) {
    const KeyCase& c = GetParam();
    Spawn s;
    s.argv = {helper("qk_platform_keyprobe"), "checks", std::to_string(c.checks)};
    s.cwd = dir;
    s.in = c.in;
    s.keys = c.keys;
    const Child child = run(s);
    EXPECT_TRUE(child.exited(0)) << child.status;
    EXPECT_EQ(child.out, c.out);
}

// "after:" shows whether a key put on standard input once the checks are
// over is still seen: never once the input has ended (no further read is
// made), but it is while the input is merely empty.
INSTANTIATE_TEST_SUITE_P(
    Platform, KeysFromInput,
    ::testing::Values(
        KeyCase{"Pipe", Stdin::pipe, "ab\x1b", 5, "97 98 27 - - after:0\n"},
        KeyCase{"File", Stdin::file, "ab\x1b", 5, "97 98 27 - - after:0\n"},
        KeyCase{"HighBytes", Stdin::pipe, "\xe0\x01", 3, "224 1 - after:0\n"},
        KeyCase{"EmptyPipe", Stdin::pipe, "", 2, "- - after:0\n"},
        KeyCase{"DevNull", Stdin::devnull, "", 2, "- - after:0\n"},
        KeyCase{"Closed", Stdin::closed, "", 2, "- - after:0\n"},
        KeyCase{"PipeStillOpen", Stdin::open_pipe, "a", 3, "97 - - after:1\n"}),
    [](const auto& p) { return std::string(p.param.name); });

// ---- Keys from a terminal ------------------------------------------------------

struct TtyCase {
    friend void PrintTo(const TtyCase& c, std::ostream* os) { *os << c.name; }
    const char* name;
    const char* typed;  // bytes typed after the probe is ready, or nullptr
    int signal;         // signal sent instead, or 0
    int dies_of;        // 0: exits normally
};

class TerminalMode : public ::testing::TestWithParam<TtyCase> {};

bool same_mode(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

// Reads the terminal's output until it holds `want` or 10 s pass.
bool wait_for(int master, std::string& seen, const std::string& want) {
    for (int i = 0; i < 100 && seen.find(want) == std::string::npos; ++i) {
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 100) > 0) {
            char buf[256];
            const ssize_t n = read(master, buf, sizeof buf);
            if (n > 0) seen.append(buf, static_cast<std::size_t>(n));
        }
    }
    return seen.find(want) != std::string::npos;
}

TEST_P(TerminalMode, RawWhileRunningAndRestoredAfter) {
    const TtyCase& c = GetParam();
    int master = -1;
    int slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    termios before{};
    ASSERT_EQ(tcgetattr(slave, &before), 0);
    ASSERT_TRUE(before.c_lflag & ICANON);
    ASSERT_TRUE(before.c_lflag & ECHO);

    const std::string probe = helper("qk_platform_keyprobe");
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        const rlimit no_core{0, 0};
        setrlimit(RLIMIT_CORE, &no_core);  // SIGQUIT would dump core
        setsid();
        ioctl(slave, TIOCSCTTY, 0);
        dup2(slave, 0);
        dup2(slave, 1);
        dup2(slave, 2);
        close(master);
        if (slave > 2) close(slave);
        execl(probe.c_str(), probe.c_str(), "tty", static_cast<char*>(nullptr));
        _exit(127);
    }
    std::string seen;
    const bool ready = wait_for(master, seen, "ready");
    termios during{};
    tcgetattr(slave, &during);
    if (ready) {
        if (c.typed != nullptr) {
            EXPECT_EQ(write(master, c.typed, std::strlen(c.typed)),
                      static_cast<ssize_t>(std::strlen(c.typed)));
        } else {
            kill(pid, c.signal);
        }
    } else {
        kill(pid, SIGKILL);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    if (c.dies_of == 0) wait_for(master, seen, "esc");
    termios after{};
    ASSERT_EQ(tcgetattr(slave, &after), 0);
    close(master);
    close(slave);

    ASSERT_TRUE(ready) << seen;
    EXPECT_FALSE(during.c_lflag & ICANON);
    EXPECT_FALSE(during.c_lflag & ECHO);
    if (c.dies_of == 0) {
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        EXPECT_NE(seen.find("esc"), std::string::npos) << seen;
    } else {
        // The signal's own default action ends the process after the restore.
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.dies_of) << status;
    }
    EXPECT_TRUE(same_mode(before, after));
}

INSTANTIATE_TEST_SUITE_P(
    Platform, TerminalMode,
    ::testing::Values(TtyCase{"EscapeEndsTheRun", "\x1b", 0, 0},
                      TtyCase{"CtrlC", "\x03", 0, SIGINT},
                      TtyCase{"Terminated", nullptr, SIGTERM, SIGTERM},
                      TtyCase{"HungUp", nullptr, SIGHUP, SIGHUP},
                      TtyCase{"Quit", nullptr, SIGQUIT, SIGQUIT}),
    [](const auto& p) { return std::string(p.param.name); });

// ---- Loading the gateway library -----------------------------------------------

struct LibCase {
    friend void PrintTo(const LibCase& c, std::ostream* os) { *os << c.name; }
    const char* name;
    bool probe_beside_library;  // run the probe from the folder with libPortalLib.so
    bool search_path;           // a second copy reachable through LD_LIBRARY_PATH
    const char* faults;
    std::string out;
};

class LoadLibrary : public PlatformScratch, public ::testing::WithParamInterface<LibCase> {};

TEST_P(LoadLibrary, ExecutableFolderFirstThenSearchPath) {
    const LibCase& c = GetParam();
    Spawn s;
    s.cwd = dir;
    s.in = Stdin::devnull;
    if (c.probe_beside_library) {
        s.argv = {helper("qk_platform_libprobe")};
    } else {
        fs::copy_file(helper("qk_platform_libprobe"), dir / "qk_platform_libprobe");
        s.argv = {(dir / "qk_platform_libprobe").string()};
    }
    s.unset = {"LD_LIBRARY_PATH"};
    if (c.search_path) s.env["LD_LIBRARY_PATH"] = (kHelpers / "path").string();
    if (c.faults != nullptr) preload_faults(s, c.faults);
    const Child child = run(s);
    EXPECT_TRUE(child.exited(0)) << child.status;
    EXPECT_EQ(child.out, c.out);
}

INSTANTIATE_TEST_SUITE_P(
    Platform, LoadLibrary,
    ::testing::Values(
        LibCase{"BesideWinsOverSearchPath", true, true, nullptr, "load:1 missing:null unload:1\n"},
        LibCase{"FromSearchPath", false, true, nullptr, "load:2 missing:null unload:1\n"},
        LibCase{"Nowhere", false, false, nullptr, "load:null\n"},
        LibCase{"UnloadFails", true, false, "dlclose:libportallib", "load:1 missing:null unload:0\n"},
        LibCase{"OtherLibraryFaultDoesNotBite", true, false, "dlclose:libother",
                "load:1 missing:null unload:1\n"}),
    [](const auto& p) { return std::string(p.param.name); });

// ---- The fault shim ------------------------------------------------------------

struct FaultCase {
    friend void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }
    const char* name;
    const char* faults;
    std::vector<std::string> args;  // fileprobe arguments
    std::string out;
    std::set<std::string> files_after;
};

class FaultShim : public PlatformScratch, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(FaultShim, MakesTheNamedCallFail) {
    const FaultCase& c = GetParam();
    put("PARGAT.INI", "");  // a file to read; removed where a test creates it
    if (c.args[0] == "create") {
        fs::remove(dir / "PARGAT.INI");
    } else {
        put("PARGAT.INI", "[GATEWAY]\r\n");
    }
    Spawn s;
    s.argv = {helper("qk_platform_fileprobe")};
    s.argv.insert(s.argv.end(), c.args.begin(), c.args.end());
    s.cwd = dir;
    s.in = Stdin::devnull;
    preload_faults(s, c.faults);
    const Child child = run(s);
    EXPECT_TRUE(child.exited(0)) << child.status;
    EXPECT_EQ(child.out, c.out);
    std::set<std::string> after = names();
    after.erase("keys.txt");
    EXPECT_EQ(after, c.files_after);
}

using Names = std::set<std::string>;

INSTANTIATE_TEST_SUITE_P(
    Platform, FaultShim,
    ::testing::Values(
        FaultCase{"NoRule", "", {"write", "DATA.ASC", "a\n"}, "open:1 wrote:2 close:1\n",
                  Names{"DATA.ASC", "PARGAT.INI"}},
        FaultCase{"RuleForAnotherFile", "close:OTHER.ASC;open:x.asc", {"write", "DATA.ASC", "a\n"},
                  "open:1 wrote:2 close:1\n", Names{"DATA.ASC", "PARGAT.INI"}},
        FaultCase{"OpenFails", "open:data.asc", {"write", "DATA.ASC", "a\n"}, "open:0\n",
                  Names{"PARGAT.INI"}},
        // Buffered: the failing write shows when the file is closed.
        FaultCase{"WriteFails", "write:data.asc", {"write", "DATA.ASC", "a\n"},
                  "open:1 wrote:2 close:0\n", Names{"DATA.ASC", "PARGAT.INI"}},
        FaultCase{"CloseFails", "close:Data.Asc", {"write", "DATA.ASC", "a\n"},
                  "open:1 wrote:2 close:0\n", Names{"DATA.ASC", "PARGAT.INI"}},
        FaultCase{"ReadFails", "read:pargat.ini", {"read", "PARGAT.INI"},
                  "open:1 got:0 failed:1 close:1\n", Names{"PARGAT.INI"}},
        FaultCase{"CloseAfterReadFails", "close:PARGAT.INI", {"read", "PARGAT.INI"},
                  "open:1 got:10 failed:0 close:0\n", Names{"PARGAT.INI"}},
        FaultCase{"CreateCannotOpen", "open:PARGAT.INI", {"create", "PARGAT.INI", "x\r\n"},
                  "create:55\n", Names{}},
        FaultCase{"CreateWritesHalf", "write-short:PARGAT.INI", {"create", "PARGAT.INI", "0123456789"},
                  "create:56\n", Names{}},
        FaultCase{"CreateCannotWrite", "write:pargat.ini", {"create", "PARGAT.INI", "x\r\n"},
                  "create:56\n", Names{}},
        FaultCase{"CreateCannotClose", "close:PARGAT.INI", {"create", "PARGAT.INI", "x\r\n"},
                  "create:42\n", Names{}},
        FaultCase{"CreateUnharmed", "close:DATA.ASC", {"create", "PARGAT.INI", "x\r\n"},
                  "create:0\n", Names{"PARGAT.INI"}},
        // The log append reports only a failing open.
        FaultCase{"AppendWriteFails", "write:ordenes.err", {"append", "ORDENES.ERR", "line\r\n"},
                  "append:1\n", Names{"ORDENES.ERR", "PARGAT.INI"}},
        FaultCase{"AppendOpenFails", "open:ordenes.err", {"append", "ORDENES.ERR", "line\r\n"},
                  "append:0\n", Names{"PARGAT.INI"}}),
    [](const auto& p) { return std::string(p.param.name); });

class PlatformFaultEffects : public PlatformScratch {};

// What a failing call leaves on disk: a close that fails still closed the
// file after writing it; a write that fails stored nothing.
TEST_F(PlatformFaultEffects, FaultShimLeavesRealEffects) {
    for (const auto& [rule, stored] : std::vector<std::pair<std::string, std::string>>{
             {"close:DATA.ASC", "a\r\n"}, {"write:DATA.ASC", ""}, {"", "a\r\n"}}) {
        Spawn s;
        s.argv = {helper("qk_platform_fileprobe"), "write", "DATA.ASC", "a\n"};
        s.cwd = dir;
        s.in = Stdin::devnull;
        preload_faults(s, rule);
        const Child child = run(s);
        EXPECT_TRUE(child.exited(0)) << rule;
        EXPECT_EQ(get("DATA.ASC"), stored) << rule;
    }
}

}  // namespace
}  // namespace platform_test
