// What an undo moves, decided before the first rename. Every file the
// commands taken back moved goes back to where it was before them, if it
// still bears the name and the time their rows left it with, and if the name
// it goes back to is free or freed by another file that also goes back. A
// file that cannot go blocks the files whose way back it holds, and so on:
// the whole set is worked out first, so no file is left at a temporary name.
#pragma once

#include <cstdint>
#include <vector>

#include "journal/history.h"
#include "journal/tracks.h"

namespace shotrenum {

struct UndoPlan {
  // The files the undo takes back: tracks[0..files), sorted by where they go
  // (`at`), each moving from `name` to `at` unless it stays.
  long files = 0;
  // Of each of those files: it cannot go back, and is left where it is.
  std::vector<bool> stays;
  long moving = 0;
  long back = 0;     // already where they were (an earlier try moved them)
  long staying = 0;  // left where they are: changed since, or their way back held
  long missing = 0;  // gone from the folder
  // The stamps of temporary names whose command's logs are gone: the files
  // at those names went back to the names in them.
  std::vector<std::int64_t> lostLogs;
};

// `exact`: the commands taken back are an undo, whose inverse is exact (a
// file goes back even to a temporary name it bore); otherwise runs, after
// which no temporary name is left. `caseless`: the file system ignores the
// case of names. Reorders `tracks`.
UndoPlan PlanUndo(const History& history, std::vector<Track>& tracks, bool exact, bool caseless);

}  // namespace shotrenum
