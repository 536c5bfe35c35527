#include "run/run_undo.h"

#include <utility>
#include <vector>

#include "journal/folder.h"
#include "journal/history.h"
#include "journal/undo_choice.h"
#include "platform/platform.h"
#include "rename/executor.h"
#include "rename/folder_command.h"
#include "rename/run_log.h"
#include "say.h"
#include "texts.h"

namespace shotrenum {

namespace {

ExitStatus Refuse(const char* format, const char* name) {
  Say(format, name);
  return ExitStatus::kNotDone;
}

ExitStatus UndoInFolder(const char* logName, UndoReport* report) {
  char digits[15];
  LogKind kind;
  if (!ParseLogFileName(logName, digits, &kind)) return Refuse(texts::kLogUnreadable, logName);

  // Decide.
  History history;
  std::vector<Track> tracks;
  StampsInUse inUse{};
  std::vector<ListedLog> logs;
  if (ListTracks(history.stamps, &tracks, &inUse, &logs) != ScanResult::kComplete) {
    Say("%s\n", texts::kListingBroken);
    return ExitStatus::kNotDone;
  }
  FolderShelf shelf(std::move(logs));
  ReadHistory(shelf, HorizonOfUndo(digits), &history);
  FolderIdentity identity;
  const UndoChoice choice = ChooseUndo(history, tracks, digits, identity, NamesIgnoreCase());
  switch (choice.refusal) {
    case UndoRefusal::kListingBroken:
      Say("%s\n", texts::kListingBroken);
      return ExitStatus::kNotDone;
    case UndoRefusal::kUnreadable:
      return Refuse(texts::kLogUnreadable, choice.name[0] != '\0' ? choice.name : logName);
    case UndoRefusal::kAlready:
      return Refuse(texts::kUndoAlready, choice.name);
    case UndoRefusal::kLaterStands:
      return Refuse(texts::kUndoLaterRun, choice.name);
    case UndoRefusal::kNothingMoves:
      Say("%s\n", texts::kUndoNothing);
      return ExitStatus::kNotDone;
    case UndoRefusal::kNone:
      break;
  }

  // Act: the journal first (an undo touches nothing that its process log
  // could not record), then what kills left half done, then the files.
  const UndoPlan& plan = choice.plan;
  const PlanMoves moves(tracks, plan.files, history.stamps);
  Decision decision = choice.decision;
  decision.moves = &moves;
  decision.inUse = inUse;
  FolderCommand folder;
  const Execution done = Execute(decision, folder);
  if (done.journalFailed) return Refuse(texts::kUndoJournalFailed, folder.ProcessLog().fileName);
  const MoveTally& tally = done.tally;
  for (const std::int64_t lost : plan.lostLogs) {
    CalendarTime when{};
    LocalCalendarOfStamp(lost, &when);
    char name[64];
    LogFileName(name, LogKind::kProcess, when);
    Say(texts::kUndoLostLog, name);
  }
  // Not back: the files of the plan that did not move, and those gone.
  const long notBack = (plan.files - tally.moved) + plan.missing;
  if (notBack > 0) Say(texts::kUndoLeft, notBack, folder.ProcessLog().fileName);
  *report = UndoReport{true, tally.moved, notBack, tally.held};
  return notBack > 0 || tally.undurable || tally.logChanged ? ExitStatus::kNotDone : ExitStatus::kDone;
}

}  // namespace

ExitStatus RunUndo(const char* logName, UndoReport* report) {
  *report = UndoReport{};
  if (LockFolder() == FolderLock::kBusy) {
    Say("%s\n", texts::kAnotherRun);
    return ExitStatus::kNotDone;
  }
  const ExitStatus status = UndoInFolder(logName, report);
  UnlockFolder();
  return status;
}

}  // namespace shotrenum
