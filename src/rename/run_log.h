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

// Writes one row: the verdict, both names and the file's last-write time in
// local time. The row has reached the file (flushed, not synced) when this
// returns, so a run killed at any moment leaves every row written before.
void WriteRow(const RunLog& log, bool ok, const char* before, const char* after, FILETIME writeTime);

// The rows of one rename to both logs: (firstBefore, after) to `first`, then
// (secondBefore, after) to `second`, each as WriteRow writes it. Where both
// logs stand in on the same stream, the two rows go out there interleaved as
// they always have: both verdicts, then the rest of the first row, then the
// rest of the second.
void WriteRowPair(const RunLog& first, const RunLog& second, bool ok, const char* firstBefore, const char* secondBefore,
                  const char* after, FILETIME writeTime);

// Bytes a row takes beyond its two names.
inline constexpr std::size_t kRowFrame = 32;
// Writes the row "OK,before,after,YYYY/MM/DD,hh:mm:ss:cc\n" (cc: hundredths
// of a second; NG for a failed rename) to `out`, which has room for the two
// names plus kRowFrame bytes, and returns its length.
std::size_t FormatRow(char* out, bool ok, const char* before, const char* after, const CalendarTime& local);

// Closes the log unless standard output stands in for it.
void CloseRunLog(const RunLog& log);

}  // namespace shotrenum
