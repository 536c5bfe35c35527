#include "run/run_undo.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "rename/log_reader.h"
#include "rename/renumber.h"
#include "rename/row_time.h"
#include "rename/run_log.h"
#include "run/undo_stack.h"
#include "say.h"
#include "shots/order.h"
#include "shots/scan.h"
#include "shots/temp_name.h"
#include "texts.h"

namespace shotrenum {

namespace {

// What the undo notes in a record's keyRun byte.
constexpr std::uint8_t kSelected = 1;      // goes back to the name in `target`
constexpr std::uint8_t kVacated = 2;       // an earlier undo of the run moved
                                           // the file at this name away
constexpr std::uint8_t kSeen = 4;          // a row of the run names it
constexpr std::uint8_t kBlocked = 8;       // its old name is taken: left alone
constexpr std::uint8_t kFirstFailed = 16;  // its first rename failed: it stays where it is

// The run being undone, and the earlier undos of it whose work this one
// finishes.
struct Undone {
  char digits[15];
  char processLog[64];
  char sourceLog[64];                      // whose rows are read: its process log, else its result log
  bool sourceIsRunProcessLog;              // the process log of a run, not of an undo
  std::int64_t stamp;                      // -1 when no row tells it
  std::int64_t offset;                     // the UTC offset its rows were printed in
  std::vector<std::int64_t> earlierUndos;  // their stamps
  std::vector<std::string> earlierUndoLogs;
};

// Reads a log's head and its first row: true when both are well formed,
// with the head and the stamp of the first phase (-1 when the first row is
// of the second phase, or there is none). The rest is checked as it is read.
bool PeekLog(const char* name, LogHead* head, std::int64_t* stamp) {
  std::FILE* file = OpenFileForReading(name);
  if (file == nullptr) return false;
  LogReader reader;
  LogRow row;
  const bool good = ReadLogHead(&reader, file) && ReadLogRow(&reader, &row) != LogStep::kBad;
  std::fclose(file);
  *head = reader.head;
  *stamp = reader.stamp;
  return good;
}

// ---- The records, looked up by the names they bear ----------------------------

bool NameLess(const ShotRecord& a, const ShotRecord& b) {
  const int byName = std::strcmp(a.name, b.name);
  if (byName != 0) return byName < 0;
  if (a.stranded != b.stranded) return !a.stranded;
  return StrandedStamp(a) < StrandedStamp(b);
}

struct Folder {
  ShotRecord* records;
  long n;
};

ShotRecord* Find(const Folder& folder, const char* name, bool stranded, std::int64_t stamp) {
  ShotRecord probe{};
  std::memcpy(probe.name, name, kShotNameLength + 1);
  probe.stranded = stranded;
  SetStrandedStamp(probe, stranded ? stamp : 0);
  ShotRecord* end = folder.records + folder.n;
  ShotRecord* found = std::lower_bound(folder.records, end, probe, NameLess);
  return found != end && !NameLess(probe, *found) ? found : nullptr;
}

// ---- What each row of the undone run asks for -------------------------------

enum class Verdict { kNone, kMove, kMissing };

struct Decision {
  Verdict verdict;
  ShotRecord* record;  // kMove: the file; kMissing: the file there now, if any
  const char* name;    // kMissing: the name the row left the file at
};

bool TimeAsPrinted(const ShotRecord& record, const LogRow& row, const Undone& run) {
  char shown[kLogTimeRoom];
  RowTimeText(record.writeTime, run.offset, shown);
  return std::strcmp(shown, row.time) == 0;
}

// A file the run moved to `name`: still there, or at an earlier undo's
// temporary name of it; otherwise gone or changed, unless an earlier undo
// already took it away from there.
Decision FileAt(const Folder& folder, const char* name, const LogRow& row, const Undone& run) {
  ShotRecord* there = Find(folder, name, false, 0);
  if (there != nullptr && (there->keyRun & kVacated) == 0 && TimeAsPrinted(*there, row, run)) {
    return {Verdict::kMove, there, name};
  }
  for (const std::int64_t stamp : run.earlierUndos) {
    ShotRecord* midway = Find(folder, name, true, stamp);
    if (midway != nullptr && TimeAsPrinted(*midway, row, run)) return {Verdict::kMove, midway, name};
  }
  if (!run.earlierUndos.empty()) return {Verdict::kNone, nullptr, name};
  return {Verdict::kMissing, there, name};
}

Decision Decide(const Folder& folder, const LogRow& row, const Undone& run) {
  if (!row.ok) return {Verdict::kNone, nullptr, nullptr};
  if (IsPhase2Row(row)) return FileAt(folder, row.after, row, run);
  // The run's first phase: a file its second phase did not move on still
  // bears the run's temporary name.
  ShotRecord* stranded = Find(folder, row.beforeShot, true, run.stamp);
  if (stranded == nullptr) return {Verdict::kNone, nullptr, nullptr};
  stranded->keyRun |= kSeen;
  return {TimeAsPrinted(*stranded, row, run) ? Verdict::kMove : Verdict::kNone, stranded, nullptr};
}

template <typename Visit>
bool ForEachRow(const char* logName, Visit visit) {
  std::FILE* file = OpenFileForReading(logName);
  if (file == nullptr) return false;
  // A run's process log holds two rows a screenshot: read in large pieces.
  std::setvbuf(file, nullptr, _IOFBF, 1 << 16);
  LogReader reader;
  LogRow row;
  bool whole = ReadLogHead(&reader, file);
  LogStep step = LogStep::kBad;
  while (whole && (step = ReadLogRow(&reader, &row)) == LogStep::kRow) visit(row);
  std::fclose(file);
  return whole && step == LogStep::kEnd;
}

// Marks every file the undo takes back and writes its old name into `target`;
// counts the rows that name a file gone or changed. False, with nothing
// touched, when a line of the log is not as its writer writes them.
bool Select(const Folder& folder, const Undone& run, long* missingRows) {
  long missing = 0;
  long phase1Rows = 0;
  long phase2Rows = 0;
  long ownPhase2Rows = 0;  // from this run's own temporary names
  const bool whole = ForEachRow(run.sourceLog, [&](const LogRow& row) {
    if (IsPhase2Row(row)) {
      ++phase2Rows;
      ownPhase2Rows += row.beforeStamp == run.stamp;
    } else {
      ++phase1Rows;
    }
    const Decision d = Decide(folder, row, run);
    if (d.verdict == Verdict::kMissing) ++missing;
    if (d.verdict != Verdict::kMove) return;
    d.record->keyRun |= kSelected;
    // A screenshot the run took from a temporary name gets the name in it.
    std::memcpy(d.record->target, IsPhase2Row(row) ? row.beforeShot : row.before, kShotNameLength + 1);
  });
  // Killed between a rename of its second phase and the row: the file went
  // from its temporary name to the next target. A run whose every first-phase
  // row has its second-phase row was not cut short there.
  LogRow unlogged;
  if (whole && run.sourceIsRunProcessLog && run.stamp >= 0 && phase2Rows < kMaxShots && ownPhase2Rows < phase1Rows &&
      FindUnloggedRename(run.sourceLog, run.stamp, &unlogged) &&
      Find(folder, unlogged.beforeShot, true, run.stamp) == nullptr) {
    char target[kShotNameLength + 1];
    WriteTargetName(target, phase2Rows);
    ShotRecord* moved = Find(folder, target, false, 0);
    if (moved != nullptr && (moved->keyRun & (kSelected | kVacated)) == 0 && TimeAsPrinted(*moved, unlogged, run)) {
      moved->keyRun |= kSelected;
      std::memcpy(moved->target, unlogged.beforeShot, kShotNameLength + 1);
    }
  }
  for (long i = 0; i < folder.n; ++i) {
    ShotRecord& r = folder.records[i];
    // At the run's temporary name without a row: the rename a kill left
    // unlogged. The name is the run's own, so the file is the one it moved.
    if (r.stranded && StrandedStamp(r) == run.stamp && (r.keyRun & (kSeen | kSelected)) == 0) {
      r.keyRun |= kSelected;
      std::memcpy(r.target, r.name, kShotNameLength + 1);
    }
  }
  // A name the file had before that another file bears now is never taken.
  for (long i = 0; i < folder.n; ++i) {
    ShotRecord& r = folder.records[i];
    if ((r.keyRun & kSelected) == 0) continue;
    const ShotRecord* holder = Find(folder, r.target, false, 0);
    if (holder != nullptr && (holder->keyRun & kSelected) == 0) r.keyRun |= kBlocked;
  }
  *missingRows = missing;
  return whole;
}

// ---- The two phases -----------------------------------------------------------

struct Phases {
  std::int64_t stamp;
  RunLog processLog;
  RunLog resultLog;
  long failures;
};

void WriteMissingRows(const Folder& folder, const Undone& run, Phases& undo) {
  ForEachRow(run.sourceLog, [&](const LogRow& row) {
    const Decision d = Decide(folder, row, run);
    if (d.verdict != Verdict::kMissing) return;
    char temp[kTempNameRoom];
    TempName(temp, undo.stamp, d.name);
    const FILETIME shown = d.record != nullptr ? d.record->writeTime : FileTimeOfRowTime(row.time, run.offset);
    WriteLogRow(undo.processLog, false, d.name, temp, shown);
    ++undo.failures;
  });
}

void MoveBack(ShotRecord* moves, long m, const Undone& run, Phases& undo) {
  char temp[kTempNameRoom];
  for (long i = 0; i < m; ++i) {
    ShowProgress(i);
    ShotRecord& r = moves[i];
    if (r.stranded) continue;  // off every name already
    TempName(temp, undo.stamp, r.name);
    const bool ok = (r.keyRun & kBlocked) == 0 && RenameWithoutReplace(r.name, temp) == RenameResult::kRenamed;
    if (!ok) {
      r.keyRun |= kFirstFailed;
      ++undo.failures;
    }
    WriteLogRow(undo.processLog, ok, r.name, temp, r.writeTime);
  }
  Say("%s", texts::kPhase1End);
  CalendarTime start{};
  LocalCalendarOfStamp(undo.stamp, &start);
  undo.resultLog = OpenUndoLog(LogKind::kResult, start, run.processLog);
  Say(texts::kPhase2Start, m);
  for (long i = 0; i < m; ++i) {
    ShowProgress(i);
    const ShotRecord& r = moves[i];
    if ((r.keyRun & kFirstFailed) != 0) continue;  // still where it was
    TempName(temp, r.stranded ? StrandedStamp(r) : undo.stamp, r.name);
    const bool ok = (r.keyRun & kBlocked) == 0 && RenameWithoutReplace(temp, r.target) == RenameResult::kRenamed;
    if (!ok) ++undo.failures;
    WriteLogRow(undo.resultLog, ok, r.stranded ? temp : r.name, r.target, r.writeTime);
    WriteLogRow(undo.processLog, ok, temp, r.target, r.writeTime);
  }
  Say("%s", texts::kPhase2End);
}

// The name is the user's argument: shown as it was given.
int Refuse(const char* format, const char* name) {
  SayAbout(format, name);
  return 2;
}

// Finds the run's logs and what they need: its stamp and the offset its rows
// were printed in. 0 when found, else the exit status of a refusal.
int ReadUndone(const char* logName, Undone* run) {
  LogKind kind;
  if (!ReadLogFileName(logName, run->digits, &kind)) return Refuse(texts::kLogUnreadable, logName);
  LogHead head;
  std::int64_t stamp = -1;
  if (!PeekLog(logName, &head, &stamp) || head.kind != kind) return Refuse(texts::kLogUnreadable, logName);
  LogFileName(run->processLog, LogKind::kProcess, run->digits);
  std::snprintf(run->sourceLog, sizeof run->sourceLog, "%s", logName);
  if (kind == LogKind::kResult) {
    // The process log also tells the files the run left at its temporary
    // names; one whose start is damaged is passed over for the result log.
    LogHead processHead;
    std::int64_t processStamp;
    if (PeekLog(run->processLog, &processHead, &processStamp) && processHead.kind == LogKind::kProcess) {
      std::snprintf(run->sourceLog, sizeof run->sourceLog, "%s", run->processLog);
      stamp = processStamp;
    }
  }
  run->stamp = stamp;
  LogHead sourceHead;
  std::int64_t sourceStamp;
  run->sourceIsRunProcessLog =
      PeekLog(run->sourceLog, &sourceHead, &sourceStamp) && sourceHead.kind == LogKind::kProcess && !sourceHead.undo;
  if (!RunOffset(run->digits, stamp, &run->offset)) return Refuse(texts::kLogUnreadable, logName);
  return 0;
}

int UndoInFolder(const char* logName) {
  Undone run{};
  if (const int refused = ReadUndone(logName, &run); refused != 0) return refused;

  // Newest first: every later run must have been undone.
  bool listed = false;
  const std::vector<StackEntry> stack = ReadStack(run.digits, &listed);
  // A later run the listing did not reach could be standing: nothing moves.
  if (!listed) {
    Say("%s\n", texts::kListingBroken);
    return 1;
  }
  for (const StackEntry& e : stack) {
    if (std::strcmp(e.digits, run.digits) > 0 && !e.cancelled && !e.undo) {
      Say(texts::kUndoLaterRun, e.logName);
      return 1;
    }
    if (e.undo && !e.cancelled && std::strcmp(e.undoneDigits, run.digits) == 0) {
      LogHead head;
      std::int64_t stamp = -1;
      char processLog[64];
      LogFileName(processLog, LogKind::kProcess, e.digits);
      // Killed between its first rename and that rename's row, an undo left
      // no row, yet its temporary name bears the stamp its log name tells.
      if (PeekLog(processLog, &head, &stamp) && (stamp >= 0 || StampOfDigits(e.digits, &stamp))) {
        run.earlierUndos.push_back(stamp);
        run.earlierUndoLogs.emplace_back(processLog);
      }
    }
  }

  long counted = 0;
  if (CountShots(&counted) == ScanResult::kBroken) {
    Say("%s\n", texts::kListingBroken);
    return 1;
  }
  auto* records =
      static_cast<ShotRecord*>(std::calloc(static_cast<std::size_t>(std::max(counted, 1L)), sizeof(ShotRecord)));
  if (records == nullptr) {
    Say("%s\n", texts::kOutOfMemory);
    return 1;
  }
  StampsInUse inUse{};
  long n = 0;
  const ScanResult collected = counted == 0 ? ScanResult::kComplete : CollectShots(records, counted, &inUse, &n);
  if (collected != ScanResult::kComplete) {
    Say("%s\n", collected == ScanResult::kOverflow ? texts::kFolderChanged : texts::kListingBroken);
    std::free(records);
    return 1;
  }
  Folder folder{records, n};
  std::sort(records, records + n, NameLess);
  // Names an earlier undo of this run moved away from hold other files now.
  for (const std::string& earlier : run.earlierUndoLogs) {
    ForEachRow(earlier.c_str(), [&](const LogRow& row) {
      if (!row.ok || IsPhase2Row(row)) return;
      if (ShotRecord* r = Find(folder, row.before, false, 0)) r->keyRun |= kVacated;
    });
  }
  long missing = 0;
  if (!Select(folder, run, &missing)) {
    std::free(records);
    return Refuse(texts::kLogUnreadable, run.sourceLog);
  }
  const long m = std::count_if(records, records + n, [](const ShotRecord& r) { return (r.keyRun & kSelected) != 0; });
  if (std::none_of(records, records + n,
                   [](const ShotRecord& r) { return (r.keyRun & kSelected) != 0 && (r.keyRun & kBlocked) == 0; })) {
    Say("%s\n", texts::kUndoNothing);
    std::free(records);
    return 0;
  }

  Phases undo{ChooseRunStamp(inUse), {}, {}, 0};
  CalendarTime start{};
  LocalCalendarOfStamp(undo.stamp, &start);
  undo.processLog = OpenUndoLog(LogKind::kProcess, start, run.processLog);
  Say(texts::kPhase1Start, m);
  // Found through the records in name order, so before that order changes.
  if (missing > 0) WriteMissingRows(folder, run, undo);
  // The second phase goes through the old names in ascending order, as a
  // run's goes through its targets: a later reader relies on it.
  ShotRecord* movesEnd =
      std::partition(records, records + n, [](const ShotRecord& r) { return (r.keyRun & kSelected) != 0; });
  std::sort(records, movesEnd,
            [](const ShotRecord& a, const ShotRecord& b) { return std::strcmp(a.target, b.target) < 0; });
  MoveBack(records, m, run, undo);
  CloseRunLogs(undo.processLog, undo.resultLog, undo.failures);
  std::free(records);
  return 0;
}

}  // namespace

int RunUndo(const char* logName) {
  if (LockFolder() == FolderLock::kBusy) {
    Say("%s\n", texts::kAnotherRun);
    return 1;
  }
  const int status = UndoInFolder(logName);
  UnlockFolder();
  return status;
}

}  // namespace shotrenum
