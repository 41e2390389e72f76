// The command line, parsed apart from the run: what the program then does is decided here.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>
#include <vector>

#include "app/options.h"

namespace {

using namespace vantrel::report;

CommandLine Parse(std::initializer_list<const char*> arguments) {
    std::vector<const char*> argv{"vantrel-report"};
    argv.insert(argv.end(), arguments);
    return ParseCommandLine(static_cast<int>(argv.size()), argv.data());
}

TEST(ReportOptions, ServeListensOnLoopbackByDefaultAndShowsTheWholeHistory) {
    const CommandLine plain = Parse({"--serve"});
    ASSERT_EQ(plain.action, CommandLine::Action::Report) << plain.error;
    ASSERT_TRUE(plain.options.serve);
    EXPECT_EQ(plain.options.serve->address, "127.0.0.1");
    EXPECT_EQ(plain.options.serve->port, 7433);
    EXPECT_TRUE(serve::IsLoopback(plain.options.serve->address));  // so no network warning

    // Filters would show part of the history as if it were all of it.
    const std::pair<const char*, const char*> filters[] = {{"--mode", "2v2"}, {"--since", "2024-03-05"}, {"--last", "1"}};
    for (const auto& [filter, value] : filters) {
        for (const CommandLine& line : {Parse({"--serve", filter, value}), Parse({filter, value, "--serve"})}) {
            EXPECT_EQ(line.action, CommandLine::Action::Error) << filter;
            EXPECT_EQ(line.error, "--serve shows the whole history live: not with --html, --csv, --mode, --since or --last");
        }
    }
}

TEST(ReportOptions, ModesInAnyCase) {
    const CommandLine line = Parse({"--mode", "2V2", "--mode", "Other", "--mode=3VS3"});
    ASSERT_EQ(line.action, CommandLine::Action::Report) << line.error;
    EXPECT_THAT(line.options.filter.modes, ::testing::ElementsAre(false, true, true, true));
}

}  // namespace
