// Helpers of the tests of the tools on the earlier frame revision, whose log
// is "ORDENES.ERR": the log read whatever the letter case of its name, with
// the time fields masked as Scratch::log() masks them.
#pragma once

#include <cctype>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "harness.h"

namespace e2e {

// Names of the entries of dir that are the error log, whatever their case.
inline std::vector<std::string> log_files(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) {
        std::string n = e.path().filename().string();
        std::string lower = n;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (lower == "ordenes.err") names.push_back(n);
    }
    return names;
}

// "|20/7/2004|13:14:27,045|" becomes "|T|" wherever it stands in a line.
inline std::string any_case_log(const Scratch& s) {
    const std::vector<std::string> names = log_files(s.dir);
    if (names.size() != 1) return "<" + std::to_string(names.size()) + " logs>";
    static const std::regex head(R"(\|[1-9][0-9]?/[1-9][0-9]?/[0-9]{4}\|[0-9]{2}:[0-9]{2}:[0-9]{2},[0-9]{3}\|)");
    return std::regex_replace(s.read(names.front()), head, "|T|");
}

// Environment that preloads the fault shim with the given rules.
inline std::map<std::string, std::string> shim_env(const std::string& rules) {
    std::string asan = "verify_asan_link_order=0";
    if (const char* a = std::getenv("ASAN_OPTIONS"); a && *a) asan = std::string(a) + ":" + asan;
    return {{"LD_PRELOAD", (bin_dir() / "libqk_faults.so").string()},
            {"QK_FAULTS", rules},
            {"ASAN_OPTIONS", asan}};
}

}  // namespace e2e
