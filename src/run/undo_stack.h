// Newest run first: the runs and undos whose logs stand in a folder, and
// which of them a later undo took back.
#pragma once

#include <vector>

namespace shotrenum {

// A run or undo whose logs stand in the folder.
struct StackEntry {
  char digits[15];   // of its log names: its local start time
  char logName[32];  // its process log, else its result log
  bool undo;
  char undoneDigits[15];  // of an undo: the run (or undo) it takes back
  bool cancelled;         // a later undo that stands took it back
};

// Every run and undo from `digits` on, newest first, each marked whether a
// later undo took it back. An undo that stands takes back the one it names;
// an undo taken back (by an undo of it) takes back nothing. `complete` tells
// whether the folder's listing was read to its end.
std::vector<StackEntry> ReadStack(const char* digits, bool* complete);

}  // namespace shotrenum
