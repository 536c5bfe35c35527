#include "rename/renumber.h"

#include <cstdio>

#include "rename/run_log.h"

namespace shotrenum {

namespace {

// Whether a temporary name or a log present bears the second `stamp`.
bool StampTaken(std::int64_t stamp, const StampsInUse& inUse) {
  if (IsStampInUse(inUse, stamp)) return true;
  CalendarTime start{};
  LocalCalendarOfStamp(stamp, &start);
  for (const LogKind kind : {LogKind::kProcess, LogKind::kResult}) {
    char name[64];
    LogFileName(name, kind, start);
    if (FileExists(name)) return true;
  }
  return false;
}

}  // namespace

std::int64_t ChooseRunStamp(const StampsInUse& inUse) {
  const std::int64_t first = CurrentRunStamp();
  std::int64_t stamp = first;
  while (StampTaken(stamp, inUse) && stamp - first < 3) stamp = WaitForSecondAfter(stamp);
  return stamp;
}

MoveStep RecordMoves::At(long i, char (&fromRoom)[64], char (&)[64]) const {
  const ShotRecord& record = records_[i];
  const char* from = record.name;
  if (record.stranded) {
    TempName(fromRoom, StrandedStamp(record), record.name);
    from = fromRoom;
  }
  return MoveStep{from, record.stranded, record.target, record.writeTime, false};
}

MoveTally RenumberShots(const ShotRecord* records, long n, const StampsInUse& inUse, char (&resultLog)[64]) {
  const std::int64_t stamp = ChooseRunStamp(inUse);
  CalendarTime start{};
  LocalCalendarOfStamp(stamp, &start);
  RunLog processLog = OpenRunLog(LogKind::kProcess, start);
  RunLog result{};
  FolderSink sink(processLog, result, start, "");
  const MoveTally tally = MoveInTwoPhases(stamp, RecordMoves(records, n), sink);
  CloseRunLogs(processLog, result, tally.failures);
  std::snprintf(resultLog, sizeof resultLog, "%s", result.fileCreated ? result.fileName : "");
  return tally;
}

}  // namespace shotrenum
