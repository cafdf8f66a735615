// Helpers shared by the download tools' end-to-end tests.
#pragma once

#include <string>
#include <vector>

#include "harness.h"

namespace e2e::download {

// AddIPRelTableEntry calls of the test parameter file.
inline Lines table_calls() {
    return {
        R"(AddIPRelTableEntry 0 0 1 "127.0.0.10")",
        R"(AddIPRelTableEntry 1 1 1 "127.0.0.11")",
        R"(AddIPRelTableEntry 2 1 0 "127.0.0.12")",
    };
}

// Every call up to and including opensocket with the given count.
inline Lines connection_calls(int count = 12) {
    Lines l = table_calls();
    l.push_back("settimeouts 2000 4 -1 2");
    l.push_back(R"(opensocket "127.0.0.1" 2003 2003 )" + std::to_string(count));
    return l;
}

inline Lines operator+(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// One line of the error log, time fields masked.
inline std::string log_line(const std::string& tool, const std::string& code_and_text) {
    return tool + "|T|" + code_and_text + "\r\n";
}
inline std::string missing_record(const std::string& tool) {
    return log_line(tool, "Error: 08|Dll error: not valid register (ERROR_CMD_NACK, 8)");
}
inline std::string cancelled(const std::string& tool) {
    return log_line(tool, "Error: 27|Application closed by the user");
}
inline std::string file_refused(const std::string& tool) {
    return log_line(tool, "Error: 48|Can\xB4t open file function");
}

// What a text-mode file holds for the bytes written: each LF stored as CR LF.
inline std::string text_mode(const std::string& bytes) {
    std::string out;
    for (char c : bytes) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

inline RunOptions faults(const std::string& plan, const std::string& keys = "") {
    RunOptions o;
    o.env["PORTALLIB_FAULTS"] = plan;
    o.keys = keys;
    return o;
}

// A fresh, empty scratch folder (for tables that run many cases in one test).
inline void fresh(const Scratch& s) {
    fs::remove_all(s.dir);
    fs::create_directories(s.dir);
}

}  // namespace e2e::download
