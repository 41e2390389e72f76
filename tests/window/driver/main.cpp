// vantrel-host-driven: the vantrel-host program with the window's step driver, for the
// window's tests (and bench/window_bench.sh): `--window` plays the steps of the file that
// VANTREL_WINDOW_HOOKS names (step_driver.h). Everything else is the shipped program.
#include <cstdlib>
#include <memory>

#include "app/program.h"
#include "step_driver.h"

int main(int argc, char** argv) {
    vhost::ProgramWiring wiring;
    wiring.windowDriver = [] { return std::make_unique<vtest::StepDriver>(std::getenv("VANTREL_WINDOW_HOOKS")); };
    return vhost::RunHostProgram(argc, argv, wiring);
}
