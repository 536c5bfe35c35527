// The one executor: what a command does is decided first, as a value, from
// the folder's listing and its logs' rows, with nothing opened for writing;
// then this carries the decision out, the same for a run and an undo, on the
// real folder or on a test's.
#pragma once

#include <cstdint>
#include <vector>

#include "rename/mover.h"
#include "shots/temp_name.h"

namespace shotrenum {

// A killed command's log whose NUL bytes after its last whole row go: it is
// cut to its first `length` bytes, keeping its last-write time, or removed
// where it holds nothing but NULs (`length` 0).
struct LogCut {
  char name[64];
  std::uint64_t length;
};

// What a kill left half done and the command removes: a second name of a
// file (`kept` is the name it keeps), or an empty reservation.
struct Leftover {
  char extra[64];
  char kept[64];
  bool empty;
};

// What a command does, in the order the executor does it.
struct Decision {
  std::vector<LogCut> cuts;
  std::vector<Leftover> leftovers;
  const MoveList* moves = nullptr;  // nullptr: no file moves, no log is made
  char undoneLog[64] = "";          // of an undo: the process log of what it takes back
  StampsInUse inUse{};              // the seconds the folder's temporary names bear
};

// What the executor acts on: the folder and the logs, or a test's.
class CommandSink {
 public:
  virtual ~CommandSink() = default;
  virtual void CutLog(const LogCut& cut) = 0;
  virtual void RemoveLeftover(const Leftover& leftover) = 0;
  // The command's stamp: a second no temporary name or log present bears.
  virtual std::int64_t TakeStamp(const StampsInUse& inUse) = 0;
  // Creates the process log and writes its head. False when an undo's
  // journal cannot be written: an undo moves nothing it could not record
  // (a run's log goes to standard output instead).
  virtual bool OpenLogs(std::int64_t stamp, const char* undoneLog) = 0;
  // What the two phases act on, once the logs are open.
  virtual MoveSink& Moves() = 0;
  // Closes both logs; `failures` of a run send the user to the process log.
  virtual void CloseLogs(long failures) = 0;
};

struct Execution {
  bool journalFailed = false;  // an undo's process log could not be written: nothing moved
  std::int64_t stamp = -1;     // the command's stamp, once taken
  MoveTally tally;
};

Execution Execute(const Decision& decision, CommandSink& sink);

}  // namespace shotrenum
