// Capture order: oldest last-write time first, equal times by name (for a
// screenshot at a temporary name, the name in it; for one that the logs of
// interrupted runs tell about, the name they give it, held in `target` until
// the targets are written), then the screenshot at its own name before those
// at temporary names, and those by their run stamps.
#pragma once

#include "shots/shot_record.h"

namespace shotrenum {

// Three-way comparison of two ShotRecords for qsort.
int CompareShots(const void* a, const void* b);

// Sorts records[0..n) into capture order.
void SortShots(ShotRecord* records, long n);

// The target name of a capture position below kMaxShots: "G%07ld.pcx".
void WriteTargetName(char (&target)[kShotNameLength + 1], long position);

// Writes the target name of every position ("G%07ld.pcx" of the position) and
// returns whether every record already bears its target. n must not exceed
// kMaxShots.
bool CheckOrder(ShotRecord* records, long n);

}  // namespace shotrenum
