#pragma once

#include "rename/mover.h"
#include "rename/log_reader.h"
#include "run/exit_status.h"

namespace shotrenum {

// What an undo did, for the exit status and the closing summary.
struct UndoReport {
  bool done = false;  // it went ahead (renamed, or took its entry back)
  long back = 0;      // files it put back where they were
  long left = 0;      // files left where they are, or gone
  long already = 0;   // files the command undone left at their names from before it
  long held = 0;      // renames another program held the file through
  FailureCauses causes;  // why the other renames failed
  long wouldMove = -1;  // a preview's count of files the undo would put back
};

enum class UndoMode {
  kUndo,
  kPreview,  // only show the renames the undo would make: touches nothing
};

// Undoes the run (or undo) whose process or result log is `logName` in the
// current directory, newest first: every file it moved that still bears the
// name and the write time its logs show goes back to where it was before
// it, through the same two phases as a run and with a pair of logs of its
// own, whose title lines name what it takes back. Given again after an
// interruption, it finishes the undo. Takes the folder's lock and writes its
// own messages.
//
// Returns the exit status: 0 when every file went back; 1 when the undo was
// refused with nothing touched (a later entry stands, a log that cannot be
// read, another run in the folder, nothing left to take back) or some file
// was left where it was.
//
// A preview decides the same, then lists the renames instead of making
// them: no log is written or cut, nothing a kill left is removed. It
// returns 1 when the undo would be refused (saying why, as the undo would)
// or would leave some file where it is.
ExitStatus RunUndo(const char* logName, UndoReport* report, UndoMode mode = UndoMode::kUndo);

// The reason (a Say format; kLogWhyRow takes the line) a file is no log.
const char* WhyNotALog(LogFault fault);

}  // namespace shotrenum
