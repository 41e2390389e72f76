// The end of a run started from the file manager: when the window is held open.
#include <gtest/gtest.h>

#include "app/console_start.h"

namespace {

using vantrel::report::ConsoleFacts;
using vantrel::report::ShouldHoldWindow;

TEST(ConsoleStart, HoldsTheWindowOnlyWhenItClosesWithTheProgram) {
    // Double-clicked or dropped onto: a console of its own, keyboard and window.
    EXPECT_TRUE(ShouldHoldWindow({1, true, true}));
    // A shell shares the console: the window stays after the program.
    EXPECT_FALSE(ShouldHoldWindow({2, true, true}));
    EXPECT_FALSE(ShouldHoldWindow({3, true, true}));
    // No console (or the count could not be had).
    EXPECT_FALSE(ShouldHoldWindow({0, false, false}));
    // Input or output redirected: a script is reading or feeding it.
    EXPECT_FALSE(ShouldHoldWindow({1, false, true}));
    EXPECT_FALSE(ShouldHoldWindow({1, true, false}));
}

}  // namespace
