#include "rename/renumber.h"

#include <cstdio>
#include <cstring>

#include "rename/run_log.h"
#include "texts.h"

namespace shotrenum {

namespace {

// One progress line per hundred records of a phase.
void ShowProgress(long i) {
  if (i % 100 == 0) Say(texts::kProgress, i + 1);
}

}  // namespace

void TempName(char (&out)[64], std::int64_t runStamp, const char* name) {
  std::snprintf(out, sizeof out, "_tmp_%lld_%s", static_cast<long long>(runStamp), name);
}

void RenumberShots(const ShotRecord* records, long n) {
  const std::int64_t stamp = CurrentRunStamp();
  CalendarTime start{};
  LocalCalendarOfStamp(stamp, &start);
  long failures = 0;
  // Every temporary name of the run is this prefix and the file's name, so
  // the prefix is formatted once and each name copied behind it.
  char tempBuffer[64];
  TempName(tempBuffer, stamp, "");
  const std::size_t prefixLength = std::strlen(tempBuffer);
  const auto tempNameOf = [&](const ShotRecord& record) -> const char* {
    std::memcpy(tempBuffer + prefixLength, record.name, sizeof record.name);
    return tempBuffer;
  };

  RunLog processLog = OpenRunLog(LogKind::kProcess, start);
  Say(texts::kPhase1Start, n);
  for (long i = 0; i < n; ++i) {
    ShowProgress(i);
    const ShotRecord& record = records[i];
    const char* temp = tempNameOf(record);
    const bool ok = RenameWithoutReplace(record.name, temp);
    if (!ok) ++failures;
    WriteVerdict(processLog, ok);
    WriteRowRest(processLog, record.name, temp, record.writeTime);
  }
  Say("%s", texts::kPhase1End);

  RunLog resultLog = OpenRunLog(LogKind::kResult, start);
  Say(texts::kPhase2Start, n);
  // Every record takes part whatever its first rename did: a temporary name
  // left by someone else is moved to the target as well.
  for (long i = 0; i < n; ++i) {
    ShowProgress(i);
    const ShotRecord& record = records[i];
    const char* temp = tempNameOf(record);
    const bool ok = RenameWithoutReplace(temp, record.target);
    if (!ok) ++failures;
    // Both verdicts first, then the rest of each row: where both logs stand in
    // on standard output the two rows interleave in just this order.
    WriteVerdict(resultLog, ok);
    WriteVerdict(processLog, ok);
    WriteRowRest(resultLog, record.name, record.target, record.writeTime);
    WriteRowRest(processLog, temp, record.target, record.writeTime);
  }
  Say("%s", texts::kPhase2End);

  CloseRunLog(resultLog);
  CloseRunLog(processLog);
  if (failures > 0) Say(texts::kFailures, processLog.fileName);
  ReportLogTrouble(processLog);
  ReportLogTrouble(resultLog);
}

}  // namespace shotrenum
