// The two CSV logs of a rename run: the process log holds every rename of
// both phases, the result log one row per file from its old name to its new.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "rename/log_format.h"
#include "rename/log_window.h"

namespace shotrenum {


// Where a log's rows go: one meaning each.
enum class LogPlace : std::uint8_t {
  kNotOpened,       // not opened yet
  kFile,            // its file (`file`)
  kStandardOutput,  // standard output stands in: the file could not be
                    // created, or took no more rows (`fileFailed`)
  kNotCreated,      // an undo's journal whose file could not be created:
                    // nowhere, and the undo does not start
  kClosed,          // closed
};

struct RunLog {
  LogPlace where;
  std::FILE* file;    // the log file while `where` is kFile, else nullptr
  char fileName[64];  // the name it was given, also when stdout stands in
  LogKind kind;
  bool fileCreated;    // the file was created (its rows may still have gone
                       // to stdout from some point on)
  bool fileFailed;     // a write to the file failed: the rest went to stdout
  bool rowsLost;       // a write to stdout failed too: some rows went nowhere
  char undoneLog[32];  // of an undo's log: the process log of the run it undoes
  bool changed;        // another program changed its file underneath it
                       // (cut it shorter) as rows were stored into it
  bool mapped;         // its rows are stored into `window` rather than written
  LogWindow window;
};


// Creates the log named from the run's local start time and writes its title
// and header lines. When the file cannot be created, or any entry (an older
// log, a symbolic link) already bears its name, the log goes to standard
// output instead: it never empties or follows anything.
RunLog OpenRunLog(LogKind kind, const CalendarTime& startTime);
// The same for an undo: its title line names the process log of the run it
// undoes, so that the folder's logs tell which runs were undone.
RunLog OpenUndoLog(LogKind kind, const CalendarTime& startTime, const char* undoneLog);

// The same, but never on standard output: an undo writes its journal first
// or not at all. `where` is kNotCreated when the file could not be created, or
// its title and header could not be written (it is then removed again,
// with whatever part of them reached it).
RunLog CreateUndoLog(LogKind kind, const CalendarTime& startTime, const char* undoneLog);

// Rows stored into a shared mapping of a log file need its final size before
// the first of them: the bytes of every row to come, known before the first
// rename (a row's length follows from its names and its time columns, not
// from its verdict). The room is allocated at once, so no store can fail for
// want of space. Where the room or the mapping cannot be had (a full disk, a
// file system that cannot map, standard output standing in), the log is
// written a row at a time instead, and reports its trouble as it always has.

// The bytes one row takes in a log file, its line end as the file has it:
// made of the very pieces WriteLogRow writes.
std::uint64_t LogRowBytes(const char* before, const char* after, FILETIME writeTime);

// Gives a log whose file holds its title and header, and nothing more, the
// room for `rowBytes` bytes of rows, and stores its rows from here on into a
// window of a shared mapping of the file that slides along it. False where
// it has no file, or the room or the mapping cannot be had: its rows are then
// written one at a time, as before.
bool MapLogRows(RunLog& log, std::uint64_t rowBytes);

// Writes one row: "OK" for a rename that succeeded or "NG" for one that
// failed, both names, and the file's last-write time in local time. The row
// leaves as one piece, so two logs on standard output interleave row by row.
// It has reached the file (stored into its mapping, or flushed; not synced)
// when this returns, so a run killed at any moment leaves every row written
// before. When the file cannot take it, this row and every later one go to
// standard output, after the log's title and header.
// False when the log's file was found changed underneath it (another program
// cut it as rows were stored into its mapping): this row and any before it
// may be gone from it. The caller then starts the log again (RestartRunLog)
// and gives it every row once more; the rows go by writes from there on.
bool WriteLogRow(RunLog& log, bool ok, const char* before, const char* after, FILETIME writeTime);

// Whether a mapped log's file still holds every row stored into it (one
// question to the system): false as WriteLogRow is false. True for a log
// written a row at a time.
bool RunLogWhole(RunLog& log);

// Writes a log found changed underneath it from its first byte again: cuts
// its file to nothing and writes its title and header; its rows are then to
// be written again, one at a time. Where the file cannot take that, the log
// goes to standard output.
void RestartRunLog(RunLog& log);


// Makes the log's bytes, written or stored, and its size outlast a power
// cut. kDone where standard output stands in for it: nothing to keep.
Durable MakeLogDurable(RunLog& log);
// Ends the storing of a mapped log's rows: its file is cut to the bytes
// stored, its allocated room beyond them taken off. Nothing for another.
void EndLogRows(RunLog& log);

// Closes the log file, if standard output does not stand in for it; the
// file of a mapped log is cut to the bytes stored.
void CloseRunLog(RunLog& log);

// Tells the user about a log whose rows did not all reach its file.
void ReportLogTrouble(const RunLog& log);

// The end of a run or an undo: closes the result log, then the process log;
// when renames failed, sends the user to the process log (or, where its rows
// went to standard output only, says so); then reports either log's trouble.
void CloseRunLogs(RunLog& processLog, RunLog& resultLog, long failures);

}  // namespace shotrenum
