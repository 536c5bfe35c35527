#include "rename/renumber.h"

#include <algorithm>
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
  // "_tmp_%lld_%s" cut to the buffer, written out by hand: it is built twice
  // per file, and snprintf was a third of the run's own work.
  char digits[24];
  int count = 0;
  auto magnitude = runStamp < 0 ? 0 - static_cast<std::uint64_t>(runStamp) : static_cast<std::uint64_t>(runStamp);
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude > 0);
  if (runStamp < 0) digits[count++] = '-';
  char* p = out;
  std::memcpy(p, "_tmp_", 5);
  p += 5;
  while (count > 0) *p++ = digits[--count];
  *p++ = '_';
  const std::size_t room = static_cast<std::size_t>(out + sizeof out - 1 - p);
  const std::size_t length = std::min(std::strlen(name), room);
  std::memcpy(p, name, length);
  p[length] = '\0';
}

void RenumberShots(const ShotRecord* records, long n) {
  const std::int64_t stamp = CurrentRunStamp();
  CalendarTime start{};
  LocalCalendarOfStamp(stamp, &start);
  long failures = 0;
  // Every temporary name of the run is this prefix and the file's name.
  char temp[64];
  TempName(temp, stamp, "");
  const std::size_t prefixLength = std::strlen(temp);
  const auto tempNameOf = [&](const ShotRecord& record) {
    std::memcpy(temp + prefixLength, record.name, sizeof record.name);
    return temp;
  };

  RunLog processLog = OpenRunLog(LogKind::kProcess, start);
  Say(texts::kPhase1Start, n);
  for (long i = 0; i < n; ++i) {
    ShowProgress(i);
    const ShotRecord& record = records[i];
    tempNameOf(record);
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
    tempNameOf(record);
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
}

}  // namespace shotrenum
