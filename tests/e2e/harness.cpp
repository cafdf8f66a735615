#include "harness.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>

#include "store.h"

namespace e2e {

namespace {

std::string env_or(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    return v && *v ? v : fallback;
}

std::vector<std::string> split_words(const std::string& s) {
    std::istringstream in(s);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

}  // namespace

const Lines kTestTable = {
    R"(AddIPRelTableEntry 0 0 1 "127.0.0.10")",
    R"(AddIPRelTableEntry 1 1 1 "127.0.0.11")",
    R"(AddIPRelTableEntry 2 1 0 "127.0.0.12")",
};

Lines concat(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

fs::path bin_dir() { return env_or("QK_E2E_BIN_DIR", QK_BIN_DIR); }

std::string exe_name(const std::string& tool) { return tool + env_or("QK_E2E_EXE_SUFFIX", ""); }

bool windows_build() { return env_or("QK_E2E_EXE_SUFFIX", "") == ".exe"; }

std::string from_text_mode(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
        out += bytes[i];
    }
    return out;
}

std::string crlf(const std::string& lf_text) {
    std::string out;
    for (char c : lf_text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

std::string test_pargat(int display, int debug, int ingredients) {
    return "IP_DESTI=127.0.0.1\nPORT_DESTI=2003\nPORT_LOCAL=2003\nREINTENTS=4\nTIMEOUT=2\n"
           "DISPLAY=" + std::to_string(display) + "\nDEBUG=" + std::to_string(debug) +
           "\nINGREDIENTS=" + std::to_string(ingredients) +
           "\n\n[TABLE]\nNUM_ENTRIES=3\n"
           "SEC1=0 TERM1=0 MASTER1=1 IPASIG1=127.0.0.10\n"
           "SEC2=1 TERM2=1 MASTER2=1 IPASIG2=127.0.0.11\n"
           "SEC3=1 TERM3=2 MASTER3=0 IPASIG3=127.0.0.12\n";
}

void Scratch::SetUp() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    for (char& c : name) {
        if (c == '/' || c == ' ') c = '_';
    }
    dir = fs::path(env_or("QK_E2E_SCRATCH", QK_SCRATCH_DIR)) / name;
    std::error_code ec;
    fs::remove_all(dir, ec);
    fs::create_directories(dir);
}

Result Scratch::run(const std::string& tool, const std::vector<std::string>& args,
                    const RunOptions& opts) {
    const fs::path exe = (opts.exe_dir.empty() ? bin_dir() : opts.exe_dir) / exe_name(tool);
    std::vector<std::string> argv_s = split_words(env_or("QK_E2E_LAUNCHER", ""));
    argv_s.push_back(exe.string());
    for (const auto& a : args) argv_s.push_back(a);

    int in_pipe[2], out_pipe[2], err_pipe[2];
    if (pipe(in_pipe) != 0 || pipe(out_pipe) != 0 || pipe(err_pipe) != 0) {
        ADD_FAILURE() << "pipe failed";
        return {};
    }
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in_pipe[0], 0);
        dup2(out_pipe[1], 1);
        dup2(err_pipe[1], 2);
        for (int fd : {in_pipe[0], in_pipe[1], out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]}) close(fd);
        if (chdir(dir.c_str()) != 0) _exit(126);
        for (const auto& [k, v] : opts.env) setenv(k.c_str(), v.c_str(), 1);
        std::vector<char*> argv;
        for (auto& a : argv_s) argv.push_back(a.data());
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(in_pipe[0]);
    close(out_pipe[1]);
    close(err_pipe[1]);
    // The keys are all waiting before the tool starts polling; then input ends.
    signal(SIGPIPE, SIG_IGN);
    std::size_t sent = 0;
    while (sent < opts.keys.size()) {
        const ssize_t n = ::write(in_pipe[1], opts.keys.data() + sent, opts.keys.size() - sent);
        if (n <= 0) break;
        sent += static_cast<std::size_t>(n);
    }
    close(in_pipe[1]);

    Result r;
    pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&r.out, &r.err};
    int open_count = 2;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (open_count > 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            ADD_FAILURE() << tool << " did not end within 120 s";
            break;
        }
        if (poll(fds, 2, 1000) < 0) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buf[65536];
            const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
            if (n > 0) {
                sinks[i]->append(buf, static_cast<std::size_t>(n));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open_count;
            }
        }
    }
    for (auto& p : fds) {
        if (p.fd >= 0) close(p.fd);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (windows_build()) {
        // The Windows console streams are in the C runtime's text mode.
        r.out = from_text_mode(r.out);
        r.err = from_text_mode(r.err);
    }
    return r;
}

Result Scratch::run_keys(const std::string& tool, const std::vector<std::string>& args,
                         const std::string& keys) {
    RunOptions o;
    o.keys = keys;
    return run(tool, args, o);
}

void Scratch::write(const std::string& name, const std::string& bytes) const {
    std::ofstream f(dir / name, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Scratch::read(const std::string& name) const {
    std::ifstream f(dir / name, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

bool Scratch::exists(const std::string& name) const { return fs::exists(dir / name); }

void Scratch::pargat(int display, int debug, int ingredients) const {
    pargat_text(test_pargat(display, debug, ingredients));
}

void Scratch::pargat_text(const std::string& text_with_lf) const { write("PARGAT.INI", crlf(text_with_lf)); }

std::string Scratch::log() const {
    static const std::regex head(R"(\|[1-9][0-9]?/[1-9][0-9]?/[0-9]{4}\|[0-9]{2}:[0-9]{2}:[0-9]{2},[0-9]{3}\|)");
    return std::regex_replace(read("ordenes.err"), head, "|T|");
}

std::vector<std::string> Scratch::journal() const {
    std::ifstream f(state() / "journal.txt", std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(f, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> Scratch::journal_without(const std::vector<std::string>& names) const {
    std::vector<std::string> kept;
    for (const auto& line : journal()) {
        const std::string name = line.substr(0, line.find(' '));
        bool drop = false;
        for (const auto& n : names) drop = drop || n == name;
        if (!drop) kept.push_back(line);
    }
    return kept;
}

void Scratch::seed(int terminal, const std::string& kind, int index, const std::string& bytes) const {
    portallib::Store s(state().string());
    s.records(terminal, kind)[index] = bytes;
    s.save();
}

std::string Scratch::stored(int terminal, const std::string& kind, int index, bool* present) const {
    portallib::Store s(state().string());
    auto& records = s.records(terminal, kind);
    const auto it = records.find(index);
    if (present) *present = it != records.end();
    return it == records.end() ? std::string() : it->second;
}

fs::path Scratch::isolated_tool(const std::string& tool, const std::string& variant) const {
    const fs::path where = dir / ("bin-" + (variant.empty() ? std::string("nolib") : variant));
    fs::create_directories(where);
    fs::copy_file(bin_dir() / exe_name(tool), where / exe_name(tool), fs::copy_options::overwrite_existing);
    if (!variant.empty()) {
        // Variant folders are named after their targets, "PortalLib_no_lotr";
        // "no_lotr" names the same one.
        fs::path lib_dir = bin_dir().parent_path() / "variants" / variant;
        if (!fs::exists(lib_dir)) lib_dir = bin_dir().parent_path() / "variants" / ("PortalLib_" + variant);
        for (const auto& e : fs::directory_iterator(lib_dir)) {
            fs::copy_file(e.path(), where / e.path().filename(), fs::copy_options::overwrite_existing);
        }
    }
    return where;
}

}  // namespace e2e
