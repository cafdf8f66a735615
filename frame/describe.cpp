// The tool's reference entry, printed instead of a run when QK_DESCRIBE=1 is
// set. The frame's share comes from the tool's ToolInfo and the linked frame
// revision (log form, parameter reader, message texts); the family step's
// share comes from the member it was handed (set_describer). Nothing here
// touches a file, the parameter file or the gateway library.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "qk/frame.h"

namespace qk {
namespace {

Describer describer = nullptr;

#if !defined(QK_FRAME_EARLIER)
constexpr const char* kLogForm =
    "\"ordenes.err\", one line per non-zero code: "
    "`NAME|d/m/yyyy|hh:mm:ss,mmm|Error: NN|text` (the final call with code 0 writes nothing)";
#elif QK_FRAME_EARLIER == QK_FRAME_MODEM
constexpr const char* kLogForm =
    "\"ORDENES.ERR\" (the same file as \"ordenes.err\"), earlier form, one line per non-zero code: "
    "`|QINIMODEM|d/m/yyyy|hh:mm:ss,mmm|text` (English texts, no code field)";
#else
constexpr const char* kLogForm =
    "\"ORDENES.ERR\" (the same file as \"ordenes.err\"), earlier form, one line per code: "
    "`|d/m/yyyy|hh:mm:ss,mmm|text` (Spanish texts, no tool name, no code field; no final call)";
#endif

// The results of the gateway that have a text of their own in the current
// table; any other code is logged with the generic text.
constexpr int kGatewayResults[] = {-1, 3, 8, 9, 14, 21, 30};

// Windows-1252 bytes as UTF-8, for the Markdown page.
std::string utf8(const std::string& text) {
    static const char* const k80[32] = {
        "€", "\x81", "‚", "ƒ", "„", "…", "†", "‡", "ˆ", "‰", "Š", "‹", "Œ", "\x8d", "Ž", "\x8f",
        "\x90", "‘", "’", "“", "”", "•", "–", "—", "˜", "™", "š", "›", "œ", "\x9d", "ž", "Ÿ"};
    std::string out;
    for (const unsigned char c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0xA0) {
            out += k80[c - 0x80];
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// A message text for a table cell: quoted, the line end shown as \n.
std::string quoted_text(int code) {
    std::string text = utf8(message_text(code));
    std::string out = "\"";
    for (const char c : text) {
        if (c == '\n') out += "\\n";
        else if (c == '|') out += "\\|";
        else out += c;
    }
    return out + "\"";
}

struct Row {
    std::string code;
    std::string text;
    std::string when;
};

void add_code(std::vector<Row>& rows, int code, const std::string& when) {
    const std::string key = std::to_string(code);
    for (Row& r : rows) {
        if (r.code == key) {
            if (r.when.find(when) == std::string::npos) r.when += "; " + when;
            return;
        }
    }
    rows.push_back({key, quoted_text(code), when});
}

void add_gateway_codes(std::vector<Row>& rows, const std::string& when) {
    for (const int code : kGatewayResults) add_code(rows, code, when);
    // Any other code: the generic text, shown with NN for the code.
    std::string generic = quoted_text(99);
    if (const auto at = generic.find("99"); at != std::string::npos) generic.replace(at, 2, "NN");
    for (Row& r : rows) {
        if (r.code == "other") {
            if (r.when.find(when) == std::string::npos) r.when += "; " + when;
            return;
        }
    }
    rows.push_back({"other", generic, when});
}

std::string entry_points() {
    if (qk_tool.binds_data_function_only) return std::string("`") + qk_tool.data_function + "` alone";
    std::string s = "`opensocket`, `closesockets`, `" + std::string(qk_tool.data_function) +
                    "`, `settimeouts`, `setdebug`, `AddIPRelTableEntry`";
    if (qk_tool.counts_ticket_lines) s += ", `NLinVolcToRead`";
    return s;
}

std::string connection() {
    if (!qk_tool.opens_connection) return "none: the data function is called without opensocket";
    std::string s = "setdebug(1,1,1,1) when DEBUG is not 0; settimeouts(TIMEOUT x 1000, REINTENTS, -1, ";
    s += qk_tool.timeout_mode == TimeoutMode::Two ? "2" : "11 when DISPLAY is 1, else 0";
    s += "); opensocket(IP_DESTI, PORT_LOCAL, PORT_DESTI, ";
    switch (qk_tool.socket_count) {
        case SocketCount::Twelve: s += "12"; break;
        case SocketCount::Twenty: s += "20"; break;
        case SocketCount::Ingredients: s += "INGREDIENTS"; break;
    }
    s += "). If it cannot be opened: ";
    switch (qk_tool.open_failure) {
        case OpenFailure::LogSkipClose: s += "46 is logged, closesockets is not called"; break;
        case OpenFailure::SilentClose: s += "nothing is logged, closesockets is still called"; break;
        case OpenFailure::LogThenClose: s += "46 is logged, closesockets is still called"; break;
    }
    s += ". closesockets after the transfer";
    return s;
}

void add_frame_codes_before(std::vector<Row>& rows) {
    add_code(rows, kLibraryLoad, "the gateway library cannot be loaded (44 follows)");
    add_code(rows, kFunctionLoad, "the library cannot be loaded, or an entry point is missing");
    if (qk_tool.parameter_failure_code != 0) {
        add_code(rows, qk_tool.parameter_failure_code, "any failure of the parameter file PARGAT.INI");
        return;
    }
#if defined(QK_FRAME_EARLIER) && QK_FRAME_EARLIER == QK_FRAME_PASS
    const int parameter_codes[] = {42, 45, 50, 51, 52, 53};
#else
    const int parameter_codes[] = {42, 44, 50, 51, 52, 53, 55, 56};
#endif
    for (const int code : parameter_codes) add_code(rows, code, "parameter file PARGAT.INI");
}

void add_frame_codes_after(std::vector<Row>& rows) {
    if (qk_tool.opens_connection) {
        if (qk_tool.open_failure != OpenFailure::SilentClose) add_code(rows, kPort, "opensocket failed");
        add_code(rows, kPort, "closesockets failed");
    }
    add_code(rows, kLibraryUnload, "the library cannot be unloaded");
}

std::string usage(const Reference& r) {
    std::string s = std::string("`") + qk_tool.name;
    for (const auto& a : r.arguments) {
        std::string word;
        for (const char c : a.meaning) {
            if (c == ' ' || c == ',' || c == '(' || c == ':') break;
            word += c;
        }
        s += " [" + word + "]";
    }
    return s + "`";
}

}  // namespace

void set_describer(Describer d) { describer = d; }

bool describe_requested() {
    const char* v = std::getenv("QK_DESCRIBE");
    return v != nullptr && std::strcmp(v, "1") == 0;
}

int describe_tool(int, char** argv) {
    // The hooks that only set the run state: the defaults step, and the
    // argument step with no argument (so the defaults stay).
    set_defaults();
    char* no_arguments[] = {argv[0], nullptr};
    parse_arguments(1, no_arguments);
    const Reference r = describer != nullptr ? describer() : Reference{};

    std::string out = std::string("## ") + qk_tool.name + "\n\n";
    out += usage(r) + "\n\n";
    if (!r.arguments.empty()) {
        out += "| position | meaning | default |\n|---|---|---|\n";
        for (const auto& a : r.arguments) {
            out += "| " + std::to_string(a.position) + " | " + a.meaning + " | " +
                   (a.default_value.empty() ? "—" : a.default_value) + " |\n";
        }
        out += "\nFurther arguments are ignored.\n\n";
    }
    out += std::string("- **Data function:** `") + qk_tool.data_function + "`: " + r.call + "\n";
    out += "- **Entry points bound:** " + entry_points() + "\n";
    out += "- **Connection:** " + connection() + "\n";
    out += "- **Data file:** " + (r.data_file.empty() ? std::string("none") : r.data_file) + "\n";
    out += "- **Console (DISPLAY not 0):** " + r.console + "\n";
    out += "- **Escape:** " + r.escape + "\n";
    out += std::string("- **Log:** ") + kLogForm + "\n";
    if (!r.notes.empty()) out += "- **Notes:** " + r.notes + "\n";

    std::vector<Row> rows;
    add_frame_codes_before(rows);
    for (const auto& c : r.codes) {
        if (c.code == kGatewayCodes) {
            add_gateway_codes(rows, c.when);
        } else {
            add_code(rows, c.code, c.when);
        }
    }
    add_frame_codes_after(rows);
    out += "\n| code | text logged | when |\n|---|---|---|\n";
    for (const Row& row : rows) out += "| " + row.code + " | " + row.text + " | " + row.when + " |\n";
    out += "\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
    return 0;
}

}  // namespace qk
