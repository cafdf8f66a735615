// A fresh, empty folder per test for the platform tests; the test runs with
// it as working directory, so relative names land there.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

namespace platform_test {

namespace fs = std::filesystem;

class PlatformScratch : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "." + info->name();
        for (char& c : name) {
            if (c == '/') c = '_';
        }
        dir = fs::path(QK_UNIT_SCRATCH_DIR) / name;
        fs::remove_all(dir);
        fs::create_directories(dir);
        old_cwd = fs::current_path();
        fs::current_path(dir);
    }
    void TearDown() override { fs::current_path(old_cwd); }

public:
    fs::path dir;
    fs::path old_cwd;

    void put(const std::string& name, const std::string& bytes) const {
        std::ofstream(dir / name, std::ios::binary) << bytes;
    }
    std::string get(const std::string& name) const {
        std::ifstream in(dir / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // Names in the folder (one level).
    std::set<std::string> names() const {
        std::set<std::string> out;
        for (const auto& e : fs::directory_iterator(dir)) out.insert(e.path().filename().string());
        return out;
    }
};

}  // namespace platform_test
