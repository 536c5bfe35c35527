#pragma once

namespace shotrenum {

enum class RunMode {
  kRenumber,  // rename, with both logs
  kPreview,   // only show the renames a run would make: touches nothing
};

// One run over the current directory: counts and collects the screenshots,
// puts them into capture order and either reports that there is nothing to do
// or renumbers them (or, previewing, lists the renames). Returns 1 when the
// set was ordered (reported in order, renumbered or previewed), 0 when the
// run ended before that.
int RunRenumber(RunMode mode = RunMode::kRenumber);

}  // namespace shotrenum
