// Each test runs in a fresh temporary working directory (the log file lands there) with
// a fresh fake host.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fake_host.h"
#include "temp_dir.h"
#include "text.h"

class PluginTest : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::current_path(dir_); }
    void TearDown() override {
        host.Unload();
        std::filesystem::current_path(previous_);
    }

    // The log's lines with their time stamps checked and cut off.
    std::vector<std::string> LogMessages() const { return vtest::LogMessages(vtest::ReadFile(dir_ / "VantrelLog.txt")); }

    const std::filesystem::path previous_ = std::filesystem::current_path();
    const vtest::TempDir temp_{"vantrel-plugin-test"};
    const std::filesystem::path dir_ = temp_.path();
    vtest::FakeHost host;
};
