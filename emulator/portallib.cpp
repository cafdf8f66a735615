// PortalLib: the gateway library of the scale tools, as an emulator.
//
// It answers every entry point the tools resolve, against a network of
// emulated scales whose contents live in the state folder (store.h). It
// never opens a socket: the "connection" is a flag, the scales are the
// relation-table entries registered in this process, and what they hold is
// on disk. Every call is appended to a journal, and a fault plan can make
// chosen calls fail, leave their buffer untouched, fill it, or report more
// ticket lines. docs/emulator.md describes all of it.
//
// A reduced build leaves an entry point out with PORTALLIB_OMIT_<name>.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "defaults.h"
#include "qk/platform.h"  // QK_STDCALL
#include "store.h"

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#define PORTALLIB_API extern "C" __declspec(dllexport)
#else
#include <fcntl.h>
#include <unistd.h>
#define PORTALLIB_API extern "C" __attribute__((visibility("default")))
#endif

namespace fs = std::filesystem;
using portallib::Records;
using portallib::Store;

namespace {

// Buffer sizes of the tools that call each entry point: the library is
// handed no length, so these bound what it ever writes.
constexpr std::size_t kRecordBuffer = 4096;
constexpr std::size_t kMermBuffer = 1024;
constexpr std::size_t kPlirBuffer = 1048;
constexpr std::size_t kModemBuffer = 2000;
constexpr std::size_t kDumpBuffer = 17;
constexpr int kMaxDumpCount = 65536;
constexpr int kMaxAddedLines = 100000;

// Result codes.
constexpr int kNoConnection = -1;   // data call without an open connection
constexpr int kNoAnswer = 3;        // the scale's store cannot be read
constexpr int kNoRecord = 8;        // nothing stored under that index, or a file the library cannot use
constexpr int kBadCommand = 9;      // an argument the scale does not know
constexpr int kBadDestination = 21; // destination letter other than S or T
constexpr int kNoScale = 30;        // no relation-table entry for the destination

void warn(const std::string& text) { std::fprintf(stderr, "portallib: %s\n", text.c_str()); }

struct Scale {
    int terminal;
    int section;
    int master;
    std::string ip;
};

enum class Action { Code, Untouched, Fill, FillFail, Count, Add };

struct Rule {
    std::string name;
    int nth;  // 0: every call
    Action action;
    int value;
    int code = 0;  // FillFail: the code returned after the fill
};

std::string trim(const std::string& s) {
    std::size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return "";
    std::size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

// Decimal int, optional sign, nothing else around it.
bool parse_int(const std::string& text, int& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(text.c_str(), &end, 10);
    if (*end != '\0' || errno != 0 || v < -2147483648LL || v > 2147483647LL) return false;
    if (!(text[0] == '-' || text[0] == '+' || (text[0] >= '0' && text[0] <= '9'))) return false;
    out = static_cast<int>(v);
    return true;
}

bool parse_rule(const std::string& text, Rule& rule) {
    std::size_t eq = text.find('=');
    if (eq == std::string::npos) return false;
    std::string head = trim(text.substr(0, eq)), action = trim(text.substr(eq + 1));
    std::size_t hash = head.find('#');
    rule.nth = 0;
    rule.name = trim(head.substr(0, hash));
    if (rule.name.empty()) return false;
    if (hash != std::string::npos) {
        if (!parse_int(trim(head.substr(hash + 1)), rule.nth) || rule.nth < 1) return false;
    }
    rule.value = 0;
    // A reported line count may be below 0 (a gateway that has no count to
    // give); byte and line counts may not.
    auto with_count = [&](const char* word, Action a, bool may_be_negative = false) {
        std::size_t n = std::strlen(word);
        if (action.compare(0, n, word) != 0) return false;
        rule.action = a;
        return parse_int(action.substr(n), rule.value) && (may_be_negative || rule.value >= 0);
    };
    if (action == "untouched") {
        rule.action = Action::Untouched;
        return true;
    }
    if (action.compare(0, 5, "fill:") == 0) return with_count("fill:", Action::Fill);
    if (action.compare(0, 9, "fillfail:") == 0) {
        // fillfail:N:CODE - the buffer is filled as by fill:N, then CODE is
        // returned: what a gateway leaves behind in a call that fails.
        const std::size_t colon = action.find(':', 9);
        if (colon == std::string::npos) return false;
        rule.action = Action::FillFail;
        return parse_int(action.substr(9, colon - 9), rule.value) && rule.value >= 0 &&
               parse_int(action.substr(colon + 1), rule.code);
    }
    if (action.compare(0, 6, "count:") == 0) return with_count("count:", Action::Count, true);
    if (action.compare(0, 4, "add:") == 0) return with_count("add:", Action::Add);
    rule.action = Action::Code;
    return parse_int(action, rule.value);
}

class Emulator {
public:
    ~Emulator() {
        if (store_) {
            std::string error;
            if (!store_->save(&error)) warn("state not saved: " + error);
        }
        close_journal();
    }

    // Settings are read at the first call, so a process (or a test) can set
    // the environment after loading the library.
    void start() {
        if (store_) return;
        fs::path dir = Store::default_dir();
        std::error_code ec;
        fs::path absolute = fs::absolute(dir, ec);
        state_ = ec ? dir : absolute;
        store_ = std::make_unique<Store>(state_);
        const char* journal = std::getenv("PORTALLIB_JOURNAL");
        journal_on_ = !(journal && std::strcmp(journal, "0") == 0);
        std::ifstream plan(state_ / "faults.txt", std::ios::binary);
        if (plan) add_rules(std::string(std::istreambuf_iterator<char>(plan), {}), "faults.txt");
        if (const char* env = std::getenv("PORTALLIB_FAULTS")) add_rules(env, "PORTALLIB_FAULTS");
    }

    Store& store() { return *store_; }
    bool journal_on() const { return journal_on_; }
    const fs::path& state() const { return state_; }

    // ---- journal ----
    void journal(const std::string& line) {
        if (!journal_on_) return;
        if (!open_journal()) return;
#if defined(_WIN32)
        DWORD written = 0;
        WriteFile(journal_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
#else
        ssize_t written = ::write(journal_, line.data(), line.size());
        (void)written;
#endif
    }

    // ---- fault plan ----
    // Calls are counted only when the plan has rules: nothing else needs it.
    const Rule* rule_for_call(const char* name) {
        if (rules_.empty()) return nullptr;
        return rule_for(name, ++calls_[name]);
    }

    const Rule* rule_for(const std::string& name, int nth) const {
        const Rule* every = nullptr;
        const Rule* this_one = nullptr;
        for (const Rule& r : rules_) {
            if (r.name != name) continue;
            if (r.nth == 0) every = &r;
            else if (r.nth == nth) this_one = &r;
        }
        return this_one ? this_one : every;
    }

    // ---- network ----
    void add_scale(int terminal, int section, int master, const char* ip) {
        for (Scale& s : network_)
            if (s.terminal == terminal) {
                s = Scale{terminal, section, master, ip};
                return;
            }
        network_.push_back(Scale{terminal, section, master, ip});
    }

    // The scales a destination addresses: for reading, the terminal or the
    // section's master (else the first registered of the section); for
    // writing, the terminal or every scale of the section. 0 or the code.
    int resolve(int type, int number, bool for_writing, std::vector<int>& out) const {
        out.clear();
        if (type == 'T') {
            for (const Scale& s : network_)
                if (s.terminal == number) {
                    out.push_back(s.terminal);
                    break;
                }
        } else if (type == 'S') {
            const Scale* first = nullptr;
            const Scale* master = nullptr;
            for (const Scale& s : network_) {
                if (s.section != number) continue;
                if (for_writing) out.push_back(s.terminal);
                if (!first) first = &s;
                if (!master && s.master != 0) master = &s;
            }
            if (!for_writing && first) out.push_back(master ? master->terminal : first->terminal);
        } else {
            return kBadDestination;
        }
        return out.empty() ? kNoScale : 0;
    }

    bool connected = false;
    // Per scale: ticket lines below this index were read in this process.
    std::map<int, long long> ticket_read;

private:
    void add_rules(const std::string& text, const char* where) {
        std::string item;
        auto flush = [&] {
            std::string t = trim(item);
            item.clear();
            if (t.empty() || t[0] == '#') return;
            Rule r;
            if (parse_rule(t, r)) rules_.push_back(r);
            else warn(std::string("fault rule ignored (") + where + "): " + portallib::escape(t));
        };
        for (char c : text) {
            if (c == ';' || c == '\n') flush();
            else item += c;
        }
        flush();
    }

    bool open_journal() {
#if defined(_WIN32)
        if (journal_ != INVALID_HANDLE_VALUE) return true;
#else
        if (journal_ >= 0) return true;
#endif
        if (journal_failed_) return false;
        std::error_code ec;
        fs::create_directories(state_, ec);
        std::string name = (state_ / "journal.txt").string();
#if defined(_WIN32)
        journal_ = CreateFileA(name.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        bool ok = journal_ != INVALID_HANDLE_VALUE;
#else
        journal_ = ::open(name.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        bool ok = journal_ >= 0;
#endif
        if (!ok) {
            journal_failed_ = true;
            warn("cannot open the journal " + name);
        }
        return ok;
    }

    void close_journal() {
#if defined(_WIN32)
        if (journal_ != INVALID_HANDLE_VALUE) CloseHandle(journal_);
        journal_ = INVALID_HANDLE_VALUE;
#else
        if (journal_ >= 0) ::close(journal_);
        journal_ = -1;
#endif
    }

    fs::path state_;
    std::unique_ptr<Store> store_;
    bool journal_on_ = true;
    bool journal_failed_ = false;
#if defined(_WIN32)
    HANDLE journal_ = INVALID_HANDLE_VALUE;
#else
    int journal_ = -1;
#endif
    std::vector<Rule> rules_;
    std::map<std::string, int> calls_;
    std::vector<Scale> network_;
};

// One per loaded library; its destructor (library unloaded, process ending)
// writes back what changed.
Emulator g_emu;

// Loads a scale's store of one kind; nullptr, with a note on standard
// error, when its file cannot be read.
Records* records_of(int terminal, const char* kind) {
    std::string error;
    Records* r = g_emu.store().find(terminal, kind, &error);
    if (!r) warn(error);
    return r;
}

void add_ticket_lines(int type, int number, int lines);

// One entry-point call: journals it, counts it and applies the fault plan.
class Call {
public:
    explicit Call(const char* name) : name_(name) {
        g_emu.start();
        journal_ = g_emu.journal_on();
        if (journal_) line_ = name;
    }

    Call& num(int v) {
        if (!journal_) return *this;
        line_ += ' ';
        line_ += std::to_string(v);
        return *this;
    }
    Call& dest(int type, int number) {
        type_ = type;
        number_ = number;
        has_dest_ = true;
        return num(type).num(number);
    }
    Call& text(const char* s) {
        if (!journal_) return *this;
        if (!s) {
            line_ += " null";
        } else {
            line_ += " \"";
            line_ += portallib::escape(s);
            line_ += '"';
        }
        return *this;
    }
    Call& buf(void* p, std::size_t size) {
        if (journal_) line_ += " buf";
        buf_ = p;
        buf_size_ = size;
        return *this;
    }
    Call& count(int* p) {
        if (journal_) line_ += " count";
        count_ = p;
        return *this;
    }

    // True when the fault plan answers the call; result then holds the answer.
    bool answered(int& result) {
        if (journal_) {
            line_ += '\n';
            g_emu.journal(line_);
        }
        const Rule* rule = g_emu.rule_for_call(name_);
        if (!rule) return false;
        switch (rule->action) {
        case Action::Code: result = rule->value; return true;
        case Action::Untouched: result = 0; return true;
        case Action::Fill:
            if (buf_) std::memset(buf_, 'X', std::min(static_cast<std::size_t>(rule->value), buf_size_));
            result = 0;
            return true;
        case Action::FillFail:
            if (buf_) std::memset(buf_, 'X', std::min(static_cast<std::size_t>(rule->value), buf_size_));
            result = rule->code;
            return true;
        case Action::Count:
            if (!count_) return false;
            *count_ = rule->value;
            result = 0;
            return true;
        case Action::Add:
            if (has_dest_) add_ticket_lines(type_, number_, std::min(rule->value, kMaxAddedLines));
            return false;
        }
        return false;
    }

private:
    const char* name_;
    bool journal_ = false;
    std::string line_;
    int type_ = 0, number_ = 0;
    bool has_dest_ = false;
    void* buf_ = nullptr;
    std::size_t buf_size_ = 0;
    int* count_ = nullptr;
};

template <class F>
int guarded(F&& body) {
    try {
        return body();
    } catch (const std::exception& e) {
        warn(e.what());
    } catch (...) {
        warn("unexpected failure");
    }
    return kNoConnection;
}

// Copies at most cap bytes and a terminating zero (the buffer holds cap + 1).
void copy_out(const std::string& bytes, void* buf, std::size_t cap) {
    std::size_t n = std::min(bytes.size(), cap);
    std::memcpy(buf, bytes.data(), n);
    static_cast<char*>(buf)[n] = '\0';
}

// The one scale a read addresses, with its store of a kind.
int reading(int type, int number, const char* kind, int& terminal, Records*& records) {
    std::vector<int> scales;
    if (int rc = g_emu.resolve(type, number, false, scales)) return rc;
    terminal = scales.front();
    records = records_of(terminal, kind);
    return records ? 0 : kNoAnswer;
}

// Every scale a write addresses, each with its store of a kind; all loaded
// before anything changes, so a write reaches all of them or none.
int writing(int type, int number, const char* kind, std::vector<std::pair<int, Records*>>& out) {
    std::vector<int> scales;
    out.clear();
    if (int rc = g_emu.resolve(type, number, true, scales)) return rc;
    for (int t : scales) {
        Records* r = records_of(t, kind);
        if (!r) return kNoAnswer;
        out.emplace_back(t, r);
    }
    return 0;
}

void add_ticket_lines(int type, int number, int lines) {
    int terminal = 0;
    Records* tickets = nullptr;
    if (reading(type, number, "ticket", terminal, tickets) != 0) return;
    long long next = tickets->empty() ? 0 : static_cast<long long>(tickets->rbegin()->first) + 1;
    for (int k = 0; k < lines && next <= 2147483647LL; ++k, ++next)
        (*tickets)[static_cast<int>(next)] = portallib::generated_ticket_line(terminal, static_cast<int>(next));
}

int read_record(int type, int number, const char* kind, int index, char* buf, std::size_t cap) {
    if (!buf) return kNoConnection;
    int terminal = 0;
    Records* records = nullptr;
    if (int rc = reading(type, number, kind, terminal, records)) return rc;
    auto it = records->find(index);
    if (it == records->end()) return kNoRecord;
    copy_out(it->second, buf, cap);
    return 0;
}

int write_record(int type, int number, const char* kind, int index, const std::string& bytes) {
    std::vector<std::pair<int, Records*>> targets;
    if (int rc = writing(type, number, kind, targets)) return rc;
    for (auto& [terminal, records] : targets) (*records)[index] = bytes;
    return 0;
}

int write_line(int type, int number, const char* kind, int index, const char* line) {
    if (!line) return kNoConnection;
    return write_record(type, number, kind, index, line);
}

int clear_kinds(int type, int number, std::initializer_list<const char*> kinds) {
    std::vector<std::vector<std::pair<int, Records*>>> all;
    for (const char* kind : kinds) {
        all.emplace_back();
        if (int rc = writing(type, number, kind, all.back())) return rc;
    }
    for (auto& targets : all)
        for (auto& [terminal, records] : targets) records->clear();
    return 0;
}

// Benchmark mode, PORTALLIB_SYNTHETIC_RECORDS=N (N from 1 to 4095): once the
// connection is open, every record download returns at once an N-byte text
// made for the call, without journal, fault plan, addressing or store, so that
// a timing of a download measures the tool. The text is the line header of
// the call (type letter, number in two digits, index in seven), the digits 0
// to 9 repeated, and CR LF, cut to N bytes and to the buffer.
//
// The text and its zero byte reach the buffer in whole 16-byte blocks (zeros
// after the zero byte, as far as the block and the buffer go): a caller that
// reads the record in blocks right after the call then takes each from one
// store, rather than waiting for several overlapping ones to land.
struct Synthetic {
    int state = -1;        // -1: setting not read yet; 0: off; 1: on
    std::size_t size = 0;  // N
    bool made = false;     // text holds the text of made_type, made_number
    int made_type = 0, made_number = 0;
    std::size_t digits_at = 0;  // where the seven index digits begin
    long long text_index = 0;  // the index whose digits the text holds
    // Bytes of the whole 16-byte blocks that hold the text and its zero byte;
    // 0 when the text is shorter than its header (cut through the digits).
    std::size_t blocks = 0;
    char text[kRecordBuffer + 16];  // the text, then zeros
};
Synthetic g_synthetic;

// Reads the setting (first call) and makes the text for a new destination:
// the rare part, kept out of the per-call path.
[[gnu::noinline]] void prepare_synthetic(int type, int number) {
    Synthetic& s = g_synthetic;
    if (s.state < 0) {
        s.state = 0;
        const char* v = std::getenv("PORTALLIB_SYNTHETIC_RECORDS");
        if (v == nullptr || *v == '\0') return;
        char* end = nullptr;
        const long n = std::strtol(v, &end, 10);
        if (*end != '\0' || n < 1 || n > static_cast<long>(kRecordBuffer) - 1) return;
        s.size = static_cast<std::size_t>(n);
        s.state = 1;
    }
    if (s.state == 0 || (s.made && s.made_type == type && s.made_number == number)) return;
    const unsigned char letter = static_cast<unsigned char>(type);
    const int head = std::snprintf(s.text, sizeof s.text, "%c %02d 0000000 ",
                                   letter >= 0x20 && letter <= 0x7e ? letter : '?', number);
    s.digits_at = static_cast<std::size_t>(head) - 8;
    std::size_t k = static_cast<std::size_t>(head);
    for (char digit = '0'; k + 2 < s.size; ++k, digit = digit == '9' ? '0' : static_cast<char>(digit + 1))
        s.text[k] = digit;
    if (k < s.size) s.text[k++] = '\r';
    if (k < s.size) s.text[k++] = '\n';
    std::memset(s.text + s.size, 0, sizeof s.text - s.size);
    s.made = true;
    s.made_type = type;
    s.made_number = number;
    s.text_index = 0;  // the header holds 0000000
    s.blocks = s.digits_at + 7 <= s.size ? (s.size + 16) / 16 * 16 : 0;
}

// Writes the seven digits of the index (of its magnitude, when it is
// negative; the lowest seven of a larger one) into the text.
[[gnu::noinline]] void write_index_digits(char* digits, long long index) {
    unsigned long long rest = static_cast<unsigned long long>(index < 0 ? -index : index);
    for (int k = 7; k-- > 0; rest /= 10) digits[k] = static_cast<char>('0' + rest % 10);
}

// True when the synthetic mode answered the call (result 0, buffer filled).
[[gnu::always_inline]] inline bool synthetic_record(int type, int number, int index, char* buf, std::size_t cap) {
    Synthetic& s = g_synthetic;
    if (s.state == 0 || !g_emu.connected || buf == nullptr) return false;
    if (!s.made || s.made_type != type || s.made_number != number) [[unlikely]] {
        prepare_synthetic(type, number);
        if (!s.made) return false;
    }
    char* const digits = s.text + s.digits_at;
    if (index != s.text_index) [[unlikely]] write_index_digits(digits, index);
    if (s.blocks != 0 && s.blocks <= cap + 1) [[likely]] {
        for (std::size_t k = 0; k < s.blocks; k += 16) std::memcpy(buf + k, s.text + k, 16);
    } else {  // cut to the buffer, or shorter than its header
        const std::size_t n = s.size < cap ? s.size : cap;
        std::memcpy(buf, s.text, n);
        buf[n] = '\0';
    }
    // The digits of the next index of a run are written now, long before the
    // next call copies them: a copy right after they were written would wait
    // for those single-byte stores to land. Counting up carries only through
    // the digits that change (and wraps at seven digits, as the lowest seven
    // of the next index do); counting down from a negative index rewrites them.
    const long long next = static_cast<long long>(index) + 1;
    if (index >= 0) [[likely]] {
        for (char* d = digits + 7; d-- != digits;) {
            if (*d != '9') {
                ++*d;
                break;
            }
            *d = '0';
        }
    } else {
        write_index_digits(digits, next);
    }
    s.text_index = next;
    return true;
}

// Record download: f(type, number, i, i, buf).
[[gnu::noinline]] int download_stored(const char* name, const char* kind, int type, int number, int first, int last,
                                      char* buf, std::size_t size) {
    return guarded([&] {
        Call c(name);
        c.dest(type, number).num(first).num(last).buf(buf, size);
        int rc = 0;
        if (c.answered(rc)) return rc;
        if (!g_emu.connected) return kNoConnection;
        return read_record(type, number, kind, first, buf, size - 1);
    });
}

// Inlined into each entry point, so that a synthetic answer costs no further call.
[[gnu::always_inline]] inline int download(const char* name, const char* kind, int type, int number, int first,
                                           int last, char* buf, std::size_t size = kRecordBuffer) {
    if (synthetic_record(type, number, first, buf, size - 1)) return 0;
    return download_stored(name, kind, type, number, first, last, buf, size);
}

// Benchmark mode, PORTALLIB_ACCEPT_ALL=1: once the connection is open, every
// record upload is accepted at once, without journal, fault plan or storing,
// so that a timing measures the tool rather than the emulator.
bool accept_all() {
    static const bool on = [] {
        const char* v = std::getenv("PORTALLIB_ACCEPT_ALL");
        return v != nullptr && std::strcmp(v, "1") == 0;
    }();
    return on && g_emu.connected;
}

// Record upload: f(type, number, i, i, line).
int upload(const char* name, const char* kind, int type, int number, int first, int last, const char* line) {
    if (accept_all()) return 0;
    return guarded([&] {
        Call c(name);
        c.dest(type, number).num(first).num(last).text(line);
        int rc = 0;
        if (c.answered(rc)) return rc;
        if (!g_emu.connected) return kNoConnection;
        return write_line(type, number, kind, first, line);
    });
}

// Fixed-size download with four arguments: f(type, number, i, buf).
int download4(const char* name, const char* kind, int type, int number, int index, char* buf) {
    if (synthetic_record(type, number, index, buf, kRecordBuffer - 1)) return 0;
    return guarded([&] {
        Call c(name);
        c.dest(type, number).num(index).buf(buf, kRecordBuffer);
        int rc = 0;
        if (c.answered(rc)) return rc;
        if (!g_emu.connected) return kNoConnection;
        return read_record(type, number, kind, index, buf, kRecordBuffer - 1);
    });
}

// Fixed-size upload with four arguments: f(type, number, i, line).
int upload4(const char* name, const char* kind, int type, int number, int index, const char* line) {
    if (accept_all()) return 0;
    return guarded([&] {
        Call c(name);
        c.dest(type, number).num(index).text(line);
        int rc = 0;
        if (c.answered(rc)) return rc;
        if (!g_emu.connected) return kNoConnection;
        return write_line(type, number, kind, index, line);
    });
}

// Clearing command: f(type, number, param).
int clear_command(const char* name, int type, int number, int param, std::initializer_list<const char*> kinds) {
    return guarded([&] {
        Call c(name);
        c.dest(type, number).num(param);
        int rc = 0;
        if (c.answered(rc)) return rc;
        if (!g_emu.connected) return kNoConnection;
        std::vector<int> scales;
        if (int code = g_emu.resolve(type, number, true, scales)) return code;
        if (int code = clear_kinds(type, number, kinds)) return code;
        for (const char* kind : kinds)
            if (std::strcmp(kind, "ticket") == 0)
                for (int t : scales) g_emu.ticket_read.erase(t);
        return 0;
    });
}

// Local files that the image and label functions read and write. On a
// case-sensitive file system a name that differs only in case from an
// existing file means that file, as on the scales' usual back office.
fs::path local_name(const char* name) {
    fs::path p(name);
#if !defined(_WIN32)
    std::error_code ec;
    if (fs::exists(p, ec)) return p;
    fs::path folder = p.parent_path();
    auto lower = [](std::string s) {
        for (char& ch : s)
            if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
        return s;
    };
    std::string want = lower(p.filename().string());
    fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::string have = it->path().filename().string();
        if (lower(have) == want) return folder / have;
    }
#endif
    return p;
}

bool read_local(const char* name, std::string& bytes) {
    std::ifstream in(local_name(name), std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), {});
    return !in.bad();
}

bool write_local(const char* name, const std::string& bytes) {
    std::ofstream out(local_name(name), std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

// logor/formr: the scale's image into the named file.
int image_read(const char* name, const char* kind, int type, int number, const char* file) {
    return guarded([&] {
        Call c(name);
        c.dest(type, number).text(file);
        int rc = 0;
        if (c.answered(rc)) return rc;
        if (!g_emu.connected) return kNoConnection;
        if (!file) return kNoRecord;
        int terminal = 0;
        Records* records = nullptr;
        if (int code = reading(type, number, kind, terminal, records)) return code;
        auto it = records->find(0);
        std::string bytes = it != records->end() ? it->second : portallib::default_image(terminal, kind);
        return write_local(file, bytes) ? 0 : kNoRecord;
    });
}

}  // namespace

// ---- Service functions ---------------------------------------------------------

#ifndef PORTALLIB_OMIT_setdebug
PORTALLIB_API int QK_STDCALL setdebug(int a, int b, int c, int d) {
    return guarded([&] {
        Call call("setdebug");
        call.num(a).num(b).num(c).num(d);
        int rc = 0;
        if (call.answered(rc)) return rc;
        return 0;
    });
}
#endif

#ifndef PORTALLIB_OMIT_settimeouts
PORTALLIB_API int QK_STDCALL settimeouts(int ms, int retries, int unused, int mode) {
    return guarded([&] {
        Call call("settimeouts");
        call.num(ms).num(retries).num(unused).num(mode);
        int rc = 0;
        if (call.answered(rc)) return rc;
        return 0;
    });
}
#endif

#ifndef PORTALLIB_OMIT_opensocket
PORTALLIB_API int QK_STDCALL opensocket(const char* ip, int port_local, int port_desti, int count) {
    return guarded([&] {
        Call call("opensocket");
        call.text(ip).num(port_local).num(port_desti).num(count);
        int rc = 0;
        if (call.answered(rc)) return rc;
        if (!ip) return kNoConnection;
        g_emu.connected = true;
        return 0;
    });
}
#endif

#ifndef PORTALLIB_OMIT_closesockets
PORTALLIB_API int QK_STDCALL closesockets() {
    return guarded([&] {
        Call call("closesockets");
        int rc = 0;
        if (call.answered(rc)) return rc;
        g_emu.connected = false;
        std::string error;
        if (!g_emu.store().save(&error)) {
            warn("state not saved: " + error);
            return kNoConnection;
        }
        return 0;
    });
}
#endif

#ifndef PORTALLIB_OMIT_AddIPRelTableEntry
PORTALLIB_API int QK_STDCALL AddIPRelTableEntry(int terminal, int section, int master, const char* ip) {
    return guarded([&] {
        Call call("AddIPRelTableEntry");
        call.num(terminal).num(section).num(master).text(ip);
        int rc = 0;
        if (call.answered(rc)) return rc;
        if (!ip) return kNoConnection;
        g_emu.add_scale(terminal, section, master, ip);
        return 0;
    });
}
#endif

#ifndef PORTALLIB_OMIT_NLinVolcToRead
PORTALLIB_API int QK_STDCALL NLinVolcToRead(int type, int number, int* count) {
    return guarded([&] {
        Call call("NLinVolcToRead");
        call.dest(type, number).count(count);
        int rc = 0;
        if (call.answered(rc)) return rc;
        if (!g_emu.connected || !count) return kNoConnection;
        int terminal = 0;
        Records* tickets = nullptr;
        if (int code = reading(type, number, "ticket", terminal, tickets)) return code;
        long long mark = g_emu.ticket_read[terminal];
        long long waiting = 0;
        for (const auto& line : *tickets)
            if (line.first >= mark) ++waiting;
        *count = static_cast<int>(waiting);
        return 0;
    });
}
#endif

#ifndef PORTALLIB_OMIT_DumpMax
PORTALLIB_API int QK_STDCALL DumpMax(int type, int number, int address, int count, unsigned char* buf) {
    return guarded([&] {
        Call call("DumpMax");
        call.dest(type, number).num(address).num(count).buf(buf, kDumpBuffer);
        int rc = 0;
        if (call.answered(rc)) return rc;
        if (!g_emu.connected || !buf) return kNoConnection;
        if (count < 0 || count > kMaxDumpCount) return kBadCommand;
        int terminal = 0;
        Records* memory = nullptr;
        if (int code = reading(type, number, "memory", terminal, memory)) return code;
        for (int k = 0; k < count; ++k)
            buf[k] = portallib::memory_byte(*memory, static_cast<std::uint32_t>(address) + static_cast<std::uint32_t>(k),
                                            terminal);
        return 0;
    });
}
#endif

// ---- Record downloads ------------------------------------------------------------

#define PORTALLIB_DOWNLOAD(fn, kind, size)                                                      \
    PORTALLIB_API int QK_STDCALL fn(int type, int number, int first, int last, char* buf) {     \
        return download(#fn, kind, type, number, first, last, buf, size);                       \
    }

#ifndef PORTALLIB_OMIT_cor
PORTALLIB_DOWNLOAD(cor, "co", kRecordBuffer)
#endif
#ifndef PORTALLIB_OMIT_tlotr
PORTALLIB_DOWNLOAD(tlotr, "tlot", kRecordBuffer)
#endif
#ifndef PORTALLIB_OMIT_acplr
PORTALLIB_DOWNLOAD(acplr, "acpl", kRecordBuffer)
#endif
#ifndef PORTALLIB_OMIT_lotr
PORTALLIB_DOWNLOAD(lotr, "lot", kRecordBuffer)
#endif
#ifndef PORTALLIB_OMIT_car
PORTALLIB_DOWNLOAD(car, "ca", kRecordBuffer)
#endif
#ifndef PORTALLIB_OMIT_famr
PORTALLIB_DOWNLOAD(famr, "fam", kRecordBuffer)
#endif
#ifndef PORTALLIB_OMIT_acvnr
PORTALLIB_DOWNLOAD(acvnr, "acvn", kRecordBuffer)
#endif
#ifndef PORTALLIB_OMIT_ivar
PORTALLIB_DOWNLOAD(ivar, "iva", kRecordBuffer)
#endif
#ifndef PORTALLIB_OMIT_fimr
PORTALLIB_DOWNLOAD(fimr, "fim", kRecordBuffer)
#endif
#ifndef PORTALLIB_OMIT_cmdr
PORTALLIB_DOWNLOAD(cmdr, "cmd", kRecordBuffer)
#endif
#ifndef PORTALLIB_OMIT_mermr
PORTALLIB_DOWNLOAD(mermr, "merm", kMermBuffer)
#endif
#ifndef PORTALLIB_OMIT_plir
PORTALLIB_DOWNLOAD(plir, "pli", kPlirBuffer)
#endif
// Fixed-size records with five arguments: the stored bytes, at most 4095.
#ifndef PORTALLIB_OMIT_volcador
PORTALLIB_DOWNLOAD(volcador, "volcado", kRecordBuffer)
#endif
#ifndef PORTALLIB_OMIT_totvnr
PORTALLIB_DOWNLOAD(totvnr, "totvn", kRecordBuffer)
#endif
#ifndef PORTALLIB_OMIT_opvnr
PORTALLIB_DOWNLOAD(opvnr, "opvn", kRecordBuffer)
#endif
#ifndef PORTALLIB_OMIT_famfiltr
PORTALLIB_DOWNLOAD(famfiltr, "famfilt", kRecordBuffer)
#endif

#ifndef PORTALLIB_OMIT_plr
PORTALLIB_API int QK_STDCALL plr(int type, int number, int first, int last, char* buf, int zero) {
    if (synthetic_record(type, number, first, buf, kRecordBuffer - 1)) return 0;
    return guarded([&] {
        Call c("plr");
        c.dest(type, number).num(first).num(last).buf(buf, kRecordBuffer).num(zero);
        int rc = 0;
        if (c.answered(rc)) return rc;
        if (!g_emu.connected) return kNoConnection;
        return read_record(type, number, "pl", first, buf, kRecordBuffer - 1);
    });
}
#endif

namespace {
const char* const kBobKinds[4] = {"bob0", "bob1", "bob2", "bob3"};
}

#ifndef PORTALLIB_OMIT_bobr
PORTALLIB_API int QK_STDCALL bobr(int type, int number, int first, int last, char* buf, int selector) {
    if (synthetic_record(type, number, first, buf, kRecordBuffer - 1)) return 0;
    return guarded([&] {
        Call c("bobr");
        c.dest(type, number).num(first).num(last).buf(buf, kRecordBuffer).num(selector);
        int rc = 0;
        if (c.answered(rc)) return rc;
        if (!g_emu.connected) return kNoConnection;
        if (selector < 0 || selector > 3) return kBadCommand;
        return read_record(type, number, kBobKinds[selector], first, buf, kRecordBuffer - 1);
    });
}
#endif

#ifndef PORTALLIB_OMIT_relr
PORTALLIB_API int QK_STDCALL relr(int type, int number, char* buf) {
    return guarded([&] {
        Call c("relr");
        c.dest(type, number).buf(buf, kRecordBuffer);
        int rc = 0;
        if (c.answered(rc)) return rc;
        if (!g_emu.connected) return kNoConnection;
        return read_record(type, number, "rel", 0, buf, kRecordBuffer - 1);
    });
}
#endif

#ifndef PORTALLIB_OMIT_taramr
PORTALLIB_API int QK_STDCALL taramr(int type, int number, int index, char* buf) {
    return download4("taramr", "taram", type, number, index, buf);
}
#endif

#ifndef PORTALLIB_OMIT_lotfiltr
PORTALLIB_API int QK_STDCALL lotfiltr(int type, int number, int index, char* buf) {
    return download4("lotfiltr", "lotfilt", type, number, index, buf);
}
#endif

// Header record 0, when none is stored, counts the records from 1 on.
#ifndef PORTALLIB_OMIT_totvnxr
PORTALLIB_API int QK_STDCALL totvnxr(int type, int number, int first, int last, char* buf) {
    return guarded([&] {
        Call c("totvnxr");
        c.dest(type, number).num(first).num(last).buf(buf, kRecordBuffer);
        int rc = 0;
        if (c.answered(rc)) return rc;
        if (!g_emu.connected || !buf) return kNoConnection;
        int terminal = 0;
        Records* records = nullptr;
        if (int code = reading(type, number, "totvnx", terminal, records)) return code;
        auto it = records->find(first);
        if (it != records->end()) {
            copy_out(it->second, buf, kRecordBuffer - 1);
            return 0;
        }
        if (first != 0) return kNoRecord;
        long long counted = std::distance(records->upper_bound(0), records->end());
        copy_out(portallib::totvnx_header(type, number, counted), buf, kRecordBuffer - 1);
        return 0;
    });
}
#endif

#ifndef PORTALLIB_OMIT_cfgmr
PORTALLIB_API int QK_STDCALL cfgmr(int type, int number, int kind, char* buf) {
    return guarded([&] {
        Call c("cfgmr");
        c.dest(type, number).num(kind).buf(buf, kRecordBuffer);
        int rc = 0;
        if (c.answered(rc)) return rc;
        if (!g_emu.connected || !buf) return kNoConnection;
        int terminal = 0;
        Records* records = nullptr;
        if (int code = reading(type, number, "cfgm", terminal, records)) return code;
        if (portallib::config_block_size(kind) == 0) return kBadCommand;
        auto it = records->find(kind);
        copy_out(it != records->end() ? it->second : portallib::default_config_block(kind, terminal), buf,
                 kRecordBuffer - 1);
        return 0;
    });
}
#endif

// ---- Record uploads ----------------------------------------------------------------

#define PORTALLIB_UPLOAD(fn, kind)                                                                 \
    PORTALLIB_API int QK_STDCALL fn(int type, int number, int first, int last, const char* line) { \
        return upload(#fn, kind, type, number, first, last, line);                                 \
    }

#ifndef PORTALLIB_OMIT_tlotw
PORTALLIB_UPLOAD(tlotw, "tlot")
#endif
#ifndef PORTALLIB_OMIT_cbw
PORTALLIB_UPLOAD(cbw, "cb")
#endif
#ifndef PORTALLIB_OMIT_volcadow
PORTALLIB_UPLOAD(volcadow, "volcado")
#endif
#ifndef PORTALLIB_OMIT_opvnw
PORTALLIB_UPLOAD(opvnw, "opvn")
#endif
#ifndef PORTALLIB_OMIT_ivaw
PORTALLIB_UPLOAD(ivaw, "iva")
#endif
#ifndef PORTALLIB_OMIT_vnw
PORTALLIB_UPLOAD(vnw, "vn")
#endif
#ifndef PORTALLIB_OMIT_famw
PORTALLIB_UPLOAD(famw, "fam")
#endif
#ifndef PORTALLIB_OMIT_cow
PORTALLIB_UPLOAD(cow, "co")
#endif
#ifndef PORTALLIB_OMIT_totvnw
PORTALLIB_UPLOAD(totvnw, "totvn")
#endif
#ifndef PORTALLIB_OMIT_famfiltw
PORTALLIB_UPLOAD(famfiltw, "famfilt")
#endif
#ifndef PORTALLIB_OMIT_lotw
PORTALLIB_UPLOAD(lotw, "lot")
#endif
#ifndef PORTALLIB_OMIT_caw
PORTALLIB_UPLOAD(caw, "ca")
#endif
#ifndef PORTALLIB_OMIT_pldw
PORTALLIB_UPLOAD(pldw, "pl")
#endif
#ifndef PORTALLIB_OMIT_totvnxw
PORTALLIB_UPLOAD(totvnxw, "totvnx")
#endif
#ifndef PORTALLIB_OMIT_mermw
PORTALLIB_UPLOAD(mermw, "merm")
#endif

#ifndef PORTALLIB_OMIT_bobw
PORTALLIB_API int QK_STDCALL bobw(int type, int number, int first, int last, const char* line, int selector) {
    if (accept_all()) return 0;
    return guarded([&] {
        Call c("bobw");
        c.dest(type, number).num(first).num(last).text(line).num(selector);
        int rc = 0;
        if (c.answered(rc)) return rc;
        if (!g_emu.connected) return kNoConnection;
        if (selector < 0 || selector > 3) return kBadCommand;
        return write_line(type, number, kBobKinds[selector], first, line);
    });
}
#endif

#ifndef PORTALLIB_OMIT_taramw
PORTALLIB_API int QK_STDCALL taramw(int type, int number, int index, const char* line) {
    return upload4("taramw", "taram", type, number, index, line);
}
#endif

#ifndef PORTALLIB_OMIT_lotfiltw
PORTALLIB_API int QK_STDCALL lotfiltw(int type, int number, int index, const char* line) {
    return upload4("lotfiltw", "lotfilt", type, number, index, line);
}
#endif

// An ingredient text arrives without its CR and with the command line's
// range; it is kept under the index its own header names (from character 5,
// read like atoi), with CR LF added, so that a download of ingredient texts
// is a file the ingredient upload reads again.
#ifndef PORTALLIB_OMIT_pliw
PORTALLIB_API int QK_STDCALL pliw(int type, int number, int first, int last, const char* record) {
    if (accept_all()) return 0;
    return guarded([&] {
        Call c("pliw");
        c.dest(type, number).num(first).num(last).text(record);
        int rc = 0;
        if (c.answered(rc)) return rc;
        if (!g_emu.connected) return kNoConnection;
        if (!record) return kNoConnection;
        std::size_t length = std::strlen(record);
        long long index = 0;
        if (length > 5) {
            const char* p = record + 5;
            while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
            bool negative = *p == '-';
            if (*p == '-' || *p == '+') ++p;
            for (; *p >= '0' && *p <= '9' && index <= 2147483648LL; ++p) index = index * 10 + (*p - '0');
            if (negative) index = -index;
            index = std::clamp(index, -2147483648LL, 2147483647LL);
        }
        return write_record(type, number, "pli", static_cast<int>(index), std::string(record, length) + "\r\n");
    });
}
#endif

// ---- Images, labels, memory ----------------------------------------------------------

#ifndef PORTALLIB_OMIT_logor
PORTALLIB_API int QK_STDCALL logor(int type, int number, const char* file) {
    return image_read("logor", "logo", type, number, file);
}
#endif

#ifndef PORTALLIB_OMIT_formr
PORTALLIB_API int QK_STDCALL formr(int type, int number, const char* file) {
    return image_read("formr", "form", type, number, file);
}
#endif

#ifndef PORTALLIB_OMIT_logow
PORTALLIB_API int QK_STDCALL logow(int type, int number, const char* file) {
    return guarded([&] {
        Call c("logow");
        c.dest(type, number).text(file);
        int rc = 0;
        if (c.answered(rc)) return rc;
        if (!g_emu.connected) return kNoConnection;
        std::string bytes;
        if (!file || !read_local(file, bytes)) return kNoRecord;
        return write_record(type, number, "logo", 0, bytes);
    });
}
#endif

#ifndef PORTALLIB_OMIT_labelr
PORTALLIB_API int QK_STDCALL labelr(int type, int number, int label, const char* file) {
    return guarded([&] {
        Call c("labelr");
        c.dest(type, number).num(label).text(file);
        int rc = 0;
        if (c.answered(rc)) return rc;
        if (!g_emu.connected) return kNoConnection;
        if (!file) return kNoRecord;
        int terminal = 0;
        Records* labels = nullptr;
        if (int code = reading(type, number, "label", terminal, labels)) return code;
        auto it = labels->find(label);
        if (it == labels->end()) return kNoRecord;
        return write_local(file, it->second) ? 0 : kNoRecord;
    });
}
#endif

#ifndef PORTALLIB_OMIT_labelw
PORTALLIB_API int QK_STDCALL labelw(int type, int number, int label, const char* file) {
    return guarded([&] {
        Call c("labelw");
        c.dest(type, number).num(label).text(file);
        int rc = 0;
        if (c.answered(rc)) return rc;
        if (!g_emu.connected) return kNoConnection;
        std::string bytes;
        if (!file || !read_local(file, bytes)) return kNoRecord;
        return write_record(type, number, "label", label, bytes);
    });
}
#endif

// ---- Commands ------------------------------------------------------------------------

#ifndef PORTALLIB_OMIT_clrgt
PORTALLIB_API int QK_STDCALL clrgt(int type, int number, int param) {
    return clear_command("clrgt", type, number, param, {"totvn", "totvnx", "ticket"});
}
#endif

#ifndef PORTALLIB_OMIT_clrmerm
PORTALLIB_API int QK_STDCALL clrmerm(int type, int number, int param) {
    return clear_command("clrmerm", type, number, param, {"merm"});
}
#endif

#ifndef PORTALLIB_OMIT_clrcmd
PORTALLIB_API int QK_STDCALL clrcmd(int type, int number, int param) {
    return clear_command("clrcmd", type, number, param, {"cmd"});
}
#endif

#ifndef PORTALLIB_OMIT_bloq
PORTALLIB_API int QK_STDCALL bloq(int type, int number) {
    return guarded([&] {
        Call c("bloq");
        c.dest(type, number);
        int rc = 0;
        if (c.answered(rc)) return rc;
        if (!g_emu.connected) return kNoConnection;
        return write_record(type, number, "lock", 0, "1");
    });
}
#endif

#ifndef PORTALLIB_OMIT_label_er
PORTALLIB_API int QK_STDCALL label_er(int type, int number, int label) {
    return guarded([&] {
        Call c("label_er");
        c.dest(type, number).num(label);
        int rc = 0;
        if (c.answered(rc)) return rc;
        if (!g_emu.connected) return kNoConnection;
        std::vector<std::pair<int, Records*>> targets;
        if (int code = writing(type, number, "label", targets)) return code;
        for (auto& [terminal, labels] : targets) labels->erase(label);
        return 0;
    });
}
#endif

// Deleting an article that is not there is no error: the range tool would
// otherwise stop at the first gap.
#ifndef PORTALLIB_OMIT_delplu
PORTALLIB_API int QK_STDCALL delplu(int type, int number, int first, int last, int param) {
    return guarded([&] {
        Call c("delplu");
        c.dest(type, number).num(first).num(last).num(param);
        int rc = 0;
        if (c.answered(rc)) return rc;
        if (!g_emu.connected) return kNoConnection;
        std::vector<std::pair<int, Records*>> targets;
        if (int code = writing(type, number, "pl", targets)) return code;
        if (first <= last)
            for (auto& [terminal, articles] : targets)
                articles->erase(articles->lower_bound(first), articles->upper_bound(last));
        return 0;
    });
}
#endif

#ifndef PORTALLIB_OMIT_pass
PORTALLIB_API int QK_STDCALL pass(int type, int number, const char* password) {
    return guarded([&] {
        Call c("pass");
        c.dest(type, number).text(password);
        int rc = 0;
        if (c.answered(rc)) return rc;
        if (!g_emu.connected) return kNoConnection;
        return write_line(type, number, "pass", 0, password);
    });
}
#endif

// ---- Totals tickets --------------------------------------------------------------------

namespace {

// Closing flag 0 reads line `first`; 1 releases every line the scale holds.
int ticket(const char* name, int type, int number, int first, int last, char* buf, int closing) {
    return guarded([&] {
        Call c(name);
        c.dest(type, number).num(first).num(last).buf(buf, kRecordBuffer).num(closing);
        int rc = 0;
        if (c.answered(rc)) return rc;
        if (!g_emu.connected) return kNoConnection;
        int terminal = 0;
        Records* tickets = nullptr;
        if (int code = reading(type, number, "ticket", terminal, tickets)) return code;
        if (closing == 1) {
            tickets->clear();
            g_emu.ticket_read.erase(terminal);
            return 0;
        }
        if (closing != 0) return kBadCommand;
        if (!buf) return kNoConnection;
        auto it = tickets->find(first);
        if (it == tickets->end()) return kNoRecord;
        copy_out(it->second, buf, kRecordBuffer - 1);
        long long& mark = g_emu.ticket_read[terminal];
        mark = std::max(mark, static_cast<long long>(first) + 1);
        return 0;
    });
}

}  // namespace

#ifndef PORTALLIB_OMIT_totik
PORTALLIB_API int QK_STDCALL totik(int type, int number, int first, int last, char* buf, int closing) {
    return ticket("totik", type, number, first, last, buf, closing);
}
#endif

#ifndef PORTALLIB_OMIT_totikt
PORTALLIB_API int QK_STDCALL totikt(int type, int number, int first, int last, char* buf, int closing) {
    return ticket("totikt", type, number, first, last, buf, closing);
}
#endif

// ---- Modem -------------------------------------------------------------------------------

// Needs no connection. Modes 1, 2 and 5 read the office, shop and modem
// configuration texts of the gateway; 3 and 4 send the modem configuration,
// which the gateway records under "modemsent" by mode.
#ifndef PORTALLIB_OMIT_inimodem
PORTALLIB_API int QK_STDCALL inimodem(int mode, char* buf) {
    return guarded([&] {
        Call c("inimodem");
        c.num(mode).buf(buf, kModemBuffer);
        int rc = 0;
        if (c.answered(rc)) return rc;
        const char* kind = mode == 1 ? "office" : mode == 2 ? "shop" : "modem";
        if (mode == 1 || mode == 2 || mode == 5) {
            if (!buf) return kNoConnection;
            Records* texts = records_of(portallib::kGateway, kind);
            if (!texts) return kNoAnswer;
            auto it = texts->find(0);
            copy_out(it != texts->end() ? it->second : portallib::default_modem_text(mode), buf, kModemBuffer - 1);
            return 0;
        }
        if (mode == 3 || mode == 4) {
            Records* texts = records_of(portallib::kGateway, "modem");
            Records* sent = records_of(portallib::kGateway, "modemsent");
            if (!texts || !sent) return kNoAnswer;
            auto it = texts->find(0);
            (*sent)[mode] = it != texts->end() ? it->second : portallib::default_modem_text(5);
            std::string error;
            if (!g_emu.store().save(&error)) warn("state not saved: " + error);
            return 0;
        }
        return kBadCommand;
    });
}
#endif
