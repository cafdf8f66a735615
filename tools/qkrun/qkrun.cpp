// qkrun [--json] TOOL [ARGUMENTS...]
//
// Runs one tool in the current folder, with its arguments unchanged and the
// console (standard input, output and error) handed over as it is, then tells
// a script how it went: the lines the run added to the error log are printed
// on standard error, and the exit status is
//   0  the run logged nothing,
//   1  it logged one or more codes,
//   2  the tool could not be started (not found, not executable),
//   3  the tool ended abnormally (killed, crashed, or an exit status other
//      than 0, which no tool gives by itself) and logged nothing.
// With --json one JSON object is written on standard output instead of the
// lines, for back-office programs.
//
// The tool is looked up beside qkrun first, then along the search path. The
// error log is the tool's own: "ordenes.err" (the earlier-revision tools
// QKINIMODEM and QKPASS open "ORDENES.ERR"), found whatever its letter case.
#include <chrono>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "qk/platform.h"
#include "runlog.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

constexpr int kLogged = 1;
constexpr int kNotStarted = 2;
constexpr int kAbnormal = 3;

// ---- Process: the only code that differs between the platforms -------------

struct Outcome {
    bool started = false;
    std::string error;              // why it was not started
    std::optional<int> exit_code;   // none: ended by a signal
};

#ifdef _WIN32

constexpr char kPathSeparator = ';';

bool has_folder(const std::string& s) { return s.find_first_of("/\\:") != std::string::npos; }

std::string with_exe(const std::string& name) {
    const std::string tail = name.size() >= 4 ? name.substr(name.size() - 4) : std::string();
    return _stricmp(tail.c_str(), ".exe") == 0 ? name : name + ".exe";
}

bool runnable(const fs::path& p) {
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

// One argument quoted as the C runtime reads it back into argv.
void append_quoted(std::string& cmd, const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) {
        cmd += arg;
        return;
    }
    cmd += '"';
    std::size_t backslashes = 0;
    for (const char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') cmd.append(backslashes * 2 + 1, '\\');
        else cmd.append(backslashes, '\\');
        backslashes = 0;
        cmd += c;
    }
    cmd.append(backslashes * 2, '\\');
    cmd += '"';
}

Outcome start_and_wait(const std::string& exe, const std::string& shown, const std::vector<std::string>& args) {
    Outcome o;
    std::string cmd;
    append_quoted(cmd, shown);
    for (const auto& a : args) {
        cmd += ' ';
        append_quoted(cmd, a);
    }
    std::vector<char> line(cmd.begin(), cmd.end());
    line.push_back('\0');
    STARTUPINFOA si;
    std::memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi;
    std::memset(&pi, 0, sizeof pi);
    std::fflush(nullptr);
    if (!CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        o.error = "cannot start " + exe + " (error " + std::to_string(GetLastError()) + ")";
        return o;
    }
    o.started = true;
    CloseHandle(pi.hThread);
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    if (GetExitCodeProcess(pi.hProcess, &code)) o.exit_code = static_cast<int>(code);
    CloseHandle(pi.hProcess);
    return o;
}

void binary_stderr() { _setmode(_fileno(stderr), _O_BINARY); }

#else

constexpr char kPathSeparator = ':';

bool has_folder(const std::string& s) { return s.find('/') != std::string::npos; }

std::string with_exe(const std::string& name) { return name; }

bool runnable(const fs::path& p) {
    std::error_code ec;
    return fs::is_regular_file(p, ec) && access(p.c_str(), X_OK) == 0;
}

Outcome start_and_wait(const std::string& exe, const std::string& shown, const std::vector<std::string>& args) {
    Outcome o;
    // The child reports a failed exec through this pipe; a successful exec
    // closes it, so the parent reads nothing.
    int report[2];
    if (pipe(report) != 0) {
        o.error = std::string("cannot start ") + exe + ": " + std::strerror(errno);
        return o;
    }
    fcntl(report[1], F_SETFD, FD_CLOEXEC);
    std::vector<std::string> argv_s{shown};
    argv_s.insert(argv_s.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argv_s) argv.push_back(a.data());
    argv.push_back(nullptr);

    // Ctrl+C and Ctrl+\ reach the tool (it shares the terminal); qkrun stays
    // to report how the tool ended.
    struct sigaction ignore{}, old_int{}, old_quit{};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGINT, &ignore, &old_int);
    sigaction(SIGQUIT, &ignore, &old_quit);
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        sigaction(SIGINT, &old_int, nullptr);
        sigaction(SIGQUIT, &old_quit, nullptr);
        close(report[0]);
        execv(exe.c_str(), argv.data());
        const int err = errno;
        ssize_t ignored = write(report[1], &err, sizeof err);
        (void)ignored;
        _exit(127);
    }
    close(report[1]);
    if (pid < 0) {
        o.error = std::string("cannot start ") + exe + ": " + std::strerror(errno);
    } else {
        int err = 0;
        ssize_t n;
        do {
            n = read(report[0], &err, sizeof err);
        } while (n < 0 && errno == EINTR);
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        if (n == static_cast<ssize_t>(sizeof err)) {
            o.error = std::string("cannot start ") + exe + ": " + std::strerror(err);
        } else {
            o.started = true;
            if (WIFEXITED(status)) o.exit_code = WEXITSTATUS(status);
        }
    }
    close(report[0]);
    sigaction(SIGINT, &old_int, nullptr);
    sigaction(SIGQUIT, &old_quit, nullptr);
    return o;
}

void binary_stderr() {}

#endif

// ---- Finding the tool ----------------------------------------------------------

// The executable to start: TOOL itself when it names a folder; otherwise
// TOOL beside qkrun, then in each folder of the search path.
std::optional<std::string> find_tool(const std::string& tool) {
    const std::string file = with_exe(tool);
    if (has_folder(tool)) {
        if (runnable(file)) return file;
        return std::nullopt;
    }
    char here[4096];
    qk::platform::executable_dir(here, sizeof here);
    if (const fs::path beside = fs::path(here) / file; runnable(beside)) return beside.string();
    const char* path = std::getenv("PATH");
    if (path == nullptr) return std::nullopt;
    const std::string p(path);
    std::size_t start = 0;
    while (start <= p.size()) {
        std::size_t end = p.find(kPathSeparator, start);
        if (end == std::string::npos) end = p.size();
        const std::string folder = p.substr(start, end - start);
        const fs::path candidate = fs::path(folder.empty() ? "." : folder) / file;
        if (runnable(candidate)) return candidate.string();
        start = end + 1;
    }
    return std::nullopt;
}

// ---- The log ---------------------------------------------------------------------

std::string resolved(const char* name) {
    char out[4096];
    qk::platform::resolve_name(name, out, sizeof out);
    return out;
}

std::optional<std::uintmax_t> size_of(const std::string& name) {
    std::error_code ec;
    const std::uintmax_t n = fs::file_size(name, ec);
    if (ec) return std::nullopt;
    return n;
}

// Bytes of the file from OFFSET to its end; sets *last_before to the byte
// just before OFFSET (when there is one), which tells whether the bytes read
// start a line.
std::string read_from(const std::string& name, std::uintmax_t offset, int* last_before) {
    std::ifstream f(name, std::ios::binary);
    if (!f) return {};
    *last_before = -1;
    if (offset > 0) {
        f.seekg(static_cast<std::streamoff>(offset - 1));
        const int c = f.get();
        if (!f) return {};
        *last_before = c;
    }
    std::string bytes;
    char buf[65536];
    while (f.read(buf, sizeof buf) || f.gcount() > 0) bytes.append(buf, static_cast<std::size_t>(f.gcount()));
    return bytes;
}

std::string iso_now(const qk::platform::LocalTime& t) {
    return qkrun::iso_time({t.year, t.month, t.day, t.hour, t.minute, t.second, t.millisecond});
}

void usage() {
    std::fprintf(stderr,
                 "usage: qkrun [--json] TOOL [ARGUMENTS...]\n"
                 "Runs TOOL with ARGUMENTS and prints the lines it added to the error log.\n"
                 "Exit status: 0 nothing logged, 1 codes logged, 2 TOOL not started, 3 TOOL ended abnormally.\n");
}

}  // namespace

int main(int argc, char** argv) {
    binary_stderr();
    int first = 1;
    bool json = false;
    if (first < argc && std::strcmp(argv[first], "--json") == 0) {
        json = true;
        ++first;
    }
    if (first >= argc || argv[first][0] == '\0') {
        usage();
        return kNotStarted;
    }
    const std::string tool = argv[first];
    const std::vector<std::string> args(argv + first + 1, argv + argc);
    const qkrun::LogForm form = qkrun::form_of(tool);
    const std::string name = qkrun::base_name(tool);

    // Where the run's lines will start: the end of the log as it is now.
    const char* const log = qkrun::log_name(form);
    const std::uintmax_t before = size_of(resolved(log)).value_or(0);

    const qk::platform::LocalTime start_time = qk::platform::local_time();
    const auto start_clock = std::chrono::steady_clock::now();
    Outcome outcome;
    const std::optional<std::string> exe = find_tool(tool);
    if (exe) {
        outcome = start_and_wait(*exe, tool, args);
    } else {
        outcome.error = "cannot find " + tool + " beside qkrun or on the search path";
    }
    const auto end_clock = std::chrono::steady_clock::now();
    const qk::platform::LocalTime end_time = qk::platform::local_time();

    std::vector<qkrun::LogEntry> lines;
    if (outcome.started) {
        const std::string now = resolved(log);
        const std::uintmax_t after = size_of(now).value_or(0);
        // A log that shrank was replaced during the run: all of it is new.
        const std::uintmax_t offset = after >= before ? before : 0;
        int last_before = -1;
        const std::string appended = read_from(now, offset, &last_before);
        lines = qkrun::select_lines(appended, offset == 0 || last_before == '\n', form, name);
    }

    int status = 0;
    if (!outcome.started) status = kNotStarted;
    else if (!lines.empty()) status = kLogged;
    else if (outcome.exit_code != 0) status = kAbnormal;

    if (!json) {
        if (!outcome.started) std::fprintf(stderr, "qkrun: %s\n", outcome.error.c_str());
        if (status == kAbnormal) {
            if (outcome.exit_code) std::fprintf(stderr, "qkrun: %s ended with exit status %d\n", tool.c_str(), *outcome.exit_code);
            else std::fprintf(stderr, "qkrun: %s did not end normally\n", tool.c_str());
        }
        for (const auto& l : lines) std::fwrite(l.line.data(), 1, l.line.size(), stderr);
        std::fflush(stderr);
        return status;
    }

    using qkrun::json_string;
    std::string out = "{\"tool\":" + json_string(qkrun::text_as_utf8(tool)) + ",\"arguments\":[";
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (i > 0) out += ',';
        out += json_string(qkrun::text_as_utf8(args[i]));
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(end_clock - start_clock).count();
    out += "],\"start\":" + json_string(iso_now(start_time)) + ",\"end\":" + json_string(iso_now(end_time)) +
           ",\"duration_ms\":" + std::to_string(ms) + ",\"codes\":[";
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto& l = lines[i];
        if (i > 0) out += ',';
        out += "{\"code\":" + (l.code ? std::to_string(*l.code) : std::string("null")) +
               ",\"text\":" + json_string(qkrun::cp1252_to_utf8(l.text)) +
               ",\"time\":" + json_string(qkrun::iso_time(l.time)) + "}";
    }
    out += "],\"exit_status\":" + std::to_string(status) + ",\"tool_exit_status\":" +
           (outcome.exit_code ? std::to_string(*outcome.exit_code) : std::string("null"));
    if (!outcome.started) out += ",\"error\":" + json_string(qkrun::text_as_utf8(outcome.error));
    out += "}";
    // On a line of its own, after anything the tool printed.
    std::printf("\n%s\n", out.c_str());
    std::fflush(stdout);
    return status;
}
