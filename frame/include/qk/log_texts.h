// The message texts of the error log, one table per frame revision, shared by
// the loggers and by qkrun, which reads them back. Every text ends with its
// line feed; codes not in a table take that revision's generic text.
#pragma once

#include <string_view>

namespace qk::log_texts {

struct Message {
    int code;
    std::string_view text;
};

inline constexpr Message kCurrent[] = {
    {-1, "Dll error: Socket error.Unable to send (SOCKET_ERROR, -1)\n"},
    {0, ""},
    {3, "Dll error: timeout (timeout,3)\n"},
    {8, "Dll error: not valid register (ERROR_CMD_NACK, 8)\n"},
    {9, "Dll error: not valid command byte (ERROR_CMD_NOVALID, 9)\n"},
    {14, "Dll error: unable to bloq(ERROR_BLOQ_NOVALID, 14)\n"},
    {21, "Dll error: not valid destination (ERROR_DEST_NOVALID, 21)\n"},
    {27, "Application closed by the user\n"},
    {30, "Dll error: Unable to match IP(NO_IPDEST_REL, 30)\n"},
    {42, "Unable to close pargat.ini\n"},
    {43, "Unable load PORTALLIB.DLL\n"},
    {44, "Unable to load function\n"},
    {46, "Unable to open port\n"},
    {47, "Unable to close file\n"},
    {48, "Can\xB4t open file function\n"},
    {49, "Unable to unload dll\n"},
    {50, "Incorrect table format\n"},
    {51, "Incorrect number of entries\n"},
    {52, "too much terminals\n"},
    {53, "the table entry could not be added\n"},
    {55, "Unable to find PARGAT.INI\n"},
    {56, "Unable to write in file pargat.ini\n"},
};
inline constexpr char kCurrentGeneric[] = "Number Error: %02d\n";

// The modem set-up tool's log (earlier revision, English).
inline constexpr Message kModem[] = {
    {0, ""},
    {27, "Error 4. Close User\n"},
    {40, "File PARGAT.INI not exist\n"},
    {41, "File ORDERNES.SCR.scr not exist\n"},
    {42, "Not Close file Pargat.ini\n"},
    {43, "Unable load PORTALLIB.DLL\n"},
    {44, "Unable load Function\n"},
    {45, "Not Find file Pargat.ini\n"},
    {46, "Not Close Port\n"},
    {48, "Can\xB4t open file function\n"},
    {49, "Can\xB4t free dll\n"},
    {50, "Incorrect table format\n"},
    {51, "Incorrect number of entries\n"},
    {52, "too much terminals\n"},
    {53, "the entry could not be added\n"},
};
inline constexpr char kModemGeneric[] = "Number Error: %02d\n";

// The password tool's log (earlier revision, Spanish).
inline constexpr Message kPass[] = {
    {27, "Error 4. Cancelado por el usuario\n"},
    {37, "Destino no es correcto\n"},
    {38, "Numero Destino no es correcto\n"},
    {39, "Inicio Registro o Final Registro no correcto\n"},
    {40, "Fichero PARGAT.INI no existe\n"},
    {41, "Fichero ORDERNES.SCR.scr no existe\n"},
    {42, "No puede cerrar el fichero pargat.ini\n"},
    {43, "No puede cargar PORTALLIB.DLL\n"},
    {44, "No puede cargar la funci\xF3n\n"},
    {45, "No encuentra el fichero pargat.ini\n"},
    {46, "Puerto no Cerrado\n"},
    {48, "No puede abrir el fichero\n"},
    {49, "No puede liberar la dll\n"},
    {50, "Incorrect table format\n"},
    {51, "Incorrect number of entries\n"},
    {52, "too much terminals\n"},
    {53, "the entry could not be added\n"},
};
inline constexpr char kPassGeneric[] = "Numero de error: %02d\n";

// The table's text of a code, or nullptr when the generic text applies.
template <std::size_t N>
constexpr const char* find(const Message (&table)[N], int code) {
    for (const Message& m : table) {
        if (m.code == code) return m.text.data();
    }
    return nullptr;
}

}  // namespace qk::log_texts
