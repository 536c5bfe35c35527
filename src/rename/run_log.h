// The two CSV logs of a rename run: the process log holds every rename of
// both phases, the result log one row per file from its old name to its new.
#pragma once

#include <cstddef>
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

// The first piece of a row: "OK," for a rename that succeeded, "NG," for one
// that failed. It waits in the stream until the rest of the row follows.
void WriteVerdict(const RunLog& log, bool ok);

// The rest of a row: both names and the file's last-write time in local time.
// The row has reached the file (flushed, not synced) when this returns, so a
// run killed at any moment leaves every row written before.
void WriteRowRest(const RunLog& log, const char* before, const char* after, FILETIME writeTime);

// Room FormatLogTime needs.
inline constexpr std::size_t kLogTimeRoom = 32;
// Writes the date and time columns "YYYY/MM/DD,hh:mm:ss:cc\n" (cc: hundredths
// of a second, rounded down) and returns their length.
std::size_t FormatLogTime(char (&out)[kLogTimeRoom], const CalendarTime& local);

// Closes the log unless standard output stands in for it.
void CloseRunLog(const RunLog& log);

}  // namespace shotrenum
