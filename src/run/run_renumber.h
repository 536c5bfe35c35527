#pragma once

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

// One run over the current directory: counts and collects the screenshots,
// puts them into capture order and either reports that there is nothing to do
// or renumbers them (or, previewing, lists the renames). Returns 1 when the
// set was ordered (reported in order, renumbered or previewed), 0 when the
// run ended before that; `outcome`, when given, tells how it went.
int RunRenumber(RunMode mode = RunMode::kRenumber, RunOutcome* outcome = nullptr);

}  // namespace shotrenum
