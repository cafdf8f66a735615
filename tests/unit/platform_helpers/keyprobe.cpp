// Polls the keyboard like a transfer loop does.
//   keyprobe checks N   N checks; prints the key read at each ("-" when none),
//                       then puts a fresh pipe holding "x" on standard input
//                       and prints "after:1" if a key is seen on it (input
//                       that had ended must stay ended).
//   keyprobe tty        enters raw mode, prints "ready", then waits (at most
//                       20 s) for Escape and prints "esc".
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "qk/platform.h"

using namespace qk::platform;

static int checks(int n) {
    for (int i = 0; i < n; ++i) {
        if (key_waiting()) {
            std::printf("%d ", read_key());
        } else {
            std::printf("- ");
        }
    }
    int fds[2];
    if (pipe(fds) != 0 || write(fds[1], "x", 1) != 1) return 2;
    close(fds[1]);
    dup2(fds[0], 0);
    close(fds[0]);
    std::printf("after:%d\n", key_waiting() ? 1 : 0);
    return 0;
}

static int tty() {
    key_waiting();
    std::printf("ready\n");
    std::fflush(stdout);
    for (int i = 0; i < 2000; ++i) {
        while (key_waiting()) {
            if (read_key() == 27) {
                std::printf("esc\n");
                return 0;
            }
        }
        usleep(10000);
    }
    return 3;
}

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "checks") == 0) return checks(std::stoi(argv[2]));
    if (argc == 2 && std::strcmp(argv[1], "tty") == 0) return tty();
    return 2;
}
