// vantrel-host: loads the plug-in module and plays a simulated game driven by console
// commands from a script file, the terminal or the window's controls.
#include "app/program.h"

int main(int argc, char** argv) { return vhost::RunHostProgram(argc, argv); }
