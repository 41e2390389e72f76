// Each test runs in a fresh temporary working directory (the log file lands there) with
// a fresh fake host.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fake_host.h"

class PluginTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = std::filesystem::current_path();
        dir_ = std::filesystem::temp_directory_path() /
               ("vantrel-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        std::filesystem::current_path(dir_);
    }
    void TearDown() override {
        host.Unload();
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(dir_);
    }

    // The log's lines with their time stamps checked and cut off.
    std::vector<std::string> LogMessages() const {
        std::vector<std::string> messages;
        std::ifstream in(dir_ / "VantrelLog.txt");
        std::string line;
        while (std::getline(in, line)) {
            EXPECT_GE(line.size(), 22u) << line;
            if (line.size() < 22) continue;
            EXPECT_TRUE(IsTimeStamp(line.substr(0, 19))) << line;
            EXPECT_EQ(line.substr(19, 3), " - ") << line;
            messages.push_back(line.substr(22));
        }
        return messages;
    }

    static bool IsTimeStamp(const std::string& s) {
        static const std::string pattern = "dddd-dd-dd dd:dd:dd";
        if (s.size() != pattern.size()) return false;
        for (std::size_t i = 0; i < s.size(); ++i) {
            if (pattern[i] == 'd' ? !std::isdigit(static_cast<unsigned char>(s[i])) : s[i] != pattern[i]) return false;
        }
        return true;
    }

    std::filesystem::path dir_;
    std::filesystem::path previous_;
    testhost::FakeHost host;
};
