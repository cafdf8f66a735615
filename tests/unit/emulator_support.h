// Scratch folders for the emulator tests: a fresh folder per test under the
// system's temporary folder, removed afterwards.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace emulator_test {

namespace fs = std::filesystem;

inline fs::path fresh_folder(const char* tag) {
    static int counter = 0;
    fs::path dir = fs::temp_directory_path() /
                   ("portallib-" + std::string(tag) + "-" + std::to_string(getpid()) + "-" + std::to_string(++counter));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

inline std::string slurp(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void spit(const fs::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace emulator_test
