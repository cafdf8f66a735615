// Runs one file operation of the platform layer and prints its outcome, for
// the tests of the fault shim:
//   fileprobe write NAME TEXT    open "wt", write, close: "open:1 wrote:N close:1"
//   fileprobe read NAME          open "rt", read all: "open:1 got:N failed:0 close:1"
//   fileprobe append NAME TEXT   append_whole: "append:1"
//   fileprobe create NAME TEXT   create_file_atomically: "create:<code>"
#include <cstdio>
#include <cstring>

#include "qk/platform.h"

using namespace qk::platform;

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    const char* op = argv[1];
    const char* name = argv[2];
    const char* text = argc > 3 ? argv[3] : "";
    if (std::strcmp(op, "write") == 0) {
        File* f = open_file(name, "wt");
        std::printf("open:%d", f ? 1 : 0);
        if (f) {
            const std::size_t n = write_file(f, text, std::strlen(text));
            std::printf(" wrote:%zu close:%d", n, close_file(f) ? 1 : 0);
        }
    } else if (std::strcmp(op, "read") == 0) {
        File* f = open_file(name, "rt");
        std::printf("open:%d", f ? 1 : 0);
        if (f) {
            char buf[256];
            const std::size_t n = read_file(f, buf, sizeof buf);
            std::printf(" got:%zu failed:%d", n, read_failed(f) ? 1 : 0);
            std::printf(" close:%d", close_file(f) ? 1 : 0);
        }
    } else if (std::strcmp(op, "append") == 0) {
        std::printf("append:%d", append_whole(name, text, std::strlen(text)) ? 1 : 0);
    } else if (std::strcmp(op, "create") == 0) {
        std::printf("create:%d", create_file_atomically(name, text, std::strlen(text)));
    } else {
        return 2;
    }
    std::printf("\n");
    return 0;
}
