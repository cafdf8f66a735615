/* The least a tool run has to do, as the start-up baseline of bench/run.sh:
 * load the gateway library by name from the program's own folder, resolve
 * the six names a command tool binds, read the parameter file, make one call
 * and append one line to the log. No C++ runtime, no parsing beyond finding
 * the destination number, no error texts.
 *
 *   minimal_run            (in a folder holding PARGAT.INI)
 */
#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

typedef int (*CommandFn)(int, int);

int main(void) {
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 32);
    if (n <= 0) return 1;
    path[n] = '\0';
    char* slash = strrchr(path, '/');
    if (slash == NULL) return 1;
    strcpy(slash + 1, "libPortalLib.so");
    void* lib = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (lib == NULL) return 2;

    static const char* const names[6] = {"opensocket", "closesockets",      "bloq",
                                         "settimeouts", "AddIPRelTableEntry", "setdebug"};
    void* fn[6];
    for (int i = 0; i < 6; ++i) {
        fn[i] = dlsym(lib, names[i]);
        if (fn[i] == NULL) return 3;
    }

    char text[1000];
    int fd = open("PARGAT.INI", O_RDONLY);
    if (fd < 0) return 4;
    ssize_t got = read(fd, text, sizeof text - 1);
    close(fd);
    if (got < 0) return 4;
    text[got] = '\0';

    CommandFn bloq;
    memcpy(&bloq, &fn[2], sizeof bloq);
    const int rc = bloq('S', 0);

    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    struct tm t;
    localtime_r(&ts.tv_sec, &t);
    char line[128];
    const int len = snprintf(line, sizeof line, "MINIMAL|%d/%d/%d|%02d:%02d:%02d,%03d|Error: %02d|\r\n",
                             t.tm_mday, t.tm_mon + 1, t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec,
                             (int)(ts.tv_nsec / 1000000), rc);
    fd = open("ordenes.err", O_WRONLY | O_APPEND | O_CREAT, 0666);
    if (fd < 0) return 5;
    if (write(fd, line, (size_t)len) != len) return 5;
    close(fd);

    dlclose(lib);
    return 0;
}
