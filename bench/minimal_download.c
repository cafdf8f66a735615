/* The least a record download has to do, as a reference beside the download
 * benchmark of bench/run.sh: load the gateway library from the program's own
 * folder, open the connection, fetch the records one call each, and store
 * each record's text up to its zero byte in a new file through a 256 KB
 * buffer. Plain C: strnlen and memcpy per record, no parameter file, no log,
 * no keyboard.
 *
 *   minimal_download FIRST LAST FILE
 */
#include <dlfcn.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

typedef int (*OpenFn)(const char*, int, int, int);
typedef int (*RecordFn)(int, int, int, int, char*);

enum { kRecord = 4096, kBuffer = 256 * 1024 };

static char record[kRecord];
static char buffer[kBuffer];

static int store(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n <= 0) return 0;
        data += n;
        size -= (size_t)n;
    }
    return 1;
}

int main(int argc, char** argv) {
    if (argc != 4) return 1;
    const long first = strtol(argv[1], NULL, 10);
    const long last = strtol(argv[2], NULL, 10);

    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 32);
    if (n <= 0) return 2;
    path[n] = '\0';
    char* slash = strrchr(path, '/');
    if (slash == NULL) return 2;
    strcpy(slash + 1, "libPortalLib.so");
    void* lib = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (lib == NULL) return 2;
    void* open_sym = dlsym(lib, "opensocket");
    void* lotr_sym = dlsym(lib, "lotr");
    if (open_sym == NULL || lotr_sym == NULL) return 3;
    OpenFn open_connection;
    RecordFn lotr;
    memcpy(&open_connection, &open_sym, sizeof open_connection);
    memcpy(&lotr, &lotr_sym, sizeof lotr);
    if (open_connection("127.0.0.1", 2003, 2003, 1) != 0) return 4;

    const int fd = open(argv[3], O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (fd < 0) return 5;
    size_t used = 0;
    for (long i = first; i <= last; ++i) {
        if (lotr('S', 0, (int)i, (int)i, record) != 0) return 6;
        const size_t size = strnlen(record, kRecord);
        if (kBuffer - used < size) {
            if (!store(fd, buffer, used)) return 7;
            used = 0;
        }
        memcpy(buffer + used, record, size);
        used += size;
    }
    if (!store(fd, buffer, used) || close(fd) != 0) return 7;
    return 0;
}
