// The folder's history: every run and undo whose logs stand in it, read once
// per command of the tool, each log whole and checked. What a command did is
// kept by file: from the name each file had when the command began to the
// one it had when it ended. Everything that decides (the order a run finishes
// an interrupted one in, what an undo moves) works on this, never on the
// files again.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "rename/log_reader.h"
#include "rename/executor.h"
#include "shots/folder_name.h"

namespace shotrenum {

// One file a command moved, or tried to. A file whose first rename failed
// goes from its name to the same name.
struct Placement {
  FolderName before;       // its name when the command began
  FolderName after;        // its name when the command ended, as far as the rows tell
  std::int64_t localTime;  // the time its rows show (LogRow::localTime)

  bool Stayed() const { return before == after; }
};

enum class LogState {
  kRead,        // its logs were read whole and hold together
  kNothing,     // they hold nothing but NUL bytes: the command was killed
                // before it renamed anything
  kUnstarted,   // its process log is empty and it has no result log: killed
                // before it wrote the head, unless a temporary name of its
                // second tells otherwise (then it cannot be read)
  kUnreadable,  // a log of it is empty, damaged, contradicts itself, or is
                // not a regular file
};

struct LoggedCommand {
  char digits[15];      // of its log names: its local start time
  char processLog[32];  // its logs' file names as listed; "" where not listed
  char resultLog[32];
  LogState state = LogState::kRead;
  char problem[32] = "";      // kUnreadable: the log that could not be read
  std::int64_t written = -1;  // when its process log (else result log) was last written
  bool undo = false;
  char undoneDigits[15] = "";  // of an undo: the command it takes back
  std::int64_t stamp = -1;     // of its temporary names; -1 while unknown
  std::int64_t offset = 0;     // the UTC offset its rows were printed in
  bool offsetGuessed = false;  // no row told the stamp: today's time zone gave it
  // The oldest stamp of another command whose temporary names its second
  // phase took files from; -1 when it took none.
  std::int64_t oldestTaken = -1;
  std::int64_t newestTaken = -1;  // and the newest
  // What it did, file by file, sorted by `after`.
  std::vector<Placement> placements;
  // A kill between a rename and its row leaves that rename unlogged: the one
  // after the last row. `positional`: a run whose process log was read, whose
  // second phase fills the targets in order, so that rename went to target
  // `secondPhaseRows`. `candidate`: the first file (in the command's order)
  // whose first-phase rename is logged and whose second-phase one is not, the
  // one such a rename took from its own temporary name, if any did.
  bool positional = false;
  long secondPhaseRows = 0;
  bool hasCandidate = false;
  Placement candidate{};
  // The file of the last second-phase row, from its name when the command
  // began: among equal times, a file the unlogged rename took came right
  // after it.
  Placement lastSecond{};
  // A power cut after the first phase's rows reached the disk can lose any
  // of the second phase's: of a run that took no file from another
  // command's temporary names, the files whose first-phase rows have no
  // second-phase row, each with the target its place in the first phase
  // gave it (`after` the temporary name the rows leave it at).
  struct Unlogged {
    Placement placed;
    FolderName target;
  };
  std::vector<Unlogged> unlogged;

  // The log that names the command to the user: its process log, else its
  // result log.
  const char* Name() const { return processLog[0] != '\0' ? processLog : resultLog; }
};

// An entry of the folder named like a log.
struct ListedLog {
  std::string name;
  std::int64_t written;  // its last-write time, seconds since 1970 (-1: unknown)
};

// A folder's logs, as the history reads them: the real folder's, or a
// test's.
class LogShelf {
 public:
  enum class Open { kOpened, kMissing, kNotAFile, kFailed };
  virtual ~LogShelf() = default;
  // The entries whose names match kLogSearchPattern. False when the folder
  // could not be listed to its end.
  virtual bool List(std::vector<ListedLog>* logs) = 0;
  // Opens a log to read; a FIFO, device or folder is never opened for a
  // blocking read (kNotAFile).
  virtual Open OpenLog(const char* name, std::unique_ptr<ByteSource>* source) = 0;
  // The unit in which the file system writes a log back (what a power cut
  // keeps or loses of it).
  virtual std::size_t PageBytes() const { return kCutPageBytes; }
};

struct History {
  std::vector<LoggedCommand> commands;  // oldest first
  StampTable stamps;              // the stamps of every temporary name met
  bool listed = false;            // the folder's logs were listed to the end
  // The NUL bytes a killed command left after the whole lines of its logs:
  // reading takes note of them, and the command that changes the folder
  // cuts them as a step of its decision (a preview leaves them).
  std::vector<LogCut> cuts;

  // The command whose logs bear `digits`; nullptr when none.
  const LoggedCommand* Find(const char* digits) const;
  // The index of the command with `stamp`; -1 when none.
  long IndexOfStamp(std::int64_t stamp) const;
};

// Reads the commands that can matter from `horizon` (a stamp) on: every
// command that may have started then or later, and every earlier one whose
// temporary names a command read took files from, and so on back.
// The stamps `history->stamps` holds already are those of the folder's
// temporary names: they tell the stamp of a command that logged none (killed
// between its first rename and that rename's row).
// `undoing`: the digits of the command an undo takes back, whose reading
// lets go of the rows of earlier commands that cannot matter to it.
void ReadHistory(LogShelf& shelf, std::int64_t horizon, History* history, const char* undoing = nullptr);

// Reads one command's logs into `command` (its names set). Exposed for tests.
void ReadCommand(LogShelf& shelf, StampTable& stamps, LoggedCommand& command, std::vector<LogCut>* cuts);

}  // namespace shotrenum
