// Buffered reading and writing with the target's text mode: each LF written
// is stored as CR LF (a CR already before it is not special, so "\r\n"
// becomes "\r\r\n"); on reading, CR LF arrives as LF, a lone CR stays, and a
// byte 0x1A ends the file. Binary mode passes every byte untouched.
#include <algorithm>
#include <cstring>

#include "copy_until_zero.h"
#include "file_common.h"

namespace qk::platform {

File::File(detail::RawHandle h, bool writing_, bool text_)
    : handle(h),
      writing(writing_),
      text(text_),
      cap(writing_ ? detail::kWriteBuffer : detail::kReadBuffer),
      buf(new char[cap + 1]) {}

namespace detail {

OpenMode parse_mode(const char* mode) {
    OpenMode m;
    if (mode == nullptr) return m;
    switch (mode[0]) {
        case 'r': m.read = true; break;
        case 'w': break;
        case 'a': m.append = true; break;
        default: return m;
    }
    const char* rest = mode + 1;
    if (*rest == 'b') {
        m.text = false;
        ++rest;
    } else if (*rest == 't') {
        ++rest;
    }
    m.valid = (*rest == '\0');
    return m;
}

File* make_file(RawHandle h, bool writing, bool text) { return new File(h, writing, text); }

bool raw_write_all(RawHandle h, const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const long n = raw_write(h, p, size);
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace detail

namespace {

// Makes decoded bytes available in buf[pos, len). Only called when the
// buffer is empty. false when nothing more can be read.
bool fill(File* f) {
    f->pos = 0;
    f->len = 0;
    while (f->len == 0) {
        if (f->source_done) return false;
        // Text mode reads one byte further in, so that decoding in place
        // can put back a CR held over from the previous chunk.
        char* raw = f->text ? f->buf.get() + 1 : f->buf.get();
        const long n = detail::raw_read(f->handle, raw, f->cap);
        if (n < 0) {
            f->read_error = true;
            f->source_done = true;
            return false;
        }
        if (n == 0) {
            f->source_done = true;
            if (f->pending_cr) {  // a CR as the very last byte stays
                f->pending_cr = false;
                f->buf[f->len++] = '\r';
            }
            break;
        }
        if (!f->text) {
            f->len = static_cast<std::size_t>(n);
            break;
        }
        // The output index never passes the input index (raw starts one
        // byte later), so decoding in place is safe.
        char* out = f->buf.get();
        std::size_t o = 0;
        std::size_t i = 0;
        const std::size_t count = static_cast<std::size_t>(n);
        if (f->pending_cr) {
            f->pending_cr = false;
            if (raw[0] == '\n') {
                out[o++] = '\n';
                i = 1;
            } else {
                out[o++] = '\r';
            }
        }
        for (; i < count; ++i) {
            const char c = raw[i];
            if (c == '\x1a') {
                f->source_done = true;
                break;
            }
            if (c == '\r') {
                if (i + 1 == count) {
                    f->pending_cr = true;
                    break;
                }
                if (raw[i + 1] == '\n') {
                    out[o++] = '\n';
                    ++i;
                    continue;
                }
            }
            out[o++] = c;
        }
        f->len = o;
    }
    return f->len > 0;
}

bool flush(File* f) {
    if (f->len == 0) return !f->write_error;
    const bool ok = detail::raw_write_all(f->handle, f->buf.get(), f->len);
    f->len = 0;
    if (!ok) f->write_error = true;
    return ok;
}

// Appends bytes to the write buffer, flushing as it fills.
bool put(File* f, const char* p, std::size_t n) {
    while (n > 0) {
        if (f->len == f->cap && !flush(f)) return false;
        if (f->len == 0 && n >= f->cap) {
            // A large block goes straight through.
            if (!detail::raw_write_all(f->handle, p, n)) {
                f->write_error = true;
                return false;
            }
            return true;
        }
        const std::size_t take = std::min(n, f->cap - f->len);
        std::memcpy(f->buf.get() + f->len, p, take);
        f->len += take;
        p += take;
        n -= take;
    }
    return true;
}

}  // namespace

namespace {

// Text mode: each LF goes out as CR LF. Returns the bytes of data accepted.
// Kept out of write_file, so that the binary path stays a few instructions.
[[gnu::noinline]] std::size_t write_text(File* f, const char* p, std::size_t size) {
    std::size_t accepted = 0;
    while (accepted < size) {
        const char* lf = static_cast<const char*>(std::memchr(p + accepted, '\n', size - accepted));
        const std::size_t run = lf ? static_cast<std::size_t>(lf - (p + accepted)) : size - accepted;
        if (!put(f, p + accepted, run)) return accepted;
        accepted += run;
        if (lf == nullptr) break;
        if (!put(f, "\r\n", 2)) return accepted;
        ++accepted;
    }
    return accepted;
}

}  // namespace

std::size_t write_file(File* f, const void* data, std::size_t size) {
    if (f == nullptr || !f->writing || f->write_error || data == nullptr) return 0;
    const char* p = static_cast<const char*>(data);
    if (f->text) return write_text(f, p, size);
    // A short write that fits the buffer (the usual record) is one copy.
    if (size < f->cap - f->len) {
        std::memcpy(f->buf.get() + f->len, p, size);
        f->len += size;
        return size;
    }
    return put(f, p, size) ? size : 0;
}

namespace {

std::size_t bound_length(const char* text, std::size_t bound) {
    const void* zero = std::memchr(text, 0, bound);
    return zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - text) : bound;
}

// Everything but a record that fits the buffer as it is: a full buffer is
// written out first; text mode, a failed file and a bound larger than the
// buffer go the way of every other write.
[[gnu::noinline]] std::size_t write_until_zero_slowly(File* f, const char* text, std::size_t bound) {
    if (text == nullptr) return 0;
    if (f != nullptr && f->writing && !f->text && !f->write_error && bound <= f->cap - 64) {
        if (!flush(f)) return bound_length(text, bound);
        const std::size_t n = detail::copy_until_zero(f->buf.get(), text, bound);
        f->len = n;
        return n;
    }
    const std::size_t n = bound_length(text, bound);
    write_file(f, text, n);
    return n;
}

}  // namespace

std::size_t write_until_zero(File* f, const char* text, std::size_t bound) {
    // The usual record: stored in place in the buffer, which has room for
    // the longest the bound allows (and the copy's 64 bytes of slack).
    if (f != nullptr && text != nullptr && f->writing && !f->text && !f->write_error &&
        f->cap - f->len >= bound + 64 && bound <= f->cap) [[likely]] {
        const std::size_t n = detail::copy_until_zero(f->buf.get() + f->len, text, bound);
        f->len += n;
        return n;
    }
    return write_until_zero_slowly(f, text, bound);
}

std::size_t read_file(File* f, void* data, std::size_t size) {
    if (f == nullptr || f->writing || data == nullptr) return 0;
    char* out = static_cast<char*>(data);
    std::size_t n = 0;
    while (n < size) {
        if (f->pos == f->len && !fill(f)) {
            f->eof = true;
            break;
        }
        const std::size_t take = std::min(size - n, f->len - f->pos);
        std::memcpy(out + n, f->buf.get() + f->pos, take);
        f->pos += take;
        n += take;
    }
    return n;
}

std::size_t read_line(File* f, char* buf, std::size_t max_chars) {
    if (buf == nullptr) return 0;
    std::size_t n = 0;
    if (f != nullptr && !f->writing) {
        while (n < max_chars) {
            if (f->pos == f->len && !fill(f)) {
                f->eof = true;
                break;
            }
            const char* p = f->buf.get() + f->pos;
            const std::size_t avail = std::min(f->len - f->pos, max_chars - n);
            const char* lf = static_cast<const char*>(std::memchr(p, '\n', avail));
            const std::size_t take = lf ? static_cast<std::size_t>(lf - p) + 1 : avail;
            std::memcpy(buf + n, p, take);
            f->pos += take;
            n += take;
            if (lf != nullptr) break;
        }
    }
    buf[n] = '\0';
    return n;
}

int read_byte(File* f) {
    if (f == nullptr || f->writing) return -1;
    if (f->pos == f->len && !fill(f)) {
        f->eof = true;
        return -1;
    }
    return static_cast<unsigned char>(f->buf[f->pos++]);
}

bool at_end(const File* f) { return f == nullptr || f->eof; }

bool read_failed(const File* f) { return f != nullptr && f->read_error; }

bool close_file(File* f) {
    if (f == nullptr) return false;
    bool ok = true;
    if (f->writing) ok = flush(f);
    if (!detail::raw_close(f->handle)) ok = false;
    delete f;
    return ok;
}

}  // namespace qk::platform
