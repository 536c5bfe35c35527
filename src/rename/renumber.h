#pragma once

#include "shots/shot_record.h"
#include "shots/temp_name.h"

namespace shotrenum {

// Renames every file of the sorted set to its target: first each to its own
// temporary name, then each temporary name to its target. A screenshot an
// earlier run left at a temporary name skips the first step. Logs every
// rename, shows progress and reports failures at the end. n >= 1 and every
// target written. The run's stamp is a second that no temporary name or log
// present bears (`inUse`: those the folder's reading found).
void RenumberShots(const ShotRecord* records, long n, const StampsInUse& inUse);

// One progress line per hundred records of a phase (i: 0-based position).
void ShowProgress(long i);

// The current second, or the next free one after a wait of at most three
// seconds; past that the run goes on, and a name it meets taken is an
// ordinary failed rename.
std::int64_t ChooseRunStamp(const StampsInUse& inUse);

}  // namespace shotrenum
