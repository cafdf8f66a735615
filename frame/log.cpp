// The error log: one line per logged code, written with one single append so
// that tools running side by side never tear each other's lines. The texts
// are Windows-1252 and stored with CR LF line ends.
//
// Compiled once per frame revision. The current revision writes
// "ordenes.err" with the tool's name and the code in every line head; the
// earlier revision (QK_FRAME_EARLIER) writes "ORDENES.ERR" (the same file:
// names are resolved whatever their letter case) with a fixed head, the code
// only through its text, and says nothing when the log cannot be opened.
#include <cstdio>
#include <cstring>

#include "qk/frame.h"
#include "qk/log_texts.h"

namespace qk {
namespace {

#if !defined(QK_FRAME_EARLIER)

constexpr char kLogName[] = "ordenes.err";
constexpr const char* kGenericText = log_texts::kCurrentGeneric;

const char* table_text(int code) { return log_texts::find(log_texts::kCurrent, code); }

int write_head(char* line, std::size_t size, int code, const char* tool_name) {
    if (code == 0) return 0;
    const platform::LocalTime t = platform::local_time();
    return std::snprintf(line, size, "%.64s|%d/%d/%d|%02d:%02d:%02d,%03d|Error: %02d|",
                         tool_name ? tool_name : "", t.day, t.month, t.year, t.hour, t.minute,
                         t.second, t.millisecond, code);
}

void report_unopened_log() { std::printf("Unable to open error file!\n"); }

#elif QK_FRAME_EARLIER == QK_FRAME_MODEM

// The modem tool's log: English texts, a head with the fixed name QINIMODEM
// for every non-zero code.
constexpr char kLogName[] = "ORDENES.ERR";
constexpr const char* kGenericText = log_texts::kModemGeneric;

const char* table_text(int code) { return log_texts::find(log_texts::kModem, code); }

int write_head(char* line, std::size_t size, int code, const char*) {
    if (code == 0) return 0;
    const platform::LocalTime t = platform::local_time();
    return std::snprintf(line, size, "|QINIMODEM|%d/%d/%d|%02d:%02d:%02d,%03d|", t.day, t.month,
                         t.year, t.hour, t.minute, t.second, t.millisecond);
}

void report_unopened_log() {}

#elif QK_FRAME_EARLIER == QK_FRAME_PASS

// The password tool's log: Spanish texts, a head without any name for every
// code, 0 included.
constexpr char kLogName[] = "ORDENES.ERR";
constexpr const char* kGenericText = log_texts::kPassGeneric;

const char* table_text(int code) { return log_texts::find(log_texts::kPass, code); }

int write_head(char* line, std::size_t size, int, const char*) {
    const platform::LocalTime t = platform::local_time();
    return std::snprintf(line, size, "|%d/%d/%d|%02d:%02d:%02d,%03d|", t.day, t.month, t.year,
                         t.hour, t.minute, t.second, t.millisecond);
}

void report_unopened_log() {}

#else
#error "QK_FRAME_EARLIER names no frame revision"
#endif

}  // namespace

void log_error(int code, const char* tool_name) {
    // The line is composed whole, then stored in text mode (LF as CR LF).
    char line[512];
    int n = write_head(line, sizeof line, code, tool_name);
    if (n < 0) n = 0;
    if (n >= static_cast<int>(sizeof line)) n = static_cast<int>(sizeof line) - 1;
    const char* text = table_text(code);
    const int m = text != nullptr ? std::snprintf(line + n, sizeof line - n, "%s", text)
                                  : std::snprintf(line + n, sizeof line - n, kGenericText, code);
    if (m > 0) n += m;
    if (n >= static_cast<int>(sizeof line)) n = static_cast<int>(sizeof line) - 1;

    char stored[2 * sizeof line];
    std::size_t size = 0;
    for (int i = 0; i < n; ++i) {
        if (line[i] == '\n') stored[size++] = '\r';
        stored[size++] = line[i];
    }
    // A code with an empty text and no head writes no byte but still creates
    // the log when it is missing.
    if (!platform::append_whole(kLogName, stored, size)) report_unopened_log();
}

void log(int code) { log_error(code, qk_tool.name); }

std::string message_text(int code) {
    if (const char* text = table_text(code)) return text;
    char generic[64];
    std::snprintf(generic, sizeof generic, kGenericText, code);
    return generic;
}

}  // namespace qk
