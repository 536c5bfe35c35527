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
    return result == RenameResult::kRenamed;
  };

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

  sink.Show(texts::kPhase1Start, n);
  // The files whose first rename failed: whatever bears their temporary
  // names is not theirs (another file may, one the folder already held).
  std::vector<bool> stayed(static_cast<std::size_t>(n));
  for (long i = 0; i < n; ++i) {
    Progress(sink, i);
    const MoveStep step = files.At(i, fromRoom, toRoom);
    if (step.fromTemporary) continue;  // off every screenshot name already
    const char* to = tempOf(step.from);
    const bool ok = !step.stays && rename(step.from, to);
    if (!ok) {
      ++tally.failures;
      stayed[static_cast<std::size_t>(i)] = true;
    }
    sink.Row(LogKind::kProcess, ok, step.from, to, step.writeTime);
  }
  sink.Show(texts::kPhase1End, 0);

  sink.SecondPhase();
  sink.Show(texts::kPhase2Start, n);
  for (long i = 0; i < n; ++i) {
    Progress(sink, i);
    const MoveStep step = files.At(i, fromRoom, toRoom);
    const char* from = step.fromTemporary ? step.from : tempOf(step.from);
    const bool tried = !stayed[static_cast<std::size_t>(i)] && !step.stays;
    const bool ok = tried && rename(from, step.to);
    if (ok) {
      ++tally.moved;
      if (std::strcmp(step.from, step.to) != 0) ++tally.renamed;
    } else {
      ++tally.failures;
    }
    if (!ok && tried && !step.fromTemporary) {
      // Back to the name it had before the command, where an undo can.
      if (onFailure == OnFailure::kPutBack && rename(from, step.from)) {
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
    sink.Row(LogKind::kResult, ok, step.from, step.to, step.writeTime);
    sink.Row(LogKind::kProcess, ok, from, step.to, step.writeTime);
  }
  sink.Show(texts::kPhase2End, 0);
  return tally;
}

RenameResult FolderSink::Rename(const char* from, const char* to) { return RenameWithoutReplace(from, to); }

void FolderSink::Row(LogKind log, bool ok, const char* before, const char* after, FILETIME writeTime) {
  WriteLogRow(log == LogKind::kProcess ? processLog_ : resultLog_, ok, before, after, writeTime);
}

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
  if (resultLog_.file == nullptr) resultLog_ = OpenUndoLog(LogKind::kResult, start_, undoneLog_);
}

void FolderSink::Show(const char* text, long value) { Say(text, value); }

}  // namespace shotrenum
