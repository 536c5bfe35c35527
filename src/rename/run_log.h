// The two CSV logs of a rename run: the process log holds every rename of
// both phases, the result log one row per file from its old name to its new.
#pragma once

#include <cstdio>

#include "platform/platform.h"

namespace shotrenum {

enum class LogKind { kProcess, kResult };

struct RunLog {
  std::FILE* stream;  // the log file, or stdout when it could not be created
  char fileName[64];  // the name it was given, also when stdout stands in
};

// Creates the log named from the run's local start time (an existing file of
// that name is emptied) and writes its title and header lines. When the file
// cannot be created, or a symbolic link stands at its name, the log goes to
// standard output instead.
RunLog OpenRunLog(LogKind kind, const CalendarTime& startTime);

void WriteVerdict(const RunLog& log, bool ok);
// The rest of a row: both names and the file's last-write time in local time.
void WriteRowRest(const RunLog& log, const char* before, const char* after, FILETIME writeTime);

// Closes the log unless standard output stands in for it.
void CloseRunLog(const RunLog& log);

}  // namespace shotrenum
