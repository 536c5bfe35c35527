#pragma once

#include "rename/mover.h"
#include "shots/shot_record.h"

namespace shotrenum {

// The sorted set as the files of a move: each from its name (or the
// temporary name an earlier run left it at) to its target. A screenshot an
// earlier run left at a temporary name skips the first phase.
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
