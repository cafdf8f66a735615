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

namespace qk {
namespace {

#if !defined(QK_FRAME_EARLIER)

constexpr char kLogName[] = "ordenes.err";
constexpr char kGenericText[] = "Number Error: %02d\n";

const char* table_text(int code) {
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
constexpr char kGenericText[] = "Number Error: %02d\n";

const char* table_text(int code) {
    switch (code) {
        case 0: return "";
        case 27: return "Error 4. Close User\n";
        case 40: return "File PARGAT.INI not exist\n";
        case 41: return "File ORDERNES.SCR.scr not exist\n";
        case 42: return "Not Close file Pargat.ini\n";
        case 43: return "Unable load PORTALLIB.DLL\n";
        case 44: return "Unable load Function\n";
        case 45: return "Not Find file Pargat.ini\n";
        case 46: return "Not Close Port\n";
        case 48: return "Can\xB4t open file function\n";
        case 49: return "Can\xB4t free dll\n";
        case 50: return "Incorrect table format\n";
        case 51: return "Incorrect number of entries\n";
        case 52: return "too much terminals\n";
        case 53: return "the entry could not be added\n";
        default: return nullptr;
    }
}

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
constexpr char kGenericText[] = "Numero de error: %02d\n";

const char* table_text(int code) {
    switch (code) {
        case 27: return "Error 4. Cancelado por el usuario\n";
        case 37: return "Destino no es correcto\n";
        case 38: return "Numero Destino no es correcto\n";
        case 39: return "Inicio Registro o Final Registro no correcto\n";
        case 40: return "Fichero PARGAT.INI no existe\n";
        case 41: return "Fichero ORDERNES.SCR.scr no existe\n";
        case 42: return "No puede cerrar el fichero pargat.ini\n";
        case 43: return "No puede cargar PORTALLIB.DLL\n";
        case 44: return "No puede cargar la funci\xF3n\n";
        case 45: return "No encuentra el fichero pargat.ini\n";
        case 46: return "Puerto no Cerrado\n";
        case 48: return "No puede abrir el fichero\n";
        case 49: return "No puede liberar la dll\n";
        case 50: return "Incorrect table format\n";
        case 51: return "Incorrect number of entries\n";
        case 52: return "too much terminals\n";
        case 53: return "the entry could not be added\n";
        default: return nullptr;
    }
}

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
