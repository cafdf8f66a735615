// The error log "ordenes.err": one line per non-zero code, written with one
// single append so that tools running side by side never tear each other's
// lines. The texts are Windows-1252 and stored with CR LF line ends.
#include <cstdio>
#include <cstring>

#include "qk/frame.h"

namespace qk {
namespace {

const char* message_text(int code) {
    switch (code) {
        case -1: return "Dll error: Socket error.Unable to send (SOCKET_ERROR, -1)\n";
        case 0: return "";
        case 3: return "Dll error: timeout (timeout,3)\n";
        case 8: return "Dll error: not valid register (ERROR_CMD_NACK, 8)\n";
        case 9: return "Dll error: not valid command byte (ERROR_CMD_NOVALID, 9)\n";
        case 14: return "Dll error: unable to bloq(ERROR_BLOQ_NOVALID, 14)\n";
        case 21: return "Dll error: not valid destination (ERROR_DEST_NOVALID, 21)\n";
        case 27: return "Application closed by the user\n";
        case 30: return "Dll error: Unable to match IP(NO_IPDEST_REL, 30)\n";
        case 42: return "Unable to close pargat.ini\n";
        case 43: return "Unable load PORTALLIB.DLL\n";
        case 44: return "Unable to load function\n";
        case 46: return "Unable to open port\n";
        case 47: return "Unable to close file\n";
        case 48: return "Can\xB4t open file function\n";
        case 49: return "Unable to unload dll\n";
        case 50: return "Incorrect table format\n";
        case 51: return "Incorrect number of entries\n";
        case 52: return "too much terminals\n";
        case 53: return "the table entry could not be added\n";
        case 55: return "Unable to find PARGAT.INI\n";
        case 56: return "Unable to write in file pargat.ini\n";
        default: return nullptr;
    }
}

}  // namespace

void log_error(int code, const char* tool_name) {
    // The line is composed whole, then stored in text mode (LF as CR LF).
    char line[512];
    int n = 0;
    if (code != 0) {
        const platform::LocalTime t = platform::local_time();
        n = std::snprintf(line, sizeof line, "%.64s|%d/%d/%d|%02d:%02d:%02d,%03d|Error: %02d|",
                          tool_name ? tool_name : "", t.day, t.month, t.year, t.hour, t.minute,
                          t.second, t.millisecond, code);
        if (n < 0) n = 0;
        const char* text = message_text(code);
        int m;
        if (text != nullptr) {
            m = std::snprintf(line + n, sizeof line - n, "%s", text);
        } else {
            m = std::snprintf(line + n, sizeof line - n, "Number Error: %02d\n", code);
        }
        if (m > 0) n += m;
        if (n >= static_cast<int>(sizeof line)) n = static_cast<int>(sizeof line) - 1;
    }
    char stored[2 * sizeof line];
    std::size_t size = 0;
    for (int i = 0; i < n; ++i) {
        if (line[i] == '\n') stored[size++] = '\r';
        stored[size++] = line[i];
    }
    // Code 0 writes no byte but still creates the log when it is missing.
    if (!platform::append_whole("ordenes.err", stored, size)) {
        std::printf("Unable to open error file!\n");
    }
}

void log(int code) { log_error(code, qk_tool.name); }

}  // namespace qk
