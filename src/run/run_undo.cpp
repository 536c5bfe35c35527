#include "run/run_undo.h"

#include <algorithm>
#include <cstring>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "journal/folder.h"
#include "journal/history.h"
#include "journal/log_identity.h"
#include "journal/undo_choice.h"
#include "platform/platform.h"
#include "rename/executor.h"
#include "rename/folder_command.h"
#include "rename/preview.h"
#include "rename/run_log.h"
#include "say.h"
#include "texts.h"

namespace shotrenum {

namespace {

ExitStatus Refuse(const char* format, const char* name) {
  Say(format, name);
  return ExitStatus::kNotDone;
}

// Names every file the folder holds at another command's temporary name
// now, with that command's process log where the folder has it; how many
// (-1: the folder could not be listed).
long NameOthersTemporary(History& history, std::int64_t ownStamp) {
  std::vector<Track> now;
  std::vector<ListedLog> logs;
  if (ListTemporaryTracks(history.stamps, &now, &logs) != ScanResult::kComplete) {
    Say("%s\n", texts::kListingBroken);
    return -1;
  }
  std::vector<std::pair<std::string, std::string>> named;  // the file, its command's log ("": none)
  for (const Track& t : now) {
    if (!t.name.IsTemporary() || t.state == TrackState::kObstacle) continue;
    const std::int64_t stamp = history.stamps.Stamp(t.name.stamp);
    if (stamp == ownStamp) continue;  // named from the move's own tally
    char name[64];
    FolderNameText(t.name, history.stamps, name);
    std::string log;
    const long k = history.IndexOfStamp(stamp);
    if (k >= 0) {
      log = history.commands[static_cast<std::size_t>(k)].Name();
    } else {
      // A command older than the history read: its log bears the local
      // time of its stamp.
      CalendarTime when{};
      LocalCalendarOfStamp(stamp, &when);
      char guess[64];
      LogFileName(guess, LogKind::kProcess, when);
      if (std::any_of(logs.begin(), logs.end(), [&](const ListedLog& l) { return l.name == guess; })) log = guess;
    }
    named.emplace_back(name, log);
  }
  std::sort(named.begin(), named.end());
  for (const auto& [name, log] : named) {
    if (log.empty()) {
      Say(texts::kUndoAtUnloggedTemp, name.c_str());
    } else {
      Say(texts::kUndoAtOtherTemp, name.c_str(), log.c_str());
    }
  }
  return static_cast<long>(named.size());
}

// Refuses a log that cannot be read, saying why: what is wrong in the file,
// or, where it reads, that it disagrees with the others.
ExitStatus RefuseUnreadable(const char* name) {
  SayAbout(texts::kLogUnreadable, name);
  LogCheck check{LogFault::kUnreadable, 0};
  std::FILE* file = nullptr;
  if (OpenFileForReading(name, &file) == OpenForReading::kOpened) {
    FileSource source(file);
    check = CheckLog(source);
    std::fclose(file);
  }
  Say(check.fault == LogFault::kNone ? texts::kLogWhyContradicts : WhyNotALog(check.fault), check.line);
  return ExitStatus::kNotDone;
}

// What the undo would move, and what would stop it.
ExitStatus PreviewUndo(const UndoPlan& plan, const MoveList& moves, UndoReport* report) {
  PreviewWarnings warnings;
  warnings.left = plan.staying + plan.missing;
  warnings.folderDenied = CanWriteFolder() == FolderWrite::kDenied;
  const long moving = PreviewMoves(moves, warnings);
  if (moving >= 0) report->wouldMove = warnings.folderDenied ? 0 : moving;
  return moving < 0 || warnings.Any() ? ExitStatus::kNotDone : ExitStatus::kDone;
}

ExitStatus UndoInFolder(const char* logName, UndoMode mode, UndoReport* report) {
  // Decide.
  History history;
  std::vector<Track> tracks;
  StampsInUse inUse{};
  std::vector<ListedLog> logs;
  LinkedNames linked;
  if (ListTracks(history.stamps, &tracks, &inUse, &logs, &linked) != ScanResult::kComplete) {
    Say("%s\n", texts::kListingBroken);
    return ExitStatus::kNotDone;
  }
  // The command is the one the log's name tells, or its content.
  FolderShelf reading;
  const LogIdentity owner = IdentifyLog(reading, logs, logName);
  switch (owner.owner) {
    case LogOwner::kFound:
      break;
    case LogOwner::kBad:
      SayAbout(texts::kLogUnreadable, logName);
      Say(WhyNotALog(owner.check.fault), owner.check.line);
      return ExitStatus::kNotDone;
    case LogOwner::kNoOriginal:
    case LogOwner::kAmbiguous:
      SayAbout(texts::kLogUnreadable, logName);
      Say("%s", owner.owner == LogOwner::kAmbiguous ? texts::kLogWhyAmbiguous : texts::kLogWhyNoOriginal);
      return ExitStatus::kNotDone;
  }
  const char* digits = owner.digits;
  FolderShelf shelf(std::move(logs));
  ReadHistory(shelf, HorizonOfUndo(digits), &history, digits);
  const UndoChoice choice = ChooseUndo(history, tracks, digits, linked, NamesIgnoreCase());
  switch (choice.refusal) {
    case UndoRefusal::kListingBroken:
      Say("%s\n", texts::kListingBroken);
      return ExitStatus::kNotDone;
    case UndoRefusal::kUnreadable:
      return RefuseUnreadable(choice.name[0] != '\0' ? choice.name : logName);
    // What is said of the command asked for names the log the user gave
    // (as given: a copy's name may be in any script), not the other log of
    // its pair.
    case UndoRefusal::kAlready:
      SayAbout(texts::kUndoAlready, logName);
      return ExitStatus::kNotDone;
    case UndoRefusal::kNoRows:
      SayAbout(texts::kUndoNoRows, logName);
      return ExitStatus::kNotDone;
    case UndoRefusal::kElsewhere:
      SayAbout(texts::kUndoElsewhere, logName);
      return ExitStatus::kNotDone;
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
  const PlanMoves moves(tracks, plan, history.stamps);
  if (mode == UndoMode::kPreview) return PreviewUndo(plan, moves, report);
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
  // What waits at a temporary name: this undo's (its own renames failed
  // both ways), and another command's (a killed run this undo did not take
  // back: undoing its log, or one more run, finishes it).
  for (const std::string& name : tally.atTemporary) Say(texts::kUndoAtOwnTemp, name.c_str());
  // Where the folder held no temporary name and the undo sent no file to
  // one, none is there now (the folder is locked): it is not listed again.
  const bool temporaryInPlay = std::any_of(tracks.begin(), tracks.end(), [](const Track& t) {
    return t.state != TrackState::kDead && (t.name.IsTemporary() || t.at.IsTemporary());
  });
  const long others = temporaryInPlay ? NameOthersTemporary(history, done.stamp) : 0;
  *report = UndoReport{true, tally.moved, notBack, choice.atTheirNames, tally.held, tally.causes};
  return notBack > 0 || others != 0 || tally.undurable || tally.logChanged ? ExitStatus::kNotDone : ExitStatus::kDone;
}

}  // namespace

const char* WhyNotALog(LogFault fault) {
  switch (fault) {
    case LogFault::kEncoding:
      return texts::kLogWhyEncoding;
    case LogFault::kTitle:
      return texts::kLogWhyTitle;
    case LogFault::kRow:
      return texts::kLogWhyRow;
    case LogFault::kNone:
    case LogFault::kUnreadable:
      break;
  }
  return texts::kLogWhyReadFailed;
}

ExitStatus RunUndo(const char* logName, UndoReport* report, UndoMode mode) {
  *report = UndoReport{};
  if (LockFolder() == FolderLock::kBusy) {
    Say("%s\n", texts::kAnotherRun);
    return ExitStatus::kNotDone;
  }
  const ExitStatus status = UndoInFolder(logName, mode, report);
  UnlockFolder();
  return status;
}

}  // namespace shotrenum
