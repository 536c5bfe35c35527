// A run's decision, from the screenshots its listing found and the folder's
// logs: the order (exact after an interruption), what kills left half done,
// the logs' NULs to cut, and whether anything moves.
#pragma once

#include "journal/history.h"
#include "journal/tracks.h"
#include "rename/executor.h"
#include "shots/shot_record.h"

namespace shotrenum {

enum class RunVerdict {
  kNothing,      // no screenshot is left once what kills left is set aside
  kInOrder,      // every file bears its target: nothing moves
  kRenumber,     // the files move (the caller gives the decision its moves)
  kOutOfMemory,  // the order could not be made: nothing is done
};

struct RunChoice {
  RunVerdict verdict = RunVerdict::kNothing;
  long n = 0;         // the records that take part: records[0..n), in capture order, targets written
  Decision decision;  // its cuts and leftovers; `moves` is the caller's
};

// Orders `records` (the n the listing collected) in place. Reads logs only
// where screenshots stand at temporary names; opens nothing for writing.
RunChoice DecideRun(LogShelf& shelf, const LinkedNames& linked, ShotRecord* records, long n, const StampsInUse& inUse);

}  // namespace shotrenum
