// Buffered files with the target's text mode, shared by the POSIX and the
// Windows implementation. Each platform supplies the three raw calls below
// over its own handles (a file descriptor or a HANDLE) and opens the file;
// everything about buffering, CR LF translation and the 0x1A end mark lives
// in file_common.cpp, once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "qk/platform.h"

namespace qk::platform {
namespace detail {

using RawHandle = std::intptr_t;

// Bytes read (0 at the end of the data), or -1 on an error.
long raw_read(RawHandle h, void* data, std::size_t size);
// Bytes written (may be fewer than size), or -1 on an error.
long raw_write(RawHandle h, const void* data, std::size_t size);
// false when the close failed; the handle is gone either way.
bool raw_close(RawHandle h);

// Size of a read file's buffer: large enough that a file of a million short
// lines is read in a few hundred system calls.
constexpr std::size_t kReadBuffer = 64 * 1024;
// Size of a written file's buffer. Larger, because the system stores a new
// file's data markedly faster in blocks of a few hundred KB than in blocks of
// 64 KB (about 7.4 against 10 ms for 60 MB on the benchmark machine). The
// memory is taken from the system as it is first written to, so a small file
// costs no more than before.
constexpr std::size_t kWriteBuffer = 256 * 1024;

struct OpenMode {
    bool valid = false;
    bool read = false;    // 'r': existing file, reading
    bool append = false;  // 'a': created when missing, every write at the end
    bool text = true;     // without 'b'
};
// "r", "w", "a" followed by an optional 'b' or 't'. Anything else (an
// update mode with '+', an unknown letter) is not offered.
OpenMode parse_mode(const char* mode);

// Takes ownership of an open handle.
File* make_file(RawHandle h, bool writing, bool text);

// Writes all of data with as many raw writes as it takes; false when a
// write failed or made no progress.
bool raw_write_all(RawHandle h, const void* data, std::size_t size);

}  // namespace detail

class File {
public:
    File(detail::RawHandle h, bool writing, bool text);

    detail::RawHandle handle;
    bool writing;
    bool text;
    bool eof = false;           // the end-of-file mark seen by the caller
    bool read_error = false;    // a read failed
    bool write_error = false;   // a write failed: later writes are refused
    bool source_done = false;   // no further raw read will be made
    bool pending_cr = false;    // text mode: a CR was last in a raw chunk
    std::size_t cap;            // kReadBuffer or kWriteBuffer
    std::unique_ptr<char[]> buf;  // cap + 1 bytes
    std::size_t pos = 0;        // reading: next byte of buf to hand out
    std::size_t len = 0;        // reading: end of decoded bytes; writing: bytes pending
};

}  // namespace qk::platform
