// The tests' two log generators, C++ (log_lines.h) and Python (tests/support/vtest.py),
// write the same bytes: the Python tests' logs are then the logs the report's own tests
// read.
#include <gtest/gtest.h>

#include "log_lines.h"
#include "program.h"

namespace {

TEST(LogLines, ThePythonTwinWritesTheSameLines) {
    vtest::LogText log;
    log.Line(vtest::Rating(700, 0, 0)).Line(vtest::Won(true), 0).Line(vtest::Ended(1, 1, 0, 1000.5), 3);
    log.Line(vtest::Rating(1012.25, 1000.5, 3));
    log.Wait(3600).Crlf().Line(vtest::Won(false)).Line(vtest::Ended(3, 0, 1, 0, -7.5), 5);
    log.Line(vtest::kLimit5).Line(vtest::kLimit120);
    const vtest::ProgramRun python = vtest::RunProgram({VANTREL_PYTHON, VANTREL_SUPPORT_DIR "/vtest.py", "sample"});
    ASSERT_EQ(python.exitCode, 0) << python.err;
    EXPECT_EQ(python.out, log.str());
}

}  // namespace
