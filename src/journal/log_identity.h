// Which command a log given by any name belongs to. A log's name tells it
// (the fourteen digits); a copy of a log, or a log renamed, is known by its
// content: the command one of whose logs in the folder holds the same rows.
// A copy is never a command of its own.
#pragma once

#include <vector>

#include "journal/history.h"
#include "rename/log_reader.h"

namespace shotrenum {

enum class LogOwner {
  kFound,       // `digits`: the command's
  kBad,         // the file is no log of this tool (`check` says why)
  kNoOriginal,  // no log of the folder holds its rows
  kAmbiguous,   // the logs of more than one command hold them
};

struct LogIdentity {
  LogOwner owner = LogOwner::kBad;
  char digits[15] = "";
  LogCheck check;
};

// Of the file `name` on the shelf, given the shelf's listing `logs`: by
// its name where that is a log's name; else the command whose log of the
// same kind holds the same title and rows (read, so a copy saved again as
// UTF-8, quoted or in CR LF is still the same), or, when none does, whose
// log of the other kind holds the same renames (a process log's rows to a
// name that is no temporary one are the result log's rows).
LogIdentity IdentifyLog(LogShelf& shelf, const std::vector<ListedLog>& logs, const char* name);

}  // namespace shotrenum
