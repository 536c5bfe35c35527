#include "journal/undo_choice.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

#include "journal/row_time.h"
#include "rename/run_log.h"

namespace shotrenum {

namespace {

// A command's stamp is at most fourteen hours before its log names show.
constexpr std::int64_t kEarliest = 14 * 3600;

// A command of the entries to take back that cannot be read.
const LoggedCommand* Unreadable(const History& history, const Stack& stack, const UndoDecision& decision) {
  for (const long t : {decision.transaction, decision.undoing}) {
    if (t < 0) continue;
    const Transaction& entry = stack.transactions[static_cast<std::size_t>(t)];
    for (long c = entry.first; c <= entry.top; ++c) {
      const LoggedCommand& command = history.commands[static_cast<std::size_t>(c)];
      if (command.state == LogState::kUnreadable) return &command;
    }
  }
  return nullptr;
}

// Whether the folder holds nothing at any name the rows of the files gone
// show (where they left it, where it came from): the log is not beside
// its screenshots.
bool NoneOfItsNamesHere(const std::vector<Track>& tracks) {
  std::vector<std::uint64_t> names;
  for (const Track& t : tracks) {
    if (t.state != TrackState::kMissing) continue;
    names.push_back(FoldedKey(t.name));
    names.push_back(FoldedKey(t.at));
  }
  std::sort(names.begin(), names.end());
  for (const Track& t : tracks) {
    if (t.state == TrackState::kMissing || t.state == TrackState::kDead) continue;
    if (std::binary_search(names.begin(), names.end(), FoldedKey(t.name))) return false;
  }
  return true;
}

UndoChoice Refused(UndoRefusal refusal, const char* name) {
  UndoChoice choice;
  choice.refusal = refusal;
  choice.name = name;
  return choice;
}

// How many files the command undone left at the names they had before it
// (a run moves a file already at its right name to its temporary name and
// back) that are there still: the undo moves none of them.
long FilesAtTheirNames(const LoggedCommand& command, const std::vector<Track>& tracks) {
  std::vector<FolderName> stayed;
  for (const Placement& p : command.placements) {
    if (p.Stayed()) stayed.push_back(p.after);
  }
  if (stayed.empty()) return 0;
  std::sort(stayed.begin(), stayed.end());
  long there = 0;
  for (const Track& t : tracks) {
    const bool present = t.state != TrackState::kMissing && t.state != TrackState::kDead &&
                         t.state != TrackState::kArtifact && t.state != TrackState::kObstacle;
    if (present && t.name == t.at && std::binary_search(stayed.begin(), stayed.end(), t.name)) ++there;
  }
  return there;
}

}  // namespace

std::int64_t HorizonOfUndo(const char* digits) { return DigitsAsUtc(digits) - kEarliest; }

UndoChoice ChooseUndo(History& history, std::vector<Track>& tracks, const char* digits, const LinkedNames& linked,
                      bool caseless) {
  // A later command the listing did not reach could stand: nothing moves.
  if (!history.listed) return Refused(UndoRefusal::kListingBroken, "");
  const LoggedCommand* target = history.Find(digits);
  if (target == nullptr) return Refused(UndoRefusal::kUnreadable, "");
  // What cannot be read is never taken as absent: a log of the command, or
  // of any later one, that cannot be read stops the undo.
  for (const LoggedCommand& command : history.commands) {
    if (command.state == LogState::kUnreadable && std::strcmp(command.digits, digits) >= 0) {
      return Refused(UndoRefusal::kUnreadable, command.problem);
    }
  }
  // A log with no rename in it tells nothing to take back, and nothing of
  // whether the command renamed files: never "taken back already".
  if (target->state == LogState::kNothing) return Refused(UndoRefusal::kNoRows, target->Name());
  const Stack stack = ReplayStack(history);
  const UndoDecision decision = DecideUndo(history, stack, static_cast<long>(target - history.commands.data()));
  switch (decision.verdict) {
    case UndoVerdict::kUndone:
      return Refused(UndoRefusal::kAlready, target->Name());
    case UndoVerdict::kLaterStands:
      return Refused(UndoRefusal::kLaterStands, history.commands[static_cast<std::size_t>(decision.standing)].Name());
    case UndoVerdict::kUndo:
    case UndoVerdict::kContinue:
      break;
  }
  if (const LoggedCommand* unreadable = Unreadable(history, stack, decision)) {
    return Refused(UndoRefusal::kUnreadable, unreadable->problem);
  }
  FollowBack(history, &stack, CommandsToTakeBack(stack, decision), tracks, FollowMode::kUndo, linked);
  const long atTheirNames = FilesAtTheirNames(*target, tracks);
  // The rows are in the tracks now: their memory goes before the plan takes its own.
  for (LoggedCommand& command : history.commands) std::vector<Placement>().swap(command.placements);
  UndoChoice choice;
  choice.atTheirNames = atTheirNames;
  choice.exact = stack.transactions[static_cast<std::size_t>(decision.transaction)].undo;
  choice.plan = PlanUndo(history, tracks, choice.exact, caseless);
  LogFileName(choice.decision.undoneLog, LogKind::kProcess, digits);
  choice.decision.cuts = std::move(history.cuts);
  for (const Track& t : tracks) {
    if (t.state != TrackState::kArtifact) continue;
    Leftover leftover{"", "", t.empty};
    FolderNameText(t.name, history.stamps, leftover.extra);
    FolderNameText(t.at, history.stamps, leftover.kept);
    choice.decision.leftovers.push_back(leftover);
  }
  if (choice.plan.moving == 0) {
    // Something left that cannot go back: refused. Nothing left: an entry
    // whose files are all where they were before it (its renames failed,
    // or later commands took them back) is still taken back, so that the
    // one before it stands again; a repeated undo has nothing to finish.
    const bool left = choice.plan.staying > 0 || choice.plan.missing > 0;
    if (choice.plan.missing > 0 && choice.plan.staying == 0 && choice.plan.back == 0 && NoneOfItsNamesHere(tracks)) {
      choice.refusal = UndoRefusal::kElsewhere;
      choice.name = target->Name();
      return choice;
    }
    if (left || decision.verdict == UndoVerdict::kContinue) {
      choice.refusal = left ? UndoRefusal::kNothingMoves : UndoRefusal::kAlready;
      choice.name = target->Name();
    }
  }
  return choice;
}

MoveStep PlanMoves::At(long i, char (&fromRoom)[64], char (&toRoom)[64]) const {
  const Track& t = tracks_[static_cast<std::size_t>(i)];
  FolderNameText(t.name, stamps_, fromRoom);
  FolderNameText(t.at, stamps_, toRoom);
  return MoveStep{fromRoom, t.name.IsTemporary(), toRoom, t.writeTime, plan_.stays[static_cast<std::size_t>(i)]};
}

}  // namespace shotrenum
