#pragma once

#include "rename/mover.h"

namespace shotrenum {

enum class RunMode {
  kRenumber,  // rename, with both logs
  kPreview,   // only show the renames a run would make: touches nothing
};

// How a run over one folder went, for the exit status.
enum class RunOutcome {
  kDone,     // renumbered, already in order, or previewed
  kNothing,  // no screenshot found
  kFailed,   // something was not done: a rename failed, the folder was busy,
             // could not be read, changed meanwhile or had too many files
};

// What a run did, for the exit status and the closing summary.
struct RunReport {
  RunOutcome outcome = RunOutcome::kDone;
  long handled = 0;         // files the run's two phases took (their "全N件")
  long moved = 0;           // of those, files that reached where they go
  long renamed = 0;         // of those, files that now bear another name
  long wouldRename = -1;    // a preview's count of files a run would rename
  long held = 0;            // renames another program held the file through
  FailureCauses causes;     // why the other renames failed
  char resultLog[64] = "";  // the result log's file name, when one was made
};

// One run over the current directory: counts and collects the screenshots,
// puts them into capture order and either reports that there is nothing to do
// or renumbers them (or, previewing, lists the renames). Returns 1 when the
// set was ordered (reported in order, renumbered or previewed), 0 when the
// run ended before that; `report`, when given, tells how it went.
// `givenFolder`: the folder as the user gave it, named where no screenshot
// is found in it (nullptr where none was given).
int RunRenumber(RunMode mode = RunMode::kRenumber, RunReport* report = nullptr, const char* givenFolder = nullptr);

}  // namespace shotrenum
