// Each test runs in a fresh temporary working directory (the log file lands there) with
// a fresh fake host.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fake_host.h"
#include "text.h"

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
    std::vector<std::string> LogMessages() const { return vtest::LogMessages(vtest::ReadFile(dir_ / "VantrelLog.txt")); }

    std::filesystem::path dir_;
    std::filesystem::path previous_;
    vtest::FakeHost host;
};
