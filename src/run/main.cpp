// The tool's entry point. Without arguments: one run over the current
// directory and its summary, then a pause so that a window opened by a
// double-click stays readable; its exit status tells whether everything was
// done. With arguments: the folders, logs and options they name
// (src/run/command_line.h).
#include "platform/platform.h"
#include "run/command_line.h"

int main(int argc, char** argv) {
  shotrenum::PrepareStandardStreams();
  return static_cast<int>(shotrenum::RunCommandLine(shotrenum::ParseCommandLine(shotrenum::CommandLineArguments(argc, argv))));
}
