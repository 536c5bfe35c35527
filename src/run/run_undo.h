#pragma once

namespace shotrenum {

// Undoes the run whose process or result log is `logName` in the current
// directory: every screenshot it moved that still bears the name and the
// write time its row shows goes back to the name it had before, through the
// same two phases as a run and with a pair of logs of its own, whose title
// lines name the run undone. Given again after an interruption, it finishes
// the undo. Takes the folder's lock and writes its own messages.
//
// Returns the exit status: 0 when the undo ran (also with failed renames, and
// when nothing was left to undo), 1 when it was refused with nothing touched
// (a later run not undone yet, another run in the folder, an unreadable
// folder), 2 when `logName` is no readable log of this tool.
int RunUndo(const char* logName);

}  // namespace shotrenum
