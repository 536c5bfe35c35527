#include "rename/renumber.h"

#include <cstring>
#include <vector>

#include "rename/run_log.h"
#include "say.h"
#include "texts.h"

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

void ShowProgress(long i) {
  if (i % 100 == 0) Say(texts::kProgress, i + 1);
}

std::int64_t ChooseRunStamp(const StampsInUse& inUse) {
  const std::int64_t first = CurrentRunStamp();
  std::int64_t stamp = first;
  while (StampTaken(stamp, inUse) && stamp - first < 3) stamp = WaitForSecondAfter(stamp);
  return stamp;
}

void RenumberShots(const ShotRecord* records, long n, const StampsInUse& inUse) {
  const std::int64_t stamp = ChooseRunStamp(inUse);
  CalendarTime start{};
  LocalCalendarOfStamp(stamp, &start);
  long failures = 0;
  // Every temporary name this run gives is this prefix and the file's name,
  // so the prefix is formatted once and each name copied behind it. A
  // screenshot an earlier run left keeps the name that run gave it.
  char runTemp[kTempNameRoom];
  TempName(runTemp, stamp, "");
  const std::size_t prefixLength = std::strlen(runTemp);
  char strandedTemp[kTempNameRoom];
  const auto tempNameOf = [&](const ShotRecord& record) -> const char* {
    if (record.stranded) {
      TempName(strandedTemp, StrandedStamp(record), record.name);
      return strandedTemp;
    }
    std::memcpy(runTemp + prefixLength, record.name, sizeof record.name);
    return runTemp;
  };

  RunLog processLog = OpenRunLog(LogKind::kProcess, start);
  Say(texts::kPhase1Start, n);
  // The records whose first rename failed: whatever bears their temporary
  // names is not theirs (another file may, one the folder already held).
  std::vector<bool> stayed(static_cast<std::size_t>(n));
  for (long i = 0; i < n; ++i) {
    ShowProgress(i);
    const ShotRecord& record = records[i];
    if (record.stranded) continue;  // already off every target name
    const char* temp = tempNameOf(record);
    const bool ok = RenameWithoutReplace(record.name, temp) == RenameResult::kRenamed;
    if (!ok) {
      ++failures;
      stayed[static_cast<std::size_t>(i)] = true;
    }
    WriteLogRow(processLog, ok, record.name, temp, record.writeTime);
  }
  Say("%s", texts::kPhase1End);

  RunLog resultLog = OpenRunLog(LogKind::kResult, start);
  Say(texts::kPhase2Start, n);
  for (long i = 0; i < n; ++i) {
    ShowProgress(i);
    const ShotRecord& record = records[i];
    const char* temp = tempNameOf(record);
    // A file moves only on behalf of its own record: every OK row is true.
    const bool ok =
        !stayed[static_cast<std::size_t>(i)] && RenameWithoutReplace(temp, record.target) == RenameResult::kRenamed;
    if (!ok) ++failures;
    // The result log tells the name each file had before this run.
    WriteLogRow(resultLog, ok, record.stranded ? temp : record.name, record.target, record.writeTime);
    WriteLogRow(processLog, ok, temp, record.target, record.writeTime);
  }
  Say("%s", texts::kPhase2End);

  CloseRunLogs(processLog, resultLog, failures);
}

}  // namespace shotrenum
