// Loads "PortalLib" the way the tools do and reports what it found:
//   load:<answer>|null missing:<null|found> unload:<1|0>
#include <cstdio>

#include "qk/platform.h"

int main() {
    using namespace qk::platform;
    Library lib = load_library("PortalLib");
    if (lib == nullptr) {
        std::printf("load:null\n");
        return 0;
    }
    auto answer = reinterpret_cast<int (*)()>(find_symbol(lib, "qk_test_answer"));
    std::printf("load:%d", answer ? answer() : -1);
    std::printf(" missing:%s", find_symbol(lib, "qk_no_such_entry") ? "found" : "null");
    std::printf(" unload:%d\n", unload_library(lib) ? 1 : 0);
    return 0;
}
