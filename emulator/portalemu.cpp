// portalemu: the scale emulator's companion. Seeds a demo network, lists
// and edits what the emulated scales hold, and prints the call journal, so
// that a batch script can be tried before it meets real scales.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "defaults.h"
#include "store.h"

namespace fs = std::filesystem;
using portallib::Records;
using portallib::Store;

namespace {

const char* const kUsage =
    "usage: portalemu [--state DIR] COMMAND [options]\n"
    "\n"
    "The scale emulator's companion. Commands:\n"
    "  seed-demo   write a demo PARGAT.INI (unless one exists) and seed demo records\n"
    "  list        list what the emulated scales hold\n"
    "  get         print one record\n"
    "  put         store one record\n"
    "  clear       remove records\n"
    "  journal     print (or empty) the call journal\n"
    "\n"
    "--state DIR   the state folder (default: $PORTALLIB_STATE, else ./portallib-state);\n"
    "              accepted anywhere on the command line\n"
    "'portalemu COMMAND --help' describes each command.\n";

const char* const kSeedHelp =
    "usage: portalemu seed-demo [--state DIR]\n"
    "\n"
    "Writes PARGAT.INI in the current folder, unless one exists, with a demo\n"
    "relation table: section 1 with terminals 1 (master) and 2, section 2 with\n"
    "terminal 3 (master); the IP texts are 127.0.0.x, never contacted. Then seeds\n"
    "terminal 1 with lots, families, articles, VAT rates, ticket lines, a memory\n"
    "block and a logo, and terminal 3 with lots and ticket lines.\n";

const char* const kListHelp =
    "usage: portalemu list [--scale N|gateway] [--kind K] [--state DIR]\n"
    "\n"
    "Lists each scale's records, kind by kind, one record per line as\n"
    "'<index> <bytes with C escapes>'.\n";

const char* const kGetHelp =
    "usage: portalemu get --scale N|gateway --kind K --index I [--raw] [--state DIR]\n"
    "\n"
    "Prints one record with C escapes and a line end, or with --raw its bytes\n"
    "exactly. Exit status 1 when no such record is stored.\n";

const char* const kPutHelp =
    "usage: portalemu put --scale N|gateway --kind K --index I (--text TEXT | --file PATH) [--state DIR]\n"
    "\n"
    "Stores one record: TEXT with C escapes (\\\\ \\\" \\r \\n \\t \\xHH), or the bytes\n"
    "of a file. Example:\n"
    "  portalemu put --scale 1 --kind lot --index 3 --text 'S 01 003 LOT0003\\r\\n'\n";

const char* const kClearHelp =
    "usage: portalemu clear [--scale N|gateway] [--kind K] [--index I] [--state DIR]\n"
    "\n"
    "Removes the records chosen by the options: all of them when none is given.\n";

const char* const kJournalHelp =
    "usage: portalemu journal [--clear] [--state DIR]\n"
    "\n"
    "Prints the call journal, one line per library call; --clear empties it.\n";

int usage_error(const std::string& message, const char* help) {
    std::fprintf(stderr, "portalemu: %s\n", message.c_str());
    std::fputs(help, stderr);
    return 2;
}

int failure(const std::string& message) {
    std::fprintf(stderr, "portalemu: %s\n", message.c_str());
    return 1;
}

bool parse_int(const std::string& text, int& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(text.c_str(), &end, 10);
    if (*end != '\0' || errno != 0 || v < -2147483648LL || v > 2147483647LL) return false;
    out = static_cast<int>(v);
    return true;
}

struct Options {
    std::optional<int> scale;
    std::optional<std::string> kind;
    std::optional<int> index;
    std::optional<std::string> text;
    std::optional<std::string> file;
    bool raw = false;
    bool clear = false;
    bool help = false;
};

// Reads the options a command allows; returns an error text or "".
std::string parse_options(const std::vector<std::string>& args, const std::vector<std::string>& allowed,
                          Options& o) {
    auto allows = [&](const std::string& name) {
        for (const auto& a : allowed)
            if (a == name) return true;
        return false;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            o.help = true;
            continue;
        }
        if (!allows(a)) return "unknown option '" + a + "'";
        if (a == "--raw") {
            o.raw = true;
            continue;
        }
        if (a == "--clear") {
            o.clear = true;
            continue;
        }
        if (i + 1 >= args.size()) return "option " + a + " needs a value";
        const std::string& v = args[++i];
        int n = 0;
        if (a == "--scale") {
            if (v == "gateway") n = portallib::kGateway;
            else if (!parse_int(v, n)) return "--scale needs a terminal number or 'gateway', not '" + v + "'";
            o.scale = n;
        } else if (a == "--kind") {
            if (!portallib::valid_kind(v)) return "--kind needs 1 to 32 of a-z, 0-9 and _, not '" + v + "'";
            o.kind = v;
        } else if (a == "--index") {
            if (!parse_int(v, n)) return "--index needs a decimal number, not '" + v + "'";
            o.index = n;
        } else if (a == "--text") {
            o.text = v;
        } else if (a == "--file") {
            o.file = v;
        }
    }
    return "";
}

std::string scale_name(int terminal) {
    return terminal == portallib::kGateway ? std::string("gateway") : "scale " + std::to_string(terminal);
}

// ---- seed-demo ----

const char* const kDemoPargat =
    "IP_DESTI=127.0.0.1\r\n"
    "PORT_DESTI=2003\r\n"
    "PORT_LOCAL=2003\r\n"
    "REINTENTS=4\r\n"
    "TIMEOUT=2\r\n"
    "DISPLAY=1\r\n"
    "DEBUG=0\r\n"
    "INGREDIENTS=10\r\n"
    "\r\n"
    "[TABLE]\r\n"
    "NUM_ENTRIES=3\r\n"
    "SEC1=1 TERM1=1 MASTER1=1 IPASIG1=127.0.0.11\r\n"
    "SEC2=1 TERM2=2 MASTER2=0 IPASIG2=127.0.0.12\r\n"
    "SEC3=2 TERM3=3 MASTER3=1 IPASIG3=127.0.0.13\r\n";

std::string line(const char* format, int section, int index, const char* text) {
    char buf[160];
    std::snprintf(buf, sizeof buf, format, section, index, text);
    return buf;
}

int seed_demo(Store& store) {
    bool have_pargat = false;
    std::error_code ec;
    for (fs::directory_iterator it(".", ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        for (char& c : name)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (name == "PARGAT.INI") have_pargat = true;
    }
    if (have_pargat) {
        std::printf("PARGAT.INI exists: left as it is\n");
    } else {
        std::ofstream out("PARGAT.INI", std::ios::binary);
        out << kDemoPargat;
        out.close();
        if (!out) return failure("cannot write PARGAT.INI");
        std::printf("PARGAT.INI written: section 1 = terminals 1 (master) and 2, section 2 = terminal 3\n");
    }

    static const char* const lots[] = {"APPLES GOLDEN", "PEARS CONFERENCE", "ORANGES NAVEL", "BANANAS", "GRAPES WHITE"};
    static const char* const families[] = {"FRUIT", "VEGETABLES", "MEAT", "FISH", "BAKERY"};
    static const char* const articles[] = {"APPLE 1KG   000199", "PEAR 1KG    000249", "ORANGE 1KG  000179",
                                           "BANANA 1KG  000159", "GRAPE 500G  000299"};
    static const char* const rates[] = {"04.00 SUPER REDUCED", "10.00 REDUCED", "21.00 GENERAL", "00.00 EXEMPT"};
    Records& lot = store.records(1, "lot");
    Records& fam = store.records(1, "fam");
    Records& pl = store.records(1, "pl");
    Records& iva = store.records(1, "iva");
    for (int i = 0; i < 5; ++i) {
        lot[i] = line("S %02d %03d %s\r\n", 1, i, lots[i]);
        fam[i] = line("S %02d %03d %s\r\n", 1, i, families[i]);
        pl[i] = line("S %02d %03d %s\r\n", 1, i, articles[i]);
    }
    for (int i = 0; i < 4; ++i) iva[i] = line("S %02d %03d %s\r\n", 1, i, rates[i]);
    Records& lot3 = store.records(3, "lot");
    for (int i = 0; i < 3; ++i) lot3[i] = line("S %02d %03d %s\r\n", 2, i, lots[4 - i]);

    Records& tickets1 = store.records(1, "ticket");
    Records& tickets3 = store.records(3, "ticket");
    tickets1.clear();
    tickets3.clear();
    for (int i = 0; i < 5; ++i) tickets1[i] = line("TOTAL %02d LINE %03d %s", 1, i, "SALES 000123.45");
    for (int i = 0; i < 3; ++i) tickets3[i] = line("TOTAL %02d LINE %03d %s", 3, i, "SALES 000067.89");

    store.records(1, "memory")[0x100] = "DEMO SCALE MEMORY";
    store.records(1, "logo")[0] = portallib::default_image(101, "logo");

    std::string error;
    if (!store.save(&error)) return failure(error);
    std::printf("demo records stored in %s\n", store.dir().string().c_str());
    return 0;
}

// ---- list ----

int list(Store& store, const Options& o) {
    auto present = store.on_disk();
    bool any = false;
    for (const auto& [terminal, kind] : present) {
        if (o.scale && *o.scale != terminal) continue;
        if (o.kind && *o.kind != kind) continue;
        std::string error;
        Records* records = store.find(terminal, kind, &error);
        if (!records) return failure(error);
        any = true;
        std::printf("%s %s: %zu record%s\n", scale_name(terminal).c_str(), kind.c_str(), records->size(),
                    records->size() == 1 ? "" : "s");
        for (const auto& [index, bytes] : *records)
            std::printf("  %d %s\n", index, portallib::escape(bytes).c_str());
    }
    if (!any) std::printf("nothing stored in %s\n", store.dir().string().c_str());
    return 0;
}

// ---- get / put / clear ----

int get(Store& store, const Options& o) {
    if (!o.scale || !o.kind || !o.index) return usage_error("get needs --scale, --kind and --index", kGetHelp);
    std::string error;
    Records* records = store.find(*o.scale, *o.kind, &error);
    if (!records) return failure(error);
    auto it = records->find(*o.index);
    if (it == records->end())
        return failure(scale_name(*o.scale) + " holds no " + *o.kind + " record " + std::to_string(*o.index));
    if (o.raw) std::fwrite(it->second.data(), 1, it->second.size(), stdout);
    else std::printf("%s\n", portallib::escape(it->second).c_str());
    return 0;
}

int put(Store& store, const Options& o) {
    if (!o.scale || !o.kind || !o.index) return usage_error("put needs --scale, --kind and --index", kPutHelp);
    if (o.text.has_value() == o.file.has_value()) return usage_error("put needs either --text or --file", kPutHelp);
    std::string bytes;
    if (o.text) {
        if (!portallib::unescape(*o.text, bytes))
            return usage_error("--text has a malformed escape or a character outside printable ASCII", kPutHelp);
    } else {
        std::ifstream in(*o.file, std::ios::binary);
        if (!in) return failure("cannot read " + *o.file);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    std::string error;
    Records* records = store.find(*o.scale, *o.kind, &error);
    if (!records) return failure(error);
    (*records)[*o.index] = bytes;
    if (!store.save(&error)) return failure(error);
    return 0;
}

int clear(Store& store, const Options& o) {
    std::size_t removed = 0;
    for (const auto& [terminal, kind] : store.on_disk()) {
        if (o.scale && *o.scale != terminal) continue;
        if (o.kind && *o.kind != kind) continue;
        std::string error;
        Records* records = store.find(terminal, kind, &error);
        if (!records) {
            if (o.index) return failure(error);
            // A file that cannot be read is removed whole.
            std::error_code ec;
            fs::remove(Store::file_for(store.dir(), terminal, kind), ec);
            if (ec) return failure(error);
            ++removed;
            continue;
        }
        if (o.index) removed += records->erase(*o.index);
        else {
            removed += records->size();
            records->clear();
        }
    }
    std::string error;
    if (!store.save(&error)) return failure(error);
    std::printf("%zu record%s removed\n", removed, removed == 1 ? "" : "s");
    return 0;
}

int journal(Store& store, const Options& o) {
    fs::path file = store.dir() / "journal.txt";
    if (o.clear) {
        std::error_code ec;
        fs::remove(file, ec);
        if (ec) return failure("cannot remove " + file.string() + ": " + ec.message());
        return 0;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) return 0;  // no call journaled yet
    std::string text(std::istreambuf_iterator<char>(in), {});
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args;
    std::optional<std::string> state;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--state") {
            if (i + 1 >= argc) return usage_error("--state needs a folder", kUsage);
            state = argv[++i];
        } else if (a.compare(0, 8, "--state=") == 0) {
            state = a.substr(8);
        } else {
            args.push_back(a);
        }
    }
    if (state && state->empty()) return usage_error("--state needs a folder", kUsage);
    if (args.empty()) return usage_error("no command given", kUsage);
    std::string command = args.front();
    args.erase(args.begin());
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }

    struct Command {
        const char* name;
        const char* help;
        std::vector<std::string> options;
    };
    const Command commands[] = {
        {"seed-demo", kSeedHelp, {}},
        {"list", kListHelp, {"--scale", "--kind"}},
        {"get", kGetHelp, {"--scale", "--kind", "--index", "--raw"}},
        {"put", kPutHelp, {"--scale", "--kind", "--index", "--text", "--file"}},
        {"clear", kClearHelp, {"--scale", "--kind", "--index"}},
        {"journal", kJournalHelp, {"--clear"}},
    };
    const Command* chosen = nullptr;
    for (const Command& c : commands)
        if (command == c.name) chosen = &c;
    if (!chosen) return usage_error("unknown command '" + command + "'", kUsage);

    Options o;
    std::string error = parse_options(args, chosen->options, o);
    if (o.help) {
        std::fputs(chosen->help, stdout);
        return 0;
    }
    if (!error.empty()) return usage_error(error, chosen->help);

    Store store(state ? fs::path(*state) : Store::default_dir());
    try {
        if (command == "seed-demo") return seed_demo(store);
        if (command == "list") return list(store, o);
        if (command == "get") return get(store, o);
        if (command == "put") return put(store, o);
        if (command == "clear") return clear(store, o);
        return journal(store, o);
    } catch (const std::exception& e) {
        return failure(e.what());
    }
}
