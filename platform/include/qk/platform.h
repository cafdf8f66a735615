// The only door to the operating system. Everything above this header is
// plain portable C++; one implementation per platform lives beside it
// (posix.cpp, windows.cpp). The behaviour is that of the 32-bit Windows
// console the tools are made for, on every platform: same bytes in every file.
#pragma once

#include <cstddef>
#include <cstdint>

// Calling convention of the gateway library's entry points: callee-cleans on
// 32-bit Windows (exported undecorated), the default convention elsewhere.
#if defined(_WIN32) && defined(__i386__)
#define QK_STDCALL __stdcall
#else
#define QK_STDCALL
#endif

namespace qk::platform {

// ---- Shared libraries -------------------------------------------------------

using Library = void*;

// Loads a library by its base name ("PortalLib" is PortalLib.dll on Windows,
// libPortalLib.so elsewhere): first from the folder of the running
// executable, then along the platform's normal search path. nullptr when it
// cannot be loaded.
Library load_library(const char* base_name);
// nullptr when the name is not exported.
void* find_symbol(Library lib, const char* name);
// true when the library was unloaded.
bool unload_library(Library lib);

// ---- Local time -------------------------------------------------------------

struct LocalTime {
    int year, month, day;  // month 1..12, day 1..31
    int hour, minute, second, millisecond;
};
LocalTime local_time();

// ---- Keyboard ---------------------------------------------------------------
// On a terminal: raw, non-echoing input, restored on every way out of the
// process. When standard input is not a terminal every byte waiting on it is
// one key press, and once the input has ended no key will ever wait again
// (and no further system call is made to find that out).

bool key_waiting();
// true once no key can ever wait again: standard input has ended, cannot be
// read or is missing. A loop that polls before every record may stop asking.
bool keys_ended();
// Reads one key without echo and without waiting; only call after
// key_waiting() returned true. Returns the key's code (Escape is 27).
int read_key();

// ---- Files --------------------------------------------------------------------
// Modes are those of the target's C runtime: "rb", "wb", "rt", "wt", "a"
// (also "r", "w", "ab"). Without 'b' the file is in text mode on every
// platform: each LF written is stored as CR LF; on reading, CR LF arrives as
// LF and a byte 0x1A ends the file. Relative names are resolved
// case-insensitively within their folder when the exact name does not exist.
// Update modes ('+') are not offered: open_file refuses them.

class File;

// nullptr when the file cannot be opened in that mode.
File* open_file(const char* name, const char* mode);
// Bytes accepted (after text translation the count is of bytes given).
std::size_t write_file(File* f, const void* data, std::size_t size);
// Writes the bytes of text up to its first zero byte, at most bound of them,
// and returns their count: one pass that both finds the end of a record and
// stores it. text must hold bound bytes: it is read in blocks, which may
// reach past its zero byte (never past bound).
std::size_t write_until_zero(File* f, const char* text, std::size_t bound);
// Reads up to size bytes; returns the count read. Sets the end-of-file mark
// when the file had no further byte to give.
std::size_t read_file(File* f, void* data, std::size_t size);
// Like the C runtime's fgets: reads up to and including the next LF, at most
// max_chars characters, and ends them with a zero byte (buf needs
// max_chars + 1 bytes). Returns the count of characters stored; 0 with the
// end-of-file mark set when nothing was left. A read that returns a last line
// without LF sets the end-of-file mark too.
std::size_t read_line(File* f, char* buf, std::size_t max_chars);
// One byte, or -1 at the end of the file (which sets the end-of-file mark) or
// on a read error.
int read_byte(File* f);
bool at_end(const File* f);
// true when a read failed for a reason other than the end of the file. A
// failed read sets the end-of-file mark as well, so a loop that reads until
// at_end() always stops.
bool read_failed(const File* f);
// Flushes and closes; false when any pending write or the close failed. The
// File is gone either way.
bool close_file(File* f);

// Appends data to the named file with one single write (created when
// missing), so that lines written by processes side by side never tear.
// The data are raw bytes, stored as given: a caller writing text stores each
// line end as CR LF itself. false when the file cannot be opened; write
// errors are not reported.
bool append_whole(const char* name, const void* data, std::size_t size);

// Creates the named file with exactly these bytes so that no other process
// ever sees it half-written: the bytes go to a temporary file
// "<name>.<process id>.tmp" in the same folder that is then moved to the
// name, unless the name exists by then (another process won the race), in
// which case the temporary file is removed and 0 is returned. The data are
// raw bytes, stored as given (no text translation: a caller writing text
// passes CR LF line ends). The result is 0 on success, otherwise 55 when the
// file cannot be created, 56 when not every byte could be written, 42 when
// closing failed; on every failure the temporary file is removed and the
// name is left untouched.
int create_file_atomically(const char* name, const void* data, std::size_t size);

// Name as it should be opened: the exact name when it exists, else an
// existing entry of the same folder that differs only in letter case, else
// the name itself. Writes at most out_size bytes (always zero-terminated).
void resolve_name(const char* name, char* out, std::size_t out_size);

// Whether a file of that name exists (after case-insensitive resolution).
bool file_exists(const char* name);

// Folder of the running executable, with a trailing separator.
void executable_dir(char* out, std::size_t out_size);

// ---- Console -----------------------------------------------------------------
// Console output goes through the C runtime's stdout (printf), which the
// tools flush at the points the behaviour needs; nothing here.

}  // namespace qk::platform
