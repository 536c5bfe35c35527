#pragma once

#include <cstdint>

#include "rename/mover.h"
#include "shots/shot_record.h"
#include "shots/temp_name.h"

namespace shotrenum {

// Renames every file of the sorted set to its target: first each to its own
// temporary name, then each temporary name to its target. A screenshot an
// earlier run left at a temporary name skips the first step. Logs every
// rename, shows progress and reports failures at the end. n >= 1 and every
// target written. The run's stamp is a second that no temporary name or log
// present bears (`inUse`: those the folder's reading found).
// `resultLog` receives the result log's file name, or "" where standard
// output stood in for it from its start.
MoveTally RenumberShots(const ShotRecord* records, long n, const StampsInUse& inUse, char (&resultLog)[64]);

// The current second, or the next free one after a wait of at most three
// seconds; past that the command goes on, and a name it meets taken is an
// ordinary failed rename.
std::int64_t ChooseRunStamp(const StampsInUse& inUse);

// The sorted set as the files of a move: each from its name (or the
// temporary name an earlier run left it at) to its target.
class RecordMoves : public MoveList {
 public:
  RecordMoves(const ShotRecord* records, long n) : records_(records), n_(n) {}
  long Count() const override { return n_; }
  MoveStep At(long i, char (&fromRoom)[64], char (&toRoom)[64]) const override;

 private:
  const ShotRecord* records_;
  long n_;
};

}  // namespace shotrenum
