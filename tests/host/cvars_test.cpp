// Console variables: limits, bindings, commands, and the saved configuration.
#include "core/cvars.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "temp_dir.h"

namespace vhost {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Pair;
using ::testing::UnorderedElementsAre;

pluginsdk::CVarDefinition Limited(std::string name, std::string value, float min, float max) {
    return {std::move(name), std::move(value), "", true, true, min, true, max, true};
}

class CvarTest : public ::testing::Test {
protected:
    ConsoleVariable& Register(const pluginsdk::CVarDefinition& definition) {
        std::string warning;
        ConsoleVariable& variable = cvars.Register(1, definition, warning);
        EXPECT_EQ(warning, "");
        return variable;
    }
    CvarRegistry cvars;
    std::string error;
};

struct Setting {
    const char* text;
    const char* stored;  // nullptr: refused
};

TEST_F(CvarTest, LimitsClampAndNonNumbersAreRefused) {
    ConsoleVariable& x = Register(Limited("x", "5", 0.0f, 10.0f));
    const Setting settings[] = {
        {"7", "7"},   {"-3", "0"},     {"11", "10"},   {"2.5", "2.5"}, {"1e1", "1e1"},   {"abc", nullptr},
        {"", nullptr}, {"nan", nullptr}, {"inf", nullptr}, {" 4", nullptr}, {"4 ", nullptr}, {"1e999", nullptr},
    };
    std::string last = x.value;
    for (const Setting& setting : settings) {
        const bool accepted = cvars.Set(x, setting.text, error);
        if (setting.stored == nullptr) {
            EXPECT_FALSE(accepted) << setting.text;
            EXPECT_EQ(x.value, last) << "a refused value must leave the old one: " << setting.text;
            EXPECT_THAT(error, HasSubstr("\"")) << setting.text;
        } else {
            EXPECT_TRUE(accepted) << setting.text << ": " << error;
            EXPECT_EQ(x.value, setting.stored) << setting.text;
        }
        last = x.value;
    }
}

TEST_F(CvarTest, OnlyTheRegisteredLimitsApply) {
    pluginsdk::CVarDefinition definition{"pos", "10", "Left", true, true, 0.0f, false, 0.0f, true};
    ConsoleVariable& pos = Register(definition);
    ASSERT_TRUE(cvars.Set(pos, "100000", error));
    EXPECT_EQ(pos.value, "100000");
    ASSERT_TRUE(cvars.Set(pos, "-7.5", error));
    EXPECT_EQ(pos.value, "0");
}

TEST_F(CvarTest, TextVariablesTakeAnyTextButNoLineBreak) {
    ConsoleVariable& text = Register({"greeting", "hello", "", true, false, 0.0f, false, 0.0f, false});
    EXPECT_FALSE(text.numeric);
    ASSERT_TRUE(cvars.Set(text, "two words \"quoted\"", error));
    EXPECT_EQ(text.value, "two words \"quoted\"");
    EXPECT_FALSE(cvars.Set(text, "line\nbreak", error));
    EXPECT_EQ(CvarRegistry::FloatValue(text), 0.0f);
}

TEST_F(CvarTest, RegisteringAnExistingNameReturnsTheSameVariable) {
    ConsoleVariable& first = Register(Limited("x", "5", 0.0f, 10.0f));
    ASSERT_TRUE(cvars.Set(first, "8", error));
    ConsoleVariable& second = Register(Limited("x", "1", 0.0f, 2.0f));
    EXPECT_EQ(&first, &second);
    EXPECT_EQ(second.value, "8");
    EXPECT_EQ(second.definition.max, 10.0f);
}

TEST_F(CvarTest, BindingsTakeTheValueAtOnceAndFollowEveryChange) {
    ConsoleVariable& enabled = Register(Limited("enabled", "1", 0.0f, 1.0f));
    ConsoleVariable& pos = Register({"pos", "350", "", true, true, 0.0f, false, 0.0f, true});
    auto flag = std::make_shared<bool>(false);
    auto y = std::make_shared<float>(850.0f);
    cvars.Bind(enabled, flag);
    cvars.Bind(pos, y);
    EXPECT_TRUE(*flag);
    EXPECT_EQ(*y, 350.0f);
    ASSERT_TRUE(cvars.Set(enabled, "0", error));
    ASSERT_TRUE(cvars.Set(pos, "-20", error));
    EXPECT_FALSE(*flag);
    EXPECT_EQ(*y, 0.0f);
    ASSERT_TRUE(cvars.Set(enabled, "0.5", error));
    EXPECT_TRUE(*flag);  // bool: value != 0
    EXPECT_FALSE(cvars.Set(pos, "far", error));
    EXPECT_EQ(*y, 0.0f);
}

TEST_F(CvarTest, BindingsNobodyElseHoldsAreDropped) {
    ConsoleVariable& x = Register(Limited("x", "5", 0.0f, 10.0f));
    auto kept = std::make_shared<float>(0.0f);
    cvars.Bind(x, kept);
    for (int i = 0; i < 100; ++i) cvars.Bind(x, std::make_shared<float>(0.0f));
    EXPECT_LE(x.floatBindings.size(), 2u);
    ASSERT_TRUE(cvars.Set(x, "9", error));
    EXPECT_EQ(*kept, 9.0f);
}

TEST_F(CvarTest, CommandsAreReplacedByNameAndDroppedByOwner) {
    int calls = 0;
    cvars.RegisterCommand({1, "go", [&](std::vector<std::string>) { calls += 1; }, "first", 0});
    cvars.RegisterCommand({2, "stop", [&](std::vector<std::string>) {}, "", 0});
    cvars.RegisterCommand({1, "go", [&](std::vector<std::string>) { calls += 10; }, "second", 0});
    auto go = cvars.FindCommand("go");
    ASSERT_NE(go, nullptr);
    go->callback({"go"});
    EXPECT_EQ(calls, 10);
    cvars.DropCommands(1);
    EXPECT_EQ(cvars.FindCommand("go"), nullptr);
    EXPECT_NE(cvars.FindCommand("stop"), nullptr);
    go->callback({"go"});  // a held command outlives its removal
    EXPECT_EQ(calls, 20);
}

TEST_F(CvarTest, ASavedValueReplacesTheDefaultAndABadOneIsReported) {
    cvars.SetSavedValues({{"x", "7"}, {"y", "lots"}, {"z", "99"}});
    EXPECT_EQ(Register(Limited("x", "5", 0.0f, 10.0f)).value, "7");
    EXPECT_EQ(Register(Limited("z", "5", 0.0f, 10.0f)).value, "10");  // limits apply to saved values too
    std::string warning;
    ConsoleVariable& y = cvars.Register(1, Limited("y", "3", 0.0f, 10.0f), warning);
    EXPECT_EQ(y.value, "3");
    EXPECT_THAT(warning, HasSubstr("saved value \"lots\" of y refused"));
}

TEST_F(CvarTest, SavingKeepsSavedValuesNobodyRegistered) {
    cvars.SetSavedValues({{"x", "7"}, {"gone_plugin_setting", "42"}, {"unsaved", "1"}});
    ConsoleVariable& x = Register(Limited("x", "5", 0.0f, 10.0f));
    ASSERT_TRUE(cvars.Set(x, "9", error));
    Register({"unsaved", "0", "", true, false, 0.0f, false, 0.0f, false});
    Register({"fresh", "3", "", true, false, 0.0f, false, 0.0f, true});
    EXPECT_THAT(cvars.ValuesToSave(), UnorderedElementsAre(Pair("x", "9"), Pair("gone_plugin_setting", "42"),
                                                           Pair("unsaved", "1"), Pair("fresh", "3")));
}

class ConfigFileTest : public ::testing::Test {
protected:
    void WriteText(const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
    const vtest::TempDir temp{"vhost-config"};
    const std::filesystem::path dir = temp.path(), path = dir / "config.cfg";
};

TEST_F(ConfigFileTest, RoundTripKeepsAwkwardValues) {
    const std::map<std::string, std::string> values = {
        {"plain", "1"}, {"blank", ""}, {"quotes", "say \"hi\""}, {"backslash", "C:\\dir\\"}, {"hash", "#1 # 2"},
        {"name with blank", "x"}};
    std::string error;
    ASSERT_TRUE(WriteConfig(path, values, error)) << error;
    EXPECT_FALSE(std::filesystem::exists(dir / "config.cfg.tmp"));
    const ConfigContents read = ReadConfig(path);
    EXPECT_TRUE(read.problems.empty());
    EXPECT_EQ(read.values, values);
}

TEST_F(ConfigFileTest, BadLinesAreReportedAndSkipped) {
    WriteText("good \"1\"\n"
              "\n"
              "# a comment\n"
              "lonely\n"
              "too \"many\" words\n"
              "open \"quote\n"
              "also_good 2\r\n");
    const ConfigContents read = ReadConfig(path);
    EXPECT_THAT(read.values, UnorderedElementsAre(Pair("good", "1"), Pair("also_good", "2")));
    ASSERT_EQ(read.problems.size(), 3u);
    EXPECT_THAT(read.problems[0], HasSubstr("4:"));
    EXPECT_THAT(read.problems[1], HasSubstr("5:"));
    EXPECT_THAT(read.problems[2], HasSubstr("6: unterminated"));
}

TEST_F(ConfigFileTest, AMissingFileIsNotAnError) {
    const ConfigContents read = ReadConfig(dir / "nothing.cfg");
    EXPECT_TRUE(read.missing);
    EXPECT_TRUE(read.error.empty());
    EXPECT_TRUE(read.values.empty());
}

TEST_F(ConfigFileTest, AFailedWriteLeavesTheOldFileWhole) {
    WriteText("kept \"1\"\n");
    std::string error;
    EXPECT_FALSE(WriteConfig(dir / "missing-dir" / "config.cfg", {{"a", "b"}}, error));
    EXPECT_THAT(error, HasSubstr("cannot create"));
    EXPECT_EQ(ReadConfig(path).values.at("kept"), "1");
}

}  // namespace
}  // namespace vhost
