// The parameter file reader on any text: the current frame's, or with
// QK_FUZZ_EARLIER the password tool's earlier one (built against that
// revision of the frame). Every address handed to the gateway, and the
// gateway address kept, must be a terminated text of at most 15 characters,
// and no table entry may be registered outside the ranges the reader checks.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "frame_stubs.h"

namespace {

#if defined(QK_FUZZ_EARLIER)
constexpr int kHighest = 31;
#else
constexpr int kHighest = 99;
#endif

int entries = 0;
int refuse_at = 0;  // the entry the gateway refuses (0: none)

void check_ip(const char* ip) {
    if (ip == nullptr || strnlen(ip, 16) > 15) std::abort();
}

int QK_STDCALL add_entry(int terminal, int section, int master, const char* ip) {
    check_ip(ip);
    const bool table_default = terminal == 100 && section == 100 && master == 2;
    if (!table_default &&
        (terminal < 0 || terminal > kHighest || section < 0 || section > kHighest || master < 0 || master > 1)) {
        std::abort();
    }
    return ++entries == refuse_at ? 1 : 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qk::GatewayParams p{};
    std::memset(p.ip_desti, 'Z', sizeof p.ip_desti - 1);  // the defaults step's address
    p.ip_desti[sizeof p.ip_desti - 1] = '\0';
    entries = 0;
    // The first byte chooses which entry the gateway refuses, and whether
    // the entry point is there at all.
    refuse_at = size > 0 ? data[0] % 40 : 0;
    const bool bound = size == 0 || data[0] != 0xFF;
    const int rc = qk::parse_gateway_parameters(reinterpret_cast<const char*>(data), size, p,
                                                bound ? add_entry : nullptr);
    check_ip(p.ip_desti);
    switch (rc) {
        case 0: case qk::kTableFormat: case qk::kEntryCount: case qk::kTableRange: case qk::kEntryRefused:
            break;
        case qk::kFunctionLoad:
            if (bound) std::abort();
            break;
        default:
            std::abort();
    }
    if (rc == 0 && entries == 0) std::abort();  // every good text registers at least one entry
    if (entries > 32) std::abort();
    return 0;
}
