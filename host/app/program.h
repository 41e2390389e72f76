// The vantrel-host program as a function, so that a build may wire more into it: main.cpp
// runs it as it is; the window's tests run it with a driver that plays their steps in the
// window (tests/window/driver), which the shipped program does not hold.
#pragma once

#include <functional>
#include <memory>

namespace vhost {

class WindowDriver;

struct ProgramWiring {
    // Makes the driver a --window session is played with; unset: a person drives it.
    std::function<std::unique_ptr<WindowDriver>()> windowDriver;
};

// Parses the command line, runs the session it asks for and returns the exit status.
int RunHostProgram(int argc, char** argv, const ProgramWiring& wiring = {});

}  // namespace vhost
