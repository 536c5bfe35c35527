// The two-phase move that runs and undos share. Every file whose name is a
// screenshot name first moves to the command's temporary name of it, then
// every file moves from there (or from the temporary name an earlier command
// left it at) to where it goes. A rename never replaces anything; a file
// whose first rename failed is not moved in the second phase, and nothing
// bearing its temporary name is moved for it. Every rename is logged:
// first-phase rows into the process log; second-phase rows into the result
// log (from the name before the command) and then the process log.
//
// A run leaves a file whose second-phase rename fails at its temporary name
// (the next run finishes it). An undo puts such a file back at the name it
// had before the undo, which its first phase just freed: the process log's
// row of it tells that rename (temporary name to that name), its result
// log's row says NG. Only where that fails too does it stay at the
// temporary name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "rename/run_log.h"

namespace shotrenum {

// One file of the move.
struct MoveStep {
  const char* from;  // where it is: a screenshot name, or a temporary name
  bool fromTemporary;
  const char* to;  // where it goes
  FILETIME writeTime;
  bool stays;  // it is not to move: its rows say NG
};

// The files, in the order both phases take them.
class MoveList {
 public:
  virtual ~MoveList() = default;
  virtual long Count() const = 0;
  // The i-th file; `from` and `to` may point into the rooms given.
  virtual MoveStep At(long i, char (&fromRoom)[64], char (&toRoom)[64]) const = 0;
};

// The points at which what the move wrote is made to outlast a power cut,
// in their order. Between two of them the OS writes renames and log pages
// back in an order of its own; at each, everything before it is on the disk.
enum class Barrier {
  kHeads,       // before the first rename: both logs' heads and names
  kFirstPhase,  // before the second phase: the process log's first-phase rows
  kEnd,         // before the end is told: both logs whole, and the folder
};

// What the move acts on: the folder and the two logs, or a test's.
class MoveSink {
 public:
  virtual ~MoveSink() = default;
  virtual RenameResult Rename(const char* from, const char* to) = 0;
  // False when the log was found changed underneath it by another program:
  // this row and those before it may be gone from it.
  virtual bool Row(LogKind log, bool ok, const char* before, const char* after, FILETIME writeTime) = 0;
  // Whether the log still holds every row given (false as Row is).
  virtual bool Whole(LogKind log) = 0;
  // Starts a log found changed underneath it again from its head; every row
  // is then given again.
  virtual void Restart(LogKind log) = 0;
  // The bytes a row takes in its log, whatever its verdict.
  virtual std::uint64_t RowBytes(const char* before, const char* after, FILETIME writeTime) = 0;
  // Before the first rename: the bytes all rows of each log will take.
  virtual void Begin(std::uint64_t processRowBytes, std::uint64_t resultRowBytes) = 0;
  // Between the phases, before the first row of the result log.
  virtual void SecondPhase() = 0;
  // A progress message (one of the texts of the phases; %ld takes `value`).
  virtual void Show(const char* text, long value) = 0;
  // Makes what the command wrote so far outlast a power cut. False when it
  // could not (an I/O error); a file system that does not do it at all is no
  // failure.
  virtual bool MakeDurable(Barrier barrier) = 0;
};

// Of the files a rename of which failed, how many for each cause the user
// can mend (a file is counted once, for its first failed rename).
struct FailureCauses {
  long denied = 0;   // no permission to change the folder or the file
  long noSpace = 0;  // the disk was full
  long taken = 0;    // its new name was taken by a folder or another entry
  long other = 0;    // any other cause (an I/O error, the file gone)
};

struct MoveTally {
  long files = 0;     // files the move handled (the count its phases show)
  long failures = 0;  // renames that failed, or were not made, in either phase
  long moved = 0;     // files that reached where they go
  long renamed = 0;   // of those, the files that bear another name than before
  long held = 0;      // renames another program held the file through
  FailureCauses causes;  // of the files whose rename failed, but for those held
  // What the command wrote could not all be made to outlast a power cut;
  // before the first rename that stops the move, and nothing is renamed.
  bool undurable = false;
  bool logChanged = false;               // a log was changed underneath the move, and
                                         // written whole again
  std::vector<std::string> atTemporary;  // files left at this command's temporary names
};

// What becomes of a file whose second-phase rename fails.
enum class OnFailure {
  kWait,     // a run: it waits at its temporary name
  kPutBack,  // an undo: it goes back to the name it had before the command
};

MoveTally MoveInTwoPhases(std::int64_t stamp, const MoveList& files, MoveSink& sink,
                          OnFailure onFailure = OnFailure::kWait);

// The folder and the logs of a command, as the move acts on them.
class FolderSink : public MoveSink {
 public:
  // `undoneLog`: for an undo, the process log of what it takes back ("" for
  // a run). The process log is opened by the caller, its head written; the
  // result log is opened here. Where the process log's rows are stored into
  // a mapping, the result log is created before the first rename too, its
  // head written, and its rows stored the same way where its own mapping can
  // be had (written a row at a time otherwise). Where the process log is
  // written a row at a time, the result log is created between the phases,
  // as it always was.
  FolderSink(RunLog& processLog, RunLog& resultLog, const CalendarTime& start, const char* undoneLog)
      : processLog_(processLog), resultLog_(resultLog), start_(start), undoneLog_(undoneLog) {}
  RenameResult Rename(const char* from, const char* to) override;
  bool Row(LogKind log, bool ok, const char* before, const char* after, FILETIME writeTime) override;
  bool Whole(LogKind log) override;
  void Restart(LogKind log) override;
  std::uint64_t RowBytes(const char* before, const char* after, FILETIME writeTime) override;
  void Begin(std::uint64_t processRowBytes, std::uint64_t resultRowBytes) override;
  void SecondPhase() override;
  void Show(const char* text, long value) override;
  bool MakeDurable(Barrier barrier) override;

 private:
  RunLog& processLog_;
  RunLog& resultLog_;
  CalendarTime start_;
  const char* undoneLog_;
  bool resultLogMadeBetween_ = false;  // the result log was created between the phases
  bool refusalTold_ = false;
};

}  // namespace shotrenum
