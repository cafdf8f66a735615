// The gateway parameter file "PARGAT.INI" and its relation table.
//
// Keys are found by a plain substring search of the upper-cased text, the
// value begins one character after the key (normally '='), numbers are read
// atoi-style and texts run to the end of their line. The relation table is
// handed entry by entry to the gateway library.
//
// The password tool's frame (QK_FRAME_EARLIER == QK_FRAME_PASS) has the
// earlier reader: no initial values (the defaults step decides what an absent
// key gives), at most 680 characters read, its own default text, no
// INGREDIENTS, sections and terminals 0 to 31, the table registered through
// the AddIPRelTableEntry bound at start, and the file closed only once the
// table is registered.
#include <cstdio>
#include <cstring>

#include "qk/frame.h"

#if defined(QK_FRAME_EARLIER) && QK_FRAME_EARLIER == QK_FRAME_PASS
#define QK_EARLIER_READER 1
#endif

namespace qk {
namespace {

constexpr std::size_t kTextSize = 1000;  // 999 characters and a zero
constexpr std::size_t kIpSize = 16;      // 15 characters and a zero

#if defined(QK_EARLIER_READER)
const char kDefaultText[] =
    "IP_DESTI=192.168.2.5\nPORT_DESTI=2003\nPORT_LOCAL=2003\nREINTENTS=2\nTIMEOUT=2\n"
    "DISPLAY=1\nDEBUG=0\nSIZE_BUFF_BALANZA=1024\n[TABLE]\nNUM_ENTRIES=1\n"
    "SEC1=0 TERM1=0 MASTER1=1 IPASIG1=10.0.0.5";
static_assert(sizeof kDefaultText - 1 == 179, "the earlier default text is 179 characters");
constexpr std::size_t kReadLimit = 680;  // one read; the rest of the file is ignored
constexpr int kHighestScale = 31;        // highest section and terminal number
// The file can be neither read nor created: "pargat.ini not found".
constexpr int kIniMissing = 45;
#else
const char kDefaultText[] =
    "IP_DESTI=192.168.2.5\nPORT_DESTI=2003\nPORT_LOCAL=2003\nREINTENTS=4\nTIMEOUT=2\n"
    "DISPLAY=1\nDEBUG=0\nINGREDIENTS=10\n\n[TABLE]\nNUM_ENTRIES=1\n"
    "SEC1=0 TERM1=0 MASTER1=1 IPASIG1=224.0.0.5\n";
static_assert(sizeof kDefaultText - 1 == 174, "the default text is 174 characters");
// A longer file keeps its first 999 characters; the rest is ignored.
constexpr std::size_t kReadLimit = kTextSize - 1;
constexpr int kHighestScale = 99;
#endif

void upper_case(char* text) {
    for (; *text != '\0'; ++text) {
        if (*text >= 'a' && *text <= 'z') *text = static_cast<char>(*text - 'a' + 'A');
    }
}

// The value of a key: one character after the key name, that character
// skipped whatever it is. A key at the very end of the text has an empty value.
const char* find_value(const char* text, const char* key) {
    const char* at = std::strstr(text, key);
    if (at == nullptr) return nullptr;
    at += std::strlen(key);
    return *at == '\0' ? at : at + 1;
}

// Copies a text value up to the end of its line; what does not fit the
// 15-character field is cut off (an address never has more than 15
// characters, so what is cut is whatever followed it on the line).
void copy_ip(const char* value, char* field) {
    std::memset(field, 0, kIpSize);
    for (std::size_t i = 0; i < kIpSize - 1 && value[i] != '\0' && value[i] != '\n'; ++i) {
        field[i] = value[i];
    }
}

// Creates the file with the default text (the text buffer holds it already,
// upper-cased) as stored in text mode: each LF as CR LF. Written to a
// temporary file and renamed, so that a tool started at the same moment never
// reads it half-written.
int create_default_file(const char* text) {
    char stored[2 * sizeof kDefaultText];
    std::size_t size = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c == '\n') stored[size++] = '\r';
        stored[size++] = *c;
    }
    return platform::create_file_atomically("PARGAT.INI", stored, size);
}

void read_scalars(const char* text, GatewayParams& p) {
    if (const char* v = find_value(text, "IP_DESTI")) copy_ip(v, p.ip_desti);
    struct {
        const char* key;
        int* field;
    } const numbers[] = {
        {"PORT_DESTI", &p.port_desti}, {"PORT_LOCAL", &p.port_local}, {"REINTENTS", &p.reintents},
        {"TIMEOUT", &p.timeout},       {"DISPLAY", &p.display},       {"DEBUG", &p.debug},
#if !defined(QK_EARLIER_READER)
        {"INGREDIENTS", &p.ingredients},
#endif
    };
    for (const auto& n : numbers) {
        if (const char* v = find_value(text, n.key)) *n.field = read_number(v);
    }
}

int register_table(const char* text, const GatewayParams& p, AddIPRelTableEntryFn add_entry) {
    if (std::strstr(text, "[TABLE]") == nullptr) {
        return add_entry(100, 100, 2, p.ip_desti) != 0 ? kEntryRefused : 0;
    }
    const char* v = find_value(text, "NUM_ENTRIES");
    if (v == nullptr) return kTableFormat;
    const int entries = read_number(v);
    if (entries < 1 || entries > 32) return kEntryCount;

    for (int i = 1; i <= entries; ++i) {
        char key[16];
        int values[3];
        const char* names[] = {"SEC", "TERM", "MASTER"};
        const int highest[] = {kHighestScale, kHighestScale, 1};
        for (int k = 0; k < 3; ++k) {
            std::snprintf(key, sizeof key, "%s%d", names[k], i);
            v = find_value(text, key);
            if (v == nullptr) return kTableFormat;
            values[k] = read_number(v);
            if (values[k] < 0 || values[k] > highest[k]) return kTableRange;
        }
        std::snprintf(key, sizeof key, "IPASIG%d", i);
        v = find_value(text, key);
        if (v == nullptr) return kTableFormat;
        char ip[kIpSize];
        copy_ip(v, ip);
        if (add_entry(values[1], values[0], values[2], ip) != 0) return kEntryRefused;
    }
    return 0;
}

#if !defined(QK_EARLIER_READER)

int read_or_create(char* text) {
    std::memset(text, 0, kTextSize);
    platform::File* f = platform::open_file("PARGAT.INI", "rt");
    if (f != nullptr) {
        platform::read_file(f, text, kReadLimit);
        upper_case(text);
        if (!platform::close_file(f)) return kIniClose;
        return 0;
    }
    std::memcpy(text, kDefaultText, sizeof kDefaultText);
    upper_case(text);
    const int rc = create_default_file(text);
    if (rc == kIniCreate) {
        std::printf("Can\xB4t create pargat.ini");
    } else if (rc == kIniWrite) {
        std::printf("Error in writting to pargat.ini");
    }
    return rc;
}

#endif

}  // namespace

int parse_gateway_parameters(const char* data, std::size_t size, GatewayParams& p,
                             AddIPRelTableEntryFn add_entry) {
    // The text as a read leaves it: what fits the read, zero-filled behind.
    static char text[kTextSize];
    std::memset(text, 0, sizeof text);
    if (size > 0) std::memcpy(text, data, size < kReadLimit ? size : kReadLimit);
    upper_case(text);
    read_scalars(text, p);
    if (add_entry == nullptr) return kFunctionLoad;
    return register_table(text, p, add_entry);
}

#if !defined(QK_EARLIER_READER)

int read_gateway_parameters(GatewayParams& p) {
    std::memset(p.ip_desti, 0, sizeof p.ip_desti);
    std::strcpy(p.ip_desti, "224.0.0.5");
    p.port_desti = 2003;
    p.port_local = 2003;
    p.reintents = 4;
    p.timeout = 2;
    p.display = 1;
    p.debug = 0;
    p.ingredients = 10;

    static char text[kTextSize];
    if (const int rc = read_or_create(text)) return rc;
    auto add_entry = reinterpret_cast<AddIPRelTableEntryFn>(
        platform::find_symbol(run.library, "AddIPRelTableEntry"));
    return parse_gateway_parameters(text, sizeof text, p, add_entry);
}

#else

int read_gateway_parameters(GatewayParams& p) {
    static char text[kTextSize];
    std::memset(text, 0, sizeof text);
    int close_rc = 0;
    // The file read stays open until its table is registered.
    platform::File* f = platform::open_file("PARGAT.INI", "rt");
    if (f != nullptr) {
        platform::read_file(f, text, kReadLimit);
    } else {
        std::memcpy(text, kDefaultText, sizeof kDefaultText);
        const int rc = create_default_file(text);
        if (rc == kIniCreate) {
            std::printf("Can\xB4t create pargat.ini");
            return kIniMissing;
        }
        // The count written is not compared: a short write (56) still parses
        // the default text. A failed close is reported like the close of a
        // file read, once the table is registered.
        if (rc == kIniClose) close_rc = kIniClose;
    }
    int rc = parse_gateway_parameters(text, sizeof text, p, run.add_entry);
    // Closed on every way out; a table error is the code that counts.
    if (f != nullptr && !platform::close_file(f) && rc == 0) rc = kIniClose;
    return rc != 0 ? rc : close_rc;
}

#endif

#if defined(QK_FRAME_EARLIER)

void earlier_gateway_defaults(GatewayParams& p) {
    std::memset(p.ip_desti, 0, sizeof p.ip_desti);
    std::strcpy(p.ip_desti, "192.168.2.2");
    p.port_desti = 2003;
    p.port_local = 2003;
    p.reintents = 3;
    p.timeout = 2000;
    p.display = 0;
    p.debug = 0;
    p.ingredients = 0;
}

#endif

}  // namespace qk
