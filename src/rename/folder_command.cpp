#include "rename/folder_command.h"

#include <cstdio>

#include "platform/platform.h"

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

void FolderCommand::CutLog(const LogCut& cut) {
  if (cut.length > 0) {
    CutFileKeepingTime(cut.name, cut.length);
  } else {
    RemoveRegularFile(cut.name);
  }
}

// One that cannot be removed stays where it is: its name holds no
// screenshot, and the next command finds it again.
void FolderCommand::RemoveLeftover(const Leftover& leftover) {
  if (leftover.empty) {
    RemoveEmptyFile(leftover.extra);
  } else {
    RemoveSecondName(leftover.extra, leftover.kept);
  }
}

std::int64_t FolderCommand::TakeStamp(const StampsInUse& inUse) { return ChooseRunStamp(inUse); }

bool FolderCommand::OpenLogs(std::int64_t stamp, const char* undoneLog) {
  CalendarTime start{};
  LocalCalendarOfStamp(stamp, &start);
  std::snprintf(undoneLog_, sizeof undoneLog_, "%s", undoneLog);
  if (undoneLog_[0] != '\0') {
    processLog_ = CreateUndoLog(LogKind::kProcess, start, undoneLog_);
    if (processLog_.where != LogPlace::kFile) return false;
  } else {
    processLog_ = OpenRunLog(LogKind::kProcess, start);
  }
  moves_.emplace(processLog_, resultLog_, start, undoneLog_);
  return true;
}

void FolderCommand::CloseLogs(long failures) { CloseRunLogs(processLog_, resultLog_, failures); }

}  // namespace shotrenum
