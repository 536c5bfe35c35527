// Whether an undo may go ahead, and what it then moves: the decision of an
// undo from the folder's listing and logs, before anything is touched.
#pragma once

#include <vector>

#include "journal/history.h"
#include "journal/stack.h"
#include "journal/tracks.h"
#include "journal/undo_plan.h"
#include "rename/executor.h"
#include "rename/mover.h"

namespace shotrenum {

enum class UndoRefusal {
  kNone,           // go ahead: the plan moves at least one file
  kListingBroken,  // the folder's logs could not be listed to the end
  kUnreadable,     // a log that matters cannot be read (`name`)
  kAlready,        // the command named was taken back already (`name`)
  kNoRows,         // its logs hold no rename (`name`): stopped before its first, or
                   // its rows lost (a power cut where nothing orders the writes)
  kLaterStands,    // a later entry stands in the way (`name`: its log)
  kElsewhere,      // none of the files its logs name is in the folder (`name`):
                   // the log was moved away from its screenshots, or they went
  kNothingMoves,   // files remain to go back, but none can: changed, held or gone
};

struct UndoChoice {
  UndoRefusal refusal = UndoRefusal::kNone;
  const char* name = "";  // the log the refusal names
  bool exact = false;     // the entry taken back is an undo
  long atTheirNames = 0;  // its files at the names they had before it still
  UndoPlan plan;
  // What the executor carries out: the logs' NULs to cut, what kills left
  // to remove, the process log taken back; its moves are the caller's
  // (PlanMoves over the tracks).
  Decision decision;
};

// Decides the undo of the command whose logs bear `digits`, given the
// folder's tracks (ListTracks) and its history (read with the tracks'
// stamps, from far enough back: ReadHistory with HorizonOfUndo). Leaves the
// tracks as PlanUndo orders them, and the history without its rows (the
// tracks hold what they told).
UndoChoice ChooseUndo(History& history, std::vector<Track>& tracks, const char* digits, const LinkedNames& linked,
                      bool caseless);

// How far back the history of an undo of `digits` is read.
std::int64_t HorizonOfUndo(const char* digits);

// The plan's files as the files of a two-phase move.
class PlanMoves : public MoveList {
 public:
  PlanMoves(const std::vector<Track>& tracks, const UndoPlan& plan, const StampTable& stamps)
      : tracks_(tracks), plan_(plan), stamps_(stamps) {}
  long Count() const override { return plan_.files; }
  MoveStep At(long i, char (&fromRoom)[64], char (&toRoom)[64]) const override;

 private:
  const std::vector<Track>& tracks_;
  const UndoPlan& plan_;
  const StampTable& stamps_;
};

}  // namespace shotrenum
