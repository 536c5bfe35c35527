// What the user asked for on the command line. Every argument is checked
// before anything is touched: a command with one bad argument does nothing.
#pragma once

#include <string>
#include <vector>

#include "run/exit_status.h"

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
  // No argument at all: a run over the current folder, its messages and
  // the closing summary, then the pause (a double-click's window would close
  // at once).
  bool bare = false;
  bool dryRun = false;
  std::vector<Target> targets;
  // Of a refusal: the message, and the argument its "%s" names.
  const char* refusal = nullptr;
  std::string refused;
  // Of a file refused as no log: why (a Say format; its %ld `whyLine`).
  const char* why = nullptr;
  long whyLine = 0;
};

// Whether the program file's name (ProgramFileName) is the preview's:
// "shotrenum-preview", in any case, with or without ".exe". A copy of the
// tool so named takes its command line as with "-n" in front, so that
// folders dropped onto it are previewed whatever their names hold.
bool PreviewsByName(const std::string& programFile);

// Reads the arguments. Folders and logs are told apart, and checked, through
// the platform (what the path names, whether a file is a log of this tool).
Command ParseCommandLine(const std::vector<std::string>& arguments);

// Carries the command out and returns the exit status: 0 when everything
// asked was done (renumbered, in order already, nothing found, previewed,
// undone), 1 when something was not, 2 for a refused command line; with
// several folders or logs, the worst. The bare start tells the same as a
// run over the current folder.
ExitStatus RunCommandLine(const Command& command);

}  // namespace shotrenum
