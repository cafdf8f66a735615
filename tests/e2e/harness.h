// End-to-end harness: runs a real tool executable in a fresh scratch folder,
// with the scale emulator beside it, keys fed through standard input, and
// gives back the exit status, the console, the files of the folder, the error
// log with its time fields masked and the emulator's call journal.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace e2e {

namespace fs = std::filesystem;

using Lines = std::vector<std::string>;

// The journal lines with which every tool registers test_pargat()'s table.
extern const Lines kTestTable;
// a followed by b.
Lines concat(Lines a, const Lines& b);

struct Result {
    int status = -1;   // exit status; -1 when the process did not exit normally
    std::string out;   // standard output, bytes as written
    std::string err;   // standard error
};

struct RunOptions {
    std::string keys;                           // bytes on standard input
    std::map<std::string, std::string> env;     // extra environment
    fs::path exe_dir;                           // empty: the build's bin folder
};

// Parameter file used by most tests: a test gateway, no echo, a small
// network of three scales (terminal 0 in section 0; terminals 1 and 2 in
// section 1, terminal 1 the master).
std::string test_pargat(int display = 0, int debug = 0, int ingredients = 10);

class Scratch : public ::testing::Test {
protected:
    void SetUp() override;

public:
    fs::path dir;

    // Runs tool NAME (looked up in the bin folder, or opts.exe_dir) in dir.
    Result run(const std::string& tool, const std::vector<std::string>& args = {},
               const RunOptions& opts = {});
    Result run_keys(const std::string& tool, const std::vector<std::string>& args,
                    const std::string& keys);

    void write(const std::string& name, const std::string& bytes) const;
    std::string read(const std::string& name) const;
    bool exists(const std::string& name) const;
    // PARGAT.INI with test_pargat(...) stored with CR LF line ends.
    void pargat(int display = 0, int debug = 0, int ingredients = 10) const;
    void pargat_text(const std::string& text_with_lf) const;

    // The error log with each line's date and time replaced by "T", so that
    // "QKLOTR|11/12/2026|10:04:05,123|Error: 48|..." reads
    // "QKLOTR|T|Error: 48|...". Lines keep their CR LF. A log whose time
    // fields do not have the expected form is left as it is, so it fails.
    std::string log() const;
    std::vector<std::string> journal() const;  // one entry per call
    // Journal lines of the data calls only (without the service calls).
    std::vector<std::string> journal_without(const std::vector<std::string>& names) const;

    // Emulator state.
    fs::path state() const { return dir / "portallib-state"; }
    void seed(int terminal, const std::string& kind, int index, const std::string& bytes) const;
    std::string stored(int terminal, const std::string& kind, int index, bool* present = nullptr) const;

    // A folder with a copy of the tool but no gateway library (or with the
    // given variant of it), for the missing-library tests.
    fs::path isolated_tool(const std::string& tool, const std::string& variant = "") const;
};

fs::path bin_dir();
std::string exe_name(const std::string& tool);
// Whether the tools under test are the Windows build (run through a launcher
// such as Wine): QK_E2E_EXE_SUFFIX is ".exe".
bool windows_build();
// Undoes the C runtime's text mode on output: each "\r\n" back to "\n". The
// Windows build writes every "\n" of its console as "\r\n"; Scratch::run
// gives the tests the console as written on other platforms.
std::string from_text_mode(const std::string& bytes);

// "S 01 003 ..." style line header helpers are not needed: tests write bytes.
std::string crlf(const std::string& lf_text);

}  // namespace e2e
