// fieldprep: merges the settings given on the command line into the
// product's configuration file and writes README.txt and SILENT_INSTALL.BAT
// beside it. The run log and the exit code are its only report.
#include "platform.h"
#include "run.h"
#include "run_guard.h"

int main(int argc, char** argv) {
  ignoreFileSizeSignal();
  runGuarded([&] { runTool(argc, argv); });
}
