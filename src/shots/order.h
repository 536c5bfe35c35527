// Capture order: oldest last-write time first, equal times by name (for a
// screenshot at a temporary name, the name in it), then the screenshot at
// its own name before those at temporary names, and those by their run
// stamps. After an interruption the logs may give some screenshots another
// name to be ordered by: the name they had before the interrupted run.
#pragma once

#include <cstdint>

#include "shots/shot_record.h"

namespace shotrenum {

// Three-way comparison of two ShotRecords for qsort.
int CompareShots(const void* a, const void* b);

// Sorts records[0..n) into capture order.
void SortShots(ShotRecord* records, long n);

// Sorts records[0..n) into capture order, each ordered by the name of its
// key instead of its own: keys[i] (of records[i]) is 0 for a record that
// goes before every name among its equal times, else the ShotCode of the
// name that orders it, plus one. Allocates an index of the records; false,
// with nothing sorted, when there is no memory for it.
bool SortShotsBy(ShotRecord* records, long n, const std::uint32_t* keys);

// The target name of a capture position below kMaxShots: "G%07ld.pcx".
void WriteTargetName(char (&target)[kShotNameLength + 1], long position);

// Writes the target name of every position ("G%07ld.pcx" of the position) and
// returns whether every record already bears its target. n must not exceed
// kMaxShots.
bool CheckOrder(ShotRecord* records, long n);

}  // namespace shotrenum
