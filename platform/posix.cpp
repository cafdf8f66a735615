// The platform seam on POSIX systems (Linux): dlopen, raw file descriptors,
// termios. Files go through open/read/write/close on purpose, so that the
// fault shim of the tests can make any of those calls fail for a named file.
#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "file_common.h"
#include "qk/platform.h"

namespace qk::platform {

// ---- Shared libraries -------------------------------------------------------

namespace {

const std::string& exe_dir() {
    static const std::string dir = [] {
        char path[4096];
        const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
        if (n <= 0) return std::string("./");
        path[n] = '\0';
        char* slash = std::strrchr(path, '/');
        if (slash == nullptr) return std::string("./");
        slash[1] = '\0';
        return std::string(path);
    }();
    return dir;
}

void copy_out(const std::string& s, char* out, std::size_t out_size) {
    if (out == nullptr || out_size == 0) return;
    const std::size_t n = s.size() < out_size - 1 ? s.size() : out_size - 1;
    std::memcpy(out, s.data(), n);
    out[n] = '\0';
}

}  // namespace

Library load_library(const char* base_name) {
    if (base_name == nullptr || *base_name == '\0') return nullptr;
    const std::string file = std::string("lib") + base_name + ".so";
    const std::string beside = exe_dir() + file;
    if (void* h = dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL)) return h;
    return dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* find_symbol(Library lib, const char* name) {
    if (lib == nullptr || name == nullptr) return nullptr;
    return dlsym(lib, name);
}

bool unload_library(Library lib) { return lib != nullptr && dlclose(lib) == 0; }

void executable_dir(char* out, std::size_t out_size) { copy_out(exe_dir(), out, out_size); }

// ---- Local time -------------------------------------------------------------

LocalTime local_time() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    const time_t secs = ts.tv_sec;
    tm t{};
    localtime_r(&secs, &t);
    return LocalTime{t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour,
                     t.tm_min,         t.tm_sec,     static_cast<int>(ts.tv_nsec / 1000000)};
}

// ---- Keyboard ---------------------------------------------------------------

namespace {

enum class Input { unknown, terminal, stream, none };

Input g_input = Input::unknown;
bool g_ended = false;       // stream: end of input seen, no more system calls
int g_lookahead = -1;       // stream: the byte found waiting
termios g_saved{};
volatile sig_atomic_t g_raw_active = 0;

void restore_terminal() {
    if (g_raw_active) {
        tcsetattr(STDIN_FILENO, TCSANOW, &g_saved);
        g_raw_active = 0;
    }
}

void on_fatal_signal(int sig) {
    // Only async-signal-safe calls: put the terminal back, then die of the
    // same signal with its default action.
    restore_terminal();
    signal(sig, SIG_DFL);
    raise(sig);
}

void restore_at_exit() { restore_terminal(); }

void enter_raw_mode() {
    termios raw = g_saved;
    // Key by key, no echo, no waiting; Enter arrives as CR as on the
    // target's console. Ctrl-C still interrupts.
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHONL);
    raw.c_iflag &= ~static_cast<tcflag_t>(ICRNL | INLCR);
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    std::atexit(restore_at_exit);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        struct sigaction old{};
        if (sigaction(sig, nullptr, &old) != 0 || old.sa_handler != SIG_DFL) continue;
        struct sigaction sa{};
        sa.sa_handler = on_fatal_signal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESETHAND;
        sigaction(sig, &sa, nullptr);
    }
    if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0) g_raw_active = 1;
}

void classify_input() {
    if (fcntl(STDIN_FILENO, F_GETFD) == -1) {
        g_input = Input::none;
        g_ended = true;
    } else if (isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &g_saved) == 0) {
        g_input = Input::terminal;
        enter_raw_mode();
    } else {
        g_input = Input::stream;
    }
}

bool input_readable() {
    pollfd p{STDIN_FILENO, POLLIN, 0};
    const int r = poll(&p, 1, 0);
    if (r < 0) return false;  // interrupted: try again at the next check
    if (r == 0) return false;
    if (p.revents & POLLNVAL) {
        g_ended = true;
        return false;
    }
    return true;
}

}  // namespace

bool keys_ended() { return g_ended && g_lookahead < 0; }

bool key_waiting() {
    if (g_input == Input::unknown) classify_input();
    if (g_ended) return false;
    if (g_input == Input::terminal) return input_readable();
    if (g_lookahead >= 0) return true;
    if (!input_readable()) return false;
    unsigned char c = 0;
    const ssize_t n = read(STDIN_FILENO, &c, 1);
    if (n == 1) {
        g_lookahead = c;
        return true;
    }
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return false;
    g_ended = true;  // end of input, or an input that cannot be read
    return false;
}

int read_key() {
    if (g_input == Input::unknown) classify_input();
    if (g_lookahead >= 0) {
        const int c = g_lookahead;
        g_lookahead = -1;
        return c;
    }
    if (g_ended) return -1;
    unsigned char c = 0;
    const ssize_t n = read(STDIN_FILENO, &c, 1);
    if (n == 1) return c;
    if (g_input == Input::stream && !(n < 0 && (errno == EINTR || errno == EAGAIN))) g_ended = true;
    return -1;
}

// ---- Files --------------------------------------------------------------------

namespace detail {

long raw_read(RawHandle h, void* data, std::size_t size) {
    for (;;) {
        const ssize_t n = read(static_cast<int>(h), data, size);
        if (n < 0 && errno == EINTR) continue;
        return static_cast<long>(n);
    }
}

long raw_write(RawHandle h, const void* data, std::size_t size) {
    for (;;) {
        const ssize_t n = write(static_cast<int>(h), data, size);
        if (n < 0 && errno == EINTR) continue;
        return static_cast<long>(n);
    }
}

bool raw_close(RawHandle h) { return close(static_cast<int>(h)) == 0; }

}  // namespace detail

namespace {

bool exists_exactly(const std::string& path) {
    struct stat st{};
    return lstat(path.c_str(), &st) == 0;
}

bool same_ignoring_case(const char* a, const char* b) {
    for (;; ++a, ++b) {
        unsigned char x = static_cast<unsigned char>(*a);
        unsigned char y = static_cast<unsigned char>(*b);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return false;
        if (x == 0) return true;
    }
}

// The entry of dir equal to name ignoring ASCII case. When several match,
// the lowest in byte order wins, so that the choice does not depend on the
// order of the directory.
bool find_in_folder(const std::string& dir, const std::string& name, std::string& found) {
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) return false;
    bool any = false;
    while (const dirent* e = readdir(d)) {
        if (!same_ignoring_case(e->d_name, name.c_str())) continue;
        if (!any || std::strcmp(e->d_name, found.c_str()) < 0) found = e->d_name;
        any = true;
    }
    closedir(d);
    return any;
}

// Each part of the path that does not exist exactly is looked up ignoring
// case in its folder; from the first part with no match on, the rest of the
// name is kept as given.
std::string resolve(const char* name) {
    if (name == nullptr) return std::string();
    const std::string s(name);
    if (s.empty() || exists_exactly(s)) return s;
    std::string out;
    std::size_t i = 0;
    if (s[0] == '/') {
        out = "/";
        i = 1;
    }
    while (i < s.size()) {
        std::size_t j = s.find('/', i);
        if (j == std::string::npos) j = s.size();
        const std::string part = s.substr(i, j - i);
        if (part.empty() || part == "." || part == ".." || exists_exactly(out + part)) {
            out += part;
        } else {
            std::string found;
            if (!find_in_folder(out.empty() ? std::string(".") : out, part, found)) {
                return out + s.substr(i);
            }
            out += found;
        }
        if (j < s.size()) out += '/';
        i = j + 1;
    }
    return out;
}

int open_retrying(const char* path, int flags, mode_t perm) {
    for (;;) {
        const int fd = open(path, flags | O_CLOEXEC, perm);
        if (fd < 0 && errno == EINTR) continue;
        return fd;
    }
}

}  // namespace

void resolve_name(const char* name, char* out, std::size_t out_size) {
    copy_out(resolve(name), out, out_size);
}

bool file_exists(const char* name) {
    if (name == nullptr || *name == '\0') return false;
    struct stat st{};
    return stat(resolve(name).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

File* open_file(const char* name, const char* mode) {
    const detail::OpenMode m = detail::parse_mode(mode);
    if (!m.valid || name == nullptr || *name == '\0') return nullptr;
    const std::string path = resolve(name);
    int flags = O_RDONLY;
    if (!m.read) flags = O_WRONLY | O_CREAT | (m.append ? O_APPEND : O_TRUNC);
    const int fd = open_retrying(path.c_str(), flags, 0666);
    if (fd < 0) return nullptr;
    struct stat st{};
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        close(fd);
        return nullptr;
    }
    return detail::make_file(fd, !m.read, m.text);
}

bool append_whole(const char* name, const void* data, std::size_t size) {
    if (name == nullptr || *name == '\0') return false;
    const std::string path = resolve(name);
    const int fd = open_retrying(path.c_str(), O_WRONLY | O_APPEND | O_CREAT, 0666);
    if (fd < 0) return false;
    if (size > 0 && data != nullptr) {
        ssize_t n;
        do {
            n = write(fd, data, size);
        } while (n < 0 && errno == EINTR);
    }
    close(fd);
    return true;
}

int create_file_atomically(const char* name, const void* data, std::size_t size) {
    if (name == nullptr || *name == '\0') return 55;
    const std::string path = resolve(name);
    const std::string temp = path + "." + std::to_string(static_cast<long>(getpid())) + ".tmp";
    const int fd = open_retrying(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (fd < 0) return 55;
    if (size > 0 && (data == nullptr || !detail::raw_write_all(fd, data, size))) {
        close(fd);
        unlink(temp.c_str());
        return 56;
    }
    if (close(fd) != 0) {
        unlink(temp.c_str());
        return 42;
    }
    // A hard link puts the complete file in place only if the name is still
    // free; where links are not supported, a rename that refuses to replace.
    // A name taken by something that is not a file (a folder called
    // PARGAT.INI) is no file another tool created: the creation failed.
    if (link(temp.c_str(), path.c_str()) == 0) {
        unlink(temp.c_str());
        return 0;
    }
    if (errno == EEXIST) {
        unlink(temp.c_str());
        struct stat st {};
        return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? 0 : 55;
    }
#ifdef RENAME_NOREPLACE
    if (renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0) return 0;
#endif
    if (errno == EEXIST || exists_exactly(path)) {
        unlink(temp.c_str());
        return 0;
    }
    if (rename(temp.c_str(), path.c_str()) == 0) return 0;
    unlink(temp.c_str());
    return 55;
}

}  // namespace qk::platform
