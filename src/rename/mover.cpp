#include "rename/mover.h"

#include <cstring>
#include <vector>

#include "say.h"
#include "shots/temp_name.h"
#include "texts.h"

namespace shotrenum {

namespace {

// One progress line per hundred files of a phase (i: 0-based position).
void Progress(MoveSink& sink, long i) {
  if (i % 100 == 0) sink.Show(texts::kProgress, i + 1);
}

}  // namespace

MoveTally MoveInTwoPhases(std::int64_t stamp, const MoveList& files, MoveSink& sink, OnFailure onFailure) {
  MoveTally tally;
  const long n = files.Count();
  char fromRoom[64];
  char toRoom[64];
  // Every temporary name this command gives is this prefix and the file's
  // name, so the prefix is formatted once and each name copied behind it.
  char temp[kTempNameRoom];
  TempName(temp, stamp, "");
  const std::size_t prefix = std::strlen(temp);
  const auto tempOf = [&](const char* name) {
    std::memcpy(temp + prefix, name, std::strlen(name) + 1);
    return temp;
  };
  const auto rename = [&](const char* from, const char* to) {
    const RenameResult result = sink.Rename(from, to);
    if (result == RenameResult::kHeld) ++tally.held;
    return result;
  };
  // A file's own rename, whose failure is counted by its cause.
  const auto move = [&](const char* from, const char* to) {
    const RenameResult result = rename(from, to);
    switch (result) {
      case RenameResult::kRenamed:
      case RenameResult::kHeld:
        break;
      case RenameResult::kDenied:
        ++tally.causes.denied;
        break;
      case RenameResult::kNoSpace:
        ++tally.causes.noSpace;
        break;
      case RenameResult::kTaken:
        ++tally.causes.taken;
        break;
      case RenameResult::kFailed:
        ++tally.causes.other;
        break;
    }
    return result == RenameResult::kRenamed;
  };
  tally.files = n;

  // The rows both phases will log, measured before the first rename: each
  // log is given the room for all of its rows at once.
  std::uint64_t processRowBytes = 0;
  std::uint64_t resultRowBytes = 0;
  for (long i = 0; i < n; ++i) {
    const MoveStep step = files.At(i, fromRoom, toRoom);
    const char* from = step.fromTemporary ? step.from : tempOf(step.from);
    if (!step.fromTemporary) processRowBytes += sink.RowBytes(step.from, from, step.writeTime);
    resultRowBytes += sink.RowBytes(step.from, step.to, step.writeTime);
    processRowBytes += sink.RowBytes(from, step.to, step.writeTime);
  }
  sink.Begin(processRowBytes, resultRowBytes);
  // No rename before both logs' heads are on the disk: a cut after it leaves
  // logs that tell which command it was, and every row a page of them kept.
  // Where they cannot be made so, nothing moves (every file's rows say NG).
  const bool headsDurable = sink.MakeDurable(Barrier::kHeads);
  if (!headsDurable) tally.undurable = true;

  // The files whose first rename failed: whatever bears their temporary
  // names is not theirs (another file may, one the folder already held).
  std::vector<bool> stayed(static_cast<std::size_t>(n));
  // The files that reached where they go.
  std::vector<bool> arrived(static_cast<std::size_t>(n));
  // The files whose rows each log was given, in each phase.
  long firstRows = 0;
  long secondResultRows = 0;
  long secondProcessRows = 0;

  // A log that another program changed underneath the move is written whole
  // again, every row it was given so far once more, as it was given: the
  // verdicts are the ones kept above, so it reads as if nothing had happened.
  const auto rewrite = [&](LogKind log) {
    tally.logChanged = true;
    sink.Restart(log);
    char room1[64];
    char room2[64];
    if (log == LogKind::kProcess) {
      for (long i = 0; i < firstRows; ++i) {
        const MoveStep step = files.At(i, room1, room2);
        if (step.fromTemporary) continue;
        sink.Row(log, !stayed[static_cast<std::size_t>(i)], step.from, tempOf(step.from), step.writeTime);
      }
    }
    const long second = log == LogKind::kProcess ? secondProcessRows : secondResultRows;
    for (long i = 0; i < second; ++i) {
      const MoveStep step = files.At(i, room1, room2);
      const bool ok = arrived[static_cast<std::size_t>(i)];
      if (log == LogKind::kResult) {
        sink.Row(log, ok, step.from, step.to, step.writeTime);
      } else {
        sink.Row(log, ok, step.fromTemporary ? step.from : tempOf(step.from), step.to, step.writeTime);
      }
    }
  };

  sink.Show(texts::kPhase1Start, n);
  for (long i = 0; i < n; ++i) {
    Progress(sink, i);
    const MoveStep step = files.At(i, fromRoom, toRoom);
    firstRows = i + 1;
    if (step.fromTemporary) continue;  // off every screenshot name already
    const char* to = tempOf(step.from);
    const bool ok = headsDurable && !step.stays && move(step.from, to);
    if (!ok) {
      ++tally.failures;
      stayed[static_cast<std::size_t>(i)] = true;
    }
    if (!sink.Row(LogKind::kProcess, ok, step.from, to, step.writeTime)) rewrite(LogKind::kProcess);
  }
  sink.Show(texts::kPhase1End, 0);

  sink.SecondPhase();
  // The first phase's rows are on the disk before any second-phase rename:
  // from them the second phase's targets follow, so a cut that loses later
  // rows loses nothing an undo or the next run needs.
  if (!sink.MakeDurable(Barrier::kFirstPhase)) tally.undurable = true;
  sink.Show(texts::kPhase2Start, n);
  for (long i = 0; i < n; ++i) {
    Progress(sink, i);
    const MoveStep step = files.At(i, fromRoom, toRoom);
    const char* from = step.fromTemporary ? step.from : tempOf(step.from);
    const bool tried = !stayed[static_cast<std::size_t>(i)] && !step.stays;
    const bool ok = tried && move(from, step.to);
    if (ok) {
      ++tally.moved;
      arrived[static_cast<std::size_t>(i)] = true;
      if (std::strcmp(step.from, step.to) != 0) ++tally.renamed;
    } else {
      ++tally.failures;
    }
    if (!ok && tried && !step.fromTemporary) {
      // Back to the name it had before the command, where an undo can.
      if (onFailure == OnFailure::kPutBack && rename(from, step.from) == RenameResult::kRenamed) {
        // Its process-log row first: the result log's row says NG, and a
        // result log one row ahead would be read as the file still at its
        // temporary name.
        sink.Row(LogKind::kProcess, true, from, step.from, step.writeTime);
        sink.Row(LogKind::kResult, false, step.from, step.to, step.writeTime);
        continue;
      }
      tally.atTemporary.emplace_back(from);
    }
    // The result log tells the name each file had before the command.
    secondResultRows = i + 1;
    if (!sink.Row(LogKind::kResult, ok, step.from, step.to, step.writeTime)) rewrite(LogKind::kResult);
    secondProcessRows = i + 1;
    if (!sink.Row(LogKind::kProcess, ok, from, step.to, step.writeTime)) rewrite(LogKind::kProcess);
  }
  // A cut after the last store faults nowhere: each log's size is asked once.
  for (const LogKind log : {LogKind::kResult, LogKind::kProcess}) {
    if (!sink.Whole(log)) rewrite(log);
  }
  // Nothing tells the command's end before both logs and the folder are on
  // the disk.
  if (!sink.MakeDurable(Barrier::kEnd)) tally.undurable = true;
  sink.Show(texts::kPhase2End, 0);
  return tally;
}

RenameResult FolderSink::Rename(const char* from, const char* to) { return RenameWithoutReplace(from, to); }

bool FolderSink::Row(LogKind log, bool ok, const char* before, const char* after, FILETIME writeTime) {
  return WriteLogRow(log == LogKind::kProcess ? processLog_ : resultLog_, ok, before, after, writeTime);
}

bool FolderSink::Whole(LogKind log) { return RunLogWhole(log == LogKind::kProcess ? processLog_ : resultLog_); }

void FolderSink::Restart(LogKind log) { RestartRunLog(log == LogKind::kProcess ? processLog_ : resultLog_); }

std::uint64_t FolderSink::RowBytes(const char* before, const char* after, FILETIME writeTime) {
  return LogRowBytes(before, after, writeTime);
}

void FolderSink::Begin(std::uint64_t processRowBytes, std::uint64_t resultRowBytes) {
  if (!MapLogRows(processLog_, processRowBytes)) return;
  // Its head is written before its room is taken, as the process log's is:
  // a log that a kill leaves empty would be one that cannot be read. Where
  // it cannot be created here, it is when its first row is due.
  resultLog_ = CreateUndoLog(LogKind::kResult, start_, undoneLog_);
  MapLogRows(resultLog_, resultRowBytes);
}

void FolderSink::SecondPhase() {
  // (One given up for standard output before this keeps its rows there.)
  if (resultLog_.where != LogPlace::kNotOpened && resultLog_.where != LogPlace::kNotCreated) return;
  resultLog_ = OpenUndoLog(LogKind::kResult, start_, undoneLog_);
  resultLogMadeBetween_ = true;
}

bool FolderSink::MakeDurable(Barrier barrier) {
  bool refused = false;
  bool failed = false;
  const auto note = [&](Durable outcome, const char* what) {
    if (outcome == Durable::kRefused) refused = true;
    if (outcome == Durable::kFailed && !failed) {
      failed = true;
      if (what != nullptr) {
        Say(texts::kLogNotDurable, what);
      } else {
        Say("%s", texts::kFolderNotDurable);
      }
    }
  };
  if (barrier == Barrier::kEnd) {
    // The room a mapped log was given beyond its rows goes first, so the
    // size on the disk is that of its rows.
    EndLogRows(processLog_);
    EndLogRows(resultLog_);
  }
  note(MakeLogDurable(processLog_), processLog_.fileName);
  // Between the phases only the process log has rows to keep, and the
  // result log a head, where it was created only then.
  const bool result = barrier != Barrier::kFirstPhase || resultLogMadeBetween_;
  if (result) note(MakeLogDurable(resultLog_), resultLog_.fileName);
  // The folder each time: the first phase's renames are on the disk before
  // the second phase's rows can be, so a row of the second phase that a cut
  // keeps without its rename finds its file at the temporary name the
  // first phase gave it.
  note(MakeFolderDurable(), nullptr);
  if (refused && !refusalTold_) {
    refusalTold_ = true;
    Say("%s", texts::kDurableRefused);
  }
  return !failed;
}

void FolderSink::Show(const char* text, long value) { Say(text, value); }

}  // namespace shotrenum
