// The tool frame: error log, gateway parameter file, gateway library binding
// and the run sequence that owns main(). A tool supplies a ToolInfo named
// qk_tool and the three hooks set_defaults, parse_arguments and run_transfer;
// everything else is here, once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "qk/platform.h"

// Frame revisions: the frame is built once as it is now (qk_frame) and twice
// in its earlier revision, with QK_FRAME_EARLIER set to one of these
// (qk_frame_modem, qk_frame_pass): the error log and, for the password tool,
// the parameter reader differ; the run sequence follows the ToolInfo flags.
#define QK_FRAME_MODEM 1
#define QK_FRAME_PASS 2

namespace qk {

// ---- Error codes raised by the tools themselves (the gateway's share the
// same numbering) -------------------------------------------------------------
enum Code : int {
    kOk = 0,
    kUserCancel = 27,
    kIniClose = 42,
    kLibraryLoad = 43,
    kFunctionLoad = 44,
    kPort = 46,
    kFileClose = 47,
    kFileOpen = 48,
    kLibraryUnload = 49,
    kTableFormat = 50,
    kEntryCount = 51,
    kTableRange = 52,
    kEntryRefused = 53,
    kIniCreate = 55,
    kIniWrite = 56,
};

constexpr int kEscape = 27;

// ---- Entry points of the gateway library -----------------------------------
using OpenSocketFn = int(QK_STDCALL*)(const char* ip, int port_local, int port_desti, int count);
using CloseSocketsFn = int(QK_STDCALL*)();
using SetTimeoutsFn = int(QK_STDCALL*)(int milliseconds, int retries, int unused, int mode);
using SetDebugFn = int(QK_STDCALL*)(int, int, int, int);
using AddIPRelTableEntryFn = int(QK_STDCALL*)(int terminal, int section, int master, const char* ip);
using NLinVolcToReadFn = int(QK_STDCALL*)(int type, int number, int* count);

// ---- Gateway parameters (PARGAT.INI) ----------------------------------------
struct GatewayParams {
    char ip_desti[16];
    int port_desti;
    int port_local;
    int reintents;
    int timeout;
    int display;
    int debug;
    int ingredients;
};

// ---- What a tool declares about itself ------------------------------------------
enum class TimeoutMode {
    Two,          // settimeouts mode 2
    DisplayIsOne  // 11 when DISPLAY is exactly 1, else 0
};

enum class SocketCount {
    Twelve,       // opensocket count 12
    Twenty,       // the memory dump's 20
    Ingredients   // INGREDIENTS of the gateway parameters
};

enum class OpenFailure {
    LogSkipClose,   // log 46; closesockets is not called (the rule)
    SilentClose,    // nothing logged; closesockets still called
    LogThenClose    // log 46; closesockets still called
};

struct ToolInfo {
    const char* name;           // first field of every log line
    const char* data_function;  // the one entry point of the tool
    bool counts_ticket_lines = false;  // also binds NLinVolcToRead, last
    TimeoutMode timeout_mode = TimeoutMode::Two;
    SocketCount socket_count = SocketCount::Twelve;
    OpenFailure open_failure = OpenFailure::LogSkipClose;
    // Checked after the arguments are read; false ends the process there and
    // then: no connection, no tear-down, no log line.
    bool (*arguments_acceptable)() = nullptr;

    // Tools on the earlier frame revision.
    bool binds_data_function_only = false;  // resolves its data function alone
    bool opens_connection = true;   // tracing, settimeouts, opensocket, closesockets
    int parameter_failure_code = 0;  // logged for any parameter file failure; 0: the reader's own code
    bool logs_final_code = true;     // the closing call of the log with code 0
};

// ---- Run state: one per process, shared by the frame and the tool's hooks --------
constexpr std::size_t kFileNameSize = 50;   // at most 49 characters
constexpr std::size_t kRecordSize = 4096;

struct RunState {
    platform::Library library = nullptr;
    bool library_loaded = false;
    bool functions_bound = false;

    OpenSocketFn opensocket = nullptr;
    CloseSocketsFn closesockets = nullptr;
    void* data_function = nullptr;  // cast by the family to its call form
    SetTimeoutsFn settimeouts = nullptr;
    SetDebugFn setdebug = nullptr;
    AddIPRelTableEntryFn add_entry = nullptr;
    NLinVolcToReadFn nlin_volc_to_read = nullptr;

    GatewayParams params{};

    int dest_type = 'S';
    int dest_number = 0;
    int first_index = 0;
    int last_index = 4;
    char file_name[kFileNameSize] = {};
    // Set when a data file name argument did not fit the field: the name is
    // refused and the transfer logs 48 instead of touching any file.
    bool file_name_refused = false;
    unsigned char record[kRecordSize] = {};
    int last_key = 0;
    bool keys_ended = false;  // no key can come any more: no need to ask

    // Set by a transfer step whose tool leaves the connection open after a
    // failed transfer: step 9 then skips closesockets.
    bool skip_closesockets = false;
};

extern RunState run;
extern const ToolInfo qk_tool;  // defined by the tool

// Data function of the tool in its call form.
template <typename Fn>
Fn data_function() {
    return reinterpret_cast<Fn>(run.data_function);
}

// ---- Hooks every tool defines ---------------------------------------------------
void set_defaults();
void parse_arguments(int argc, char** argv);
void run_transfer();

// ---- Error log --------------------------------------------------------------------
void log_error(int code, const char* tool_name);
// log_error with the tool's own name.
void log(int code);

// ---- Gateway parameters and the library --------------------------------------------
int read_gateway_parameters(GatewayParams& params);
// The reading of the parameter text once it is in memory, without any file:
// the first size bytes of data count, as far as one read of the file takes
// them (999 characters, 680 in the password tool's revision) and up to the
// first zero byte; case is ignored. Fills the fields whose keys are present
// and registers the relation table through add_entry (nullptr: 44, after
// the fields are read). Returns 0, 44 or 50 to 53.
int parse_gateway_parameters(const char* data, std::size_t size, GatewayParams& params,
                             AddIPRelTableEntryFn add_entry);
// Defaults step of the tools on the earlier revision: IP_DESTI 192.168.2.2,
// ports 2003, REINTENTS 3, TIMEOUT 2000, DISPLAY 0, DEBUG 0. The password
// tool's reader keeps them for every key absent from the file; the current
// reader replaces them all. Only in the earlier revision's libraries.
void earlier_gateway_defaults(GatewayParams& params);
void load_gateway_library();
bool bind_gateway_functions();

// The run sequence; main() of every tool is this.
int run_tool(int argc, char** argv);

// ---- Command-line conventions --------------------------------------------------------
// atoi-style: leading white space, optional sign, digits up to the first
// other character; no digits gives 0; beyond 32 bits the value is held at
// the nearest 32-bit limit.
int read_number(const char* text);
// First character of tTsS, upper-cased, becomes the destination type; else
// the type stays.
void read_dest_type(const char* text, int& dest_type);
// Clears the data file name field and copies the name in; a name of more than
// 49 characters is refused (file_name_refused is set, the field keeps the
// default).
void read_file_name(const char* text);
// Positions 1 and 2: destination type and destination number, when given.
void read_destination(int argc, char** argv);
// Argument at position pos (1-based) or nullptr when it was not given.
inline const char* argument(int argc, char** argv, int pos) {
    return pos < argc ? argv[pos] : nullptr;
}
// Sets the default data file name to the tool name plus the extension.
void default_file_name(const char* extension);
// The defaults every range tool starts from: section 0, records 0 to
// last_index, the tool's name plus extension as data file, a cleared record.
void range_defaults(int last_index, const char* extension = ".ASC");

// ---- Keyboard cancel ------------------------------------------------------------------
// Once per record: a waiting key is read into the last key; true when the last
// key is Escape (the caller logs 27 and ends its loop). Once the input has
// ended the answer comes from the last key alone, without a call.
bool escape_pressed_asking();
inline bool escape_pressed() { return run.keys_ended ? run.last_key == kEscape : escape_pressed_asking(); }

// ---- Data file ----------------------------------------------------------------------
// Opens the run's data file in mode; logs 48 and returns nullptr when it
// cannot be opened or its name was refused.
platform::File* open_data_file(const char* mode);
// Closes it; logs 47 when closing fails.
void close_data_file(platform::File* f);

// ---- Console echo -------------------------------------------------------------------
// printf("%s", text) of a zero-terminated text.
void echo(const char* text);

// ---- Reference entry -------------------------------------------------------------------
// A tool run with QK_DESCRIBE=1 in its environment prints its entry of the
// tool reference (docs/tools.md) as Markdown and ends: it reads no parameter
// file, loads no library and writes no log line. The frame writes what
// ToolInfo declares; the family step, from the member it was handed, writes
// the rest.
struct ReferenceArgument {
    int position;
    std::string meaning;
    std::string default_value;  // empty: no default worth showing
};

// Any code the gateway returns: the data function's (and NLinVolcToRead's)
// non-zero results.
constexpr int kGatewayCodes = -1000;

struct ReferenceCode {
    int code;  // or kGatewayCodes
    std::string when;
};

struct Reference {
    std::vector<ReferenceArgument> arguments;
    std::string call;       // how the data function is called
    std::string data_file;  // default name, open mode and format; empty: none of its own
    std::string console;    // what DISPLAY shows
    std::string escape;     // whether and where Escape cancels
    std::vector<ReferenceCode> codes;  // what the transfer step itself logs
    std::string notes;      // anything else a user must know
};

using Describer = Reference (*)();
// Called by a family step with the function that describes the member it
// runs; the frame calls it only when the entry is asked for.
void set_describer(Describer describer);
// True when QK_DESCRIBE=1 is set.
bool describe_requested();
// Prints the entry (defaults and arguments hooks run, nothing else).
int describe_tool(int argc, char** argv);
// The text the log stores for code (the linked frame revision's table, or
// its generic text), line end included, as Windows-1252 bytes.
std::string message_text(int code);

}  // namespace qk
