// The tool's entry point. Without arguments: one run over the current
// directory and its summary, then a pause so that a window opened by a
// double-click stays readable; its exit status tells whether everything was
// done. With arguments: the folders, logs and options they name
// (src/run/command_line.h). Started as shotrenum-preview, every command line
// is a preview's.
#include "platform/platform.h"
#include "run/command_line.h"

#include <string>
#include <vector>

int main(int argc, char** argv) {
  shotrenum::PrepareStandardStreams();
  std::vector<std::string> arguments = shotrenum::CommandLineArguments(argc, argv);
  if (shotrenum::PreviewsByName(shotrenum::ProgramFileName(argc, argv))) arguments.insert(arguments.begin(), "-n");
  return static_cast<int>(shotrenum::RunCommandLine(shotrenum::ParseCommandLine(arguments)));
}
