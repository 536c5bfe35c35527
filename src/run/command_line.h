// What the user asked for on the command line. Every argument is checked
// before anything is touched: a command with one bad argument does nothing.
#pragma once

#include <string>
#include <vector>

namespace shotrenum {

enum class Action {
  kRenumber,  // each target in turn (no target: the current folder)
  kHelp,
  kVersion,
  kRefuse,  // a bad argument: say why, touch nothing
};

struct Target {
  bool isLog;        // a run's log: that run is undone; else a folder to renumber
  std::string path;  // as the user gave it
};

struct Command {
  Action action = Action::kRenumber;
  bool dryRun = false;
  std::vector<Target> targets;
  // Of a refusal: the message, and the argument its "%s" names.
  const char* refusal = nullptr;
  std::string refused;
};

// Reads the arguments. Folders and logs are told apart, and checked, through
// the platform (what the path names, whether a file is a log of this tool).
Command ParseCommandLine(const std::vector<std::string>& arguments);

// Carries the command out and returns the exit status: 0 for runs (whatever
// their single renames did), 2 for a refused command line.
int RunCommandLine(const Command& command);

}  // namespace shotrenum
