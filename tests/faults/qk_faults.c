/* qk_faults: a preload library that makes chosen system calls fail for
 * chosen files, so that the error paths of the tools run on real failures.
 *
 *   LD_PRELOAD=/path/to/libqk_faults.so QK_FAULTS="rule;rule;..." program
 *
 * A rule is CALL:TEXT. It applies to every call of that kind on a file whose
 * path contains TEXT, compared ignoring ASCII case:
 *
 *   open:TEXT         open/openat/creat of the file fail (EACCES)
 *   read:TEXT         read from a descriptor of the file fails (EIO)
 *   write:TEXT        write to a descriptor of the file fails (ENOSPC)
 *   write-short:TEXT  the first write to each descriptor of the file stores
 *                     half its bytes and returns that short count; later
 *                     writes to it fail (ENOSPC), as on a full disk
 *   close:TEXT        close of a descriptor of the file closes it but
 *                     returns -1 (EIO)
 *   dlclose:TEXT      dlclose of a library whose path contains TEXT leaves
 *                     it loaded and returns non-zero
 *   dlopen:TEXT       dlopen of a library whose name contains TEXT fails
 *                     (the loader opens its files itself, out of reach of
 *                     the open rule)
 *
 * Example: QK_FAULTS="close:QKLOTR.ASC;dlclose:libPortalLib.so".
 * Descriptors are followed from the open call that made them (and through
 * dup/dup2/dup3) to their close, so read/write/close rules only see files
 * opened after the shim loaded.
 * Under AddressSanitizer add verify_asan_link_order=0 to ASAN_OPTIONS.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <link.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <unistd.h>

enum { OP_OPEN, OP_READ, OP_WRITE, OP_WRITE_SHORT, OP_CLOSE, OP_DLCLOSE, OP_DLOPEN };

#define MAX_RULES 32
#define MAX_TEXT 256
#define MAX_FDS 4096

struct rule {
    int op;
    char text[MAX_TEXT];
};

static struct rule rules[MAX_RULES];
static int rule_count = -1; /* -1: not parsed yet */
static char* fd_path[MAX_FDS];
static unsigned char fd_short_done[MAX_FDS];

static void parse_rules(void) {
    static const struct {
        const char* name;
        int op;
    } ops[] = {{"open", OP_OPEN},         {"read", OP_READ},   {"write", OP_WRITE},
               {"write-short", OP_WRITE_SHORT}, {"close", OP_CLOSE}, {"dlclose", OP_DLCLOSE},
               {"dlopen", OP_DLOPEN}};
    rule_count = 0;
    const char* s = getenv("QK_FAULTS");
    if (s == NULL) return;
    while (*s != '\0' && rule_count < MAX_RULES) {
        const char* end = strchr(s, ';');
        size_t len = end ? (size_t)(end - s) : strlen(s);
        const char* colon = memchr(s, ':', len);
        if (colon != NULL) {
            size_t name_len = (size_t)(colon - s);
            size_t text_len = len - name_len - 1;
            for (size_t i = 0; i < sizeof ops / sizeof ops[0]; ++i) {
                if (strlen(ops[i].name) == name_len && memcmp(ops[i].name, s, name_len) == 0 &&
                    text_len > 0 && text_len < MAX_TEXT) {
                    rules[rule_count].op = ops[i].op;
                    memcpy(rules[rule_count].text, colon + 1, text_len);
                    rules[rule_count].text[text_len] = '\0';
                    ++rule_count;
                    break;
                }
            }
        }
        if (end == NULL) break;
        s = end + 1;
    }
}

static int lower(int c) { return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c; }

static int contains_ignoring_case(const char* hay, const char* needle) {
    size_t n = strlen(needle);
    for (; *hay != '\0'; ++hay) {
        size_t i = 0;
        while (i < n && hay[i] != '\0' && lower((unsigned char)hay[i]) == lower((unsigned char)needle[i])) ++i;
        if (i == n) return 1;
    }
    return 0;
}

static int rule_hits(int op, const char* path) {
    if (rule_count < 0) parse_rules();
    if (path == NULL) return 0;
    for (int i = 0; i < rule_count; ++i) {
        if (rules[i].op == op && contains_ignoring_case(path, rules[i].text)) return 1;
    }
    return 0;
}

static const char* path_of(int fd) { return (fd >= 0 && fd < MAX_FDS) ? fd_path[fd] : NULL; }

static void remember(int fd, const char* path) {
    if (fd < 0 || fd >= MAX_FDS) return;
    free(fd_path[fd]);
    fd_path[fd] = path ? strdup(path) : NULL;
    fd_short_done[fd] = 0;
}

static void forget(int fd) { remember(fd, NULL); }

#define REAL(name, type) static type real_##name; if (!real_##name) real_##name = (type)dlsym(RTLD_NEXT, #name)

static mode_t mode_arg(int flags, va_list ap) {
    return (flags & (O_CREAT | O_TMPFILE)) ? (mode_t)va_arg(ap, int) : 0;
}

typedef int (*open_fn)(const char*, int, ...);
typedef int (*openat_fn)(int, const char*, int, ...);
typedef int (*creat_fn)(const char*, mode_t);
typedef ssize_t (*read_fn)(int, void*, size_t);
typedef ssize_t (*write_fn)(int, const void*, size_t);
typedef int (*close_fn)(int);
typedef int (*dlclose_fn)(void*);
typedef void* (*dlopen_fn)(const char*, int);

static int after_open(int fd, const char* path) {
    if (fd >= 0) remember(fd, path);
    return fd;
}

#define DEFINE_OPEN(name)                                            \
    int name(const char* path, int flags, ...) {                     \
        va_list ap;                                                  \
        va_start(ap, flags);                                         \
        mode_t m = mode_arg(flags, ap);                              \
        va_end(ap);                                                  \
        if (rule_hits(OP_OPEN, path)) {                              \
            errno = EACCES;                                          \
            return -1;                                               \
        }                                                            \
        REAL(name, open_fn);                                         \
        return after_open(real_##name(path, flags, m), path);       \
    }
DEFINE_OPEN(open)
DEFINE_OPEN(open64)

#define DEFINE_OPENAT(name)                                          \
    int name(int dir, const char* path, int flags, ...) {            \
        va_list ap;                                                  \
        va_start(ap, flags);                                         \
        mode_t m = mode_arg(flags, ap);                              \
        va_end(ap);                                                  \
        if (rule_hits(OP_OPEN, path)) {                              \
            errno = EACCES;                                          \
            return -1;                                               \
        }                                                            \
        REAL(name, openat_fn);                                       \
        return after_open(real_##name(dir, path, flags, m), path);  \
    }
DEFINE_OPENAT(openat)
DEFINE_OPENAT(openat64)

#define DEFINE_CREAT(name)                                           \
    int name(const char* path, mode_t m) {                           \
        if (rule_hits(OP_OPEN, path)) {                              \
            errno = EACCES;                                          \
            return -1;                                               \
        }                                                            \
        REAL(name, creat_fn);                                        \
        return after_open(real_##name(path, m), path);              \
    }
DEFINE_CREAT(creat)
DEFINE_CREAT(creat64)

/* The checked variants that fortified builds call. */
int __open_2(const char* path, int flags) { return open(path, flags); }
int __open64_2(const char* path, int flags) { return open64(path, flags); }
int __openat_2(int dir, const char* path, int flags) { return openat(dir, path, flags); }
int __openat64_2(int dir, const char* path, int flags) { return openat64(dir, path, flags); }

ssize_t read(int fd, void* buf, size_t n) {
    if (rule_hits(OP_READ, path_of(fd))) {
        errno = EIO;
        return -1;
    }
    REAL(read, read_fn);
    return real_read(fd, buf, n);
}

ssize_t __read_chk(int fd, void* buf, size_t n, size_t buflen) {
    if (n > buflen) abort();
    return read(fd, buf, n);
}

ssize_t write(int fd, const void* buf, size_t n) {
    const char* path = path_of(fd);
    if (rule_hits(OP_WRITE, path)) {
        errno = ENOSPC;
        return -1;
    }
    REAL(write, write_fn);
    if (n > 0 && rule_hits(OP_WRITE_SHORT, path)) {
        if (fd_short_done[fd]) {
            errno = ENOSPC;
            return -1;
        }
        fd_short_done[fd] = 1;
        if (n / 2 == 0) {
            errno = ENOSPC;
            return -1;
        }
        return real_write(fd, buf, n / 2);
    }
    return real_write(fd, buf, n);
}

typedef int (*dup_fn)(int);
typedef int (*dup2_fn)(int, int);
typedef int (*dup3_fn)(int, int, int);

int dup(int fd) {
    REAL(dup, dup_fn);
    const int r = real_dup(fd);
    if (r >= 0) remember(r, path_of(fd));
    return r;
}

int dup2(int fd, int to) {
    REAL(dup2, dup2_fn);
    const int r = real_dup2(fd, to);
    if (r >= 0 && r != fd) remember(r, path_of(fd));
    return r;
}

int dup3(int fd, int to, int flags) {
    REAL(dup3, dup3_fn);
    const int r = real_dup3(fd, to, flags);
    if (r >= 0) remember(r, path_of(fd));
    return r;
}

int close(int fd) {
    const int fail = rule_hits(OP_CLOSE, path_of(fd));
    REAL(close, close_fn);
    const int r = real_close(fd);
    if (r == 0) forget(fd);
    if (fail) {
        errno = EIO;
        return -1;
    }
    return r;
}

int dlclose(void* handle) {
    struct link_map* map = NULL;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map != NULL &&
        rule_hits(OP_DLCLOSE, map->l_name)) {
        return 1;
    }
    REAL(dlclose, dlclose_fn);
    return real_dlclose(handle);
}

void* dlopen(const char* file, int flags) {
    if (file != NULL && rule_hits(OP_DLOPEN, file)) return NULL;
    REAL(dlopen, dlopen_fn);
    return real_dlopen(file, flags);
}
