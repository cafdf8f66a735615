// The platform seam on Windows: LoadLibrary, Win32 file handles, the console.
// Names are case-insensitive on this platform already, so resolution keeps
// them as given.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <conio.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "file_common.h"
#include "qk/platform.h"

namespace qk::platform {

namespace {

const std::string& exe_dir() {
    static const std::string dir = [] {
        char path[MAX_PATH * 2];
        const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
        if (n == 0 || n >= sizeof path) return std::string(".\\");
        std::string s(path, n);
        const std::size_t cut = s.find_last_of("\\/");
        if (cut == std::string::npos) return std::string(".\\");
        return s.substr(0, cut + 1);
    }();
    return dir;
}

void copy_out(const std::string& s, char* out, std::size_t out_size) {
    if (out == nullptr || out_size == 0) return;
    const std::size_t n = s.size() < out_size - 1 ? s.size() : out_size - 1;
    std::memcpy(out, s.data(), n);
    out[n] = '\0';
}

HANDLE to_handle(detail::RawHandle h) { return reinterpret_cast<HANDLE>(h); }

}  // namespace

// ---- Shared libraries -------------------------------------------------------

Library load_library(const char* base_name) {
    if (base_name == nullptr || *base_name == '\0') return nullptr;
    const std::string file = std::string(base_name) + ".dll";
    const std::string beside = exe_dir() + file;
    if (HMODULE h = LoadLibraryA(beside.c_str())) return reinterpret_cast<Library>(h);
    return reinterpret_cast<Library>(LoadLibraryA(file.c_str()));
}

void* find_symbol(Library lib, const char* name) {
    if (lib == nullptr || name == nullptr) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(lib), name));
}

bool unload_library(Library lib) {
    return lib != nullptr && FreeLibrary(static_cast<HMODULE>(lib)) != 0;
}

void executable_dir(char* out, std::size_t out_size) { copy_out(exe_dir(), out, out_size); }

// ---- Local time -------------------------------------------------------------

LocalTime local_time() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    return LocalTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

// ---- Keyboard ---------------------------------------------------------------

namespace {

enum class Input { unknown, console, pipe, file, none };

Input g_input = Input::unknown;
bool g_ended = false;
int g_lookahead = -1;
HANDLE g_in = INVALID_HANDLE_VALUE;

void classify_input() {
    g_in = GetStdHandle(STD_INPUT_HANDLE);
    DWORD console_mode = 0;
    if (g_in == nullptr || g_in == INVALID_HANDLE_VALUE) {
        g_input = Input::none;
    } else {
        switch (GetFileType(g_in)) {
            case FILE_TYPE_CHAR:
                g_input = GetConsoleMode(g_in, &console_mode) ? Input::console : Input::file;
                break;
            case FILE_TYPE_PIPE: g_input = Input::pipe; break;
            case FILE_TYPE_DISK: g_input = Input::file; break;
            default: g_input = Input::none; break;
        }
    }
    if (g_input == Input::none) g_ended = true;
}

// One byte from a pipe or a file into the look-ahead.
bool fetch_byte() {
    unsigned char c = 0;
    DWORD got = 0;
    if (!ReadFile(g_in, &c, 1, &got, nullptr) || got == 0) {
        g_ended = true;
        return false;
    }
    g_lookahead = c;
    return true;
}

}  // namespace

bool keys_ended() { return g_ended && g_lookahead < 0; }

bool key_waiting() {
    if (g_input == Input::unknown) classify_input();
    if (g_ended) return false;
    if (g_input == Input::console) return _kbhit() != 0;
    if (g_lookahead >= 0) return true;
    if (g_input == Input::pipe) {
        DWORD avail = 0;
        if (!PeekNamedPipe(g_in, nullptr, 0, nullptr, &avail, nullptr)) {
            if (GetLastError() == ERROR_BROKEN_PIPE) {
                g_ended = true;  // the writer has gone
                return false;
            }
            // A pipe that cannot be looked into (Wine's view of a POSIX
            // pipe): read it byte by byte like a file.
            g_input = Input::file;
            return fetch_byte();
        }
        if (avail == 0) return false;
    }
    return fetch_byte();
}

int read_key() {
    if (g_input == Input::unknown) classify_input();
    if (g_input == Input::console) return _getch();
    if (g_lookahead < 0 && (g_ended || !fetch_byte())) return -1;
    const int c = g_lookahead;
    g_lookahead = -1;
    return c;
}

// ---- Files --------------------------------------------------------------------

namespace detail {

long raw_read(RawHandle h, void* data, std::size_t size) {
    DWORD got = 0;
    const DWORD want = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    if (!ReadFile(to_handle(h), data, want, &got, nullptr)) {
        return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
    }
    return static_cast<long>(got);
}

long raw_write(RawHandle h, const void* data, std::size_t size) {
    DWORD put = 0;
    const DWORD want = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    if (!WriteFile(to_handle(h), data, want, &put, nullptr)) return -1;
    return static_cast<long>(put);
}

bool raw_close(RawHandle h) { return CloseHandle(to_handle(h)) != 0; }

}  // namespace detail

void resolve_name(const char* name, char* out, std::size_t out_size) {
    copy_out(name ? std::string(name) : std::string(), out, out_size);
}

bool file_exists(const char* name) {
    if (name == nullptr || *name == '\0') return false;
    const DWORD a = GetFileAttributesA(name);
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {

constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

File* open_file(const char* name, const char* mode) {
    const detail::OpenMode m = detail::parse_mode(mode);
    if (!m.valid || name == nullptr || *name == '\0') return nullptr;
    DWORD access = GENERIC_READ;
    DWORD disposition = OPEN_EXISTING;
    if (!m.read) {
        access = m.append ? FILE_APPEND_DATA : GENERIC_WRITE;
        disposition = m.append ? OPEN_ALWAYS : CREATE_ALWAYS;
    }
    HANDLE h = CreateFileA(name, access, kShare, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    return detail::make_file(reinterpret_cast<detail::RawHandle>(h), !m.read, m.text);
}

bool append_whole(const char* name, const void* data, std::size_t size) {
    if (name == nullptr || *name == '\0') return false;
    HANDLE h = CreateFileA(name, FILE_APPEND_DATA, kShare, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    if (size > 0 && data != nullptr) {
        DWORD put = 0;
        WriteFile(h, data, static_cast<DWORD>(size), &put, nullptr);
    }
    CloseHandle(h);
    return true;
}

int create_file_atomically(const char* name, const void* data, std::size_t size) {
    if (name == nullptr || *name == '\0') return 55;
    const std::string temp =
        std::string(name) + "." + std::to_string(static_cast<unsigned long>(GetCurrentProcessId())) +
        ".tmp";
    HANDLE h = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 55;
    const detail::RawHandle rh = reinterpret_cast<detail::RawHandle>(h);
    if (size > 0 && (data == nullptr || !detail::raw_write_all(rh, data, size))) {
        CloseHandle(h);
        DeleteFileA(temp.c_str());
        return 56;
    }
    if (!CloseHandle(h)) {
        DeleteFileA(temp.c_str());
        return 42;
    }
    // Without MOVEFILE_REPLACE_EXISTING the move fails when the name exists.
    if (MoveFileExA(temp.c_str(), name, 0)) return 0;
    const DWORD err = GetLastError();
    DeleteFileA(temp.c_str());
    if (err != ERROR_ALREADY_EXISTS && err != ERROR_FILE_EXISTS) return 55;
    // Another tool created the file first, unless what holds the name is not
    // a file at all (a folder called PARGAT.INI): then the creation failed.
    const DWORD attributes = GetFileAttributesA(name);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : 55;
}

}  // namespace qk::platform
