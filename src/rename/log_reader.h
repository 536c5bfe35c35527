// Reading the two logs back: a run that finds screenshots at temporary names
// and an undo both rely on them. Nothing in a log is trusted: every line is
// checked field by field, and a log with anything but the lines its writer
// writes is refused whole. Rows are read one at a time, never the whole file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string_view>

#include "rename/run_log.h"
#include "shots/temp_name.h"

namespace shotrenum {

// What a log's title line says.
struct LogHead {
  LogKind kind;
  bool undo;              // the log of an undo rather than of a run
  char undoneDigits[15];  // of an undo: the fourteen digits of the run it undoes
  bool crlf;              // its lines end in CR LF (else in LF)
};

// One row. `before` and `after` are screenshot names or temporary names;
// `time` holds the date and time columns as printed ("YYYY/MM/DD,hh:mm:ss:cc").
struct LogRow {
  bool ok;
  char before[kTempNameRoom];
  char after[kTempNameRoom];
  char time[kLogTimeRoom];
  // Of a temporary name in either column: its stamp and the screenshot name
  // inside it; of a screenshot name: -1 and the name itself.
  std::int64_t beforeStamp;
  const char* beforeShot;
  std::int64_t afterStamp;
  const char* afterShot;
};

struct LogReader {
  std::FILE* file;
  LogHead head;
  bool inPhase2;       // a process log: a row of the second phase was read
  std::int64_t stamp;  // a process log: the stamp of its first-phase rows, or -1
};

enum class LogStep { kRow, kEnd, kBad };

// Reads and checks the title and header lines. False when they are not
// exactly those of either log of a run or of an undo.
bool ReadLogHead(LogReader* reader, std::FILE* file);

// Reads and checks the next row. In a process log every first-phase row
// (screenshot name to a temporary name of it, one stamp for all) comes before
// every second-phase row (temporary name to screenshot name); in a result log
// every row ends at a screenshot name. kEnd at the end of the file; kBad for
// anything else, a line cut short included.
LogStep ReadLogRow(LogReader* reader, LogRow* row);

// Whether a second-phase row: one whose `after` is a screenshot name.
inline bool IsPhase2Row(const LogRow& row) { return row.afterStamp < 0; }

// A kill between a rename of the second phase and its row leaves that one
// rename unlogged: the first temporary name of the first phase (of the run
// with `stamp`, whose process log is `processLog`) that no row of the second
// phase moved went to the target after the last row's. Gives that first-phase
// row; false when every first-phase row has its second-phase row. The rows of
// both phases are in capture order, so the two are read side by side; a
// first-phase rename that failed may have no second-phase row.
bool FindUnloggedRename(const char* processLog, std::int64_t stamp, LogRow* firstPhaseRow);

// True when the stream starts with either log's title line, of a run or an
// undo, then the header line; reads only those two lines.
bool HasRunLogHead(std::FILE* file);

// The fourteen digits of a log's file name ("Veltrasko(All|Log)_<digits>.csv")
// and its kind; false for any other name.
bool ReadLogFileName(std::string_view name, char (&digits)[15], LogKind* kind);

}  // namespace shotrenum
